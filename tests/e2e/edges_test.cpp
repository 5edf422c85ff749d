// Trust at the edges: what the system around a run may lack or do to it (the C library's
// converter modules, a file of another owner, a size limit, a signal, a link in the log's place).
// The promise is the same everywhere: no damaged file, no temporary left, no false success.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

const std::string kBullet = " \xE2\x80\xA2 ";
const std::string kError =
    "\xC2\xA1"
    "Error!";

// The ten lines of a conversion's record; the names are the case's own.
std::vector<std::string> Record(const std::string& codePages, const std::string& sizes,
                                const std::string& returnCode) {
    return {"",
            std::string(52, '-'),
            "{time}",
            kBullet + " CurrentDir:  *",
            kBullet + "CommandLine:  *",
            kBullet + "Input  File:  *",
            kBullet + "Output File:  *",
            kBullet + "   CodePage:  " + codePages,
            kBullet + "       Size:  " + sizes,
            kBullet + "Return Code:  " + returnCode};
}

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

struct EdgeCase {
    E2eCase run;
    Surroundings surroundings;
};

void PrintTo(const EdgeCase& c, std::ostream* out) {
    *out << c.run.name;
}

class Edges : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(Edges, Hold) {
    RunE2eCase(GetParam().run, GetParam().surroundings);
}

std::string CaseName(const ::testing::TestParamInfo<EdgeCase>& info) {
    return info.param.run.name;
}

// --- A code page the platform cannot convert with -----------------------------------------

// Where the C library keeps its converter modules; empty when none of the usual places has them.
std::string ConverterModules() {
    for (const char* folder :
         {"/usr/lib/x86_64-linux-gnu/gconv", "/usr/lib/i386-linux-gnu/gconv",
          "/usr/lib/aarch64-linux-gnu/gconv", "/usr/lib64/gconv", "/usr/lib/gconv"}) {
        if (std::filesystem::is_directory(folder)) {
            return folder;
        }
    }
    return "";
}

const std::string kCyrillic1251 = "abc \xE0\xE1\n";  // "abc аб" in page 1251
const std::string kCyrillicUtf8 = "abc \xD0\xB0\xD0\xB1\n";
const std::string kUtf8Mark = "\xEF\xBB\xBF";

// in.txt converted to out.txt with a log, or replaced with -r.
E2eCase PageRun(const std::string& name, const std::vector<std::string>& options,
                const std::string& input, int exitCode, const std::string& output,
                const std::string& codePages, const std::string& flavors, bool replace = false) {
    std::vector<std::string> arguments = options;
    if (replace) {
        arguments.insert(arguments.end(), {"-r", "in.txt", "-orun.log"});
    } else {
        arguments.insert(arguments.end(), {"in.txt", "out.txt", "-orun.log"});
    }
    std::string size = std::to_string(input.size()) + " ==>> " +
                       (exitCode == 0 ? std::to_string(output.size()) : std::string("0"));
    std::string code = exitCode == 0    ? "0 (0x00)  "
                       : exitCode == 21 ? "21 (0x15) " + kError
                                        : "22 (0x16) " + kError;
    E2eCase c{name, arguments, {{"in.txt", input}},           exitCode,
              {},   {},        Record(codePages, size, code), flavors};
    c.expected.push_back({"in.txt", replace && exitCode == 0 ? output : input});
    if (!replace) {
        if (exitCode == 0) {
            c.expected.push_back({"out.txt", output});
        } else {
            c.absent.push_back("out.txt");
        }
    }
    return c;
}

