// File services for the Linux build, with the Windows dispositions and share modes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "src/platform/platform.h"
#include "src/platform/posix/files.h"
#include "src/platform/posix/signals.h"
#include "src/platform/posix/wide_text.h"

static thread_local DWORD lastError = ERROR_SUCCESS;

DWORD GetLastError() {
    return lastError;
}
void SetLastError(DWORD error) {
    lastError = error;
}

// A handle that writes keeps everybody else out unless it shares writing; one that reads
// and shares only reading keeps writers out.
static int LockFor(DWORD access, DWORD shareMode) {
    if ((shareMode & FILE_SHARE_WRITE) != 0) {
        return 0;
    }
    return (access & GENERIC_WRITE) != 0 ? LOCK_EX : LOCK_SH;
}

// Windows creates a new file and takes its share lock in one step, so no other process can
// open it in between. Here the file is made and locked under a private name beside the target
// and only then linked to its name, which fails when the name exists. Where hard links are not
// to be had, the plain exclusive create is used.
static int CreateNewLocked(const std::string& path, int flags, int lock) {
    size_t slash = path.rfind('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = FolderOf(path) + "/." + base + "." + RandomSuffix() + ".new";
    int fd =
        CreateTemporary(kCreationTemporary, AT_FDCWD, temp.c_str(), flags | O_CREAT | O_EXCL, 0666);
    if (fd < 0) {
        return open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
    }
    flock(fd, lock | LOCK_NB);
    int linked = link(temp.c_str(), path.c_str());
    int error = errno;
    unlink(temp.c_str());
    ForgetTemporary(kCreationTemporary);
    if (linked == 0) {
        return fd;
    }
    close(fd);
    if (error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == EXDEV ||
        error == EMLINK) {
        return open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
    }
    errno = error;
    return -1;
}

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD, HANDLE) {
    std::string path = BytesFromWide(name);
    if (path.empty()) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    bool reads = (access & GENERIC_READ) != 0;
    bool writes = (access & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    // A name written through (the log) follows links by the rules of a replaced output: a link
    // that another user planted in a shared folder is refused, and a link to a file still to be
    // made leads to that file, which is then created.
    if (writes) {
        std::string final;
        if (!FinalPath(path, &final)) {
            return Fail(ERROR_ACCESS_DENIED);
        }
        path = final;
        flags |= O_NOFOLLOW;
    }
    flags |= writes ? (reads ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case OPEN_EXISTING:
            break;
        default:
            return Fail(ERROR_INVALID_PARAMETER);
    }
    int lock = LockFor(access, shareMode);
    int fd = disposition == CREATE_NEW && lock != 0 ? CreateNewLocked(path, flags, lock)
                                                    : open(path.c_str(), flags, 0666);
    if (fd < 0) {
        // Without waiting, an open meets another process's lease on the file as EWOULDBLOCK:
        // the file is in use, as a share lock says. Anywhere else the code keeps its own words.
        return Fail(errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ErrorFromErrno(errno));
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return Fail(NotRegularFileError(info.st_mode));
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (lock != 0 && flock(fd, lock | LOCK_NB) != 0) {
        close(fd);
        return Fail(ERROR_SHARING_VIOLATION);
    }
    // Truncate only once the file is ours, so a refused open never destroys another's content.
    if (disposition == CREATE_ALWAYS && ftruncate(fd, 0) != 0) {
        close(fd);
        return Fail(ErrorFromErrno(errno));
    }
    SetLastError(ERROR_SUCCESS);
    return HandleOf(fd);
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    struct stat info {};
    if (fstat(Descriptor(file), &info) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(info.st_size);
    if (sizeHigh != nullptr) {
        *sizeHigh = static_cast<DWORD>(size >> 32);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

DWORD GetFileType(HANDLE file) {
    struct stat info {};
    if (fstat(Descriptor(file), &info) != 0) {
        return FILE_TYPE_UNKNOWN;
    }
    if (S_ISREG(info.st_mode)) {
        return FILE_TYPE_DISK;
    }
    if (S_ISCHR(info.st_mode)) {
        return FILE_TYPE_CHAR;
    }
    return S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) ? FILE_TYPE_PIPE : FILE_TYPE_UNKNOWN;
}

// Like the Windows call on a disk file: it reads until the count is met or the file ends
// (a single read() on Linux stops near 2 GiB).
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
    DWORD total = 0;
    char* at = static_cast<char*>(buffer);
    while (total < toRead) {
        ssize_t n = ::read(Descriptor(file), at + total, toRead - total);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (read != nullptr) {
                *read = total;
            }
            // The cause in its own words: a folder given as standard input is no device error.
            SetLastError(ErrorFromErrno(errno));
            return FALSE;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<DWORD>(n);
    }
    if (read != nullptr) {
        *read = total;
    }
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED) {
    DWORD total = 0;
    const char* at = static_cast<const char*>(buffer);
    while (total < toWrite) {
        int fd = Descriptor(file);
        ssize_t n = fd == streamTargetDescriptor
                        ? WriteHoldingPipeSignal(fd, at + total, toWrite - total)
                        : ::write(fd, at + total, toWrite - total);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (written != nullptr) {
                *written = total;
            }
            SetLastError(n < 0 ? ErrorFromErrno(errno) : ERROR_WRITE_FAULT);
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    if (written != nullptr) {
        *written = total;
    }
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
    int64_t offset = distance;
    if (distanceHigh != nullptr) {
        offset = (static_cast<int64_t>(*distanceHigh) << 32) | static_cast<uint32_t>(distance);
    }
    int whence = method == FILE_END ? SEEK_END : method == FILE_CURRENT ? SEEK_CUR : SEEK_SET;
    off_t position = lseek(Descriptor(file), offset, whence);
    if (position < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != nullptr) {
        *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    }
    return static_cast<DWORD>(position);
}

BOOL SetEndOfFile(HANDLE file) {
    off_t position = lseek(Descriptor(file), 0, SEEK_CUR);
    if (position < 0 || ftruncate(Descriptor(file), position) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    if (Descriptor(handle) == streamTargetDescriptor) {
        streamTargetDescriptor = -1;
    }
    return close(Descriptor(handle)) == 0 ? TRUE : FALSE;
}

DWORD GetFileAttributesW(LPCWSTR name) {
    struct stat info {};
    if (stat(BytesFromWide(name).c_str(), &info) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

BOOL DeleteFileW(LPCWSTR name) {
    std::string path = BytesFromWide(name);
    if (unlink(path.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    ForgetTemporaryNamed(path.c_str());
    return TRUE;
}

// --- Paths shared with the replacement of files ---------------------------------------------

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A link that another user left in a shared folder (sticky and writable by everybody, like
// /tmp) is not followed: it could aim the output at any file the running user may write. The
// kernel refuses the same links when fs.protected_symlinks is on; following links by hand must
// not get round that.
static bool MayFollow(const std::string& link, const struct stat& linkInfo) {
    struct stat folder {};
    if (stat(FolderOf(link).c_str(), &folder) != 0) {
        return false;
    }
    bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !shared || linkInfo.st_uid == geteuid() || linkInfo.st_uid == folder.st_uid;
}

// The path's parts, in order, without empty ones ("a//b/" has two).
static void AppendParts(const std::string& path, std::vector<std::string>* parts) {
    for (size_t at = 0; at <= path.size();) {
        size_t end = path.find('/', at);
        end = end == std::string::npos ? path.size() : end;
        if (end > at) {
            parts->push_back(path.substr(at, end - at));
        }
        at = end + 1;
    }
}

// Links are followed by hand, one part of the path at a time, so that each one can be judged
// (above): a folder link along the way could aim the output elsewhere just as well as a link
// in the last part. What has been resolved holds no link, so ".." simply takes a part away.
bool FinalPath(const std::string& name, std::string* path) {
    constexpr int kMaxLinks = 40;
    std::vector<std::string> parts;
    AppendParts(name, &parts);
    std::reverse(parts.begin(), parts.end());  // the next part is at the back
    std::string done = !name.empty() && name[0] == '/' ? "/" : "";
    int hops = 0;
    while (!parts.empty()) {
        std::string part = parts.back();
        parts.pop_back();
        if (part == ".") {
            continue;
        }
        size_t last = done.rfind('/');
        std::string lastPart = last == std::string::npos ? done : done.substr(last + 1);
        if (part == ".." && !done.empty() && done != "/" && lastPart != "..") {
            done = last == std::string::npos ? "" : last == 0 ? "/" : done.substr(0, last);
            continue;
        }
        std::string next = done.empty() ? part : done == "/" ? "/" + part : done + "/" + part;
        struct stat info {};
        if (part == ".." || lstat(next.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            // Not there (yet): nothing past it can be a link.
            done = next;
            continue;
        }
        if (++hops > kMaxLinks || !MayFollow(next, info)) {
            return false;
        }
        char link[4096];
        ssize_t n = readlink(next.c_str(), link, sizeof(link) - 1);
        if (n <= 0) {
            return false;
        }
        std::string target(link, static_cast<size_t>(n));
        std::vector<std::string> more;
        AppendParts(target, &more);
        parts.insert(parts.end(), more.rbegin(), more.rend());
        if (target[0] == '/') {
            done = "/";
        }
    }
    // A name that ends in "/" stands for a folder, and must still fail as a file.
    *path = (done.empty() ? "." : done) + (!name.empty() && name.back() == '/' ? "/" : "");
    return true;
}

std::string RandomSuffix() {
    unsigned char random[8] = {};
    if (getrandom(random, sizeof(random), 0) != static_cast<ssize_t>(sizeof(random))) {
        struct timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        uint64_t mix = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(getpid()) << 32);
        for (unsigned char& b : random) {
            b = static_cast<unsigned char>(mix);
            mix = mix * 6364136223846793005ull + 1442695040888963407ull;
        }
    }
    static const char kHex[] = "0123456789abcdef";
    std::string suffix;
    for (unsigned char b : random) {
        suffix.push_back(kHex[b >> 4]);
        suffix.push_back(kHex[b & 15]);
    }
    return suffix;
}
