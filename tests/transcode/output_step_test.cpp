// The output step: marks, the target left open, and how the target is created or replaced.
#include "src/transcode/output_step.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "src/platform/posix/signals.h"
#include "tests/support/test_files.h"
#include "tests/transcode/work_block.h"

namespace {

constexpr CodePageId kUtf8 = static_cast<CodePageId>(CP_UTF8);

struct MarkCase {
    const char* name;
    CodePageId target;
    bool writeBom;
    std::string output;
};

void PrintTo(const MarkCase& c, std::ostream* out) {
    *out << c.name;
}

class OutputMarks : public ::testing::TestWithParam<MarkCase> {};

TEST_P(OutputMarks, StandBeforeTheText) {
    const MarkCase& c = GetParam();
    Conversion run = Convert(kUtf8, c.target, c.writeBom, "A");
    EXPECT_EQ(run.status, kStatusConverted);
    EXPECT_EQ(Hex(run.output), Hex(c.output));
    EXPECT_EQ(run.outputByteCount, c.output.size());
}

INSTANTIATE_TEST_SUITE_P(
    Targets, OutputMarks,
    ::testing::Values(
        MarkCase{"Utf8", kUtf8, true, Bytes({0xEF, 0xBB, 0xBF, 0x41})},
        MarkCase{"Utf16Le", CP_UTF16LE, true, Bytes({0xFF, 0xFE, 0x41, 0x00})},
        MarkCase{"Utf16Be", CP_UTF16BE, true, Bytes({0xFE, 0xFF, 0x00, 0x41})},
        MarkCase{"Utf32Le", CP_UTF32LE, true, Bytes({0xFF, 0xFE, 0x00, 0x00, 0x41, 0, 0, 0})},
        MarkCase{"Utf32Be", CP_UTF32BE, true, Bytes({0x00, 0x00, 0xFE, 0xFF, 0, 0, 0, 0x41})},
        MarkCase{"Utf8WithoutMark", kUtf8, false, "A"},
        MarkCase{"Utf32BeWithoutMark", CP_UTF32BE, false, Bytes({0, 0, 0, 0x41})},
        MarkCase{"CodePageHasNone", 1252, true, "A"}),
    [](const ::testing::TestParamInfo<MarkCase>& info) { return info.param.name; });

// With no target named, the output repeats the input byte for byte, its mark included.
struct SameAsInputCase {
    const char* name;
    CodePageId source;
    std::string file;
    uint32_t markLength;
};

void PrintTo(const SameAsInputCase& c, std::ostream* out) {
    *out << c.name;
}

class TargetLeftOpen : public ::testing::TestWithParam<SameAsInputCase> {};

TEST_P(TargetLeftOpen, RepeatsTheInput) {
    const SameAsInputCase& c = GetParam();
    Conversion run = Convert(c.source, CP_UNSET, true, c.file, c.markLength);
    EXPECT_EQ(run.status, kStatusConverted);
    EXPECT_EQ(Hex(run.output), Hex(c.file));
    EXPECT_EQ(run.outputByteCount, c.file.size());
    EXPECT_EQ(OutputCp(runState), c.source) << "the log labels the target by the source";
    EXPECT_EQ(OutputMarked(runState), c.markLength > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, TargetLeftOpen,
    ::testing::Values(
        SameAsInputCase{"Utf8Marked", kUtf8, Bytes({0xEF, 0xBB, 0xBF, 0xC3, 0xA9}), 3},
        SameAsInputCase{"Utf8Plain", kUtf8, Bytes({0xC3, 0xA9, 0xFF}), 0},
        SameAsInputCase{"Utf16BeMarked", CP_UTF16BE, Bytes({0xFE, 0xFF, 0x04, 0x16}), 2},
        SameAsInputCase{"Utf16LeMarked", CP_UTF16LE, Bytes({0xFF, 0xFE, 0x16, 0x04}), 2},
        SameAsInputCase{"Utf32BeMarked", CP_UTF32BE, Bytes({0, 0, 0xFE, 0xFF, 0, 1, 0xF6, 0}), 4},
        SameAsInputCase{"Utf16BeOddSize", CP_UTF16BE, Bytes({0x04, 0x16, 0x42}), 0},
        SameAsInputCase{"CodePage", 1251, Bytes({0xC6, 0x41, 0x98}), 0},
        SameAsInputCase{"Ansi", static_cast<CodePageId>(CP_ACP), Bytes({0xE9, 0x41}), 0}),
    [](const ::testing::TestParamInfo<SameAsInputCase>& info) { return info.param.name; });

class OutputFile : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeTempDir(); }
    void TearDown() override { RemoveTree(folder); }

