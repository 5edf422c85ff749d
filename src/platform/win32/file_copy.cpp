#include "src/platform/platform.h"

// The input has to be closed before it can be replaced, so the text is read and written as usual.
BOOL KeepOpenForCopy(HANDLE) {
    return FALSE;
}

FileCopyResult CopyFileText(HANDLE, uint32_t, uint32_t, HANDLE) {
    return kFileCopyDeclined;
}
