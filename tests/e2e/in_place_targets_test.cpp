// Targets that are streams, not files: the text is written through them where they stand, and
// nothing is renamed over the file a descriptor has open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

const std::string kInput = "caf\xE9\n";
const std::string kConverted = "caf\xC3\xA9\n";

struct StreamCase {
    const char* target;
    int exitCode;
    std::string out;  // what reached the test's own standard output, a plain file
    std::string err;
};

class StreamTargets : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamTargets, AreWrittenInPlace) {
    if (Flavor() != "native") {
        GTEST_SKIP() << "devices and descriptor names are the Linux program's";
    }
    const StreamCase& c = GetParam();
    std::string folder = MakeTempDir();
    WriteBytes(folder + "/in.txt", kInput);
    RunOutput run = RunProgramCapturing({"-A1252", "-U8-", "in.txt", c.target}, folder);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    // No temporary left beside the input, and the input untouched.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_EQ(ReadBytes(folder + "/in.txt"), kInput);
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Linux, StreamTargets,
    ::testing::Values(StreamCase{"/dev/stdout", 0, kConverted, ""},
                      StreamCase{"/dev/fd/1", 0, kConverted, ""},
                      StreamCase{"/proc/self/fd/1", 0, kConverted, ""},
                      StreamCase{"/dev/null", 0, "", ""},
                      // What reached a stream before a failure stays there: no promise that
                      // the target was left as it was.
                      StreamCase{"/dev/full", 22, "",
                                 "codeshift: cannot write output \"/dev/full\": No space left on "
                                 "device\n"}));

TEST(StreamTargets, FifoReceivesTheText) {
    if (Flavor() != "native") {
        GTEST_SKIP() << "FIFOs are the Linux program's";
    }
    std::string folder = MakeTempDir();
    WriteBytes(folder + "/in.txt", kInput);
    ASSERT_EQ(mkfifo((folder + "/pipe").c_str(), 0600), 0);
    std::future<std::string> reader =
        std::async(std::launch::async, [&] { return ReadBytes(folder + "/pipe"); });
    EXPECT_EQ(RunProgram({"-A1252", "-U8-", "in.txt", "pipe"}, folder), 0);
    // A run that never opened the FIFO leaves the reader waiting for a writer: be that writer.
    if (reader.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        close(open((folder + "/pipe").c_str(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_EQ(reader.get(), kConverted);
    RemoveTree(folder);
}

}  // namespace
