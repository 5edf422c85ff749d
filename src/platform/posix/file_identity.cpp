// The state of an open file on Linux: its device and inode, size and the two change times.
#include <sys/stat.h>

#include "src/platform/platform.h"
#include "src/platform/posix/files.h"

FileIdentity IdentityOf(const struct stat& info) {
    constexpr int64_t kNanoseconds = 1000000000;
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                        static_cast<uint64_t>(info.st_size),
                        info.st_mtim.tv_sec * kNanoseconds + info.st_mtim.tv_nsec,
                        info.st_ctim.tv_sec * kNanoseconds + info.st_ctim.tv_nsec};
}

bool ReadFileIdentity(HANDLE file, FileIdentity* identity) {
    struct stat info {};
    if (fstat(Descriptor(file), &info) != 0) {
        return false;
    }
    *identity = IdentityOf(info);
    return true;
}
