// A text left in its file for the system to copy: an input that changes size between its first
// bytes and the copy ends the run exactly as a load that saw the change would have.
#include "src/transcode/copy_text.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "src/input/keep_text_in_file.h"
#include "src/input/load_input.h"
#include "src/transcode/output_step.h"
#include "tests/support/test_files.h"
#include "tests/transcode/work_block.h"

namespace {

constexpr CodePageId kUtf8 = static_cast<CodePageId>(CP_UTF8);

struct ChangeCase {
    const char* name;
    CodePageId source;  // as the command line gave it
    CodePageId target;
    uint8_t writeBom;
    long change;  // bytes added to the input (less than 0: taken away) before the copy
};

void PrintTo(const ChangeCase& c, std::ostream* out) {
    *out << c.name;
}

class ChangedInput : public ::testing::TestWithParam<ChangeCase> {
protected:
    void SetUp() override { folder = MakeTempDir(); }
    void TearDown() override {
        ReleaseWorkBuffer();
        RemoveTree(folder);
    }
    std::string folder;
};

TEST_P(ChangedInput, EndsTheRunAsAFailedRead) {
    const ChangeCase& c = GetParam();
    const std::string input = "\xEF\xBB\xBF" + std::string(100000, 'x');
    WriteBytes(folder + "/in.txt", input);
    WriteBytes(folder + "/out.txt", "old");
    runState = RunState{};
    runState.inputName = WideAscii(folder + "/in.txt");
    runState.outputName = WideAscii(folder + "/out.txt");
    runState.sourceCp = c.source;
    runState.targetCp = c.target;
    runState.writeBom = c.writeBom;
    runState.requestedSourceCp = runState.sourceCp;
    ASSERT_TRUE(OpenInput());
    ASSERT_TRUE(KeepTextInFile()) << "the text should have stayed in its file";
    EXPECT_EQ(runState.inputHadBom, 1);
    std::filesystem::resize_file(folder + "/in.txt", input.size() + c.change);

    EXPECT_EQ(WriteOutputFile(), kStatusInputFailed);
    EXPECT_EQ(runState.failure, kFailureInputChanged);
    // What the log shows: the command line's encodings, no mark, no sizes.
    EXPECT_EQ(runState.sourceCp, c.source);
    EXPECT_EQ(runState.targetCp, c.target);
    EXPECT_EQ(runState.writeBom, c.writeBom);
    EXPECT_EQ(runState.inputHadBom, 0);
    EXPECT_EQ(runState.inputSize, 0u);
    EXPECT_EQ(runState.outputByteCount, 0u);
    EXPECT_EQ(runState.inputFile, INVALID_HANDLE_VALUE) << "the input stays open";
    EXPECT_EQ(runState.workBuffer.block, nullptr);
    EXPECT_EQ(ReadBytes(folder + "/out.txt"), "old");
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"in.txt", "out.txt"})) << "a temporary was left";
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ChangedInput,
    ::testing::Values(ChangeCase{"GrewRemovingTheMark", kUtf8, kUtf8, 0, 10},
                      ChangeCase{"ShrankKeepingTheMark", CP_AUTODETECT, kUtf8, 1, -10},
                      // Without a target the output step took the source's: the log must not.
                      ChangeCase{"GrewWithoutTarget", kUtf8, CP_UNSET, 1, 1},
                      ChangeCase{"LostItsWholeText", kUtf8, kUtf8, 1, -100000}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) { return info.param.name; });

}  // namespace