std::vector<EdgeCase> ConverterCases() {
    // As in a minimal container: the C library's converter modules are not there. The code
    // pages need none of them, on any build.
    Surroundings hidden = HiddenFolder(ConverterModules());
    Surroundings fewDescriptors = OpenFileLimit(4);
    const std::string utf8Out = kUtf8Mark + kCyrillicUtf8;
    return {
        {PageRun("SourcePageNeedsNoModules", {"-A1251", "-u8"}, kCyrillic1251, 0, utf8Out,
                 "A1251 ==>> UTF-8 BOM", ""),
         hidden},
        {PageRun("TargetPageNeedsNoModules", {"-u8", "-koi8r"}, kCyrillicUtf8, 0, "abc \xC1\xC2\n",
                 "UTF-8n ==>> KOI8R", "", true),
         hidden},
        {PageRun("BetweenTwoPagesNeedsNoModules", {"-A1251", "-koi8r"}, kCyrillic1251, 0,
                 "abc \xC1\xC2\n", "A1251 ==>> KOI8R", ""),
         hidden},
        // Eight-bit text without a named source is the ANSI page: 1252 in the tests' locale.
        {PageRun("SniffedAnsiSourceNeedsNoModules", {"-t", "-u8"}, kCyrillic1251, 0,
                 kUtf8Mark + "abc \xC3\xA0\xC3\xA1\n", "TEST :: ANSI ==>> UTF-8 BOM",
                 "win64,win32"),
         hidden},
        // The Linux program reads the page the letters point to.
        {PageRun(
             "GuessedPageNeedsNoModules", {"-t", "-u8"},
             "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xDD\xF2\xEE \xF0\xF3\xF1\xF1\xEA\xE8\xE9 "
             "\xF2\xE5\xEA\xF1\xF2.\n",
             0,
             kUtf8Mark +
                 "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80! "
                 "\xD0\xAD\xD1\x82\xD0\xBE "
                 "\xD1\x80\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9 "
                 "\xD1\x82\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82.\n",
             "TEST :: A1251 ==>> UTF-8 BOM", "native"),
         hidden},
        {PageRun("OnePageOnBothSidesIsACopy", {"-A1251", "-A1251"}, kCyrillic1251, 0, kCyrillic1251,
                 "A1251 ==>> A1251", "native"),
         hidden},
        {PageRun("NoTargetIsACopy", {"-A1251"}, kCyrillic1251, 0, kCyrillic1251, "A1251 ==>> A1251",
                 "native"),
         hidden},
        {PageRun("UnicodeNeedsNoConverter", {"-u8", "-u16-"}, "ab", 0, std::string("a\0b\0", 4),
                 "UTF-8n ==>> UTF-16LEn", "native"),
         hidden},
        // The tables are in the program: converting opens no file.
        {PageRun("FewDescriptorsConvertFromAPage", {"-A1251", "-u8"}, kCyrillic1251, 0, utf8Out,
                 "A1251 ==>> UTF-8 BOM", "native"),
         fewDescriptors},
        {PageRun("FewDescriptorsConvertToAPage", {"-u8", "-A1251"}, kCyrillicUtf8, 0, kCyrillic1251,
                 "UTF-8n ==>> A1251", "native", true),
         fewDescriptors},
    };
}

INSTANTIATE_TEST_SUITE_P(Converters, Edges, ::testing::ValuesIn(ConverterCases()), CaseName);

// --- A file size limit (ulimit -f) on the output and on the log -----------------------------

std::vector<EdgeCase> SizeLimitCases() {
    const std::string text(65536, 'x');  // 262,148 bytes as UTF-32 with its mark
    const std::string small = "abc";
    const std::string smallUtf16 = std::string(
        "\xFF\xFE"
        "a\0b\0c\0",
        8);
    // An earlier log of `size` bytes: a mark, a record's rule and lines of text.
    auto earlierLog = [](size_t size) {
        std::string log = kUtf8Mark + "\n" + std::string(52, '-') + "\n";
        while (log.size() < size) {
            log += "earlier record line\n";
        }
        return log.substr(0, size);
    };
    const std::vector<std::string> failedRecord =
        Record("UTF-8n ==>> UTF-32LE BOM", "65 536 ==>> 0", "22 (0x16) " + kError);
    return {
        // The output cannot be written whole: 22, nothing replaced, and the record (which fits)
        // shows that nothing reached the output.
        {{"OutputOverTheLimit",
          {"-u8", "-u32", "in.txt", "out.txt", "-orun.log"},
          {{"in.txt", text}, {"out.txt", "old"}},
          22,
          {{"in.txt", text}, {"out.txt", "old"}},
          {},
          failedRecord,
          "native"},
         FileSizeLimit(65536)},
        {{"ReplacedInputOverTheLimit",
          {"-u8", "-u32", "-r", "in.txt", "-orun.log"},
          {{"in.txt", text}},
          22,
          {{"in.txt", text}},
          {},
          failedRecord,
          "native"},
         FileSizeLimit(65536)},
        // A text copied inside the system meets the limit there: the same failure and record.
        {{"CopiedTextOverTheLimit",
          {"-u8", "-u8-", "in.txt", "out.txt", "-orun.log"},
          {{"in.txt", text}, {"out.txt", "old"}},
          22,
          {{"in.txt", text}, {"out.txt", "old"}},
          {},
          Record("UTF-8n ==>> UTF-8n", "65 536 ==>> 0", "22 (0x16) " + kError),
          "native"},
         FileSizeLimit(65535)},
        // The log cannot take the record: it keeps exactly what it held, and the run's exit code
        // stands.
        {{"LogAlreadyOverTheLimit",
          {"-u8", "-u16", "in.txt", "out.txt", "-orun.log"},
          {{"in.txt", small}, {"run.log", earlierLog(5000)}},
          0,
          {{"out.txt", smallUtf16}, {"run.log", earlierLog(5000)}},
          {},
          {},
          "native"},
         FileSizeLimit(4096)},
        {{"RecordOnlyPartlyFitsAndIsTakenBack",
          {"-u8", "-u16", "in.txt", "out.txt", "-orun.log"},
          {{"in.txt", small}, {"run.log", earlierLog(4000)}},
          0,
          {{"out.txt", smallUtf16}, {"run.log", earlierLog(4000)}},
          {},
          {},
          "native"},
         FileSizeLimit(4096)},
        {{"NewLogHoldsNoPartOfARecord",
          {"-u8", "-u16", "in.txt", "out.txt", "-Orun.log"},
          {{"in.txt", small}},
          0,
          {{"out.txt", smallUtf16}, {"run.log", ""}},
          {},
          {},
          "native"},
         FileSizeLimit(100)},
        {{"OutputAndLogOverTheLimit",
          {"-u8", "-u32", "in.txt", "out.txt", "-orun.log"},
          {{"in.txt", text}, {"out.txt", "old"}, {"run.log", earlierLog(5000)}},
          22,
          {{"out.txt", "old"}, {"run.log", earlierLog(5000)}},
          {},
          {},
          "native"},
         FileSizeLimit(4096)},
    };
}

