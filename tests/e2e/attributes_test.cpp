// A replaced file keeps what a user set on it beyond its text: its ACL and its user.*
// attributes; where the rules cannot be carried over, the file is not replaced at all. A hard
// link keeps the old text, and the run says so.
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

constexpr char kAclName[] = "system.posix_acl_access";
constexpr char kUserName[] = "user.origin";

// user::rw-, user:nobody:rw-, group::r--, mask::rw-, other::--- in the kernel's form: a
// version, then tag, permissions and id per entry.
std::string Acl() {
    std::string acl = Bytes({2, 0, 0, 0});
    auto entry = [&acl](int tag, int perm, unsigned id) {
        acl += Bytes({tag, 0, perm, 0, static_cast<int>(id & 255), static_cast<int>(id >> 8 & 255),
                      static_cast<int>(id >> 16 & 255), static_cast<int>(id >> 24)});
    };
    entry(0x01, 6, 0xFFFFFFFF);
    entry(0x02, 6, 65534);
    entry(0x04, 4, 0xFFFFFFFF);
    entry(0x10, 6, 0xFFFFFFFF);
    entry(0x20, 0, 0xFFFFFFFF);
    return acl;
}

std::string Attribute(const std::string& path, const char* name) {
    char value[256];
    ssize_t n = getxattr(path.c_str(), name, value, sizeof(value));
    return n < 0 ? "" : std::string(value, static_cast<size_t>(n));
}

struct AttributeCase {
    const char* name;
    bool acl;
    bool userAttribute;
    bool locked;  // a sandbox refuses to set attributes
    int exitCode;
};

void PrintTo(const AttributeCase& c, std::ostream* out) {
    *out << c.name;
}

class KeptAttributes : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(KeptAttributes, GoWithTheReplacement) {
    const AttributeCase& c = GetParam();
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "extended attributes are set up for the native build";
    }
    std::string folder = MakeTempDir();
    std::string file = folder + "/in.txt";
    WriteBytes(file, "abc");
    chmod(file.c_str(), 0660);
    if ((c.acl && setxattr(file.c_str(), kAclName, Acl().data(), Acl().size(), 0) != 0) ||
        (c.userAttribute && setxattr(file.c_str(), kUserName, "mail", 4, 0) != 0)) {
        RemoveTree(folder);
        GTEST_SKIP() << "this file system keeps no such attributes";
    }
    Surroundings surroundings;
    surroundings.attributesLocked = c.locked;
    int exitCode = RunProgramIn(surroundings, {"-u8", "-u16", "-r", "in.txt"}, folder);
    ASSERT_NE(exitCode, kSurroundingsRefused);
    EXPECT_EQ(exitCode, c.exitCode);
    EXPECT_EQ(Hex(ReadBytes(file)), Hex(c.exitCode == 0 ? std::string("\xFF\xFE"
                                                                      "a\0b\0c\0",
                                                                      8)
                                                        : "abc"));
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0660u);
    EXPECT_EQ(Hex(Attribute(file, kAclName)), Hex(c.acl ? Acl() : ""));
    // An attribute that carries no rules goes where it can; a file not replaced keeps its own.
    bool kept = c.userAttribute && (!c.locked || c.exitCode != 0);
    EXPECT_EQ(Attribute(file, kUserName), kept ? "mail" : "");
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    OnReplacedFiles, KeptAttributes,
    ::testing::Values(AttributeCase{"AclKept", true, false, false, 0},
                      AttributeCase{"UserAttributeKept", false, true, false, 0},
                      AttributeCase{"AclRefusedLeavesTheFile", true, true, true, 22},
                      AttributeCase{"UserAttributeRefusedStillConverts", false, true, true, 0}),
    [](const ::testing::TestParamInfo<AttributeCase>& info) { return info.param.name; });

TEST(HardLinks, KeepTheOldTextAndTheRunSaysSo) {
    std::string folder = MakeTempDir();
    WriteBytes(folder + "/in.txt", "abc");
    ASSERT_EQ(link((folder + "/in.txt").c_str(), (folder + "/other.txt").c_str()), 0);
    RunOutput run = RunProgramCapturing({"-u8", "-u8-", "-r", "in.txt"}, folder, true);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(ReadBytes(folder + "/other.txt"), "abc");
    std::string messages = Flavor() == "native" ? run.err : DebugStrings(run.err);
    EXPECT_EQ(messages,
              "codeshift: warning: \"in.txt\" was replaced; its other names (hard links) keep the "
              "old text\n");
    RemoveTree(folder);
}

}  // namespace
