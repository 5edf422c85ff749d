// Messages of the Windows programs: a GUI program has no console, so its lines go to whatever
// debugger or debug-output viewer listens, and the system words the error codes.
#include <string>

#include "src/platform/platform.h"

// The standard error a caller handed over by redirecting it to a file or a pipe (2> err.txt,
// Start-Process -RedirectStandardError, a program capturing it). A console the handle may
// stand for is never written: the program shows no console window of its own.
static HANDLE CallersStandardError() {
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    DWORD type = GetFileType(handle);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE ? handle : nullptr;
}

// The lines in UTF-8, each ended by CR LF as Windows text files are, in one write so that the
// lines of runs sharing the file stay whole. A write that fails is dropped: the run's result
// never depends on its words.
static void WriteToCaller(HANDLE handle, const WideString& text) {
    std::wstring lines;
    for (WCHAR c : text) {
        if (c == L'\n') {
            lines.push_back(L'\r');
        }
        lines.push_back(c);
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, lines.c_str(), static_cast<int>(lines.size()),
                                   nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, lines.c_str(), static_cast<int>(lines.size()), &bytes[0], size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool WriteMessageText(MessageStream, LPCWSTR text) {
    HANDLE caller = CallersStandardError();
    if (caller != nullptr) {
        WriteToCaller(caller, text);
    }
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

bool UsageErrorOpensGuide() {
    return CallersStandardError() == nullptr;
}

// The Windows programs read no standard input unless "-" names it.
bool StandardInputIsTerminal() {
    return true;
}
