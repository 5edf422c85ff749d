// Targets written in place on Linux: devices, FIFOs and the names of open descriptors.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "src/platform/platform.h"
#include "src/platform/posix/files.h"
#include "src/platform/posix/wide_text.h"

int streamTargetDescriptor = -1;

// Symbolic links followed by hand before giving up, as the kernel does.
constexpr int kMaxLinks = 40;

// Whether `folder` (already resolved) is this process's descriptor folder, /proc/PID/fd or
// /proc/PID/task/TID/fd. Another process's descriptors are not ours to write through.
static bool IsOwnDescriptorFolder(const std::string& folder) {
    const std::string own = "/proc/" + std::to_string(getpid());
    if (folder == own + "/fd") {
        return true;
    }
    const std::string tasks = own + "/task/";
    const std::string suffix = "/fd";
    if (folder.size() <= tasks.size() + suffix.size() ||
        folder.compare(0, tasks.size(), tasks) != 0 ||
        folder.compare(folder.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    return folder.find('/', tasks.size()) == folder.size() - suffix.size();
}

// Follows `name` link by link, as opening it would, and stops at the first step that lies in
// this process's descriptor folder: /dev/stdout and /dev/fd/1 both lead to /proc/PID/fd/1. The
// link in that folder must not be followed further, since it leads to whatever file the
// descriptor has open. Returns the descriptor's number, or -1.
static int DescriptorNamed(std::string name) {
    for (int step = 0; step <= kMaxLinks; ++step) {
        std::string folder = FolderOf(name);
        std::string leaf =
            name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
        char resolved[PATH_MAX];
        if (realpath(folder.c_str(), resolved) == nullptr) {
            return -1;
        }
        if (IsOwnDescriptorFolder(resolved) && !leaf.empty() &&
            leaf.find_first_not_of("0123456789") == std::string::npos && leaf.size() < 10) {
            return std::atoi(leaf.c_str());
        }
        char link[PATH_MAX];
        ssize_t length = readlink(name.c_str(), link, sizeof link - 1);
        if (length < 0) {
            return -1;
        }
        link[length] = 0;
        name = link[0] == '/' ? std::string(link) : std::string(resolved) + "/" + link;
    }
    return -1;
}

// A stream target's handle from `fd` (-1 with errno when it could not be had).
static HANDLE StreamHandle(int fd) {
    if (fd < 0) {
        return Fail(ErrorFromErrno(errno));
    }
    streamTargetDescriptor = fd;
    return HandleOf(fd);
}

// A copy of descriptor `number`, which must be open for `access` (O_RDONLY or O_WRONLY): a
// stream the caller closed is held on /dev/null for reading only, and cannot be written. -1 with
// errno when there is none.
static int CopyOfDescriptor(int number, int access) {
    int flags = fcntl(number, F_GETFL);
    if (flags >= 0 && (flags & O_ACCMODE) == (access == O_RDONLY ? O_WRONLY : O_RDONLY)) {
        errno = EBADF;
        return -1;
    }
    return flags < 0 ? -1 : fcntl(number, F_DUPFD_CLOEXEC, 3);
}

HANDLE OpenStandardStream(StandardStream stream) {
    if (stream == kStandardOutput) {
        return StreamHandle(CopyOfDescriptor(STDOUT_FILENO, O_WRONLY));
    }
    int fd = CopyOfDescriptor(STDIN_FILENO, O_RDONLY);
    return fd < 0 ? Fail(ErrorFromErrno(errno)) : HandleOf(fd);
}

BOOL OpenStreamTarget(LPCWSTR targetName, HANDLE* stream) {
    const std::string name = BytesFromWide(targetName);
    int number = DescriptorNamed(name);
    if (number >= 0) {
        *stream = StreamHandle(CopyOfDescriptor(number, O_WRONLY));
        return TRUE;
    }
    // A device is reached only by the links the replacement would follow too: a link planted in
    // a shared folder must not aim the text at a disk.
    std::string path;
    struct stat info {};
    if (!FinalPath(name, &path) || stat(path.c_str(), &info) != 0 ||
        !(S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode))) {
        return FALSE;
    }
    // A FIFO waits here for its reader, as any writer of it would.
    *stream = StreamHandle(open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    return TRUE;
}
