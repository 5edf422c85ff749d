#include "src/platform/posix/paths.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <vector>

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LeafOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path's parts, in order, without empty ones ("a//b/" has two).
static void AppendParts(const std::string& path, std::vector<std::string>* parts) {
    for (size_t at = 0; at <= path.size();) {
        size_t end = path.find('/', at);
        end = end == std::string::npos ? path.size() : end;
        if (end > at) {
            parts->push_back(path.substr(at, end - at));
        }
        at = end + 1;
    }
}

// A name of this many parts or more is first put to the kernel whole: one open of its folder
// that refuses every link, and a look at its last part, cost fewer calls than a look at each
// part.
constexpr size_t kPartsAskedWhole = 4;

// The walk of a name whose folder holds no link, in four calls however many parts it has; false
// where a link, a part not there, or an older kernel leaves the walk to go part by part. Only a
// name already in its plain form (no ".", "..", "//" or "/" at the end) is taken, so that the
// path is the name itself, as the walk part by part would have made it.
static bool WalkWithoutLinks(const std::string& name, const std::vector<std::string>& parts,
                             std::string* path, WalkSight* sight) {
    static bool unsupported = false;
    if (unsupported || parts.size() < kPartsAskedWhole || name.back() == '/' ||
        name.find("//") != std::string::npos) {
        return false;
    }
    for (const std::string& part : parts) {
        if (part == "." || part == "..") {
            return false;
        }
    }
    struct open_how how {};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS;
    int folder =
        static_cast<int>(syscall(SYS_openat2, AT_FDCWD, FolderOf(name).c_str(), &how, sizeof(how)));
    if (folder < 0) {
        unsupported = errno == ENOSYS;
        return false;
    }
    struct stat folderInfo {};
    struct stat info {};
    bool folderSeen = fstat(folder, &folderInfo) == 0;
    bool seen = fstatat(folder, LeafOf(name).c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    bool missing = !seen && errno == ENOENT;
    close(folder);
    if (!folderSeen || (!seen && !missing) || (seen && S_ISLNK(info.st_mode))) {
        return false;
    }
    *path = name;
    if (sight != nullptr) {
        *sight = WalkSight{0, seen, info, true, folderInfo};
    }
    return true;
}

// What has been walked holds no link, so ".." simply takes a part away. `seen` says whether
// `seenInfo` is what lstat said of what has been walked, and `folderSeen` the same of the
// folder its last part was added to.
WalkEnd WalkLinks(const std::string& name, LinkJudge judge, std::string* path, WalkSight* sight) {
    std::vector<std::string> parts;
    AppendParts(name, &parts);
    if (WalkWithoutLinks(name, parts, path, sight)) {
        return kWalkDone;
    }
    std::reverse(parts.begin(), parts.end());  // the next part is at the back
    std::string done = !name.empty() && name[0] == '/' ? "/" : "";
    int hops = 0;
    bool seen = false;
    struct stat seenInfo {};
    bool folderSeen = false;
    struct stat folderInfo {};
    if (sight != nullptr) {
        sight->links = 0;
        sight->seen = false;
        sight->folderSeen = false;
    }
    while (!parts.empty()) {
        std::string part = parts.back();
        parts.pop_back();
        if (part == ".") {
            continue;
        }
        std::string lastPart = LeafOf(done);
        if (part == ".." && !done.empty() && done != "/" && lastPart != "..") {
            size_t last = done.rfind('/');
            done = last == std::string::npos ? "" : last == 0 ? "/" : done.substr(0, last);
            seen = false;
            folderSeen = false;
            continue;
        }
        std::string next = done.empty() ? part : done == "/" ? "/" + part : done + "/" + part;
        struct stat info {};
        bool wasSeen = seen;
        seen = part != ".." && lstat(next.c_str(), &info) == 0;
        if (!seen || !S_ISLNK(info.st_mode)) {
            // Not there (yet): nothing past it can be a link.
            folderSeen = wasSeen;
            folderInfo = seenInfo;
            done = next;
            seenInfo = info;
            continue;
        }
        seen = false;
        LinkVerdict verdict = ++hops > kMaxLinks ? kLinkRefused : judge(next, info);
        if (sight != nullptr) {
            sight->links = hops;
        }
        if (verdict == kLinkEndsWalk) {
            *path = next;
            return kWalkStopped;
        }
        char link[4096];
        ssize_t n = verdict == kLinkRefused ? -1 : readlink(next.c_str(), link, sizeof(link) - 1);
        if (n <= 0) {
            return kWalkRefused;
        }
        std::string target(link, static_cast<size_t>(n));
        std::vector<std::string> more;
        AppendParts(target, &more);
        parts.insert(parts.end(), more.rbegin(), more.rend());
        if (target[0] == '/') {
            done.assign(1, '/');
            seen = false;
            folderSeen = false;
        }
    }
    bool slash = !name.empty() && name.back() == '/';
    *path = (done.empty() ? "." : done) + (slash ? "/" : "");
    if (sight != nullptr) {
        sight->links = hops;
        sight->seen = seen && !done.empty() && !slash;
        sight->info = seenInfo;
        sight->folderSeen = folderSeen && !done.empty() && !slash;
        sight->folderInfo = folderInfo;
    }
    return kWalkDone;
}

// A link in a folder that everybody may write to and whose sticky bit keeps each user's names
// their own (like /tmp) is followed only when it is the running user's or the folder owner's.
static LinkVerdict MayFollow(const std::string& link, const struct stat& linkInfo) {
    struct stat folder {};
    if (stat(FolderOf(link).c_str(), &folder) != 0) {
        return kLinkRefused;
    }
    bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    bool trusted = !shared || linkInfo.st_uid == geteuid() || linkInfo.st_uid == folder.st_uid;
    return trusted ? kLinkFollowed : kLinkRefused;
}

bool FinalPath(const std::string& name, std::string* path, WalkSight* sight) {
    return WalkLinks(name, MayFollow, path, sight) == kWalkDone;
}

static struct {
    bool kept;
    std::string name;
    std::string path;
    WalkSight sight;
} plainWalk;

void KeepPlainWalk(const std::string& name, const std::string& path, const WalkSight& sight) {
    plainWalk.kept = true;
    plainWalk.name = name;
    plainWalk.path = path;
    plainWalk.sight = sight;
}

bool PeekPlainWalk(const std::string& name, std::string* path, WalkSight* sight) {
    if (!plainWalk.kept || plainWalk.name != name) {
        return false;
    }
    *path = plainWalk.path;
    *sight = plainWalk.sight;
    return true;
}

bool TakePlainWalk(const std::string& name, std::string* path, WalkSight* sight) {
    bool kept = PeekPlainWalk(name, path, sight);
    ForgetPlainWalk();
    return kept;
}

void ForgetPlainWalk() {
    plainWalk.kept = false;
}
