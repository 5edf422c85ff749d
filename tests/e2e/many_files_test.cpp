// The Linux program as a whole move: several files replaced in one run, each a run of its own,
// and the filter that reads standard input or one named file and writes standard output.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

const std::string kCp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2\r\n";  // "Привет", CR LF
const std::string kUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\n";  // with LF

// One missing name and one folder among the files fail alone: the others are converted, every
// file gets its record, the messages name each file, and the worst code is the run's.
TEST(ManyFiles, EachFileIsARunOfItsOwn) {
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "the Windows programs keep one input and one output";
    }
    std::string folder = MakeTempDir();
    WriteBytes(folder + "/a.txt", kCp1251);
    WriteBytes(folder + "/c.txt", kCp1251);
    ASSERT_EQ(mkdir((folder + "/d").c_str(), 0755), 0);
    RunOutput run = RunProgramCapturing(
        {"-A1251", "-U8-", "-LF", "-r", "a.txt", "gone.txt", "d", "c.txt", "-orun.log"}, folder);
    EXPECT_EQ(run.exitCode, 21);
    EXPECT_EQ(ReadBytes(folder + "/a.txt"), kUtf8);
    EXPECT_EQ(ReadBytes(folder + "/c.txt"), kUtf8);
    for (const char* line : {"codeshift: \"a.txt\": 1 line end was written as LF\n",
                             "codeshift: cannot read input \"gone.txt\"",
                             "codeshift: \"c.txt\": 1 line end was written as LF\n"}) {
        EXPECT_NE(run.err.find(line), std::string::npos) << line << " in\n" << run.err;
    }
    std::string log = ReadBytes(folder + "/run.log");
    size_t records = 0;
    for (size_t at = log.find("Return Code:"); at != std::string::npos;
         at = log.find("Return Code:", at + 1)) {
        ++records;
    }
    EXPECT_EQ(records, 4u) << log;
    RemoveTree(folder);
}

