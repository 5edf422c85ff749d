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
#include "src/platform/posix/paths.h"
#include "src/platform/posix/wide_text.h"

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

// Whether `path` is a descriptor's name in this process's descriptor folder.
static bool IsOwnDescriptor(const std::string& path) {
    std::string leaf = LeafOf(path);
    char folder[PATH_MAX];
    return !leaf.empty() && leaf.find_first_not_of("0123456789") == std::string::npos &&
           leaf.size() < 10 && realpath(FolderOf(path).c_str(), folder) != nullptr &&
           IsOwnDescriptorFolder(folder);
}

// A link in this process's descriptor folder ends the walk: /dev/stdout and /dev/fd/1 both lead
// to /proc/PID/fd/1, and that link must not be followed further, since it leads to whatever file
// the descriptor has open. Any other link is followed as opening the name would follow it.
static LinkVerdict EndsAtOwnDescriptor(const std::string& link, const struct stat&) {
    return IsOwnDescriptor(link) ? kLinkEndsWalk : kLinkFollowed;
}

// The number of the descriptor of this process that `name` leads to, or -1. A descriptor that is
// not open is named all the same, and fails as a stream that cannot be opened. `*plain` says
// whether the walk met no link at all: its path and sight are then the final path's.
static int DescriptorNamed(const std::string& name, std::string* path, WalkSight* sight,
                           bool* plain) {
    *plain = false;
    if (name.empty() || name.back() == '/') {
        return -1;
    }
    WalkEnd end = WalkLinks(name, EndsAtOwnDescriptor, path, sight);
    *plain = end == kWalkDone && sight->links == 0;
    if (end == kWalkRefused || !IsOwnDescriptor(*path)) {
        return -1;
    }
    return std::atoi(LeafOf(*path).c_str());
}

// A stream target's handle from `fd` (-1 with errno when it could not be had).
static HANDLE StreamHandle(int fd) {
    if (fd < 0) {
        return Fail(ErrorFromErrno(errno));
    }
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
    std::string path;
    WalkSight sight{};
    bool plain = false;
    ForgetPlainWalk();
    int number = DescriptorNamed(name, &path, &sight, &plain);
    if (number >= 0) {
        *stream = StreamHandle(CopyOfDescriptor(number, O_WRONLY));
        return TRUE;
    }
    // A device is reached only by the links the replacement would follow too: a link planted in
    // a shared folder must not aim the text at a disk. A walk that met no link has followed them.
    if (!plain && !FinalPath(name, &path, &sight)) {
        return FALSE;
    }
    struct stat info = sight.info;
    if ((!sight.seen && stat(path.c_str(), &info) != 0) ||
        !(S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode))) {
        // Not a stream: a file to be replaced, whose next checks can take this walk.
        if (plain) {
            KeepPlainWalk(name, path, sight);
        }
        return FALSE;
    }
    // A FIFO waits here for its reader, as any writer of it would.
    *stream = StreamHandle(open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    return TRUE;
}
