// What a run tells its user: on Linux on standard error (standard output stays empty but for
// --help and --version); the Windows programs send the same lines to OutputDebugStringW, seen
// here through Wine's trace. Successful runs say nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

struct MessageCase {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<FileBytes> given;  // a name ending in "/" makes a folder
    int exitCode;
    // Exactly what the Linux program writes to standard error, and what the Windows programs
    // send to the debugger; "{guide}" stands for the guide's path. The system's reasons are its
    // own words, so they differ between the builds.
    std::string linux;
    std::string windows;
    std::string flavors;  // the builds the case applies to; empty for all
    // Set up around the run. With another user, the folder and the given files are the
    // superuser's, and only the files may be written by others, when `othersMayWrite`.
    Surroundings surroundings = {};
    bool othersMayWrite = false;
};

void PrintTo(const MessageCase& c, std::ostream* out) {
    *out << c.name;
}

const std::string kLinuxUsage =
    "codeshift: usage: codeshift [-SOURCE] [-TARGET] [-LF | -CRLF] [-o LOG | -O LOG] [--] [INPUT "
    "[OUTPUT] | -r FILE...]\n"
    "codeshift: the full guide is {guide}; see also \"man codeshift\" and \"codeshift --help\"\n";
const std::string kWindowsUsage =
    "codeshift: usage: codeshift [-SOURCE] [-TARGET] [-LF | -CRLF] [-o LOG | -O LOG] [-r] INPUT "
    "[OUTPUT]\n"
    "codeshift: the full guide is {guide}\n";

MessageCase Usage(const char* name, std::vector<std::string> arguments, const std::string& what) {
    std::string line = "codeshift: " + what + "\n";
    return MessageCase{name, arguments, {}, 20, line + kLinuxUsage, line + kWindowsUsage, ""};
}

// An unknown option: what was wrong, the encodings it may have been meant as, and where every
// name is listed (Linux: --list; Windows, which has no --list: the guide the next lines name).
MessageCase Unknown(const char* name, std::vector<std::string> arguments, const std::string& what,
                    const std::string& meant = "", const std::string& flavors = "") {
    std::string line =
        "codeshift: " + what + "\n" +
        (meant.empty() ? "codeshift: the encoding names are listed "
                       : "codeshift: did you mean " + meant + "? The encoding names are listed ");
    return MessageCase{name,
                       arguments,
                       {},
                       20,
                       line + "by \"codeshift --list\"\n" + kLinuxUsage,
                       line + "in the guide\n" + kWindowsUsage,
                       flavors};
}

MessageCase Same(const char* name, std::vector<std::string> arguments, std::vector<FileBytes> given,
                 int exitCode, const std::string& messages) {
    return MessageCase{name, arguments, given, exitCode, messages, messages, ""};
}

// A case of the native build, where users and limits are set.
MessageCase Surrounded(const char* name, std::vector<std::string> arguments,
                       std::vector<FileBytes> given, bool othersMayWrite, Surroundings surroundings,
                       int exitCode, const std::string& linux) {
    return MessageCase{name, arguments, given,        exitCode,      linux,
                       "",   "native",  surroundings, othersMayWrite};
}

// Whether `actual` is `expected` with "{guide}" read as one of the guide's spellings.
bool SameMessages(const std::string& expected, const std::string& actual) {
    size_t at = expected.find("{guide}");
    if (at == std::string::npos) {
        return expected == actual;
    }
    for (const std::string& path : ReadmePaths()) {
        std::string spelled = expected;
        spelled.replace(at, 7, path);
        if (spelled == actual) {
            return true;
        }
    }
    return false;
}