    // One conversion of `text` from UTF-8 to UTF-16LE with a mark into `output`.
    RunStatus Run(const std::string& output, const std::string& text) {
        runState = RunState{};
        runState.sourceCp = kUtf8;
        runState.targetCp = CP_UTF16LE;
        runState.outputName = WideAscii(output);
        LayOutInput(text, 0);
        RunStatus status = WriteOutputFile();
        EXPECT_EQ(runState.workBuffer.block, nullptr) << "the block must be released";
        EXPECT_TRUE(runState.outputTempName.empty());
        return status;
    }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string folder;
};

TEST_F(OutputFile, CannotBeCreated) {
    EXPECT_EQ(Run(folder + "/missing/out.txt", "A"), kStatusOutputFailed);
    EXPECT_EQ(runState.status, kStatusOutputFailed);
    EXPECT_EQ(runState.failure, kFailureOutputCreate);
    EXPECT_NE(runState.failureError, ERROR_SUCCESS) << "the system's reason is kept";
    EXPECT_TRUE(Names().empty());
}

TEST_F(OutputFile, AFolderIsNoTarget) {
    std::filesystem::create_directory(folder + "/out.txt");
    EXPECT_EQ(Run(folder + "/out.txt", "A"), kStatusOutputFailed);
    EXPECT_EQ(Names(), std::vector<std::string>{"out.txt"});
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/out.txt"));
}

TEST_F(OutputFile, ReplacesAnExistingFileKeepingItsPermissions) {
    WriteBytes(folder + "/out.txt", "old content that is longer");
    chmod((folder + "/out.txt").c_str(), 0640);
    EXPECT_EQ(Run(folder + "/out.txt", "A"), kStatusConverted);
    EXPECT_EQ(Hex(ReadBytes(folder + "/out.txt")), "FF FE 41 00");
    struct stat info {};
    ASSERT_EQ(stat((folder + "/out.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(), std::vector<std::string>{"out.txt"});
}

TEST_F(OutputFile, ThroughASymbolicLinkTheFileItNamesIsReplaced) {
    std::filesystem::create_directory(folder + "/real");
    WriteBytes(folder + "/real/file.txt", "old");
    std::filesystem::create_symlink("real/file.txt", folder + "/out.txt");
    EXPECT_EQ(Run(folder + "/out.txt", "A"), kStatusConverted);
    EXPECT_TRUE(std::filesystem::is_symlink(folder + "/out.txt"));
    EXPECT_EQ(Hex(ReadBytes(folder + "/real/file.txt")), "FF FE 41 00");
    EXPECT_EQ(Names(), (std::vector<std::string>{"out.txt", "real"}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder + "/real"),
                            std::filesystem::directory_iterator()),
              1);
}

// The temporary beside the target must be creatable wherever the target's own name fits.
TEST_F(OutputFile, LongestNameStillWorks) {
    std::string name(250, 'n');
    WriteBytes(folder + "/" + name, "old");
    EXPECT_EQ(Run(folder + "/" + name, "A"), kStatusConverted);
    EXPECT_EQ(Hex(ReadBytes(folder + "/" + name)), "FF FE 41 00");
    EXPECT_EQ(Names(), std::vector<std::string>{name});
}

TEST_F(OutputFile, ReadOnlyTargetIsRefusedAndKept) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "the superuser may write any file";
    }
    WriteBytes(folder + "/out.txt", "old");
    chmod((folder + "/out.txt").c_str(), 0444);
    EXPECT_EQ(Run(folder + "/out.txt", "A"), kStatusOutputFailed);
    EXPECT_EQ(ReadBytes(folder + "/out.txt"), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"out.txt"});
}

