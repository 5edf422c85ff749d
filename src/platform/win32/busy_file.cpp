// Which refusals of a file on Windows pass by themselves.
#include "src/platform/platform.h"

bool FileBusyForNow(DWORD error, LPCWSTR name) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        return true;
    }
    if (error != ERROR_ACCESS_DENIED) {
        return false;
    }
    // A folder or a read-only file refuses for good. Otherwise the denial may come from a file
    // that is being deleted, or that a scanner holds, and passes.
    DWORD attributes = GetFileAttributesW(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return GetLastError() == ERROR_ACCESS_DENIED;  // a file pending deletion
    }
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}
