// Which refusals of a file on Linux pass by themselves: only another run's share lock; a
// denied permission stays denied.
#include "src/platform/platform.h"

bool FileBusyForNow(DWORD error, LPCWSTR) {
    return error == ERROR_SHARING_VIOLATION;
}
