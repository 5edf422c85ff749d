// The temporary that an output is written to before it replaces its target: where it lies, who
// may read it, and which targets may not be replaced through it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <string>
#include <thread>

#include "src/platform/platform.h"
#include "src/platform/posix/wide_text.h"
#include "tests/support/test_files.h"

namespace {

class ReplacementFile : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeTempDir(); }
    void TearDown() override { RemoveTree(folder); }

    // Creates the temporary for `target`, writes `text` into it and closes it.
    std::string Prepare(const std::string& target, const std::string& text) {
        WideString temp;
        HANDLE file = INVALID_HANDLE_VALUE;
        ReplaceResult made = CreateReplacementFile(WideFromBytes(target).c_str(), &file, &temp);
        EXPECT_EQ(made.problem == kReplaceDone, file != INVALID_HANDLE_VALUE);
        if (file == INVALID_HANDLE_VALUE) {
            return "";
        }
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
        return BytesFromWide(temp.c_str());
    }

    static mode_t Mode(const std::string& path) {
        struct stat info {};
        stat(path.c_str(), &info);
        return info.st_mode & 07777;
    }

    // Names in `folder` other than the ones given.
    int Entries() {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            (void)entry;
            ++count;
        }
        return count;
    }

    std::string folder;
};

TEST_F(ReplacementFile, TemporaryIsHiddenBesideTheTargetUnderAFreshNameWithItsMode) {
    std::string target = folder + "/out.txt";
    WriteBytes(target, "old");
    chmod(target.c_str(), 0640);
    std::string first = Prepare(target, "new");
    std::string second = Prepare(target, "newer");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(first.rfind(folder + "/.out.txt.", 0), 0u) << first;
    EXPECT_EQ(Mode(first), 0640u);
    EXPECT_EQ(ReadBytes(target), "old") << "the target is untouched until the commit";

    EXPECT_EQ(
        CommitReplacementFile(WideFromBytes(first).c_str(), WideFromBytes(target).c_str(), nullptr)
            .problem,
        kReplaceDone);
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_EQ(Mode(target), 0640u);
    EXPECT_FALSE(FileExists(first));
    DeleteFileW(WideFromBytes(second).c_str());
}

TEST_F(ReplacementFile, NewTargetGetsTheUsualModeForANewFile) {
    mode_t mask = umask(022);
    std::string target = folder + "/new.txt";
    std::string temp = Prepare(target, "text");
    umask(mask);
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(
        CommitReplacementFile(WideFromBytes(temp).c_str(), WideFromBytes(target).c_str(), nullptr)
            .problem,
        kReplaceDone);
    EXPECT_EQ(Mode(target), 0644u);
    EXPECT_EQ(ReadBytes(target), "text");
}

TEST_F(ReplacementFile, TargetWithTheLongestNameCanBeReplaced) {
    std::string target = folder + "/" + std::string(NAME_MAX - 4, 'n') + ".txt";
    WriteBytes(target, "old");
    ASSERT_EQ(ReadBytes(target), "old");
    std::string temp = Prepare(target, "new");
    ASSERT_FALSE(temp.empty()) << "no temporary for a name of " << NAME_MAX << " bytes";
    EXPECT_EQ(
        CommitReplacementFile(WideFromBytes(temp).c_str(), WideFromBytes(target).c_str(), nullptr)
            .problem,
        kReplaceDone);
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_EQ(Entries(), 1);
}

TEST_F(ReplacementFile, ThroughALinkTheFileItNamesIsReplacedAndTheLinkStays) {
    std::string elsewhere = folder + "/elsewhere";
    mkdir(elsewhere.c_str(), 0755);
    WriteBytes(elsewhere + "/real.txt", "old");
    std::string link = folder + "/link.txt";
    ASSERT_EQ(symlink("elsewhere/real.txt", link.c_str()), 0);
    std::string temp = Prepare(link, "new");
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.rfind(elsewhere + "/", 0), 0u) << "the temporary belongs beside the file";
    EXPECT_EQ(
        CommitReplacementFile(WideFromBytes(temp).c_str(), WideFromBytes(link).c_str(), nullptr)
            .problem,
        kReplaceDone);
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadBytes(elsewhere + "/real.txt"), "new");
}

