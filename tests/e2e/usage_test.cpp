// Runs that end before any file is touched: usage errors and the readme.
#include <gtest/gtest.h>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

class UsageRun : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeTempDir(); }
    void TearDown() override { RemoveTree(folder); }
    std::string folder;
};

// The Linux program opens no browser, also when nobody sees standard error: it tells where the
// guide is.
TEST_F(UsageRun, NoArgumentsTellsWhereTheGuideIsAndExits20) {
    RunOutput run = RunProgramCapturing({}, folder);
    EXPECT_EQ(run.exitCode, 20);
    if (Flavor() == "native") {
        EXPECT_FALSE(FileExists(folder + "/shell.trace"));
        EXPECT_NE(run.err.find("codeshift: the full guide is /"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("/readme.html; see also"), std::string::npos) << run.err;
    }
}

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
};

class UsageTable : public UsageRun, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(UsageTable, ExitCodeAndReadme) {
    const UsageCase& c = GetParam();
    EXPECT_EQ(RunProgram(c.arguments, folder), c.exitCode);
    if (Flavor() == "native") {
        EXPECT_FALSE(FileExists(folder + "/shell.trace")) << "a browser was asked for";
    }
    EXPECT_FALSE(FileExists(folder + "/b")) << "no output may be written";
}

INSTANTIATE_TEST_SUITE_P(Runs, UsageTable,
                         ::testing::Values(UsageCase{"UnknownName", {"-xyz", "a", "b"}, 20},
                                           UsageCase{"TargetWithoutOutput", {"-utf8", "a"}, 20},
                                           UsageCase{"NoBomSourceWithoutOutput", {"-u8-", "a"}, 20},
                                           UsageCase{"DoubleDash", {"--utf8", "a", "b"}, 20},
                                           UsageCase{"LoneDash", {"-", "a", "b"}, 20},
                                           UsageCase{"OnlyALogName", {"-orun.log"}, 20}),
                         [](const ::testing::TestParamInfo<UsageCase>& info) {
                             return info.param.name;
                         });

}  // namespace

namespace {

class MissingInput : public ::testing::TestWithParam<E2eCase> {};

TEST_P(MissingInput, Runs) {
    RunE2eCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MissingInput,
    ::testing::Values(E2eCase{"RecognitionOfMissingFile", {"missing.txt"}, {}, 21, {}, {}, {}, ""},
                      E2eCase{"ConversionOfMissingFileLeavesOutput",
                              {"-u8", "-u16", "missing.txt", "out.txt"},
                              {{"out.txt", "old"}},
                              21,
                              {{"out.txt", "old"}},
                              {},
                              {},
                              ""}),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

}  // namespace
