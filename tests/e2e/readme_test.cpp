// The readme request: a usage error of a Windows program that was given no standard error asks
// the shell to open readme.html beside the program, once; other runs ask for nothing. The Linux
// program never asks: its message says where the guide is.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

struct ReadmeCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    bool readmeAsked;
    bool errorsGiven = false;  // standard error goes to a file, as with 2> err.txt
};

class ReadmeRequest : public ::testing::TestWithParam<ReadmeCase> {};

bool Windows() {
    return Flavor() != "native";
}

TEST_P(ReadmeRequest, OnlyUsageErrorsAskForTheReadmeBesideTheProgram) {
    const ReadmeCase& c = GetParam();
    std::string folder = MakeTempDir();
    Surroundings surroundings;
    surroundings.errorsDiscarded = !c.errorsGiven;
    EXPECT_EQ(RunProgramIn(surroundings, c.arguments, folder), c.exitCode);
    std::string requests = ShellRequests(folder);
    if (c.readmeAsked && Windows()) {
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
                      ReadmeCase{
                          "NotWhenStandardErrorIsGiven", {"-xyz", "a", "b"}, 20, false, true},
                      ReadmeCase{"UnknownEncodingName", {"-nosuchname", "a", "b"}, 20, true},
                      ReadmeCase{"OnlyALogName", {"-orun.log"}, 20, true},
                      ReadmeCase{"MissingInputIsNoUsageError", {"missing.txt"}, 21, false}),
    [](const ::testing::TestParamInfo<ReadmeCase>& info) { return info.param.name; });

// A program deep in folders finds the readme beside it. Past 260 characters the Windows shell
// is handed the path through the folder's short name; on Linux the path goes past the 1,024
// characters it was once cut at. (Under Wine the depth stays below 1,000 characters: from a
// program in a deeper folder Wine's own shell overflows a buffer while it looks for a viewer.)
TEST(ReadmeRequest, ProgramInADeepFolderFindsTheReadmeBesideIt) {
    namespace fs = std::filesystem;
    bool wine = Flavor() != "native";
    if (!wine) {
        GTEST_SKIP() << "the Linux program opens no guide";
    }
    if (wine && (FileHelper().empty() || !FileExists(FileHelper()))) {
        GTEST_SKIP() << "the short name is read by the Wine file helper";
    }
    std::string folder = MakeTempDir();
    std::string deep = folder + "/program";
    for (char level = 'a'; deep.size() < (wine ? 600u : 1200u); ++level) {
        deep += "/" + std::string(150, level);
    }
    fs::create_directories(deep);
    fs::path original = std::getenv("CODESHIFT_PROGRAM");
    std::string program = deep + "/" + original.filename().string();
    fs::copy_file(original, program);
    WriteBytes(deep + "/readme.html", "<p>guide</p>");
    std::string work = folder + "/work";
    fs::create_directories(work);

    std::vector<std::string> expected = ReadmePaths(program);
    if (wine) {
        EXPECT_EQ(RunProgramAt(FileHelper(), {"short", PlatformPath(deep + "/readme.html")}, work),
                  0);
        std::string shortPath = ReadBytes(work + "/helper.txt");
        expected.push_back(shortPath.substr(0, shortPath.find('\r')));
    }
    EXPECT_EQ(RunProgramAt(program, {}, work, ErrorsDiscarded()), 20);
    std::string requests = ShellRequests(work);
    bool named = false;
    for (const std::string& path : expected) {
        named = named || requests == "open " + path + "\n";
    }
    EXPECT_TRUE(named) << "requests: \"" << requests << "\", expected the readme at "
                       << expected.back();
    RemoveTree(folder);
}

}  // namespace