// A write that fails part way (the file-size limit is reached) fails the run and leaves the
// old target alone. Run in a child, since the limit holds for the whole process, set up as the
// program sets itself up at start.
TEST_F(OutputFile, FailedWriteKeepsTheTarget) {
    WriteBytes(folder + "/out.txt", "old");
    struct Limit {
        const char* name;
        rlim_t bytes;
    };
    // At 1 byte even the mark fails; at 3000 the mark succeeds and a flush falls short.
    for (Limit limit : {Limit{"mark", 1}, Limit{"text", 3000}}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SetUpProcessSignals();
            struct rlimit cap = {limit.bytes, limit.bytes};
            setrlimit(RLIMIT_FSIZE, &cap);
            int status = Run(folder + "/out.txt", std::string(100000, 'x'));
            // The log's output size is what reached the target: nothing.
            bool noted = runState.failure == kFailureOutputWrite && runState.outputByteCount == 0;
            _exit(noted ? status : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << limit.name;
        EXPECT_EQ(WEXITSTATUS(status), kStatusOutputFailed) << limit.name;
        EXPECT_EQ(ReadBytes(folder + "/out.txt"), "old") << limit.name;
        EXPECT_EQ(Names(), std::vector<std::string>{"out.txt"}) << limit.name;
    }
}

// A byte code page the platform cannot convert with stops the run before anything is created:
// 21 for the source's page (asked first), 22 for the target's; a copy asks nothing.
TEST_F(OutputFile, PageThePlatformCannotConvertStopsTheRunBeforeAnyOutput) {
    constexpr CodePageId kNoSuchPage = 4242;
    struct PageCase {
        CodePageId source;
        CodePageId target;
        RunStatus status;
        RunFailure failure;
    };
    const PageCase cases[] = {
        {kNoSuchPage, kUtf8, kStatusInputFailed, kFailureSourcePage},
        {kNoSuchPage, 1251, kStatusInputFailed, kFailureSourcePage},
        {kNoSuchPage, 4243, kStatusInputFailed, kFailureSourcePage},
        {CP_UTF16LE, kNoSuchPage, kStatusOutputFailed, kFailureTargetPage},
        {1251, kNoSuchPage, kStatusOutputFailed, kFailureTargetPage},
        {kNoSuchPage, kNoSuchPage, kStatusConverted, kFailureNone},
        {kNoSuchPage, CP_UNSET, kStatusConverted, kFailureNone},
        {static_cast<CodePageId>(CP_ACP), 1251, kStatusConverted, kFailureNone},
    };
    for (const PageCase& c : cases) {
        WriteBytes(folder + "/out.txt", "old");
        runState = RunState{};
        runState.sourceCp = c.source;
        runState.targetCp = c.target;
        runState.outputName = WideAscii(folder + "/out.txt");
        LayOutInput("A", 0);
        EXPECT_EQ(WriteOutputFile(), c.status) << c.source << " to " << c.target;
        EXPECT_EQ(runState.failure, c.failure) << c.source << " to " << c.target;
        EXPECT_EQ(runState.workBuffer.block, nullptr) << "the block must be released";
        EXPECT_EQ(ReadBytes(folder + "/out.txt"), c.status == kStatusConverted ? "A" : "old");
        EXPECT_EQ(Names(), std::vector<std::string>{"out.txt"});
    }
}

}  // namespace
