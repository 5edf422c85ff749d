// A log option that names a file of the user's by a slip of the hand: the record goes nowhere
// rather than into the text, the run ends as it would have, and one warning says why.
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

struct LogSlipCase {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<FileBytes> given;
    const char* hardLink;  // made as a second name of the first given file, when not empty
    int exitCode;
    std::vector<FileBytes> expected;       // every file's whole content afterwards
    const char* warning;                   // the warning's reason
    std::vector<std::string> absent = {};  // files that must not be there afterwards
    const char* flavors = "";              // the builds the case holds for; empty: all
};

void PrintTo(const LogSlipCase& c, std::ostream* out) {
    *out << c.name;
}

const std::string kText = "caf\xE9\n";  // Windows-1252
const std::string kUtf8 = "caf\xC3\xA9\n";
const std::string kUtf16 = std::string(
    "\xFF\xFE"
    "c\0a\0f\0\xE9\0\n\0",
    12);
const char* kIsInput = "it is the input of this run";
const char* kIsOutput = "it is the output of this run";
const char* kNoLog = "it holds something other than a log of codeshift";
// One file converted with no output name: on Linux the text goes to standard output, while the
// Windows programs, which write no standard output unnamed, refuse the command line.
constexpr int kStandardOutputOrUsage = -1;
const char* kNoFile = "it is a device or a file of the system, which keeps no log";

class LogSlips : public ::testing::TestWithParam<LogSlipCase> {};

