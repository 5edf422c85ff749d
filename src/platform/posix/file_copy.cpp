// Copying text from file to file inside the kernel, on Linux.
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "src/platform/platform.h"
#include "src/platform/posix/files.h"
#include "src/platform/posix/wide_text.h"

// Bytes asked for in one call: the kernel may copy fewer, and large files take several calls.
constexpr uint32_t kCopyChunk = 16u << 20;

BOOL KeepOpenForCopy(HANDLE input) {
    // The descriptor keeps reading the same file; only the lock that kept writers out goes, as
    // CloseHandle would have let it go.
    flock(Descriptor(input), LOCK_UN);
    return TRUE;
}

// What an output without room says: the ordinary write would fail just the same.
static bool OutputIsFull(int error) {
    return error == EFBIG || error == ENOSPC || error == EDQUOT;
}

FileCopyResult CopyFileText(HANDLE input, uint32_t offset, uint32_t count, HANDLE output) {
    int from = Descriptor(input);
    int to = Descriptor(output);
    off64_t at = offset;
    uint32_t left = count;
    while (left > 0) {
        ssize_t n = copy_file_range(from, &at, to, nullptr, std::min(left, kCopyChunk), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            if (left == count && !OutputIsFull(errno)) {
                return kFileCopyDeclined;
            }
            SetLastError(ErrorFromErrno(errno));
            return kFileCopyFailed;
        }
        if (n == 0) {
            return kFileCopySizeChanged;  // the input ended early
        }
        left -= static_cast<uint32_t>(n);
    }
    struct stat info {};
    if (fstat(from, &info) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return kFileCopyFailed;
    }
    uint64_t end = static_cast<uint64_t>(offset) + count;
    return static_cast<uint64_t>(info.st_size) == end ? kFileCopyDone : kFileCopySizeChanged;
}
