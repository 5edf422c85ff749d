// What others do to the files while a run works on them: a write to the input that -r is about to
// replace, a folder moved away under the output, standard output that leads back to the input,
// and the rights of a replaced file (set-id bits, capabilities, inode flags). Nothing of theirs
// or of the user's may be lost, and no temporary may stay behind.
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

constexpr int kNobody = 65534;
// 1252 text whose conversion to UTF-8 differs from it.
const std::string kOld = "caf\xE9\n";
const std::string kOldUtf8 = "caf\xC3\xA9\n";

// Whether a file that a run left behind lies in `folder` (a hidden temporary).
bool HoldsTemporary(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    bool found = false;
    for (dirent* e = dir != nullptr ? readdir(dir) : nullptr; e != nullptr; e = readdir(dir)) {
        std::string name = e->d_name;
        found =
            found || (name.size() > 4 && name[0] == '.' && name.rfind(".tmp") == name.size() - 4);
    }
    if (dir != nullptr) {
        closedir(dir);
    }
    return found;
}

// Waits until the run's temporary exists in `folder`: the run has loaded its input and is held
// in its first write to the temporary.
bool WaitForTemporary(const std::string& folder) {
    for (int i = 0; i < 1000; ++i) {
        if (HoldsTemporary(folder)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// --- A change made while the run writes its output ------------------------------------------

enum Change { kAppendToInput, kSwapFolder };

struct ChangeCase {
    const char* name;
    std::vector<std::string> arguments;
    Change change;
    int exitCode;
    std::vector<FileBytes> expected;
    std::string message;
};

void PrintTo(const ChangeCase& c, std::ostream* out) {
    *out << c.name;
}

const std::string kChangedInput =
    "codeshift: cannot replace input \"sub/in.txt\": it changed while it was being converted; "
    "it was left as it is\n";

class ChangeDuringRun : public ::testing::TestWithParam<ChangeCase> {};

// The run is held by strace in its first write to the temporary for three seconds, long enough
// for the change to be made however busy the machine is; the change waits for the temporary to
// exist, so no timing decides the outcome.
TEST_P(ChangeDuringRun, LosesNothing) {
    const ChangeCase& c = GetParam();
    if (!FlavorMatches("native") || access("/usr/bin/strace", X_OK) != 0) {
        GTEST_SKIP() << "the run is slowed down by strace, for the Linux program";
    }
#if defined(__SANITIZE_ADDRESS__)
    // LeakSanitizer ends a traced program with an error of its own, whatever the run did.
    GTEST_SKIP() << "the sanitizer build's runs cannot be traced";
#endif
    std::string folder = MakeTempDir();
    mkdir((folder + "/sub").c_str(), 0755);
    WriteBytes(folder + "/sub/in.txt", kOld);
    WriteBytes(folder + "/sub/out.txt", "old output");
    int err = open((folder + "/err.txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    int run = StartProgramThrough({"strace", "-o", "/dev/null", "-e", "trace=write", "-e",
                                   "inject=write:delay_enter=3000000:when=1"},
                                  c.arguments, folder, err);
    close(err);
    ASSERT_GT(run, 0);
    ASSERT_TRUE(WaitForTemporary(folder + "/sub"));
    switch (c.change) {
        case kAppendToInput: {
            int fd = open((folder + "/sub/in.txt").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
            ASSERT_EQ(write(fd, "ADDED\n", 6), 6);
            close(fd);
            break;
        }
        case kSwapFolder:
            ASSERT_EQ(rename((folder + "/sub").c_str(), (folder + "/sub.old").c_str()), 0);
            mkdir((folder + "/sub").c_str(), 0755);
            break;
    }
    int status = WaitForProgram(run);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
    EXPECT_EQ(ReadBytes(folder + "/err.txt"), c.message);
    for (const FileBytes& f : c.expected) {
        EXPECT_EQ(Hex(ReadBytes(folder + "/" + f.name)), Hex(f.bytes)) << f.name;
    }
    EXPECT_FALSE(HoldsTemporary(folder + "/sub"));
    EXPECT_FALSE(HoldsTemporary(folder + "/sub.old"));
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Linux, ChangeDuringRun,
    ::testing::Values(
        ChangeCase{"AppendToTheInputOfR",
                   {"-A1252", "-U8-", "-r", "sub/in.txt"},
                   kAppendToInput,
                   21,
                   {{"sub/in.txt", kOld + "ADDED\n"}},
                   kChangedInput},
        // Only the file replaced must stay as it was read: an output elsewhere is written.
        ChangeCase{"AppendToAnInputNotReplaced",
                   {"-A1252", "-U8-", "sub/in.txt", "sub/out.txt"},
                   kAppendToInput,
                   0,
                   {{"sub/out.txt", kOldUtf8}, {"sub/in.txt", kOld + "ADDED\n"}},
                   ""},
        ChangeCase{"FolderOfTheOutputSwapped",
                   {"-A1252", "-U8-", "sub/in.txt", "sub/out.txt"},
                   kSwapFolder,
                   22,
                   {{"sub.old/out.txt", "old output"}},
                   "codeshift: cannot write output \"sub/out.txt\": a folder on its path was "
                   "moved or replaced while it was written; it was left as it was\n"},
        ChangeCase{"FolderOfTheInputOfRSwapped",
                   {"-A1252", "-U8-", "-r", "sub/in.txt"},
                   kSwapFolder,
                   22,
                   {{"sub.old/in.txt", kOld}},
                   "codeshift: cannot write output \"sub/in.txt\": a folder on its path was "
                   "moved or replaced while it was written; it was left as it was\n"}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) { return info.param.name; });

// --- Standard output that is the input ------------------------------------------------------

struct OutputOntoInputCase {
    const char* name;
    std::vector<std::string> arguments;
    int openFlags;  // how the shell opened standard output on the input: 1<> or >>
    int exitCode;
    std::string after;
    std::string message;
};

void PrintTo(const OutputOntoInputCase& c, std::ostream* out) {
    *out << c.name;
}

class OutputOntoInput : public ::testing::TestWithParam<OutputOntoInputCase> {};

TEST_P(OutputOntoInput, IsRefusedBeforeAnythingIsWritten) {
    const OutputOntoInputCase& c = GetParam();
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "standard output as the output is the Linux program's";
    }
    std::string folder = MakeTempDir();
    WriteBytes(folder + "/s.txt", kOld);
    WriteBytes(folder + "/other.txt", "");
    int out = open((folder + "/" + (c.exitCode == 0 ? "other.txt" : "s.txt")).c_str(),
                   c.openFlags | O_CLOEXEC);
    ASSERT_GE(out, 0);
    Streams streams;
    streams.out = out;
    // "-" as the input reads the file through standard input.
    int in = open((folder + "/s.txt").c_str(), O_RDONLY | O_CLOEXEC);
    if (c.arguments[2] == "-") {
        streams.in = in;
    }
    streams.err = open((folder + "/err.txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    int status = RunProgramWithStreams(c.arguments, folder, streams);
    close(out);
    close(in);
    close(streams.err);
    EXPECT_EQ(ReadBytes(folder + "/err.txt"), c.message);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
    EXPECT_EQ(Hex(ReadBytes(folder + "/s.txt")), Hex(kOld));
    EXPECT_EQ(Hex(ReadBytes(folder + "/other.txt")), Hex(c.after));
    RemoveTree(folder);
}

const std::string kOntoInput =
    "codeshift: cannot write output \"-\" (standard output): it is the input file, and the text "
    "would be written over itself; nothing was written\n";

INSTANTIATE_TEST_SUITE_P(
    Linux, OutputOntoInput,
    ::testing::Values(
        OutputOntoInputCase{
            "ReadAndWrite", {"-A1252", "-U8-", "s.txt", "-"}, O_RDWR, 22, "", kOntoInput},
        OutputOntoInputCase{
            "Append", {"-A1252", "-U8-", "s.txt", "-"}, O_WRONLY | O_APPEND, 22, "", kOntoInput},
        OutputOntoInputCase{"NamedAsDevStdout",
                            {"-A1252", "-U8-", "s.txt", "/dev/stdout"},
                            O_RDWR,
                            22,
                            "",
                            "codeshift: cannot write output \"/dev/stdout\": it is the input "
                            "file, and the text would be written over itself; nothing was "
                            "written\n"},
        OutputOntoInputCase{
            "StandardInputToo", {"-A1252", "-U8-", "-", "-"}, O_RDWR, 22, "", kOntoInput},
        // A text the system copies as it is goes the same way.
        OutputOntoInputCase{
            "Copy", {"-A1252", "-A1252", "s.txt", "-"}, O_WRONLY | O_APPEND, 22, "", kOntoInput},
        OutputOntoInputCase{
            "AnotherFileIsWritten", {"-A1252", "-U8-", "s.txt", "-"}, O_RDWR, 0, kOldUtf8, ""}),
    [](const ::testing::TestParamInfo<OutputOntoInputCase>& info) { return info.param.name; });

// --- Rights of a replaced file --------------------------------------------------------------

// cap_net_raw, permitted and effective, in the kernel's form (version 2).
const std::string kCapability =
    Bytes({0x01, 0, 0, 0x02, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
constexpr char kCapabilityName[] = "security.capability";

struct RightsCase {
    const char* name;
    mode_t mode;
    int owner;  // the file's user and group, and the folder's
    int group;
    bool capability;
    int flags;   // inode flags, as chattr sets them
    int runner;  // -1: the superuser, as the suite runs
    int exitCode;
};

void PrintTo(const RightsCase& c, std::ostream* out) {
    *out << c.name;
}

int FlagsOf(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = -1;
    if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
        flags = -1;
    }
    if (fd >= 0) {
        close(fd);
    }
    return flags;
}

bool SetFlags(const std::string& path, int flags) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int now = 0;
    bool set = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &now) == 0 &&
               ioctl(fd, FS_IOC_SETFLAGS, &(now |= flags)) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return set && (FlagsOf(path) & flags) == flags;
}

std::string CapabilityOf(const std::string& path) {
    char value[64];
    ssize_t n = getxattr(path.c_str(), kCapabilityName, value, sizeof(value));
    return n < 0 ? "" : std::string(value, static_cast<size_t>(n));
}

class KeptRights : public ::testing::TestWithParam<RightsCase> {};

TEST_P(KeptRights, OrTheFileIsLeftAlone) {
    const RightsCase& c = GetParam();
    if (!FlavorMatches("native") || geteuid() != 0) {
        GTEST_SKIP() << "set-id bits of other users, capabilities and flags are set up as root";
    }
    std::string folder = MakeTempDir();
    std::string file = folder + "/in.txt";
    WriteBytes(file, kOld);
    ASSERT_EQ(chown(folder.c_str(), c.owner, c.group), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    ASSERT_EQ(chown(file.c_str(), c.owner, c.group), 0);
    ASSERT_EQ(chmod(file.c_str(), c.mode), 0);
    if (c.capability &&
        setxattr(file.c_str(), kCapabilityName, kCapability.data(), kCapability.size(), 0) != 0) {
        RemoveTree(folder);
        GTEST_SKIP() << "this file system keeps no capabilities";
    }
    if (c.flags != 0 && !SetFlags(file, c.flags)) {
        RemoveTree(folder);
        GTEST_SKIP() << "this file system keeps no such inode flags";
    }
    struct stat before {};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    int flagsBefore = FlagsOf(file);
    Surroundings surroundings = c.runner < 0 ? Surroundings{} : RunAs(c.runner, c.runner);
    RunOutput run =
        RunProgramCapturing({"-A1252", "-U8-", "-r", "in.txt"}, folder, false, surroundings);
    ASSERT_NE(run.exitCode, kSurroundingsRefused);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.err, c.exitCode == 0 ? ""
                                       : "codeshift: cannot write output \"in.txt\": its set-id "
                                         "bits, capabilities or file flags could not be kept; it "
                                         "was left as it was\n");
    EXPECT_EQ(Hex(ReadBytes(file)), Hex(c.exitCode == 0 ? kOldUtf8 : kOld));
    struct stat after {};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(Hex(CapabilityOf(file)), Hex(c.capability ? kCapability : ""));
    EXPECT_EQ(FlagsOf(file) & c.flags, c.flags);
    EXPECT_EQ(FlagsOf(file), flagsBefore);
    EXPECT_FALSE(HoldsTemporary(folder));
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Linux, KeptRights,
    ::testing::Values(
        RightsCase{"SetUserIdOfAnotherUser", 04755, kNobody, kNobody, false, 0, -1, 0},
        RightsCase{"SetGroupIdOfAnotherGroup", 02750, 0, kNobody, false, 0, -1, 0},
        RightsCase{"Capability", 0755, 0, 0, true, 0, -1, 0},
        RightsCase{"CapabilityOfAnotherUser", 04755, kNobody, kNobody, true, 0, -1, 0},
        RightsCase{"NoDumpAndNoAccessTime", 0644, 0, 0, false, FS_NODUMP_FL | FS_NOATIME_FL, -1, 0},
        RightsCase{"OwnFlagsWithoutPrivilege", 0644, kNobody, kNobody, false, FS_NODUMP_FL, kNobody,
                   0},
        // Only a privileged user may give a file capabilities or journal its data.
        RightsCase{"CapabilityWithoutPrivilege", 0755, kNobody, kNobody, true, 0, kNobody, 22},
        RightsCase{"JournalledDataWithoutPrivilege", 0644, kNobody, kNobody, false,
                   FS_JOURNAL_DATA_FL, kNobody, 22}),
    [](const ::testing::TestParamInfo<RightsCase>& info) { return info.param.name; });

}  // namespace
