// How the Windows programs open their log, what they need to know of the file they opened, and
// how they take back one they made.
#include "src/platform/platform.h"

HANDLE OpenLogTarget(LPCWSTR name, DWORD disposition) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool KeepsWrittenText(HANDLE file) {
    // NUL, CON, COM1, AUX and the like open as devices, "aux.txt" included.
    return GetFileType(file) == FILE_TYPE_DISK;
}

void RemoveCreatedFile(LPCWSTR name, HANDLE file) {
    // A file open without shared deletion cannot be removed while it is held: another run may
    // find the empty file in the moment between, and its record goes with it.
    CloseHandle(file);
    DeleteFileW(name);
}
