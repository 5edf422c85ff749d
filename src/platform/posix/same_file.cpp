// Whether a name leads to an open file, on Linux: the same device and inode; whether a file
// has other names.
#include <sys/stat.h>

#include "src/platform/platform.h"
#include "src/platform/posix/files.h"
#include "src/platform/posix/paths.h"
#include "src/platform/posix/wide_text.h"

static bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool StreamIsOpenFile(StandardStream stream, HANDLE file) {
    struct stat open {};
    struct stat own {};
    return fstat(Descriptor(file), &open) == 0 &&
           fstat(stream == kStandardInput ? 0 : 1, &own) == 0 && SameFile(open, own);
}

bool NamesOpenFile(LPCWSTR name, HANDLE file) {
    struct stat open {};
    struct stat named {};
    return fstat(Descriptor(file), &open) == 0 && stat(BytesFromWide(name).c_str(), &named) == 0 &&
           SameFile(open, named);
}

bool HasOtherNames(LPCWSTR name) {
    std::string bytes = BytesFromWide(name);
    std::string path;
    WalkSight sight{};
    if (PeekPlainWalk(bytes, &path, &sight) && sight.seen) {
        return sight.info.st_nlink > 1;
    }
    struct stat info {};
    return stat(bytes.c_str(), &info) == 0 && info.st_nlink > 1;
}
