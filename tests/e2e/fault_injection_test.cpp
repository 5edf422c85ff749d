// Faults that need more than a table row: writes that fail part-way, inputs too large for the
// 32-bit model, inputs that could block, and many runs sharing one log.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

class FaultRun : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeTempDir(); }
    void TearDown() override { RemoveTree(folder); }

    std::string In(const std::string& name) const { return folder + "/" + name; }

    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    // Runs the program but gives up (and fails) if it has not ended within `seconds`: a run
    // that blocks on its input must not hang the suite. The blocked input is then unblocked.
    int RunWithin(const std::vector<std::string>& arguments, int seconds,
                  const std::string& fifoToRelease = "") {
        auto run = std::async(std::launch::async, [&] { return RunProgram(arguments, folder); });
        if (run.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready) {
            return run.get();
        }
        ADD_FAILURE() << "the run did not end within " << seconds << " s";
        if (!fifoToRelease.empty()) {
            int fd = open(fifoToRelease.c_str(), O_RDWR | O_NONBLOCK);
            if (fd >= 0) {
                close(fd);
            }
        }
        return run.get();
    }

    std::string folder;
};

// --- A write that fails part-way (the file size limit is reached) -------------------------

struct LimitCase {
    const char* name;
    std::vector<std::string> arguments;
    long long limit;
    int exitCode;
    bool replacesInput;
};

void PrintTo(const LimitCase& c, std::ostream* out) {
    *out << c.name;
}

class WriteFailure : public FaultRun, public ::testing::WithParamInterface<LimitCase> {};

// 64 KiB of ASCII becomes 256 KiB of UTF-32 (plus the mark); the limits cut the output at
// several points: in the mark, at the first flush, in the middle, one byte short, and exactly at
// its size (which must succeed).
TEST_P(WriteFailure, LeavesTargetAndInputAsTheyWere) {
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "the file size limit is set on the native process";
    }
    const LimitCase& c = GetParam();
    std::string text(65536, 'x');
    WriteBytes(In("in.txt"), text);
    WriteBytes(In("out.txt"), "old content");
    EXPECT_EQ(RunProgramIn(FileSizeLimit(c.limit), c.arguments, folder), c.exitCode);
    std::string output = std::string("\xFF\xFE\x00\x00", 4);
    for (size_t i = 0; i < text.size(); ++i) {
        output += std::string("x\0\0\0", 4);
    }
    if (c.exitCode == 0) {
        EXPECT_EQ(ReadBytes(In(c.replacesInput ? "in.txt" : "out.txt")), output);
    } else {
        EXPECT_EQ(ReadBytes(In("in.txt")), text) << "the input must keep its content";
        EXPECT_EQ(ReadBytes(In("out.txt")), "old content") << "the target must keep its content";
    }
    EXPECT_EQ(Names(), (std::set<std::string>{"in.txt", "out.txt"})) << "a temporary was left";
}

constexpr long long kFullOutput = 4 + 4 * 65536;

INSTANTIATE_TEST_SUITE_P(
    Limits, WriteFailure,
    ::testing::Values(
        LimitCase{"InTheMark", {"-u8", "-u32", "in.txt", "out.txt"}, 2, 22, false},
        LimitCase{"AtTheFirstFlush", {"-u8", "-u32", "in.txt", "out.txt"}, 4096, 22, false},
        LimitCase{"HalfWay", {"-u8", "-u32", "in.txt", "out.txt"}, kFullOutput / 2, 22, false},
        LimitCase{"OneByteShort", {"-u8", "-u32", "in.txt", "out.txt"}, kFullOutput - 1, 22, false},
        LimitCase{"ExactlyEnough", {"-u8", "-u32", "in.txt", "out.txt"}, kFullOutput, 0, false},
        LimitCase{"ReplacingInTheMark", {"-u8", "-u32", "-r", "in.txt"}, 2, 22, true},
        LimitCase{"ReplacingHalfWay", {"-u8", "-u32", "-r", "in.txt"}, kFullOutput / 2, 22, true},
        LimitCase{"ReplacingExactlyEnough", {"-u8", "-u32", "-r", "in.txt"}, kFullOutput, 0, true},
        // A text that leaves as it came is copied inside the system.
        LimitCase{"CopyInOnePiece", {"-u8", "-u8-", "in.txt", "out.txt"}, 65535, 22, false},
        LimitCase{"CopyHalfWay", {"-u8", "-u8-", "in.txt", "out.txt"}, 32768, 22, false},
        LimitCase{"CopyReplacingHalfWay", {"-u8", "-u8-", "-r", "in.txt"}, 32768, 22, true}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return info.param.name; });

// --- Inputs beyond the 32-bit model: refused at once, nothing read or written -------------

class HugeInput : public FaultRun, public ::testing::WithParamInterface<unsigned long long> {};

TEST_P(HugeInput, IsRefusedWithoutReadingIt) {
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "sparse files of this size are made for the native build only";
    }
    std::error_code error;
    WriteBytes(In("big.txt"), "");
    std::filesystem::resize_file(In("big.txt"), GetParam(), error);
    if (error) {
        GTEST_SKIP() << "this file system cannot hold a sparse file of " << GetParam();
    }
    WriteBytes(In("out.txt"), "old");
    auto start = std::chrono::steady_clock::now();
    RunOutput recognition = RunProgramCapturing({"big.txt"}, folder);
    EXPECT_EQ(recognition.exitCode, 21);
    if (FlavorMatches("native")) {
        EXPECT_EQ(recognition.err,
                  "codeshift: cannot read input \"big.txt\": larger than 4 294 963 158 bytes, "
                  "the most one run can hold\n");
    }
    EXPECT_EQ(RunProgram({"-u8", "-u16", "big.txt", "out.txt"}, folder), 21);
    EXPECT_EQ(RunProgram({"-t", "-u8", "-r", "big.txt"}, folder), 21);
    // A text that would only be copied is refused alike, before anything is copied.
    EXPECT_EQ(RunProgram({"-u8", "-UTF8", "big.txt", "out.txt"}, folder), 21);
    EXPECT_EQ(RunProgram({"-u8", "-u8-", "-r", "big.txt"}, folder), 21);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 20.0) << "a refused input must not be read";
    EXPECT_EQ(ReadBytes(In("out.txt")), "old");
    EXPECT_EQ(std::filesystem::file_size(In("big.txt")), GetParam());
    EXPECT_EQ(Names(), (std::set<std::string>{"big.txt", "out.txt"}));
}

