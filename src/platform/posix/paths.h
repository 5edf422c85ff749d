// The Linux program's rules for paths: where a name's folder and last part are, and how the
// symbolic links on the way to a file are followed, by hand and one at a time, so that each can
// be judged before the run goes where it leads.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

// The folder of a path: "." for a bare name, "/" for a name in the root.
std::string FolderOf(const std::string& path);
// The last part of a path: the name itself when it has no folder, empty when it ends in "/".
std::string LeafOf(const std::string& path);

// Symbolic links followed on the way to one file before giving up, as the kernel does.
constexpr int kMaxLinks = 40;

// What becomes of a symbolic link met on the way.
enum LinkVerdict : uint8_t { kLinkFollowed, kLinkEndsWalk, kLinkRefused };
// Asked about each link before it is followed: `link` is its path, with no link before its last
// part, and `info` what lstat says of it.
typedef LinkVerdict (*LinkJudge)(const std::string& link, const struct stat& info);

enum WalkEnd : uint8_t {
    kWalkDone,     // every link followed: the path is the file the name finally stands for
    kWalkStopped,  // a link the judge ended the walk at: the path is that link
    kWalkRefused,  // a link refused, more than kMaxLinks of them, or one that cannot be read
};

// What a walk saw on its way, so that its caller need not ask the system again.
struct WalkSight {
    int links;               // the links met: followed, or the one the walk stopped at
    bool seen;               // whether the walk's last look was at the file the path names, no link
    struct stat info;        // what lstat said of that file, when seen
    bool folderSeen;         // the same of the folder the path names it in (FolderOf), which it
    struct stat folderInfo;  // looked at just before
};

// Follows the links of `name` one part at a time, as opening it would, into `*path`. A part that
// is not there (yet) ends the search for links: a link to a file still to be made leads to that
// file. A name that ends in "/" keeps it, so that it still fails as a file. With `sight`, what
// the walk saw.
WalkEnd WalkLinks(const std::string& name, LinkJudge judge, std::string* path,
                  WalkSight* sight = nullptr);

// The file a name finally stands for, even one that does not exist yet, so that the link itself
// stays and its target is what gets written or replaced. False when the chain cannot be
// followed: a loop, or a link that another user left in a shared folder such as /tmp, which
// could aim the run at any file the running user may write. The kernel refuses the same links
// when fs.protected_symlinks is on; following links by hand must not get round that.
bool FinalPath(const std::string& name, std::string* path, WalkSight* sight = nullptr);

// A walk that met no link, kept for the next look at the same name: the checks of one output
// target (a device or FIFO? other names? where is it?) follow one another with nothing between
// them, and walking every part of a deep path again costs as many calls to the system. Keeping
// one replaces the one kept before; a name that met a link is walked again each time.
void KeepPlainWalk(const std::string& name, const std::string& path, const WalkSight& sight);
// The walk kept for `name`, if the last one kept was of that very name. Taking it lets it go.
bool PeekPlainWalk(const std::string& name, std::string* path, WalkSight* sight);
bool TakePlainWalk(const std::string& name, std::string* path, WalkSight* sight);
void ForgetPlainWalk();
