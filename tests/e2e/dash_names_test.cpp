// "-" on the Linux command line: standard input as INPUT, standard output as OUTPUT, as in a
// pipeline; "./-" is still a file of that name.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/e2e/cases.h"
#include "tests/support/test_files.h"

namespace {

const std::string kText = "caf\xE9\n";
const std::string kUtf8 = "caf\xC3\xA9\n";

// Where standard output goes: a file, a pipe nobody reads, or the log the run names.
enum OutputKind { kOutputFile, kReaderGone, kOutputIsLog };

struct DashCase {
    const char* name;
    std::vector<std::string> arguments;  // behind -A1252 -U8-, unless only recognising (-T)
    const char* input;                   // standard input; nullptr: the caller closed it
    OutputKind output;
    int exitCode;
    std::string out;   // what standard output received
    std::string err;   // the start of what standard error received
    std::string file;  // "NAME=BYTES": a file the run must leave so (the log: holding BYTES)
};

void PrintTo(const DashCase& c, std::ostream* out) {
    *out << c.name;
}

class Dash : public ::testing::TestWithParam<DashCase> {};

TEST_P(Dash, NamesAStandardStream) {
    const DashCase& c = GetParam();
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "\"-\" is a name only on the Linux command line";
    }
    std::string folder = MakeTempDir();
    WriteBytes(folder + "/in.txt", kText);
    WriteBytes(folder + "/-", kText);
    WriteBytes(folder + "/stdin", c.input == nullptr ? "" : c.input);
    int ends[2] = {-1, -1};
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    close(ends[0]);
    const char* out = c.output == kOutputIsLog ? "/run.log" : "/stdout";
    Streams streams;
    streams.in = c.input == nullptr ? kStreamClosed : open((folder + "/stdin").c_str(), O_RDONLY);
    streams.out = c.output == kReaderGone
                      ? ends[1]
                      : open((folder + out).c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    streams.err = open((folder + "/stderr").c_str(), O_WRONLY | O_CREAT, 0600);
    std::vector<std::string> arguments = c.arguments;
    if (arguments[0] != "-T") {
        arguments.insert(arguments.begin(), {"-A1252", "-U8-"});
    }
    int status = RunProgramWithStreams(arguments, folder, streams);
    for (int fd : {streams.in, streams.out, streams.err, ends[1]}) {
        close(fd);
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
    EXPECT_EQ(c.output == kOutputFile ? ReadBytes(folder + "/stdout") : "", c.out);
    EXPECT_EQ(ReadBytes(folder + "/stderr").substr(0, c.err.size()), c.err);
    if (!c.file.empty()) {
        std::string name = c.file.substr(0, c.file.find('='));
        std::string bytes = ReadBytes(folder + "/" + name);
        std::string expected = c.file.substr(name.size() + 1);
        // A log holds more than the part a case names.
        EXPECT_TRUE(name == "log" ? bytes.find(expected) != std::string::npos : bytes == expected)
            << name << ": " << bytes;
    }
    EXPECT_EQ(ReadBytes(folder + "/-"), c.file.rfind("-=", 0) == 0 ? kUtf8 : kText);
    EXPECT_EQ(ReadBytes(folder + "/in.txt"), kText);
    RemoveTree(folder);
}

// One case a row.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Linux, Dash, ::testing::Values(
    DashCase{"InputToFile", {"-", "out.txt"}, "caf\xE9\n", kOutputFile, 0, "", "", "out.txt=caf\xC3\xA9\n"},
    DashCase{"FileToOutput", {"in.txt", "-"}, "", kOutputFile, 0, kUtf8, "", ""},
    DashCase{"InputToOutput", {"-", "-"}, "caf\xE9\n", kOutputFile, 0, kUtf8, "", ""},
    DashCase{"StillInputAfterTheOptionsEnd", {"--", "-", "out.txt"}, "caf\xE9\n", kOutputFile, 0, "", "",
             "out.txt=caf\xC3\xA9\n"},
    DashCase{"FileCalledDash", {"in.txt", "./-"}, "", kOutputFile, 0, "", "", "-=caf\xC3\xA9\n"},
    // Recognition only answers by its exit code, as for a file.
    DashCase{"RecognisedByItsMark", {"-T", "-"}, "\xEF\xBB\xBFhi", kOutputFile, 11, "", "", ""},
    DashCase{"NothingToRead", {"-", "out.txt"}, "", kOutputFile, 21, "",
             "codeshift: cannot read input \"-\" (standard input): the file is empty", ""},
    DashCase{"ClosedByTheCaller", {"-", "out.txt"}, nullptr, kOutputFile, 21, "",
             "codeshift: cannot read input \"-\" (standard input)", ""},
    DashCase{"NotReplaced", {"-r", "-"}, "caf\xE9\n", kOutputFile, 20, "",
             "codeshift: -r replaces the input file, and standard input", ""},
    // The reader went away: the run ends without a word, and says so by its exit code.
    DashCase{"OutputReaderGone", {"in.txt", "-"}, "", kReaderGone, 22, "", "", ""},
    DashCase{"LogShowsTheDash", {"-o", "log", "-", "-"}, "caf\xE9\n", kOutputFile, 0, kUtf8, "",
             "log=Input  File:  -\n \xE2\x80\xA2 Output File:  -\n"},
    // Standard output appending to the log itself: the record stays out of the text.
    DashCase{"OutputThatIsTheLog", {"-o", "run.log", "in.txt", "-"}, "", kOutputIsLog, 0, "",
             "codeshift: warning: no record written to the log \"run.log\": it is the output",
             "run.log=caf\xC3\xA9\n"}),
    [](const ::testing::TestParamInfo<DashCase>& info) { return info.param.name; });
// clang-format on

}  // namespace

namespace {

// A folder given as standard input: the read fails for its own reason, not a device error.
TEST(StandardInput, FolderSaysItIsAFolder) {
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "\"-\" is a name only on the Linux command line";
    }
    std::string folder = MakeTempDir();
    Streams streams;
    streams.in = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    streams.err = open((folder + "/stderr").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    int status = RunProgramWithStreams({"-A1252", "-U8-", "-", "out.txt"}, folder, streams);
    close(streams.in);
    close(streams.err);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 21);
    EXPECT_EQ(ReadBytes(folder + "/stderr"),
              "codeshift: cannot read input \"-\" (standard input): Is a directory\n");
    RemoveTree(folder);
}

}  // namespace
