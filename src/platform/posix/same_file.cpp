// Whether a name leads to an open file, on Linux: the same device and inode; whether a file
// has other names.
#include <sys/stat.h>

#include "src/platform/platform.h"
#include "src/platform/posix/files.h"
#include "src/platform/posix/wide_text.h"

bool NamesOpenFile(LPCWSTR name, HANDLE file) {
    struct stat open {};
    struct stat named {};
    return fstat(Descriptor(file), &open) == 0 && stat(BytesFromWide(name).c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

bool HasOtherNames(LPCWSTR name) {
    struct stat info {};
    return stat(BytesFromWide(name).c_str(), &info) == 0 && info.st_nlink > 1;
}
