// The Linux program's standard streams when nobody reads them: a message that cannot be written
// is lost, never the run's result; an answer that cannot be written (--help, --version) fails.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/e2e/cases.h"
#include "tests/support/test_files.h"

namespace {

enum StreamFate { kClosed, kReaderGone, kDiskFull };

struct StreamCase {
    const char* name;
    std::vector<std::string> arguments;
    bool answer;  // the fate is standard output's, else standard error's
    StreamFate fate;
    int exitCode;
    std::vector<FileBytes> given;
    std::vector<FileBytes> expected;
};

void PrintTo(const StreamCase& c, std::ostream* out) {
    *out << c.name;
}

// A descriptor for the stream's fate; `keep` holds what must be closed afterwards.
int StreamFor(StreamFate fate, int* keep) {
    if (fate == kDiskFull) {
        return *keep = open("/dev/full", O_WRONLY | O_CLOEXEC);
    }
    if (fate == kReaderGone) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            return *keep = -1;
        }
        close(ends[0]);
        return *keep = ends[1];
    }
    *keep = -1;
    return kStreamClosed;
}

class StreamRun : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamRun, KeepsTheRunsExitCode) {
    const StreamCase& c = GetParam();
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "the Windows programs write no standard streams";
    }
    std::string folder = MakeTempDir();
    for (const FileBytes& f : c.given) {
        WriteBytes(folder + "/" + f.name, f.bytes);
    }
    int keep = -1;
    int fd = StreamFor(c.fate, &keep);
    ASSERT_TRUE(c.fate == kClosed || fd >= 0);
    Streams streams;
    int silent = open("/dev/null", O_WRONLY | O_CLOEXEC);
    (c.answer ? streams.out : streams.err) = fd;
    (c.answer ? streams.err : streams.out) = silent;
    int status = RunProgramWithStreams(c.arguments, folder, streams);
    close(silent);
    if (keep >= 0) {
        close(keep);
    }
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
    for (const FileBytes& f : c.expected) {
        EXPECT_EQ(Hex(ReadBytes(folder + "/" + f.name)), Hex(f.bytes)) << f.name;
    }
    RemoveTree(folder);
}

const std::vector<FileBytes> kLossy = {{"in.txt", "\xe2\x9c\x93 ok\n"}};
const std::vector<FileBytes> kLossyDone = {{"in.txt", "? ok\n"}};

INSTANTIATE_TEST_SUITE_P(
    Linux, StreamRun,
    ::testing::Values(
        StreamCase{"FailureWithErrorsClosed", {"missing.txt"}, false, kClosed, 21, {}, {}},
        StreamCase{"FailureWithErrorsUnread", {"missing.txt"}, false, kReaderGone, 21, {}, {}},
        StreamCase{"UsageErrorWithErrorsUnread", {"-xyz", "a"}, false, kReaderGone, 20, {}, {}},
        StreamCase{"UsageErrorWithErrorsFull", {"-xyz", "a"}, false, kDiskFull, 20, {}, {}},
        // The count of lost characters comes after the commit: the converted file stays.
        // (--lossy: unasked, a replacement that loses characters is refused.)
        StreamCase{"LossyReplacementWithErrorsUnread",
                   {"-u8", "-a1252", "--lossy", "-r", "in.txt"},
                   false,
                   kReaderGone,
                   0,
                   kLossy,
                   kLossyDone},
        StreamCase{"LossyReplacementWithErrorsClosed",
                   {"-u8", "-a1252", "--lossy", "-r", "in.txt"},
                   false,
                   kClosed,
                   0,
                   kLossy,
                   kLossyDone},
        StreamCase{"HelpToAFullDisk", {"--help"}, true, kDiskFull, 22, {}, {}},
        StreamCase{"HelpUnread", {"--help"}, true, kReaderGone, 22, {}, {}},
        StreamCase{"VersionWithOutputClosed", {"--version"}, true, kClosed, 22, {}, {}}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return info.param.name; });

}  // namespace

namespace {

// A reader that leaves while a write is under way, as "head -c1" does: the write returns the
// part that got through, and the kernel raises SIGPIPE with that count. To meet that moment every
// time, the reader waits until the pipe is full, with the program inside one write of more than
// the pipe holds, and only then goes.
struct LeavingCase {
    const char* name;
    const char* output;  // how the run names its standard output
};

void PrintTo(const LeavingCase& c, std::ostream* out) {
    *out << c.name;
}

class ReaderLeaves : public ::testing::TestWithParam<LeavingCase> {};

TEST_P(ReaderLeaves, MidWriteTheRunEnds22QuietlyWithItsRecord) {
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "the Windows programs write no standard output";
    }
    std::string folder = MakeTempDir();
    // UTF-16 to UTF-8 shrinks the text in place, so all of it leaves in one write at the end.
    std::string text = "\xFF\xFE";
    for (int i = 0; i < (1 << 19); ++i) {
        text += std::string("x\0", 2);
    }
    WriteBytes(folder + "/in.txt", text);
    for (int run = 1; run <= 10; ++run) {
        int ends[2];
        ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
        int capacity = fcntl(ends[0], F_GETPIPE_SZ);
        ASSERT_GT(capacity, 0);
        Streams streams;
        streams.out = ends[1];
        streams.err =
            open((folder + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        int child = StartProgramWithStreams(
            {"-U16", "-U8-", "in.txt", GetParam().output, "-o", "run.log"}, folder, streams);
        close(ends[1]);
        close(streams.err);
        ASSERT_GT(child, 0);
        int waiting = 0;
        for (int tries = 0; tries < 20000 && waiting < capacity; ++tries) {
            ioctl(ends[0], FIONREAD, &waiting);
            usleep(waiting < capacity ? 500 : 0);
        }
        EXPECT_EQ(waiting, capacity) << "the pipe never filled";
        close(ends[0]);
        int status = WaitForProgram(child);
        ASSERT_TRUE(WIFEXITED(status)) << "run " << run << " ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 22) << "run " << run;
        EXPECT_EQ(ReadBytes(folder + "/stderr"), "") << "run " << run;
        std::string log = ReadBytes(folder + "/run.log");
        size_t records = 0;
        for (size_t at = log.find("Return Code:  22 (0x16)"); at != std::string::npos;
             at = log.find("Return Code:  22 (0x16)", at + 1)) {
            ++records;
        }
        EXPECT_EQ(records, static_cast<size_t>(run)) << log;
    }
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(Linux, ReaderLeaves,
                         ::testing::Values(LeavingCase{"Dash", "-"},
                                           LeavingCase{"DevStdout", "/dev/stdout"}),
                         [](const ::testing::TestParamInfo<LeavingCase>& info) {
                             return info.param.name;
                         });

}  // namespace