class Messages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(Messages, OnceAtTheEndOfTheRun) {
    const MessageCase& c = GetParam();
    if (!FlavorMatches(c.flavors)) {
        GTEST_SKIP() << "not for the " << Flavor() << " build";
    }
    if (c.surroundings.user >= 0 && geteuid() != 0) {
        GTEST_SKIP() << "a folder of the superuser's and a run as another user need root";
    }
    std::string folder = MakeTempDir();
    for (const FileBytes& f : c.given) {
        std::filesystem::path path = std::filesystem::path(folder) / f.name;
        if (f.name.back() == '/') {
            std::filesystem::create_directories(path);
        } else {
            WriteBytes(path.string(), f.bytes);
        }
    }
    if (c.surroundings.user >= 0) {
        chmod(folder.c_str(), 0755);
        for (const FileBytes& f : c.given) {
            chmod((folder + "/" + f.name).c_str(), c.othersMayWrite ? 0666 : 0644);
        }
    }
    RunOutput run = RunProgramCapturing(c.arguments, folder, true, c.surroundings);
    if (run.exitCode == kSurroundingsRefused) {
        RemoveTree(folder);
        GTEST_SKIP() << "the run cannot be made as another user or with a limit here";
    }
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.out, "") << "standard output stays empty";
    if (Flavor() == "native") {
        EXPECT_TRUE(SameMessages(c.linux, run.err)) << "expected:\n"
                                                    << c.linux << "got:\n"
                                                    << run.err;
    } else {
        std::string strings = DebugStrings(run.err);
        EXPECT_TRUE(SameMessages(c.windows, strings)) << "expected:\n"
                                                      << c.windows << "got:\n"
                                                      << strings;
        // A caller that redirected standard error reads the same lines there, as Windows text.
        std::string lines = OwnErrorLines(run.err);
        std::string crlf = std::regex_replace(c.windows, std::regex("\n"), "\r\n");
        EXPECT_TRUE(SameMessages(crlf, lines)) << "expected:\n" << crlf << "got:\n" << lines;
    }
    RemoveTree(folder);
}

const std::vector<FileBytes> kText = {{"in.txt", "plain text\n"}};

