// File services for the Linux build, with the Windows dispositions and share modes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "src/platform/platform.h"
#include "src/platform/posix/files.h"
#include "src/platform/posix/paths.h"
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
    std::string temp = FolderOf(path) + "/." + LeafOf(path) + "." + RandomSuffix() + ".new";
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

HANDLE OpenFilePath(const std::string& path, DWORD access, DWORD shareMode, DWORD disposition,
                    int moreFlags) {
    if (path.empty()) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    bool reads = (access & GENERIC_READ) != 0;
    bool writes = (access & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK | moreFlags;
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
    // Of the flags given, only O_NONBLOCK is one that F_SETFL changes: the others are ignored.
    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
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
    return RegularFileHandle(fd);
}

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD, HANDLE) {
    return OpenFilePath(BytesFromWide(name), access, shareMode, disposition, 0);
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
    if (HandleMarked(file, kRegularFileMark)) {
        return FILE_TYPE_DISK;
    }
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

// Like the Windows call, a write to a pipe whose reader went away fails (ERROR_NO_DATA) instead
// of ending the process.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED) {
    DWORD total = 0;
    const char* at = static_cast<const char*>(buffer);
    int fd = Descriptor(file);
    bool pipe = GetFileType(file) == FILE_TYPE_PIPE;
    while (total < toWrite) {
        ssize_t n = pipe ? WriteHoldingPipeSignal(fd, at + total, toWrite - total)
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
    int fd = Descriptor(handle);
    int error = HandleMarked(handle, kFlushAtCloseMark) && fsync(fd) != 0 ? errno : 0;
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        SetLastError(ErrorFromErrno(error));
        return FALSE;
    }
    return TRUE;
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

// The system's random bytes are drawn for many names at once (a run over many files names a
// temporary for each), and each byte serves one name only.
static bool DrawRandom(unsigned char* random, size_t count) {
    static unsigned char pool[256];
    static size_t used = sizeof(pool);
    if (used + count > sizeof(pool) &&
        getrandom(pool, sizeof(pool), 0) == static_cast<ssize_t>(sizeof(pool))) {
        used = 0;
    }
    if (used + count > sizeof(pool)) {
        return false;
    }
    std::memcpy(random, pool + used, count);
    used += count;
    return true;
}

std::string RandomSuffix() {
    unsigned char random[8] = {};
    if (!DrawRandom(random, sizeof(random))) {
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
