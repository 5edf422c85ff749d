// How the Linux program opens its log, what it needs to know of the file it opened, and how it
// takes back one it made.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <string>

#include "src/platform/platform.h"
#include "src/platform/posix/files.h"
#include "src/platform/posix/paths.h"
#include "src/platform/posix/wide_text.h"

HANDLE OpenLogTarget(LPCWSTR name, DWORD disposition) {
    std::string path = BytesFromWide(name);
    // The log's name follows links by the rules of a replaced output: a link that another user
    // planted in a shared folder is refused, and a link to a file still to be made leads to that
    // file, which is then created. What was followed must not turn into a link meanwhile.
    std::string final;
    if (!path.empty() && !FinalPath(path, &final)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    return OpenFilePath(path.empty() ? path : final, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                        disposition, O_NOFOLLOW);
}

// File systems whose files the kernel makes up as they are read: their sizes say nothing of
// what they hold, and what is written to them is a command to the kernel, never kept.
static bool IsKernelFileSystem(long type) {
    switch (type) {
        case PROC_SUPER_MAGIC:
        case SYSFS_MAGIC:
        case CGROUP_SUPER_MAGIC:
        case CGROUP2_SUPER_MAGIC:
        case DEBUGFS_MAGIC:
        case TRACEFS_MAGIC:
        case SECURITYFS_MAGIC:
        case BPF_FS_MAGIC:
        case PSTOREFS_MAGIC:
        case EFIVARFS_MAGIC:
            return true;
        default:
            return false;
    }
}

bool KeepsWrittenText(HANDLE file) {
    struct statfs info {};
    return fstatfs(Descriptor(file), &info) != 0 || !IsKernelFileSystem(info.f_type);
}

void RemoveCreatedFile(LPCWSTR name, HANDLE file) {
    // The file is still held, so no other run can have taken it up in between; the name is
    // followed as it was when the file was made under it, and removed only while it still leads
    // to this very file.
    std::string path;
    struct stat held {};
    struct stat named {};
    if (FinalPath(BytesFromWide(name), &path) && fstat(Descriptor(file), &held) == 0 &&
        lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
        unlink(path.c_str());
    }
    CloseHandle(file);
}