INSTANTIATE_TEST_SUITE_P(
    UsageErrors, Messages,
    ::testing::Values(
        Usage("NoArguments", {}, "no input file named"),
        Unknown("UnknownOption", {"-xyz", "a", "b"},
                "unknown option \"-xyz\": it is not -o, -O, -r or an encoding name"),
        Unknown("MistypedPage", {"-A1215", "a", "b"},
                "unknown option \"-A1215\": it is not -o, -O, -r or an encoding name",
                "-A1251 or -A1255"),
        // The suggestion begins as the option did.
        Unknown("SlashOptionOnWindows", {"/cp1251", "a", "b"},
                "unknown option \"/cp1251\": it is not -o, -O, -r or an encoding name", "/A1251",
                "win64,win32"),
        Usage("LogOptionWithoutName", {"-A1251", "-O"},
              "the log option \"-O\" needs a file name right after it"),
        Usage("NoOutput", {"-utf8", "in.txt"},
              "no output file named: name one, or give -r to replace the input"),
        // On Linux a detached log option always takes the next name.
        MessageCase{"NamesSwallowedByALogOption",
                    {"-oA.log", "-o", "in.txt", "out.txt"},
                    {},
                    20,
                    "",
                    "codeshift: no input file named: \"-o\" waits for a log name although one is "
                    "given, so the names after it were ignored\n" +
                        kWindowsUsage,
                    "win64,win32"},
        // A name that would break the line or steer a terminal is shown tamed.
        Unknown("ControlCharactersInAnOption", {"-x\ty\x1b[2J", "a", "b"},
                "unknown option \"-x?y?[2J\": it is not -o, -O, -r or an encoding name"),
        // C1 controls and bytes that are no UTF-8 are tamed as well.
        MessageCase{"C1ControlAndStrayByteInAnOption",
                    {"-x\xc2\x9b"
                     "2J\xff",
                     "a", "b"},
                    {},
                    20,
                    "codeshift: unknown option \"-x?2J?\": it is not -o, -O, -r or an encoding "
                    "name\n"
                    "codeshift: the encoding names are listed by \"codeshift --list\"\n" +
                        kLinuxUsage,
                    "",
                    "native"},
        MessageCase{"ThirdNameOnLinux",
                    {"-A1252", "-U8-", "f1", "f2", "f3"},
                    {},
                    20,
                    "codeshift: a third file name \"f3\": INPUT and OUTPUT are two names; to "
                    "convert many files in place name the encodings and give -r, as in "
                    "\"codeshift -A1251 -U8- -r *.txt\"\n" +
                        kLinuxUsage,
                    "",
                    "native"},
        // An unset variable takes no name's place, and a log is never standard output.
        MessageCase{"EmptyLogName",
                    {"-o", "", "in.txt"},
                    {},
                    20,
                    "codeshift: the log option \"-o\" is given an empty name (a variable that was "
                    "never set?)\n" +
                        kLinuxUsage,
                    "",
                    "native"},
        MessageCase{"EmptyName",
                    {"-A1252", "-U8-", "-r", "", "r.txt"},
                    {{"r.txt", "kept"}},
                    20,
                    "codeshift: an empty argument where a file name belongs (a variable that was "
                    "never set?): it names no file, and no other name may take its place\n" +
                        kLinuxUsage,
                    "",
                    "native"},
        MessageCase{"LogNamedDash",
                    {"in.txt", "-o", "-"},
                    {{"in.txt", "abc"}},
                    20,
                    "codeshift: the log option \"-o\" names \"-\": the record goes to a file, "
                    "never to standard output; write \"./-\" for a file of that name\n" +
                        kLinuxUsage,
                    "",
                    "native"},
        Unknown("ZeroTypedForTheLetterO", {"-0", "log.txt", "in.txt"},
                "unknown option \"-0\": it is not -o, -O, -r or an encoding name; -o (the "
                "letter o) names the log file, and the output file is the second name, with no "
                "option in front"),
        MessageCase{"HelpIsNoOptionOnWindows",
                    {"--help"},
                    {},
                    20,
                    "",
                    "codeshift: unknown option \"--help\": it is not -o, -O, -r or an encoding "
                    "name\n"
                    "codeshift: the encoding names are listed in the guide\n" +
                        kWindowsUsage,
                    "win64,win32"}),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Failures, Messages,
    ::testing::Values(
        MessageCase{"MissingInput",
                    {"missing.txt"},
                    {},
                    21,
                    "codeshift: cannot read input \"missing.txt\": No such file or directory\n",
                    "codeshift: cannot read input \"missing.txt\": File not found\n",
                    ""},
        MessageCase{"InputIsAFolder",
                    {"-u8", "-u16", "dir", "out.txt"},
                    {{"dir/", ""}},
                    21,
                    "codeshift: cannot read input \"dir\": Is a directory\n",
                    "codeshift: cannot read input \"dir\": Access denied\n",
                    ""},
        Same("EmptyInput", {"empty.txt"}, {{"empty.txt", ""}}, 21,
             "codeshift: cannot read input \"empty.txt\": the file is empty\n"),
        MessageCase{"OutputFolderMissing",
                    {"-u8", "-u16", "in.txt", "nowhere/out.txt"},
                    kText,
                    22,
                    "codeshift: cannot write output \"nowhere/out.txt\": No such file or "
                    "directory; it was left as it was\n",
                    "codeshift: cannot write output \"nowhere/out.txt\": Path not found; it was "
                    "left as it was\n",
                    ""},
        MessageCase{"OutputIsAFolder",
                    {"-u8", "-u16", "in.txt", "dir"},
                    {{"in.txt", "plain text\n"}, {"dir/", ""}},
                    22,
                    "codeshift: cannot write output \"dir\": Is a directory; it was left as it "
                    "was\n",
                    "codeshift: cannot write output \"dir\": Access denied; it was left as it "
                    "was\n",
                    ""},
        // The warning does not change the run's exit code (2: plain ASCII text).
        MessageCase{"LogIsAFolder",
                    {"in.txt", "-orun"},
                    {{"in.txt", "plain text\n"}, {"run/", ""}},
                    2,
                    "codeshift: warning: no record written to the log \"run\": Is a directory\n",
                    "codeshift: warning: no record written to the log \"run\": Access denied\n",
                    ""},
        // The user may write the file but not its folder, where the replacement is made; where
        // the file itself stands in the way, the folder is not blamed.
        Surrounded("FolderTheUserMayNotWrite", {"-u8", "-u16", "-r", "in.txt"}, kText, true,
                   RunAs(65534, 65534), 22,
                   "codeshift: cannot write output \"in.txt\": Permission denied; the folder it is "
                   "in must be writable to replace it, not only the file; it was left as it was\n"),
        Surrounded("FileTheUserMayNotWrite", {"-u8", "-u16", "-r", "in.txt"}, kText, false,
                   RunAs(65534, 65534), 22,
                   "codeshift: cannot write output \"in.txt\": Permission denied; it was left as "
                   "it was\n"),
        // The record met the file size limit part-way and was taken back.
        Surrounded("LogRecordWrittenOnlyInPart", {"-u8", "-u16", "in.txt", "out.txt", "-orun.log"},
                   {kText[0],
                    {"run.log", "\n" + std::string(52, '-') + "\n" + std::string(4000, 'x')}},
                   false, FileSizeLimit(4096), 0,
                   "codeshift: warning: the record was written to the log \"run.log\" only in part "
                   "and was taken back: File too large\n"),
        MessageCase{"FailureAndLogWarningInThatOrder",
                    {"missing.txt", "-orun"},
                    {{"run/", ""}},
                    21,
                    "codeshift: cannot read input \"missing.txt\": No such file or directory\n"
                    "codeshift: warning: no record written to the log \"run\": Is a directory\n",
                    "codeshift: cannot read input \"missing.txt\": File not found\n"
                    "codeshift: warning: no record written to the log \"run\": Access denied\n",
                    ""}),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Successes, Messages,
    ::testing::Values(Same("Conversion", {"-u8", "-u16", "in.txt", "out.txt", "-orun.log"}, kText,
                           0, ""),
                      Same("InPlace", {"-t", "-u8n", "-r", "in.txt"}, kText, 0, ""),
                      Same("Recognition", {"in.txt", "-orun.log"}, kText, 2, "")),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return info.param.name; });

