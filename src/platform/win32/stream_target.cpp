// Windows programs keep replacing every target through a temporary: the names of devices and
// pipes are refused there as before.
#include "src/platform/platform.h"

BOOL OpenStreamTarget(LPCWSTR, HANDLE*) {
    return FALSE;
}
