// The Linux program's standard streams when nobody reads them: a message that cannot be written
// is lost, never the run's result; an answer that cannot be written (--help, --version) fails.
#include <fcntl.h>
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
        StreamCase{"LossyReplacementWithErrorsUnread",
                   {"-u8", "-a1252", "-r", "in.txt"},
                   false,
                   kReaderGone,
                   0,
                   kLossy,
                   kLossyDone},
        StreamCase{"LossyReplacementWithErrorsClosed",
                   {"-u8", "-a1252", "-r", "in.txt"},
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