// A source left to the program: the Linux program reads the page the letters point to and says
// so, or refuses when they point nowhere for sure; the Windows programs read the system's page
// and say what the letters point to.
const std::string kRussian1251 =
    "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xDD\xF2\xEE \xF0\xF3\xF1\xF1\xEA\xE8\xE9 "
    "\xF2\xE5\xEA\xF1\xF2.\n";

INSTANTIATE_TEST_SUITE_P(
    GuessedSources, Messages,
    ::testing::Values(
        MessageCase{"PageFoundByItsLetters",
                    {"-t", "-u16-", "in.txt", "out.txt"},
                    {{"in.txt", kRussian1251}},
                    0,
                    "codeshift: read as -A1251 (Windows-1251), found by its letters\n",
                    "codeshift: read as Windows-1252; it looks like Windows-1251: name -A1251 to "
                    "read it so\n",
                    ""},
        MessageCase{"PageNotSure",
                    {"-t", "-u16-", "in.txt", "out.txt"},
                    {{"in.txt", "\xE9\xE8\n"}},
                    21,
                    "codeshift: cannot read input \"in.txt\": its letters do not tell its 8-bit "
                    "page for sure; name it, likely -KOI8R or -A1255\n",
                    "",
                    "native"},
        MessageCase{"Utf8WithAStrayByte",
                    {"-t", "-u16-", "in.txt", "out.txt"},
                    {{"in.txt", "caf\xC3\xA9 na\xEFve \xC3\xA9t\xC3\xA9 \xC3\xA0 la plage\n"}},
                    0,
                    "codeshift: read as -U8- (UTF-8 but for 1 stray byte)\n"
                    "codeshift: 1 character could not be read as UTF-8 and was written as \"?\"\n",
                    "",
                    "native"}),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return info.param.name; });

