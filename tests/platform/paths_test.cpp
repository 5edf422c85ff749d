// The Linux path rules: a path's folder and last part, and the walk along its symbolic links.
#include "src/platform/posix/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_files.h"

namespace {

struct SplitCase {
    const char* path;
    const char* folder;
    const char* leaf;
};

TEST(PathParts, FolderAndLeaf) {
    const SplitCase cases[] = {
        {"name", ".", "name"}, {"/name", "/", "name"}, {"a/b/c.txt", "a/b", "c.txt"},
        {"a/b/", "a/b", ""},   {"/", "/", ""},         {"./-", ".", "-"},
        {"a//b", "a/", "b"},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(LeafOf(c.path), c.leaf) << c.path;
    }
}

LinkVerdict FollowEvery(const std::string&, const struct stat&) {
    return kLinkFollowed;
}
LinkVerdict EndAtEvery(const std::string&, const struct stat&) {
    return kLinkEndsWalk;
}
LinkVerdict RefuseEvery(const std::string&, const struct stat&) {
    return kLinkRefused;
}

// In a fresh folder holding dir/file.txt, dir/sub and the links below; paths are relative to the
// folder.
struct WalkCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // link, what it holds
    std::string walked;                                      // the name given to the walk
    LinkJudge judge;
    WalkEnd end;
    std::string path;  // where the walk ends, unless refused
    int linksMet;      // the links the walk met
    bool seen;         // whether it saw the file at its end, which is then dir/file.txt
    bool folderSeen;   // whether it saw the folder of that end, which is then dir
};

void PrintTo(const WalkCase& c, std::ostream* out) {
    *out << c.name;
}

// A chain of `count` links, l1 to l<count>, the last of them to dir/file.txt.
std::vector<std::pair<std::string, std::string>> Chain(int count) {
    std::vector<std::pair<std::string, std::string>> links;
    for (int i = 1; i <= count; ++i) {
        links.emplace_back("l" + std::to_string(i),
                           i == count ? "dir/file.txt" : "l" + std::to_string(i + 1));
    }
    return links;
}

class LinkWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(LinkWalk, EndsWhereTheLinksLead) {
    const WalkCase& c = GetParam();
    std::string folder = MakeTempDir();
    ASSERT_EQ(mkdir((folder + "/dir").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((folder + "/dir/sub").c_str(), 0755), 0);
    WriteBytes(folder + "/dir/file.txt", "text");
    for (const auto& link : c.links) {
        ASSERT_EQ(symlink(link.second.c_str(), (folder + "/" + link.first).c_str()), 0)
            << link.first;
    }
    std::string path;
    WalkSight sight{};
    WalkEnd end = WalkLinks(folder + "/" + c.walked, c.judge, &path, &sight);
    EXPECT_EQ(end, c.end);
    if (c.end != kWalkRefused) {
        EXPECT_EQ(path, folder + "/" + c.path);
        EXPECT_EQ(sight.links, c.linksMet);
        EXPECT_EQ(sight.seen, c.seen);
        EXPECT_EQ(sight.folderSeen, c.folderSeen);
    }
    struct stat file {};
    struct stat dir {};
    ASSERT_EQ(stat((folder + "/dir/file.txt").c_str(), &file), 0);
    ASSERT_EQ(stat((folder + "/dir").c_str(), &dir), 0);
    if (c.seen) {
        EXPECT_EQ(sight.info.st_ino, file.st_ino);
        EXPECT_EQ(sight.info.st_size, 4);
    }
    if (c.folderSeen) {
        EXPECT_EQ(sight.folderInfo.st_ino, dir.st_ino);
    }
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Links, LinkWalk,
    ::testing::Values(
        WalkCase{
            "NoLink", {}, "dir/./file.txt", FollowEvery, kWalkDone, "dir/file.txt", 0, true, true},
        WalkCase{"LinkToAFile",
                 {{"l", "dir/file.txt"}},
                 "l",
                 FollowEvery,
                 kWalkDone,
                 "dir/file.txt",
                 1,
                 true,
                 true},
        // ".." after a link to a folder leaves the folder the link leads to, as the kernel does.
        WalkCase{"DotDotAfterAFolderLink",
                 {{"up", "dir/sub"}},
                 "up/../file.txt",
                 FollowEvery,
                 kWalkDone,
                 "dir/file.txt",
                 1,
                 true,
                 false},
        WalkCase{"LinkToAFileStillToBeMade",
                 {{"l", "dir/new.txt"}},
                 "l",
                 FollowEvery,
                 kWalkDone,
                 "dir/new.txt",
                 1,
                 false,
                 true},
        WalkCase{"LinkInAFolderLink",
                 {{"d", "dir"}, {"dir/l", "file.txt"}},
                 "d/l",
                 FollowEvery,
                 kWalkDone,
                 "dir/file.txt",
                 2,
                 true,
                 false},
        // Names of four parts and more: asked of the kernel whole unless a link is on the way.
        WalkCase{"PlainNameAskedWhole",
                 {},
                 "dir/file.txt",
                 FollowEvery,
                 kWalkDone,
                 "dir/file.txt",
                 0,
                 true,
                 true},
        WalkCase{"PlainNameOfAFileToBeMade",
                 {},
                 "dir/new.txt",
                 FollowEvery,
                 kWalkDone,
                 "dir/new.txt",
                 0,
                 false,
                 true},
        WalkCase{"LinkAtTheEndOfAPlainFolder",
                 {{"dir/lf", "file.txt"}},
                 "dir/lf",
                 FollowEvery,
                 kWalkDone,
                 "dir/file.txt",
                 1,
                 true,
                 false},
        WalkCase{"LinkedFolderOfAPlainName",
                 {{"d", "dir"}},
                 "d/file.txt",
                 FollowEvery,
                 kWalkDone,
                 "dir/file.txt",
                 1,
                 true,
                 true},
        WalkCase{"TrailingSlashStays",
                 {{"d", "dir"}},
                 "d/",
                 FollowEvery,
                 kWalkDone,
                 "dir/",
                 1,
                 false,
                 false},
        // What ".." leaves is no file the walk looked at.
        WalkCase{
            "EndsAfterDotDot", {}, "dir/sub/..", FollowEvery, kWalkDone, "dir", 0, false, false},
        WalkCase{
            "Loop", {{"a", "b"}, {"b", "a"}}, "a", FollowEvery, kWalkRefused, "", 0, false, false},
        WalkCase{"FortyLinks", Chain(40), "l1", FollowEvery, kWalkDone, "dir/file.txt", 40, true,
                 true},
        WalkCase{"FortyOneLinks", Chain(41), "l1", FollowEvery, kWalkRefused, "", 0, false, false},
        WalkCase{"EndedAtALink",
                 {{"d", "dir"}, {"dir/l", "file.txt"}},
                 "d/l",
                 EndAtEvery,
                 kWalkStopped,
                 "d",
                 1,
                 false,
                 false},
        WalkCase{"RefusedLink",
                 {{"l", "dir/file.txt"}},
                 "l",
                 RefuseEvery,
                 kWalkRefused,
                 "",
                 0,
                 false,
                 false}),
    [](const ::testing::TestParamInfo<WalkCase>& info) { return info.param.name; });

// The walk kept for a target's next check serves that name alone, and only once.
TEST(PlainWalk, ServesItsOwnNameOnce) {
    WalkSight sight{};
    sight.seen = true;
    sight.info.st_ino = 7;
    KeepPlainWalk("dir/a.txt", "dir/a.txt", sight);
    std::string path;
    WalkSight got{};
    EXPECT_FALSE(PeekPlainWalk("dir/b.txt", &path, &got));
    EXPECT_FALSE(TakePlainWalk("dir/b.txt", &path, &got));
    KeepPlainWalk("dir/a.txt", "dir/a.txt", sight);
    ASSERT_TRUE(PeekPlainWalk("dir/a.txt", &path, &got));
    EXPECT_TRUE(TakePlainWalk("dir/a.txt", &path, &got));
    EXPECT_EQ(path, "dir/a.txt");
    EXPECT_EQ(got.info.st_ino, 7u);
    EXPECT_FALSE(TakePlainWalk("dir/a.txt", &path, &got));
}

}  // namespace
