// Whether a name leads to an open file, on Windows: the same volume and file index; whether a
// file has other names.
#include "src/platform/platform.h"

static bool SameFile(HANDLE one, HANDLE other) {
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    return GetFileInformationByHandle(one, &a) && GetFileInformationByHandle(other, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool StreamIsOpenFile(StandardStream stream, HANDLE file) {
    HANDLE own = GetStdHandle(stream == kStandardInput ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE);
    return own != nullptr && own != INVALID_HANDLE_VALUE && SameFile(own, file);
}

bool NamesOpenFile(LPCWSTR name, HANDLE file) {
    // Asking for no access opens even a file that another process holds exclusively.
    HANDLE named = CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool same = SameFile(file, named);
    CloseHandle(named);
    return same;
}

bool HasOtherNames(LPCWSTR name) {
    HANDLE file = CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    bool linked = GetFileInformationByHandle(file, &info) && info.nNumberOfLinks > 1;
    CloseHandle(file);
    return linked;
}