TEST_P(LogSlips, LeaveTheTextAlone) {
    const LogSlipCase& c = GetParam();
    if (!FlavorMatches(c.flavors)) {
        GTEST_SKIP() << "a case of " << c.flavors;
    }
    std::string folder = MakeTempDir();
    for (const FileBytes& f : c.given) {
        WriteBytes(folder + "/" + f.name, f.bytes);
    }
    if (*c.hardLink != '\0') {
        ASSERT_EQ(
            link((folder + "/" + c.given[0].name).c_str(), (folder + "/" + c.hardLink).c_str()), 0);
    }
    RunOutput run = RunProgramCapturing(c.arguments, folder, true);
    if (c.exitCode == kStandardOutputOrUsage) {
        EXPECT_EQ(run.exitCode, Flavor() == "native" ? 0 : 20);
    } else {
        EXPECT_EQ(run.exitCode, c.exitCode);
    }
    for (const FileBytes& f : c.expected) {
        EXPECT_EQ(Hex(ReadBytes(folder + "/" + f.name)), Hex(f.bytes)) << f.name;
    }
    for (const std::string& name : c.absent) {
        EXPECT_FALSE(FileExists(folder + "/" + name)) << name << " left behind";
    }
    std::string messages = Flavor() == "native" ? run.err : DebugStrings(run.err);
    std::string log = c.arguments[c.arguments.size() - 1];
    std::string line =
        "codeshift: warning: no record written to the log \"" + log + "\": " + c.warning + "\n";
    EXPECT_NE(messages.find(line), std::string::npos) << "expected:\n"
                                                      << line << "got:\n"
                                                      << messages;
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    OfTheRun, LogSlips,
    ::testing::Values(
        // The log, written afresh after the commit, would take the converted text's place.
        LogSlipCase{"ReplacedFileAsNewLog",
                    {"-A1252", "-U8-", "-r", "m", "-O", "m"},
                    {{"m", kText}},
                    "",
                    0,
                    {{"m", kUtf8}},
                    kIsOutput},
        LogSlipCase{"InputAsLog",
                    {"-A1252", "-U16", "in.txt", "out.txt", "-o", "in.txt"},
                    {{"in.txt", kText}},
                    "",
                    0,
                    {{"in.txt", kText}, {"out.txt", kUtf16}},
                    kIsInput},
        LogSlipCase{"OutputAsLog",
                    {"-A1252", "-U16", "in.txt", "out.txt", "-o", "out.txt"},
                    {{"in.txt", kText}},
                    "",
                    0,
                    {{"in.txt", kText}, {"out.txt", kUtf16}},
                    kIsOutput},
        LogSlipCase{"InputSpelledOtherwise",
                    {"-A1252", "-U16", "in.txt", "out.txt", "-o", "./in.txt"},
                    {{"in.txt", kText}},
                    "",
                    0,
                    {{"in.txt", kText}, {"out.txt", kUtf16}},
                    kIsInput},
        LogSlipCase{"InputThroughAHardLink",
                    {"-A1252", "-U16", "in.txt", "out.txt", "-o", "other.txt"},
                    {{"in.txt", kText}},
                    "other.txt",
                    0,
                    {{"in.txt", kText}, {"other.txt", kText}, {"out.txt", kUtf16}},
                    kIsInput},
        // Recognition writes nothing, and its log option may not either.
        LogSlipCase{"RecognisedInputAsLog",
                    {"in.txt", "-o", "in.txt"},
                    {{"in.txt", "abc"}},
                    "",
                    2,
                    {{"in.txt", "abc"}},
                    kIsInput},
        // The habit of another tool: -o meant as the output never writes the text there.
        LogSlipCase{"OutputOptionOfAnotherTool",
                    {"-A1252", "-U8-", "in.txt", "-o", "out.txt"},
                    {{"in.txt", kText}, {"out.txt", "kept\n"}},
                    "",
                    kStandardOutputOrUsage,
                    {{"in.txt", kText}, {"out.txt", "kept\n"}},
                    kNoLog},
        LogSlipCase{"NotesAsNewLog",
                    {"-A1252", "-U16", "in.txt", "out.txt", "-O", "notes.txt"},
                    {{"in.txt", kText}, {"notes.txt", "my notes\n"}},
                    "",
                    0,
                    {{"out.txt", kUtf16}, {"notes.txt", "my notes\n"}},
                    kNoLog},
        // A failed run leaves nothing behind: the log it made under its input's or output's
        // name goes again.
        LogSlipCase{"MissingInputLogAsOutput",
                    {"-A1252", "-U8-", "gone.txt", "new.txt", "-o", "new.txt"},
                    {},
                    "",
                    21,
                    {},
                    kIsOutput,
                    {"new.txt"}},
        LogSlipCase{"MissingInputLogAsIt",
                    {"gone.txt", "-o", "gone.txt"},
                    {},
                    "",
                    21,
                    {},
                    kIsInput,
                    {"gone.txt"}},
        LogSlipCase{"MissingInputNewLogAsIt",
                    {"gone.txt", "-O", "gone.txt"},
                    {},
                    "",
                    21,
                    {},
                    kIsInput,
                    {"gone.txt"}},
        // An empty file that was there stays, as it was.
        LogSlipCase{"EmptyInputLogAsIt",
                    {"-A1252", "-U8-", "empty.txt", "new.txt", "-o", "empty.txt"},
                    {{"empty.txt", ""}},
                    "",
                    21,
                    {{"empty.txt", ""}},
                    kIsInput,
                    {"new.txt"}},
        // Files that read as empty and keep nothing that is written to them.
        LogSlipCase{"KernelFile",
                    {"in.txt", "-o", "/proc/self/comm"},
                    {{"in.txt", "abc"}},
                    "",
                    2,
                    {{"in.txt", "abc"}},
                    kNoFile,
                    {},
                    "native"},
        LogSlipCase{"NulDevice",
                    {"in.txt", "-o", "NUL"},
                    {{"in.txt", "abc"}},
                    "",
                    2,
                    {{"in.txt", "abc"}},
                    kNoFile,
                    {},
                    "win64,win32"},
        LogSlipCase{"AuxWithAnExtension",
                    {"in.txt", "-o", "aux.txt"},
                    {{"in.txt", "abc"}},
                    "",
                    2,
                    {{"in.txt", "abc"}},
                    kNoFile,
                    {},
                    "win64,win32"}),
    [](const ::testing::TestParamInfo<LogSlipCase>& info) { return info.param.name; });

}  // namespace
