// The Linux program as a whole move: several files replaced in one run, each a run of its own,
// and the filter that reads standard input or one named file and writes standard output.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A signal while the second file is written ends the process as the signal would: the first
// file keeps its new text, the second and third their old, and no temporary is left. strace
// sends the signal as the second file's text is written, so no timing decides where it lands.
TEST(ManyFiles, ASignalLeavesEveryFileWhole) {
    if (!FlavorMatches("native") || access("/usr/bin/strace", X_OK) != 0) {
        GTEST_SKIP() << "the signal is sent by strace, to the Linux program";
    }
    std::string folder = MakeTempDir();
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        WriteBytes(folder + "/" + name, kCp1251);
    }
    int run = StartProgramThrough(
        {"strace", "-o", "/dev/null", "-e", "trace=write", "-e", "inject=write:signal=TERM:when=2"},
        {"-A1251", "-U8-", "-r", "a.txt", "b.txt", "c.txt"}, folder, -1);
    ASSERT_GT(run, 0);
    int status = WaitForProgram(run);
    // strace ends as its program did: by the same signal.
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(ReadBytes(folder + "/a.txt"), kUtf8.substr(0, kUtf8.size() - 1) + "\r\n");
    EXPECT_EQ(ReadBytes(folder + "/b.txt"), kCp1251);
    EXPECT_EQ(ReadBytes(folder + "/c.txt"), kCp1251);
    DIR* dir = opendir(folder.c_str());
    for (dirent* e = dir != nullptr ? readdir(dir) : nullptr; e != nullptr; e = readdir(dir)) {
        EXPECT_NE(e->d_name[0] == '.' && e->d_name[1] != 0 && e->d_name[1] != '.', true)
            << "left behind: " << e->d_name;
    }
    if (dir != nullptr) {
        closedir(dir);
    }
    RemoveTree(folder);
}

}  // namespace
