// Windows programs keep replacing every target through a temporary: the names of devices and
// pipes are refused there as before.
#include "src/platform/platform.h"

BOOL OpenStreamTarget(LPCWSTR, HANDLE*) {
    return FALSE;
}

HANDLE OpenStandardStream(StandardStream stream) {
    HANDLE own = GetStdHandle(stream == kStandardInput ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE);
    HANDLE copy = INVALID_HANDLE_VALUE;
    if (own == nullptr || own == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
    if (!DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return INVALID_HANDLE_VALUE;
    }
    return copy;
}