// A conversion that wrote "?" for what it could not carry over, or a similar character, still
// exits with 0, and says how many characters changed and why, the input's fault apart from the
// target page's; a "?" of the input is no loss.
const std::string kManyLost = [] {
    std::string text;
    for (int i = 0; i < 1234; ++i) {
        text += "\xe2\x9c\x93 ";  // U+2713 CHECK MARK: in no ANSI code page
    }
    return text;
}();

INSTANTIATE_TEST_SUITE_P(
    LossyConversions, Messages,
    ::testing::Values(
        Same("CharactersMissingFromTheTarget", {"-u8", "-a1252", "in.txt", "out.txt"},
             {{"in.txt", "\xd0\x96 costs 5 \xe2\x82\xac? \xe2\x9c\x93\n"}}, 0,
             "codeshift: 2 characters are not in A1252 and were written as \"?\"\n"),
        Same("OneCharacter", {"-U16", "-A1251", "in.txt", "out.txt", "-orun.log"},
             {{"in.txt", std::string("\xff\xfe"
                                     "a\0?\0\x16\x20",
                                     8)}},
             0, "codeshift: 1 character is not in A1251 and was written as \"?\"\n"),
        Same("CountGroupedByThousands", {"-u8", "-koi8r", "in.txt", "out.txt"},
             {{"in.txt", kManyLost}}, 0,
             "codeshift: 1 234 characters are not in KOI8R and were written as \"?\"\n"),
        Same("UnreadableInput", {"-u8", "-u16", "in.txt", "out.txt"},
             {{"in.txt", "ok \xff\xfe ok\n"}}, 0,
             "codeshift: 2 characters could not be read as UTF-8 and were written as \"?\"\n"),
        // A text in page 1251 named as UTF-8: its bytes are the input's fault, not the target's.
        Same("SwappedEncodings", {"-u8", "-a1251", "in.txt", "out.txt"},
             {{"in.txt", "\xcf\xf0\xe8\xe2\xe5\xf2\n"}}, 0,
             "codeshift: 6 characters could not be read as UTF-8 and were written as \"?\"\n"),
        Same("EachCountOnItsLine", {"-u8", "-cp866", "in.txt", "out.txt"},
             {{"in.txt", "\xc3\x80 \xc3\xa9 \xe2\x9c\x93 \xff \xd0\x96\n"}}, 0,
             "codeshift: 1 character could not be read as UTF-8 and was written as \"?\"\n"
             "codeshift: 1 character is not in CP866 and was written as \"?\"\n"
             "codeshift: 2 characters have no exact equivalent in CP866 and were written as a "
             "similar one\n"),
        Same("OneSimilar", {"-u16", "-a1252", "in.txt", "out.txt"},
             {{"in.txt", std::string("\xff\xfe\x00\x01", 4)}}, 0,
             "codeshift: 1 character has no exact equivalent in A1252 and was written as a similar "
             "one\n"),
        // Bytes ISO-8859-7 leaves undefined are read as private-use characters, and said so.
        Same("PrivateUseCharacters", {"-iso7", "-u8", "in.txt", "out.txt"},
             {{"in.txt", "\xa4 \xe1\xa5\n"}}, 0,
             "codeshift: 2 bytes have no standard character in ISO7 and were written as "
             "private-use characters\n"),
        Same("NothingLost", {"-u8", "-a1251", "in.txt", "out.txt"}, {{"in.txt", "\xd0\x96? ok\n"}},
             0, "")),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return info.param.name; });

