// Linux error codes: the Windows codes callers test for, and the errno behind every other one,
// worded by the C library for the user.
#include <gtest/gtest.h>

#include <cerrno>

#include "src/platform/platform.h"
#include "src/platform/posix/wide_text.h"

namespace {

struct ErrnoCase {
    const char* name;
    int number;
    DWORD code;          // what GetLastError gives; 0 when it carries the errno itself
    const char* reason;  // SystemErrorText of that code
};

class ErrnoCodes : public ::testing::TestWithParam<ErrnoCase> {};

TEST_P(ErrnoCodes, KeepTheSystemsReason) {
    const ErrnoCase& c = GetParam();
    DWORD code = ErrorFromErrno(c.number);
    if (c.code != 0) {
        EXPECT_EQ(code, c.code);
    }
    EXPECT_EQ(ErrnoFromError(code), c.number);
    EXPECT_EQ(BytesFromWide(SystemErrorText(code).c_str()), c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ErrnoCodes,
    ::testing::Values(
        // The log's retry loop and the replacement's checks compare these three.
        ErrnoCase{"Missing", ENOENT, ERROR_FILE_NOT_FOUND, "No such file or directory"},
        ErrnoCase{"Exists", EEXIST, ERROR_FILE_EXISTS, "File exists"},
        // A write that would block is no file in use: only a share lock says that.
        ErrnoCase{"WouldBlock", EAGAIN, 0, "Resource temporarily unavailable"},
        // Once all read as "access denied" or "disk full".
        ErrnoCase{"Folder", EISDIR, 0, "Is a directory"},
        ErrnoCase{"ReadOnlyFileSystem", EROFS, 0, "Read-only file system"},
        ErrnoCase{"NotPermitted", EPERM, 0, "Operation not permitted"},
        ErrnoCase{"Quota", EDQUOT, 0, "Disk quota exceeded"},
        ErrnoCase{"TooLarge", EFBIG, 0, "File too large"},
        ErrnoCase{"LinkLoop", ELOOP, 0, "Too many levels of symbolic links"},
        ErrnoCase{"DeviceError", EIO, 0, "Input/output error"}),
    [](const ::testing::TestParamInfo<ErrnoCase>& info) { return info.param.name; });

TEST(ErrorCodes, OwnWordsWhereNoErrnoFits) {
    EXPECT_EQ(BytesFromWide(SystemErrorText(kErrorNotRegularFile).c_str()), "not a regular file");
    EXPECT_EQ(BytesFromWide(SystemErrorText(ERROR_ACCESS_DENIED).c_str()), "Permission denied");
    EXPECT_EQ(BytesFromWide(SystemErrorText(ERROR_SHARING_VIOLATION).c_str()),
              "in use by another program");
    EXPECT_TRUE(SystemErrorText(ERROR_SUCCESS).empty());
}

}  // namespace
