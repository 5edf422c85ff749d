// Handing a long path to the shell on Windows.
#include "src/platform/platform.h"

// The shell copies a document's path, in quotes, into buffers of MAX_PATH characters.
constexpr size_t kLongestShellPath = MAX_PATH - 3;

WideString ShellDocumentPath(const WideString& path) {
    size_t cut = path.find_last_of(L"\\/");
    if (path.size() <= kLongestShellPath || cut == WideString::npos) {
        return path;
    }
    // Asked with the prefix that lifts the length limit, whatever the system's setting.
    WideString folder = path.substr(0, cut);
    bool drive = folder.size() >= 3 && folder[1] == L':' && folder[2] == L'\\';
    WideString asked = drive ? L"\\\\?\\" + folder : folder;
    DWORD size = GetShortPathNameW(asked.c_str(), nullptr, 0);
    if (size == 0) {
        return path;
    }
    WideString shortFolder(size, L'\0');
    DWORD length = GetShortPathNameW(asked.c_str(), &shortFolder[0], size);
    if (length == 0 || length >= size) {
        return path;
    }
    shortFolder.resize(length);
    if (drive && shortFolder.compare(0, 4, L"\\\\?\\") == 0) {
        shortFolder.erase(0, 4);
    }
    return shortFolder + path.substr(cut);
}
