// Messages of the Windows programs: a GUI program has no console, so its lines go to whatever
// debugger or debug-output viewer listens, and the system words the error codes.
#include <string>

#include "src/platform/platform.h"

bool WriteMessageText(MessageStream, LPCWSTR text) {
    // One call per line, as debug-output viewers show each call as one entry.
    const WCHAR* start = text;
    while (*start != 0) {
        const WCHAR* end = start;
        while (*end != 0 && *end != L'\n') {
            ++end;
        }
        std::wstring line(start, end);
        if (*end == L'\n') {
            line.push_back(L'\n');
            ++end;
        }
        OutputDebugStringW(line.c_str());
        start = end;
    }
    return true;  // nobody may be listening, and nobody can tell
}

WideString SystemErrorText(DWORD error) {
    if (error == ERROR_SUCCESS) {
        return WideString();
    }
    LPWSTR text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    WideString words;
    if (length > 0 && text != nullptr) {
        words.assign(text, length);
    }
    LocalFree(text);
    // The system's words end in a period and a line end; a message line carries neither.
    while (!words.empty() && (words.back() == L'\r' || words.back() == L'\n' ||
                              words.back() == L' ' || words.back() == L'.')) {
        words.pop_back();
    }
    if (words.empty()) {
        words = L"error " + std::to_wstring(error);
    }
    return words;
}

bool MessagesReachTerminal() {
    return false;
}