INSTANTIATE_TEST_SUITE_P(SizeLimits, Edges, ::testing::ValuesIn(SizeLimitCases()), CaseName);

// --- A file that the running user may write but does not own -------------------------------

constexpr int kRunner = 65534;    // the user and group the run is made under (no account needed)
constexpr int kStranger = 12345;  // another user and group, known to nobody

struct OwnerCase {
    const char* name;
    bool replace;  // the file is the input, replaced with -r; else the output
    int fileUser;
    int fileGroup;
    int runner;  // -1: the superuser
    int exitCode;
    bool groupFromFolder = false;  // the folder hands its group (kStranger) to what is made in it
};

void PrintTo(const OwnerCase& c, std::ostream* out) {
    *out << c.name;
}

class Owners : public ::testing::TestWithParam<OwnerCase> {};

// The file is writable by everybody in a folder everybody may write to, so nothing but its
// owner and group stands in the way.
TEST_P(Owners, AreKeptOrNothingHappens) {
    const OwnerCase& c = GetParam();
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "owners are set up for the native build";
    }
    if (geteuid() != 0) {
        GTEST_SKIP() << "files of other users and runs as another user need root";
    }
    std::string folder = MakeTempDir();
    if (c.groupFromFolder) {
        ASSERT_EQ(chown(folder.c_str(), 0, kStranger), 0);
    }
    chmod(folder.c_str(), c.groupFromFolder ? 02777 : 0777);
    std::string target = folder + (c.replace ? "/in.txt" : "/out.txt");
    WriteBytes(folder + "/in.txt", "abc");
    chmod((folder + "/in.txt").c_str(), 0644);
    if (!c.replace) {
        WriteBytes(target, "old");
    }
    std::string before = ReadBytes(target);
    ASSERT_EQ(chown(target.c_str(), c.fileUser, c.fileGroup), 0);
    ASSERT_EQ(chmod(target.c_str(), 0666), 0);
    std::vector<std::string> arguments = {"-u8", "-u16"};
    if (c.replace) {
        arguments.insert(arguments.end(), {"-r", "in.txt"});
    } else {
        arguments.insert(arguments.end(), {"in.txt", "out.txt"});
    }
    Surroundings as = RunAs(c.runner, c.runner);
    int exitCode = RunProgramIn(as, arguments, folder);
    if (exitCode == kSurroundingsRefused) {
        RemoveTree(folder);
        GTEST_SKIP() << "the run cannot be made as another user here";
    }
    EXPECT_EQ(exitCode, c.exitCode);
    std::string after = ReadBytes(target);
    EXPECT_EQ(Hex(after), Hex(c.exitCode == 0 ? std::string("\xFF\xFE"
                                                            "a\0b\0c\0",
                                                            8)
                                              : before));
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(static_cast<int>(info.st_uid), c.fileUser) << "the owner must stay";
    EXPECT_EQ(static_cast<int>(info.st_gid), c.fileGroup) << "the group must stay";
    EXPECT_EQ(info.st_mode & 07777, 0666u);
    std::set<std::string> expected = {"in.txt"};
    expected.insert(c.replace ? "in.txt" : "out.txt");
    EXPECT_EQ(Names(folder), expected) << "a temporary was left";
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Owners,
    ::testing::Values(
        OwnerCase{"AnotherUsersOutput", false, kStranger, kStranger, kRunner, 22},
        OwnerCase{"AnotherUsersInputReplaced", true, kStranger, kStranger, kRunner, 22},
        OwnerCase{"OwnFileOfAGroupNotTheRunners", false, kRunner, kStranger, kRunner, 22},
        OwnerCase{"OwnFileOfOwnGroup", false, kRunner, kRunner, kRunner, 0},
        OwnerCase{"OwnInputOfOwnGroupReplaced", true, kRunner, kRunner, kRunner, 0},
        OwnerCase{"TheSuperuserHandsTheFileOver", false, kStranger, kStranger, -1, 0},
        // The temporary has the right owner and group from the start: there is nothing to hand
        // over, although the runner could not have given it that group.
        OwnerCase{"GroupGivenByTheFolder", false, kRunner, kStranger, kRunner, 0, true}),
    [](const ::testing::TestParamInfo<OwnerCase>& info) { return info.param.name; });