// --help and --version answer on standard output and do nothing else: no log record, no guide.
class Answers : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(Answers, OnStandardOutputOnly) {
    if (Flavor() != "native") {
        GTEST_SKIP() << "the Windows programs keep their command line";
    }
    std::string folder = MakeTempDir();
    RunOutput run = RunProgramCapturing(GetParam(), folder);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    bool version = std::find(GetParam().begin(), GetParam().end(), "--help") == GetParam().end();
    if (version) {
        EXPECT_EQ(run.out, "codeshift " CODESHIFT_VERSION "\n");
    } else {
        EXPECT_TRUE(run.out.starts_with("Usage: codeshift [-SOURCE] [-TARGET]")) << run.out;
        for (const char* option : {"-oLOG", "-OLOG", "-r ", "--help", "--version", "-U8-", "-KOI8R",
                                   "-ISO15", "11 and 13-16", "22 output failure"}) {
            EXPECT_NE(run.out.find(option), std::string::npos) << option;
        }
        bool guide = false;
        for (const std::string& path : ReadmePaths()) {
            guide = guide || run.out.ends_with("Full guide: " + path + "; manual: man codeshift\n");
        }
        EXPECT_TRUE(guide) << run.out;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "no log record, no guide opened";
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(Requests, Answers,
                         ::testing::Values(std::vector<std::string>{"--version"},
                                           std::vector<std::string>{"--help"},
                                           std::vector<std::string>{"-orun.log", "--version"},
                                           std::vector<std::string>{"-xyz", "-orun.log", "--help"},
                                           std::vector<std::string>{"-A1251", "--help", "a", "b"}));

// --list names every encoding the command line takes, one a line after its page, the system's
// pages as this locale (C.UTF-8) makes them; "OEM", which no option reaches, is left out.
TEST(Answers, ListNamesEveryEncodingWithItsPage) {
    if (Flavor() != "native") {
        GTEST_SKIP() << "the Windows programs keep their command line";
    }
    std::string folder = MakeTempDir();
    RunOutput run = RunProgramCapturing({"--list"}, folder);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    for (const char* line :
         {"auto   TEST TST T (found from the input)\n",
          "65001  UTF-8n UTF8n U8n U8- (written without a byte order mark)\n",
          "1252   ANSI A (the system's ANSI page)\n", "10000  MAC (the system's Mac page)\n",
          "850    CP850 IBM850\n", "10007  MACCYR MACCYRILLIC X-MAC-CYRILLIC CP10007\n",
          "20127  ASCII US-ASCII CP20127\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    }
    std::regex form("[0-9]+ +[^ ()]+( [^ ()]+)*( \\([^()]+\\))?|auto .*");
    size_t names = 0;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_match(line, form)) << line;
        EXPECT_EQ(line.find("OEM"), std::string::npos) << line;
        std::string listed = line.substr(7, line.find(" (") - 7);
        names += 1 + std::count(listed.begin(), listed.end(), ' ');
    }
    EXPECT_EQ(names, 127u) << "every name of the table but OEM";
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "no log record, no guide opened";
    RemoveTree(folder);
}

// Whoever sees the message on a terminal needs no browser window: the guide is not opened.
TEST(TerminalMessages, UsageErrorOpensNoGuide) {
    if (Flavor() != "native") {
        GTEST_SKIP() << "a Windows program's messages reach no terminal";
    }
    int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal), 0);
    ASSERT_EQ(unlockpt(terminal), 0);
    std::string side = ptsname(terminal);
    std::string folder = MakeTempDir();
    std::string program = std::getenv("CODESHIFT_PROGRAM");
    std::string trace = folder + "/shell.trace";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int errors = open(side.c_str(), O_RDWR | O_NOCTTY);
        int nothing = open("/dev/null", O_RDWR);
        if (errors < 0 || nothing < 0 || chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        dup2(nothing, 0);
        dup2(nothing, 1);
        dup2(errors, 2);
        setenv("CODESHIFT_SHELL_TRACE", trace.c_str(), 1);
        execl(program.c_str(), program.c_str(), "-xyz", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    std::string seen;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(terminal, buffer, sizeof buffer)) > 0) {
        seen.append(buffer, static_cast<size_t>(n));
    }
    close(terminal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 20);
    EXPECT_TRUE(seen.starts_with("codeshift: unknown option \"-xyz\"")) << seen;
    EXPECT_FALSE(FileExists(trace)) << "the guide was asked for";
    RemoveTree(folder);
}

}  // namespace
