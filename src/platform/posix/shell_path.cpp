// Handing a path to the desktop's opener on Linux: any length is taken as it is.
#include "src/platform/platform.h"

WideString ShellDocumentPath(const WideString& path) {
    return path;
}