// --- A signal while the output is written ---------------------------------------------------

struct SignalCase {
    const char* name;
    int signal;
    bool replace;
};

void PrintTo(const SignalCase& c, std::ostream* out) {
    *out << c.name;
}

class Signals : public ::testing::TestWithParam<SignalCase> {};

// The run's hidden temporary for `target` in `folder` once something has been written to it
// (the program is then well inside its conversion); empty when there is none.
std::string WrittenTemporary(const std::string& folder, const std::string& target) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        std::error_code error;
        if (name.starts_with("." + target + ".") && name.ends_with(".tmp") &&
            std::filesystem::file_size(entry.path(), error) > 0 && !error) {
            return name;
        }
    }
    return "";
}

// The run is stopped (SIGSTOP) as soon as its temporary holds output, sent the signal and let
// go on: it must end by that signal, with the target as it was and no temporary left.
TEST_P(Signals, EndTheRunWithTheTargetAsItWas) {
    const SignalCase& c = GetParam();
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "signals are sent to the native program";
    }
    // The program keeps a signal ignored that its caller ignores (as under nohup), and so
    // inherits that from a suite started that way.
    struct sigaction inherited {};
    if (sigaction(c.signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) {
        GTEST_SKIP() << "this suite was started with the signal ignored";
    }
    std::string folder = MakeTempDir();
    // 16 MiB of ASCII becomes 64 MiB of UTF-32: a write that lasts long enough to be caught.
    const std::string text(16u << 20, 'x');
    WriteBytes(folder + "/in.txt", text);
    WriteBytes(folder + "/out.txt", "old");
    std::string target = c.replace ? "in.txt" : "out.txt";
    std::vector<std::string> arguments = {"-u8", "-u32"};
    if (c.replace) {
        arguments.insert(arguments.end(), {"-r", "in.txt"});
    } else {
        arguments.insert(arguments.end(), {"in.txt", "out.txt"});
    }
    bool caught = false;
    for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
        int process = StartProgram(arguments, folder);
        ASSERT_GT(process, 0);
        int status = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (WrittenTemporary(folder, target).empty() &&
               waitpid(process, &status, WNOHANG) == 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        kill(process, SIGSTOP);
        if (waitpid(process, &status, WUNTRACED) != process || !WIFSTOPPED(status) ||
            WrittenTemporary(folder, target).empty()) {
            // It ended, or was stopped only after its commit: nothing was caught; start again.
            kill(process, SIGCONT);
            WaitForProgram(process);
            WriteBytes(folder + "/in.txt", text);
            WriteBytes(folder + "/out.txt", "old");
            continue;
        }
        caught = true;
        kill(process, c.signal);
        kill(process, SIGCONT);
        status = WaitForProgram(process);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the run must end as the signal ends it";
        EXPECT_EQ(WTERMSIG(status), c.signal);
    }
    ASSERT_TRUE(caught) << "no run could be caught while writing";
    EXPECT_EQ(ReadBytes(folder + "/in.txt") == text, true) << "the input must keep its content";
    EXPECT_EQ(ReadBytes(folder + "/out.txt"), "old") << "the target must keep its content";
    if (c.signal == SIGKILL) {
        // Nothing can remove the temporary then; the target is intact all the same.
        std::string left = WrittenTemporary(folder, target);
        if (!left.empty()) {
            std::filesystem::remove(folder + "/" + left);
        }
    }
    std::set<std::string> left = Names(folder);
    std::erase_if(left, [](const std::string& name) {  // a core dump, where the limit lets one
        return name == "core" || name.starts_with("core.");
    });
    EXPECT_EQ(left, (std::set<std::string>{"in.txt", "out.txt"})) << "a temporary was left";
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    MidWrite, Signals,
    ::testing::Values(
        SignalCase{"Interrupt", SIGINT, false}, SignalCase{"Terminate", SIGTERM, false},
        SignalCase{"HangUp", SIGHUP, false}, SignalCase{"BrokenPipe", SIGPIPE, false},
        SignalCase{"TerminateReplacing", SIGTERM, true},
        SignalCase{"InterruptReplacing", SIGINT, true},
        SignalCase{"KillCannotBeCaught", SIGKILL, false}, SignalCase{"Quit", SIGQUIT, false},
        SignalCase{"Abort", SIGABRT, true}, SignalCase{"User1", SIGUSR1, false},
        SignalCase{"User2", SIGUSR2, true}, SignalCase{"Alarm", SIGALRM, false},
        SignalCase{"VirtualAlarm", SIGVTALRM, false}, SignalCase{"Profiling", SIGPROF, false},
        SignalCase{"CpuTimeLimit", SIGXCPU, true}, SignalCase{"RealTime", SIGRTMIN + 1, false}),
    [](const ::testing::TestParamInfo<SignalCase>& info) { return info.param.name; });

