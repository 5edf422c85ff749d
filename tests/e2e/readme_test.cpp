// The readme request, seen the same way on every build: a usage error asks the shell to open
// readme.html beside the program, once; other runs ask for nothing.
#include <gtest/gtest.h>

#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

struct ReadmeCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    bool readmeAsked;
};

class ReadmeRequest : public ::testing::TestWithParam<ReadmeCase> {};

TEST_P(ReadmeRequest, OnlyUsageErrorsAskForTheReadmeBesideTheProgram) {
    const ReadmeCase& c = GetParam();
    std::string folder = MakeTempDir();
    EXPECT_EQ(RunProgram(c.arguments, folder), c.exitCode);
    std::string requests = ShellRequests(folder);
    if (c.readmeAsked) {
        bool named = false;
        for (const std::string& path : ReadmePaths()) {
            named = named || requests == "open " + path + "\n";
        }
        EXPECT_TRUE(named) << "requests: \"" << requests << "\", expected the readme at "
                           << ReadmePaths().front();
    } else {
        EXPECT_EQ(requests, "");
    }
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ReadmeRequest,
    ::testing::Values(ReadmeCase{"NoArguments", {}, 20, true},
                      ReadmeCase{"UnknownEncodingName", {"-nosuchname", "a", "b"}, 20, true},
                      ReadmeCase{"OnlyALogName", {"-orun.log"}, 20, true},
                      ReadmeCase{"MissingInputIsNoUsageError", {"missing.txt"}, 21, false}),
    [](const ::testing::TestParamInfo<ReadmeCase>& info) { return info.param.name; });

}  // namespace