TEST_F(ReplacementFile, ALinkChangedBeforeTheCommitIsNotFollowedElsewhere) {
    std::string other = folder + "/other";
    mkdir(other.c_str(), 0755);
    WriteBytes(folder + "/a.txt", "a");
    WriteBytes(other + "/b.txt", "b");
    std::string link = folder + "/link.txt";
    ASSERT_EQ(symlink("a.txt", link.c_str()), 0);
    std::string temp = Prepare(link, "new");
    ASSERT_FALSE(temp.empty());
    unlink(link.c_str());
    ASSERT_EQ(symlink("other/b.txt", link.c_str()), 0);
    EXPECT_EQ(
        CommitReplacementFile(WideFromBytes(temp).c_str(), WideFromBytes(link).c_str(), nullptr)
            .problem,
        kReplaceRefused);
    EXPECT_EQ(ReadBytes(other + "/b.txt"), "b");
    EXPECT_EQ(ReadBytes(folder + "/a.txt"), "a");
    DeleteFileW(WideFromBytes(temp).c_str());
}

// The process's open descriptors: a group must give back every one it held.
int OpenDescriptors() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

// A group of replacements: the temporaries wait, their targets untouched, until the group's flush;
// then each is committed or discarded on its own, in two folders, and the group's end leaves
// neither a temporary nor a descriptor behind. Outside the group, a replacement goes on as usual.
TEST_F(ReplacementFile, AGroupCommitsEachOfItsTemporariesOnItsOwn) {
    std::string sub = folder + "/sub";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    const std::string targets[] = {folder + "/a.txt", sub + "/b.txt", folder + "/c.txt",
                                   sub + "/d.txt"};
    for (const std::string& target : targets) {
        WriteBytes(target, "old");
    }
    int descriptors = OpenDescriptors();
    BeginReplacementGroup();
    std::string temps[4];
    for (int i = 0; i < 4; ++i) {
        temps[i] = Prepare(targets[i], "new " + std::to_string(i));
        ASSERT_FALSE(temps[i].empty()) << targets[i];
    }
    for (const std::string& target : targets) {
        EXPECT_EQ(ReadBytes(target), "old") << "nothing is replaced before the group's flush";
    }
    FlushReplacementGroup();
    for (int i = 0; i < 4; ++i) {
        if (i == 2) {
            EXPECT_TRUE(DiscardReplacementFile(WideFromBytes(temps[i]).c_str()));
            continue;
        }
        EXPECT_EQ(CommitReplacementFile(WideFromBytes(temps[i]).c_str(),
                                        WideFromBytes(targets[i]).c_str(), nullptr)
                      .problem,
                  kReplaceDone)
            << targets[i];
    }
    EndReplacementGroup();
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(ReadBytes(targets[0]), "new 0");
    EXPECT_EQ(ReadBytes(targets[1]), "new 1");
    EXPECT_EQ(ReadBytes(targets[2]), "old");
    EXPECT_EQ(ReadBytes(targets[3]), "new 3");
    for (const std::string& temp : temps) {
        EXPECT_FALSE(FileExists(temp)) << temp;
    }
    std::string after = Prepare(targets[2], "later");
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(CommitReplacementFile(WideFromBytes(after).c_str(), WideFromBytes(targets[2]).c_str(),
                                    nullptr)
                  .problem,
              kReplaceDone);
    EXPECT_EQ(ReadBytes(targets[2]), "later");
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

struct RefusedTarget {
    const char* name;
    void (*make)(const std::string& folder);  // makes folder/target
};

void PrintTo(const RefusedTarget& t, std::ostream* out) {
    *out << t.name;
}

class RefusedTargets : public ReplacementFile,
                       public ::testing::WithParamInterface<RefusedTarget> {};

// Nothing may be created for a target that could not be replaced, and the target stays as it is.
TEST_P(RefusedTargets, NoTemporaryIsMade) {
    GetParam().make(folder);
    int before = Entries();
    std::string target = folder + "/target";
    struct stat was {};
    lstat(target.c_str(), &was);
    EXPECT_EQ(Prepare(target, "new"), "");
    EXPECT_EQ(Entries(), before);
    struct stat now {};
    lstat(target.c_str(), &now);
    EXPECT_EQ(now.st_mode, was.st_mode);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, RefusedTargets,
    ::testing::Values(
        RefusedTarget{"Folder", [](const std::string& f) { mkdir((f + "/target").c_str(), 0755); }},
        RefusedTarget{"Fifo", [](const std::string& f) { mkfifo((f + "/target").c_str(), 0644); }},
        RefusedTarget{"LinkLoop",
                      [](const std::string& f) {
                          symlink("loop", (f + "/target").c_str());
                          symlink("target", (f + "/loop").c_str());
                      }},
        RefusedTarget{
            "MissingFolder",
            [](const std::string& f) { symlink("missing/file.txt", (f + "/target").c_str()); }}),
    [](const ::testing::TestParamInfo<RefusedTarget>& info) { return info.param.name; });

// In a folder that everybody may write to, a link planted by another user could aim the output
// at any file of the running user's; it is refused, as the kernel itself refuses it when
// fs.protected_symlinks is on.
TEST_F(ReplacementFile, LinkOfAnotherUserInASharedFolderIsNotFollowed) {
    std::string shared = folder + "/shared";
    mkdir(shared.c_str(), 0777);
    chmod(shared.c_str(), 01777);
    std::string victim = folder + "/victim.txt";
    WriteBytes(victim, "precious");
    std::string link = shared + "/out.txt";
    ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
    constexpr uid_t kStranger = 54321;
    if (lchown(link.c_str(), kStranger, kStranger) != 0) {
        GTEST_SKIP() << "changing a link's owner needs root";
    }
    EXPECT_EQ(Prepare(link, "hijacked"), "");
    EXPECT_EQ(ReadBytes(victim), "precious");

    // The folder's owner and the link's own user may still use their links.
    ASSERT_EQ(lchown(link.c_str(), geteuid(), getegid()), 0);
    std::string temp = Prepare(link, "mine");
    ASSERT_FALSE(temp.empty());
    DeleteFileW(WideFromBytes(temp).c_str());
}

// The commit of a file that must still be as it was read: any change since gives
// kReplaceTargetChanged, and the temporary, discarded, leaves the file as the change made it.
struct ChangedTarget {
    const char* name;
    void (*change)(const std::string& target);  // nullptr: left alone
    std::string after;
};

void PrintTo(const ChangedTarget& t, std::ostream* out) {
    *out << t.name;
}

class ChangedTargets : public ReplacementFile,
                       public ::testing::WithParamInterface<ChangedTarget> {};

TEST_P(ChangedTargets, AreNotReplaced) {
    const ChangedTarget& c = GetParam();
    std::string target = folder + "/in.txt";
    WriteBytes(target, "old");
    HANDLE read = CreateFileW(WideFromBytes(target).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    FileIdentity loaded{};
    ASSERT_TRUE(ReadFileIdentity(read, &loaded));
    CloseHandle(read);
    std::string temp = Prepare(target, "new");
    ASSERT_FALSE(temp.empty());
    if (c.change != nullptr) {
        c.change(target);
    }
    ReplaceResult committed =
        CommitReplacementFile(WideFromBytes(temp).c_str(), WideFromBytes(target).c_str(), &loaded);
    EXPECT_EQ(committed.problem, c.change == nullptr ? kReplaceDone : kReplaceTargetChanged);
    if (committed.problem != kReplaceDone) {
        EXPECT_TRUE(DiscardReplacementFile(WideFromBytes(temp).c_str()));
    }
    EXPECT_EQ(ReadBytes(target), c.after);
    EXPECT_EQ(Entries(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ChangedTargets,
    ::testing::Values(
        ChangedTarget{"Unchanged", nullptr, "new"},
        ChangedTarget{"Appended", [](const std::string& t) { WriteBytes(t, "old+"); }, "old+"},
        ChangedTarget{"SameSizeRewritten", [](const std::string& t) { WriteBytes(t, "OLD"); },
                      "OLD"},
        ChangedTarget{"OnlyItsTimeSet",
                      [](const std::string& t) {
                          struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
                          utimensat(AT_FDCWD, t.c_str(), times, 0);
                      },
                      "old"},
        ChangedTarget{"AnotherFileInItsPlace",
                      [](const std::string& t) {
                          WriteBytes(t + ".other", "old");
                          rename((t + ".other").c_str(), t.c_str());
                      },
                      "old"}),
    [](const ::testing::TestParamInfo<ChangedTarget>& info) { return info.param.name; });

// What a replacement carries of its target's extended attributes, and what it must not take from
// its folder: rules the folder gives new files by default, which the target did not have. A
// capability given to the target while the run works goes with the replacement too.
struct AttributeCase {
    const char* name;
    bool folderDefaults;       // the folder gives new files access rules
    bool ownRules;             // the target has access rules of its own
    bool capabilityMeanwhile;  // the target gains a capability between creation and commit
};

void PrintTo(const AttributeCase& c, std::ostream* out) {
    *out << c.name;
}

// user::rw-, user:nobody:rw-, group::r--, mask::rw-, other::--- in the kernel's form.
std::string Rules() {
    std::string rules = Bytes({2, 0, 0, 0});
    const int entries[][2] = {{0x01, 6}, {0x02, 6}, {0x04, 4}, {0x10, 6}, {0x20, 0}};
    for (const auto& entry : entries) {
        int id = entry[0] == 0x02 ? 65534 : -1;
        rules += Bytes({entry[0], 0, entry[1], 0, id & 255, (id >> 8) & 255, (id >> 16) & 255,
                        (id >> 24) & 255});
    }
    return rules;
}

std::string AttributeOf(const std::string& path, const char* name) {
    char value[256];
    ssize_t n = getxattr(path.c_str(), name, value, sizeof(value));
    return n < 0 ? "" : std::string(value, static_cast<size_t>(n));
}

class CarriedAttributes : public ReplacementFile,
                          public ::testing::WithParamInterface<AttributeCase> {};

TEST_P(CarriedAttributes, AreTheTargetsOwn) {
    const AttributeCase& c = GetParam();
    const char* kRules = "system.posix_acl_access";
    const char* kCapability = "security.capability";
    // cap_net_raw, permitted and effective, in the kernel's form (version 2).
    const std::string capability =
        Bytes({0x01, 0, 0, 0x02, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    std::string target = folder + "/out.txt";
    WriteBytes(target, "old");
    chmod(target.c_str(), 0660);
    if ((c.folderDefaults && setxattr(folder.c_str(), "system.posix_acl_default", Rules().data(),
                                      Rules().size(), 0) != 0) ||
        (c.ownRules && setxattr(target.c_str(), kRules, Rules().data(), Rules().size(), 0) != 0)) {
        GTEST_SKIP() << "this file system keeps no access rules";
    }
    std::string temp = Prepare(target, "new");
    ASSERT_FALSE(temp.empty());
    if (c.capabilityMeanwhile) {
        // Past the clock's tick, so that the change shows in the target's change time.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (setxattr(target.c_str(), kCapability, capability.data(), capability.size(), 0) != 0) {
            DiscardReplacementFile(WideFromBytes(temp).c_str());
            GTEST_SKIP() << "capabilities are given as root, on a file system that keeps them";
        }
    }
    ReplaceResult committed =
        CommitReplacementFile(WideFromBytes(temp).c_str(), WideFromBytes(target).c_str(), nullptr);
    ASSERT_EQ(committed.problem, kReplaceDone);
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_EQ(Mode(target), 0660u);
    EXPECT_EQ(Hex(AttributeOf(target, kRules)), Hex(c.ownRules ? Rules() : ""));
    EXPECT_EQ(Hex(AttributeOf(target, kCapability)), Hex(c.capabilityMeanwhile ? capability : ""));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, CarriedAttributes,
    ::testing::Values(AttributeCase{"NoneAnywhere", false, false, false},
                      AttributeCase{"NoneOfItsOwnInAFolderWithDefaults", true, false, false},
                      AttributeCase{"RulesOfItsOwnInAFolderWithDefaults", true, true, false},
                      AttributeCase{"CapabilityGivenWhileTheRunWorks", false, false, true}),
    [](const ::testing::TestParamInfo<AttributeCase>& info) { return info.param.name; });

}  // namespace