// --- Links in the log's place ---------------------------------------------------------------

struct LogLinkCase {
    const char* name;
    bool sharedFolder;   // the link lies in a sticky folder that everybody may write to
    bool strangersLink;  // the link belongs to another user (needs root to set up)
    bool fileExists;     // the file the link names is there already
    bool recordWritten;  // the record reaches the file the link names
    const char* flavors;
};

void PrintTo(const LogLinkCase& c, std::ostream* out) {
    *out << c.name;
}

class LogLinks : public ::testing::TestWithParam<LogLinkCase> {};

TEST_P(LogLinks, FollowTheOutputsRules) {
    const LogLinkCase& c = GetParam();
    if (!FlavorMatches(c.flavors)) {
        GTEST_SKIP() << "not for the " << Flavor() << " build";
    }
    std::string folder = MakeTempDir();
    std::string linkFolder = folder + (c.sharedFolder ? "/shared" : "/logs");
    std::filesystem::create_directory(linkFolder);
    if (c.sharedFolder) {
        chmod(linkFolder.c_str(), 01777);
    }
    const std::string earlier = kUtf8Mark + "\n" + std::string(52, '-') + "\nearlier\n";
    std::string named = folder + "/kept.log";
    if (c.fileExists) {
        WriteBytes(named, earlier);
    }
    std::string link = linkFolder + "/run.log";
    ASSERT_EQ(symlink("../kept.log", link.c_str()), 0);
    if (c.strangersLink && lchown(link.c_str(), kStranger, kStranger) != 0) {
        RemoveTree(folder);
        GTEST_SKIP() << "a link of another user needs root";
    }
    WriteBytes(folder + "/in.txt", "abc");
    std::string logOption = std::string("-o") + (c.sharedFolder ? "shared" : "logs") + "/run.log";
    EXPECT_EQ(RunProgram({"-u8", "-u16", "in.txt", "out.txt", logOption}, folder), 0)
        << "the log never changes the exit code";
    EXPECT_EQ(Hex(ReadBytes(folder + "/out.txt")), Hex(std::string("\xFF\xFE"
                                                                   "a\0b\0c\0",
                                                                   8)));
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link itself stays";
    std::string log = ReadBytes(named);
    if (!c.recordWritten) {
        EXPECT_EQ(FileExists(named), c.fileExists);
        EXPECT_EQ(log, c.fileExists ? earlier : "") << "the link must not be followed";
    } else if (c.fileExists) {
        ASSERT_EQ(log.substr(0, earlier.size()), earlier);
        ExpectLogLines(log.substr(earlier.size()),
                       Record("UTF-8n ==>> UTF-16LE BOM", "3 ==>> 8", "0 (0x00)  "));
    } else {
        ASSERT_EQ(log.substr(0, 3), kUtf8Mark) << "a log made by the run starts with its mark";
        ExpectLogLines(log.substr(3), Record("UTF-8n ==>> UTF-16LE BOM", "3 ==>> 8", "0 (0x00)  "));
    }
    EXPECT_EQ(Names(linkFolder), std::set<std::string>{"run.log"});
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    InTheLogsPlace, LogLinks,
    ::testing::Values(
        LogLinkCase{"DanglingLinkGetsTheRecordInTheFileItNames", false, false, false, true, ""},
        LogLinkCase{"LinkToALogAppends", false, false, true, true, ""},
        LogLinkCase{"OwnLinkInASharedFolderIsFollowed", true, false, false, true, ""},
        LogLinkCase{"StrangersLinkInASharedFolderIsRefused", true, true, true, false, "native"},
        LogLinkCase{"StrangersDanglingLinkInASharedFolderIsRefused", true, true, false, false,
                    "native"}),
    [](const ::testing::TestParamInfo<LogLinkCase>& info) { return info.param.name; });