// The first size whose block would not fit 32 bits, the largest 32-bit size, 4 GiB exactly
// (low 32 bits zero) and 4 GiB + 10 (low 32 bits a small, plausible size).
INSTANTIATE_TEST_SUITE_P(Sizes, HugeInput,
                         ::testing::Values(4294963159ull, 4294967295ull, 4294967296ull,
                                           4294967306ull));

// --- Inputs that are not regular files: refused, never waited on --------------------------

TEST_F(FaultRun, FifoInputIsRefusedWithoutBlocking) {
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "FIFOs are the native build's";
    }
    ASSERT_EQ(mkfifo(In("pipe").c_str(), 0644), 0);
    WriteBytes(In("out.txt"), "old");
    EXPECT_EQ(RunWithin({"pipe"}, 10, In("pipe")), 21);
    EXPECT_EQ(RunWithin({"-u8", "-u16", "pipe", "out.txt"}, 10, In("pipe")), 21);
    EXPECT_EQ(ReadBytes(In("out.txt")), "old");
    EXPECT_EQ(Names(), (std::set<std::string>{"pipe", "out.txt"}));
}

TEST_F(FaultRun, DeviceInputsAreRefusedWithoutBlocking) {
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "devices are the native build's";
    }
    // /dev/zero would never end; /dev/null reads as empty. (A name starting with "/" is an
    // option, so the devices are reached through links.)
    ASSERT_EQ(symlink("/dev/zero", In("zero").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", In("null").c_str()), 0);
    EXPECT_EQ(RunWithin({"zero"}, 10), 21);
    EXPECT_EQ(RunWithin({"-u8", "-u16", "zero", "out.txt"}, 10), 21);
    EXPECT_EQ(RunWithin({"null"}, 10), 21);
    EXPECT_EQ(RunWithin({"-u8", "-u16", "null", "out.txt"}, 10), 21);
    EXPECT_EQ(Names(), (std::set<std::string>{"zero", "null"}));
}

TEST_F(FaultRun, FolderInputIsRefused) {
    std::filesystem::create_directory(In("dir"));
    EXPECT_EQ(RunWithin({"dir"}, 10), 21);
    EXPECT_EQ(RunWithin({"-u8", "-u16", "dir", "out.txt"}, 10), 21);
    EXPECT_EQ(Names(), (std::set<std::string>{"dir"}));
}

// --- Sixteen runs appending to one log at the same moment ---------------------------------

TEST_F(FaultRun, ParallelRunsAppendWholeRecordsToOneLog) {
    constexpr int kRuns = 16;
    for (int i = 0; i < kRuns; ++i) {
        WriteBytes(In("in" + std::to_string(i) + ".txt"), "abc");
    }
    std::vector<std::future<int>> runs;
    for (int i = 0; i < kRuns; ++i) {
        std::string n = std::to_string(i);
        runs.push_back(std::async(std::launch::async, [this, n] {
            return RunProgram(
                {"-u8", "-u16", "in" + n + ".txt", "out" + n + ".txt", "-oshared.log"}, folder);
        }));
    }
    for (auto& run : runs) {
        EXPECT_EQ(run.get(), 0);
    }

    std::string log = ReadBytes(In("shared.log"));
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.substr(0, 3), "\xEF\xBB\xBF") << "exactly one mark, at the start";
    EXPECT_EQ(log.find("\xEF\xBB\xBF", 3), std::string::npos);
    std::vector<std::string> lines;
    size_t start = 3;
    for (size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(log.substr(start, end - start));
    }
    EXPECT_EQ(start, log.size()) << "the log must end with a line feed";
    constexpr size_t kRecordLines = 10;
    ASSERT_EQ(lines.size(), kRecordLines * kRuns) << log;
    std::set<std::string> inputs;
    const std::string bullet = " \xE2\x80\xA2 ";
    for (size_t r = 0; r < kRuns; ++r) {
        const std::string* record = &lines[r * kRecordLines];
        EXPECT_EQ(record[0], "") << "record " << r;
        EXPECT_EQ(record[1], std::string(52, '-')) << "record " << r;
        EXPECT_EQ(record[3].rfind(bullet + " CurrentDir:  ", 0), 0u) << record[3];
        EXPECT_EQ(record[4].rfind(bullet + "CommandLine:  ", 0), 0u) << record[4];
        EXPECT_EQ(record[5].rfind(bullet + "Input  File:  in", 0), 0u) << record[5];
        inputs.insert(record[5]);
        EXPECT_EQ(record[6].rfind(bullet + "Output File:  out", 0), 0u) << record[6];
        EXPECT_EQ(record[7], bullet + "   CodePage:  UTF-8n ==>> UTF-16LE BOM");
        EXPECT_EQ(record[8], bullet + "       Size:  3 ==>> 8");
        EXPECT_EQ(record[9], bullet + "Return Code:  0 (0x00)  ");
    }
    EXPECT_EQ(inputs.size(), static_cast<size_t>(kRuns)) << "every run has its own record";
}

}  // namespace
