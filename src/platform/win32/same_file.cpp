// Whether a name leads to an open file, on Windows: the same volume and file index; whether a
// file has other names.
#include "src/platform/platform.h"

bool NamesOpenFile(LPCWSTR name, HANDLE file) {
    // Asking for no access opens even a file that another process holds exclusively.
    HANDLE named = CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    bool same = GetFileInformationByHandle(file, &a) && GetFileInformationByHandle(named, &b) &&
                a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
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