// --- A folder link along the way -----------------------------------------------------------

struct FolderLinkCase {
    const char* name;
    int linkOwner;  // the link in the shared folder belongs to this user
    bool log;       // the link leads the log, else the output
    bool followed;
};

void PrintTo(const FolderLinkCase& c, std::ostream* out) {
    *out << c.name;
}

class FolderLinks : public ::testing::TestWithParam<FolderLinkCase> {};

// shared/ is sticky and writable by everybody, like /tmp, and its link dir leads to private/,
// where the runner may write: only the link rule stands between the run and that folder.
TEST_P(FolderLinks, AlongThePathFollowTheLinkRule) {
    const FolderLinkCase& c = GetParam();
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "links of other users are set up for the native build";
    }
    if (geteuid() != 0) {
        GTEST_SKIP() << "links of other users and runs as another user need root";
    }
    std::string folder = MakeTempDir();
    chmod(folder.c_str(), 0777);
    for (const char* sub : {"/shared", "/private"}) {
        std::filesystem::create_directory(folder + sub);
    }
    chmod((folder + "/shared").c_str(), 01777);
    chmod((folder + "/private").c_str(), 0777);
    std::string link = folder + "/shared/dir";
    ASSERT_EQ(symlink("../private", link.c_str()), 0);
    ASSERT_EQ(lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
    WriteBytes(folder + "/in.txt", "abc");
    chmod((folder + "/in.txt").c_str(), 0644);
    std::vector<std::string> arguments = {"-u8", "-u16", "in.txt"};
    arguments.push_back(c.log ? "out.txt" : "shared/dir/out.txt");
    if (c.log) {
        arguments.push_back("-oshared/dir/run.log");
    }
    int exitCode = RunProgramIn(RunAs(kRunner, kRunner), arguments, folder);
    if (exitCode == kSurroundingsRefused) {
        RemoveTree(folder);
        GTEST_SKIP() << "the run cannot be made as another user here";
    }
    std::string reached = folder + (c.log ? "/private/run.log" : "/private/out.txt");
    EXPECT_EQ(exitCode, c.followed || c.log ? 0 : 22);
    EXPECT_EQ(FileExists(reached), c.followed);
    if (c.log) {
        EXPECT_EQ(Hex(ReadBytes(folder + "/out.txt")), Hex(std::string("\xFF\xFE"
                                                                       "a\0b\0c\0",
                                                                       8)));
    }
    EXPECT_EQ(Names(folder + "/shared"), std::set<std::string>{"dir"});
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    InASharedFolder, FolderLinks,
    ::testing::Values(FolderLinkCase{"StrangersLinkLeadsNoOutput", kStranger, false, false},
                      FolderLinkCase{"StrangersLinkLeadsNoLog", kStranger, true, false},
                      FolderLinkCase{"RunnersOwnLinkIsFollowed", kRunner, false, true},
                      FolderLinkCase{"FolderOwnersLinkIsFollowed", 0, true, true}),
    [](const ::testing::TestParamInfo<FolderLinkCase>& info) { return info.param.name; });

}  // namespace
