// Copying a text from file to file inside the system: what is copied, where the output goes on,
// how an input that changed size shows, and when the system declines or fails.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "src/platform/platform.h"
#include "src/platform/posix/signals.h"
#include "src/platform/posix/wide_text.h"
#include "tests/support/test_files.h"

namespace {

// Letters in a cycle of 26, built a cycle at a time (one case is 40 MiB long).
std::string Text(size_t n) {
    std::string cycle;
    for (size_t i = 0; i < 26; ++i) {
        cycle.push_back(static_cast<char>('a' + i * 7 % 26));
    }
    std::string text;
    text.reserve(n + cycle.size());
    while (text.size() < n) {
        text.append(cycle);
    }
    text.resize(n);
    return text;
}

const std::string kBefore = "MARK";  // what the output holds before the copy

// The cases are made in every test process before any test runs: a case names its input's
// length, and the test makes the text.
struct CopyCase {
    const char* name;
    const char* head;  // the input's first bytes, before `length` letters
    size_t length;
    uint32_t offset;
    uint32_t count;
    FileCopyResult result;
    size_t copied;  // bytes of the input from `offset` that reach the output
};

void PrintTo(const CopyCase& c, std::ostream* out) {
    *out << c.name;
}

class FileCopy : public ::testing::TestWithParam<CopyCase> {
protected:
    void SetUp() override { folder = MakeTempDir(); }
    void TearDown() override {
        RemoveTree(folder);
        if (!elsewhere.empty()) {
            RemoveTree(elsewhere);
        }
    }

    // Opens the input as the loader does and reads its first two bytes; makes the output with
    // kBefore written.
    void Open(const std::string& inputPath, const std::string& input) {
        WriteBytes(inputPath, input);
        in = CreateFileW(WideFromBytes(inputPath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(in, INVALID_HANDLE_VALUE);
        char head[2];
        DWORD read = 0;
        ReadFile(in, head, sizeof(head), &read, nullptr);
        out = CreateFileW(WideFromBytes(folder + "/out").c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(out, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(out, kBefore.data(), static_cast<DWORD>(kBefore.size()), &written, nullptr);
    }

    // The input's own position, which the copy must leave where the loader's reads put it.
    DWORD InputPosition() { return SetFilePointer(in, 0, nullptr, FILE_CURRENT); }

    void Close() {
        CloseHandle(in);
        CloseHandle(out);
    }

    std::string folder;
    std::string elsewhere;
    HANDLE in = INVALID_HANDLE_VALUE;
    HANDLE out = INVALID_HANDLE_VALUE;
};

TEST_P(FileCopy, CopiesTheTextBehindWhatTheOutputHolds) {
    const CopyCase& c = GetParam();
    const std::string input = c.head + Text(c.length);
    Open(folder + "/in", input);
    EXPECT_EQ(CopyFileText(in, c.offset, c.count, out), c.result);
    EXPECT_EQ(InputPosition(), 2u);
    // The output goes on where the copy ended.
    DWORD written = 0;
    WriteFile(out, "|", 1, &written, nullptr);
    Close();
    std::string expected = kBefore + input.substr(c.offset, c.copied) + "|";
    std::string output = ReadBytes(folder + "/out");
    EXPECT_EQ(output.size(), expected.size());
    EXPECT_TRUE(output == expected);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, FileCopy,
    ::testing::Values(
        CopyCase{"Whole", "", 1000, 0, 1000, kFileCopyDone, 1000},
        CopyCase{"BehindAMark", "\xEF\xBB\xBF", 997, 3, 997, kFileCopyDone, 997},
        CopyCase{"NothingBehindTheMark", "\xEF\xBB\xBF", 0, 3, 0, kFileCopyDone, 0},
        // Several requests to the kernel, the last one short.
        CopyCase{"SeveralRequests", "", (40u << 20) + 5, 0, (40u << 20) + 5, kFileCopyDone,
                 (40u << 20) + 5},
        // The file no longer holds what its size said: it ends early, or goes on after.
        CopyCase{"InputShrank", "", 1000, 0, 1010, kFileCopySizeChanged, 1000},
        CopyCase{"InputGrew", "", 1000, 0, 990, kFileCopySizeChanged, 990},
        CopyCase{"InputGrewBehindNothing", "\xFF\xFE", 10, 2, 0, kFileCopySizeChanged, 0}),
    [](const ::testing::TestParamInfo<CopyCase>& info) { return info.param.name; });

// Across two file systems the kernel may not copy: nothing is written, the input's position
// stays, and the ordinary read and write can take over.
TEST_F(FileCopy, DeclinesAcrossFileSystems) {
    struct stat here {};
    struct stat shm {};
    if (stat(folder.c_str(), &here) != 0 || stat("/dev/shm", &shm) != 0 ||
        here.st_dev == shm.st_dev) {
        GTEST_SKIP() << "no second file system (/dev/shm)";
    }
    char pattern[] = "/dev/shm/codeshift-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    elsewhere = pattern;
    Open(elsewhere + "/in", Text(5000));
    EXPECT_EQ(CopyFileText(in, 0, 5000, out), kFileCopyDeclined);
    EXPECT_EQ(InputPosition(), 2u);
    Close();
    EXPECT_EQ(ReadBytes(folder + "/out"), kBefore);
}

// An output that reaches the file size limit fails, with the reason kept, whether nothing or
// part of the text fitted. Run in a child, set up as the program sets itself up at start.
TEST_F(FileCopy, FailsWhenTheOutputHasNoRoom) {
    for (rlim_t limit : {rlim_t{4}, rlim_t{3000}}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SetUpProcessSignals();
            Open(folder + "/in", Text(10000));
            struct rlimit cap = {limit, limit};
            setrlimit(RLIMIT_FSIZE, &cap);
            FileCopyResult result = CopyFileText(in, 0, 10000, out);
            bool failed = result == kFileCopyFailed && GetLastError() == ErrorFromErrno(EFBIG);
            _exit(failed ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << limit;
        EXPECT_EQ(ReadBytes(folder + "/out"), kBefore + Text(10000).substr(0, limit - 4)) << limit;
    }
}

}  // namespace