// Text piped in with no name, or one file with a target named, comes out on standard output.
TEST(ManyFiles, FilterWritesStandardOutput) {
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "the Windows programs write standard output only when \"-\" names it";
    }
    std::string folder = MakeTempDir();
    WriteBytes(folder + "/in.txt", kCp1251);
    RunOutput named = RunProgramCapturing({"-A1251", "-U8-", "-LF", "in.txt"}, folder);
    EXPECT_EQ(named.exitCode, 0);
    EXPECT_EQ(named.out, kUtf8);

    int in = open((folder + "/in.txt").c_str(), O_RDONLY);
    int out = open((folder + "/out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(in, 0);
    ASSERT_GE(out, 0);
    int status = RunProgramWithStreams({"-A1251", "-U8-", "-LF"}, folder, {in, out, kStreamClosed});
    close(in);
    close(out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadBytes(folder + "/out.txt"), kUtf8);
    EXPECT_EQ(ReadBytes(folder + "/in.txt"), kCp1251);
    RemoveTree(folder);
}

// What a file of a group holds after the run: its old text, its new one, or either (a signal
// that lands as its rename is made).
enum Outcome { kOld, kNew, kEither };

// A fault strace brings into a group of three files, and what each file and the run then show.
struct GroupFault {
    const char* name;
    std::vector<std::string> strace;  // the options that trace and inject
    int signal;                       // the signal that ends the run, or 0: it exits
    int exitCode;
    Outcome files[3];
    // For a run that exits: the lines its messages hold, in this order, and each file's record's
    // return code.
    std::vector<std::string> messages;
    int recordCodes[3];
};

class ManyFilesFaults : public ::testing::TestWithParam<GroupFault> {};

// The three files are one group: each text goes to its temporary, the temporaries reach the disk
// together, then each is renamed, and only then come the records and the messages. Wherever the
// fault falls, each file is whole, no temporary is left, and what is reported is what happened,
// in the order of the names. strace brings the fault at a given call, so no timing decides where
// it lands.
TEST_P(ManyFilesFaults, LeaveEveryFileWholeAndTellTheTruth) {
    const GroupFault& fault = GetParam();
    if (!FlavorMatches("native") || access("/usr/bin/strace", X_OK) != 0) {
        GTEST_SKIP() << "the fault is brought by strace, to the Linux program";
    }
#if defined(__SANITIZE_ADDRESS__)
    // LeakSanitizer ends a traced program with an error of its own, whatever the run did.
    GTEST_SKIP() << "the sanitizer build's runs cannot be traced";
#endif
    std::string folder = MakeTempDir();
    const char* names[] = {"a.txt", "b.txt", "c.txt"};
    for (const char* name : names) {
        WriteBytes(folder + "/" + name, kCp1251);
    }
    int err = open((folder + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(err, 0);
    std::vector<std::string> wrapper = {"strace", "-o", "/dev/null"};
    wrapper.insert(wrapper.end(), fault.strace.begin(), fault.strace.end());
    int run = StartProgramThrough(
        wrapper, {"-A1251", "-U8-", "-r", "a.txt", "b.txt", "c.txt", "-orun.log"}, folder, err);
    close(err);
    ASSERT_GT(run, 0);
    int status = WaitForProgram(run);
    // strace ends as its program did: by the same signal, or with the same code.
    if (fault.signal != 0) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == fault.signal) << status;
    } else {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == fault.exitCode) << status;
    }
    const std::string converted = kUtf8.substr(0, kUtf8.size() - 1) + "\r\n";
    for (int i = 0; i < 3; ++i) {
        std::string text = ReadBytes(folder + "/" + names[i]);
        if (fault.files[i] == kEither) {
            EXPECT_TRUE(text == kCp1251 || text == converted) << names[i];
        } else {
            EXPECT_EQ(text, fault.files[i] == kNew ? converted : kCp1251) << names[i];
        }
    }
    DIR* dir = opendir(folder.c_str());
    for (dirent* e = dir != nullptr ? readdir(dir) : nullptr; e != nullptr; e = readdir(dir)) {
        EXPECT_NE(e->d_name[0] == '.' && e->d_name[1] != 0 && e->d_name[1] != '.', true)
            << "left behind: " << e->d_name;
    }
    if (dir != nullptr) {
        closedir(dir);
    }
    if (fault.signal == 0) {
        std::string messages = ReadBytes(folder + "/err");
        std::string log = ReadBytes(folder + "/run.log");
        size_t line = 0;
        for (const std::string& expected : fault.messages) {
            line = messages.find(expected, line);
            EXPECT_NE(line, std::string::npos) << expected << " in order in\n" << messages;
        }
        size_t record = 0;
        for (int i = 0; i < 3; ++i) {
            record = log.find(std::string("Input  File:  ") + names[i], record);
            ASSERT_NE(record, std::string::npos) << names[i] << " in order in\n" << log;
            size_t code = log.find("Return Code:  ", record);
            ASSERT_NE(code, std::string::npos) << log;
            EXPECT_EQ(std::atoi(log.c_str() + code + 14), fault.recordCodes[i]) << names[i];
        }
    }
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, ManyFilesFaults,
    ::testing::Values(
        // While the second text is written, the first waits for its rename: both are taken
        // back, and every file keeps its old text.
        GroupFault{"SignalWhileTheTextsAreWritten",
                   {"-e", "trace=write", "-e", "inject=write:signal=TERM:when=2"},
                   SIGTERM,
                   0,
                   {kOld, kOld, kOld},
                   {},
                   {}},
        // As the second is renamed: the first is in place, the third's temporary taken back.
        GroupFault{"SignalWhileTheTextsAreRenamed",
                   {"-e", "trace=renameat", "-e", "inject=renameat:signal=TERM:when=2"},
                   SIGTERM,
                   0,
                   {kNew, kEither, kOld},
                   {},
                   {}},
        // The second's rename is refused: it alone fails, and is reported so, in its place.
        GroupFault{"CommitRefusedInTheMiddle",
                   {"-e", "trace=renameat", "-e", "inject=renameat:error=EIO:when=2"},
                   0,
                   22,
                   {kNew, kOld, kNew},
                   {"codeshift: cannot replace output \"b.txt\""},
                   {0, 22, 0}}),
    [](const ::testing::TestParamInfo<GroupFault>& info) { return std::string(info.param.name); });

}  // namespace
