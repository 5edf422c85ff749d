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

TEST_F(UsageRun, NoArgumentsAsksForTheReadmeAndExits20) {
    EXPECT_EQ(RunProgram({}, folder), 20);
    if (Flavor() == "native") {
        std::string trace = ReadBytes(folder + "/shell.trace");
        EXPECT_NE(trace.find("open /"), std::string::npos) << trace;
        EXPECT_NE(trace.find("/readme.html\n"), std::string::npos) << trace;
    }
}

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    bool readmeAsked;
};

class UsageTable : public UsageRun, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(UsageTable, ExitCodeAndReadme) {
    const UsageCase& c = GetParam();
    EXPECT_EQ(RunProgram(c.arguments, folder), c.exitCode);
    if (Flavor() == "native") {
        EXPECT_EQ(FileExists(folder + "/shell.trace"), c.readmeAsked);
    }
    EXPECT_FALSE(FileExists(folder + "/b")) << "no output may be written";
}

INSTANTIATE_TEST_SUITE_P(
    Runs, UsageTable,
    ::testing::Values(UsageCase{"UnknownName", {"-xyz", "a", "b"}, 20, true},
                      UsageCase{"TargetWithoutOutput", {"-utf8", "a"}, 20, true},
                      UsageCase{"NoBomSourceWithoutOutput", {"-u8-", "a"}, 20, true},
                      UsageCase{"DoubleDash", {"--utf8", "a", "b"}, 20, true},
                      UsageCase{"LoneDash", {"-", "a", "b"}, 20, true},
                      UsageCase{"OnlyALogName", {"-orun.log"}, 20, true}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return info.param.name; });

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
