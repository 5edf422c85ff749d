// Replacing a file through a temporary beside it, on Linux.
#include <attr/error_context.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "src/platform/platform.h"
#include "src/platform/posix/files.h"
#include "src/platform/posix/paths.h"
#include "src/platform/posix/signals.h"
#include "src/platform/posix/wide_text.h"

constexpr size_t kTempBaseBytes = 100;
constexpr char kAccessRules[] = "system.posix_acl_access";
// File capabilities: a write to the file takes them away, as it takes the set-id bits.
constexpr char kCapabilities[] = "security.capability";
// The inode flags a user sets on a file (chattr) that the new inode would not have: ways of
// storing, dumping and timing it. The kernel keeps others (extents, inline data) for itself.
constexpr int kCarriedFlags = FS_SECRM_FL | FS_UNRM_FL | FS_COMPR_FL | FS_SYNC_FL |
                              FS_IMMUTABLE_FL | FS_APPEND_FL | FS_NODUMP_FL | FS_NOATIME_FL |
                              FS_JOURNAL_DATA_FL | FS_NOTAIL_FL | FS_NOCOW_FL | FS_NOCOMP_FL;

// The temporaries being written, each from its creation until it is committed or discarded, by
// the name their caller was given: the folder each was made in, held open, so that a folder on
// the path moved meanwhile cannot make the run rename or remove a file elsewhere, and its name
// there; and which folder that is. A process left without a descriptor to spare for the folder
// (ulimit -n) still converts, through the paths (AT_FDCWD and the temporary's whole name).
// It also holds what the commit need not ask again: whether the folder may be flushed through
// its descriptor, whether the text is on the disk already (flushed as the temporary was closed,
// or by its group's flush), and whether the target had no file capabilities (to be trusted only
// while the target's change time stays); and the signal slot that removes it on an interruption.
struct KeptTemporary {
    int folder;
    std::string leaf;
    dev_t folderDevice;
    ino_t folderInode;
    bool folderReadable;
    bool flushed;
    int slot;
    bool noCapabilities;
    dev_t targetDevice;
    ino_t targetInode;
    struct timespec targetChanged;
};
static std::map<std::string, KeptTemporary> keptTemporaries;

// A group of replacements under way, and the folders its commits renamed into, each once: held
// open for reading where the commit's own descriptor could be kept, else by their paths.
struct RenamedFolder {
    dev_t device;
    ino_t inode;
    int fd;
    std::string path;
};
static bool grouping = false;
static std::vector<RenamedFolder> renamedFolders;

static void ForgetReplacement(const std::string& temp) {
    auto kept = keptTemporaries.find(temp);
    if (kept != keptTemporaries.end()) {
        ForgetTemporary(kept->second.slot);
        if (kept->second.folder != AT_FDCWD) {
            close(kept->second.folder);
        }
        keptTemporaries.erase(kept);
    }
}

// The signal slot for a new temporary: the first one outside a group, which holds one temporary
// at a time; in a group, the first that no waiting temporary holds, -1 when they all are.
static int FreeSlot() {
    if (!grouping) {
        return kOutputTemporary;
    }
    bool taken[kTemporarySlots] = {};
    for (const auto& kept : keptTemporaries) {
        taken[kept.second.slot] = true;
    }
    for (int slot = kOutputTemporary; slot < kTemporarySlots; ++slot) {
        if (!taken[slot]) {
            return slot;
        }
    }
    return -1;
}

// libattr asks which of the target's attributes to copy: first those that carry access rules
// (the ACLs, which its own settings leave to the permission copy), then every other one but
// those it keeps for their file system alone, and the capabilities, which the text's writes
// would take away again: they go on at the commit.
static int CarriesRules(const char* name, struct error_context* context) {
    return attr_copy_action(name, context) == ATTR_ACTION_PERMISSIONS;
}
static int CarriesData(const char* name, struct error_context* context) {
    return attr_copy_action(name, context) == 0 && std::string(name) != kCapabilities;
}

// libattr's copy from the target, through `source` (the target open for reading) where there is
// one, so that a folder moved meanwhile cannot change what is copied; else through its path.
static int CopyAttributes(const std::string& target, int source, const std::string& temp, int fd,
                          int (*check)(const char*, struct error_context*)) {
    return source >= 0 ? attr_copy_fd(target.c_str(), source, temp.c_str(), fd, check, nullptr)
                       : attr_copy_file(target.c_str(), temp.c_str(), check, nullptr);
}

// What the list of the target's attribute names tells: whether it is empty, and whether it holds
// file capabilities. A list that could not be read may hold anything.
struct AttributeNames {
    bool none;
    bool capabilities;
};
static AttributeNames ListAttributes(const std::string& target, int source) {
    char names[1024];
    ssize_t size = source >= 0 ? flistxattr(source, names, sizeof(names))
                               : llistxattr(target.c_str(), names, sizeof(names));
    if (size < 0) {
        return AttributeNames{false, true};
    }
    bool capabilities = false;
    for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
        capabilities = capabilities || std::strcmp(names + at, kCapabilities) == 0;
    }
    return AttributeNames{size == 0, capabilities};
}

// Gives the temporary the target's extended attributes, of which `names` tells. False only when
// access rules could not be carried over: the replacement would open or close the file to other
// people. Other attributes go where they can.
static bool KeepAttributes(const std::string& target, int source, const std::string& temp, int fd,
                           const AttributeNames& names) {
    // A target without any attributes has nothing to copy, and no rules of its own.
    if (!names.none && CopyAttributes(target, source, temp, fd, CarriesRules) != 0) {
        return false;
    }
    // Rules the temporary took from its folder's defaults, which the target did not have,
    // must not come with it either.
    bool rulesless = names.none;
    if (!rulesless) {
        ssize_t rules = source >= 0 ? fgetxattr(source, kAccessRules, nullptr, 0)
                                    : lgetxattr(target.c_str(), kAccessRules, nullptr, 0);
        rulesless = rules < 0 && errno == ENODATA;
    }
    if (rulesless && fremovexattr(fd, kAccessRules) != 0 && errno != ENODATA && errno != ENOTSUP) {
        return false;
    }
    if (!names.none) {
        CopyAttributes(target, source, temp, fd, CarriesData);
    }
    return true;
}

// Gives the temporary, still empty (some flags only take on an empty file), the target's inode
// flags. False when one of them would not stay on it.
static bool KeepFlags(int targetFlags, int fd) {
    if ((targetFlags & kCarriedFlags) == 0) {
        return true;
    }
    int made = 0;
    if (ioctl(fd, FS_IOC_GETFLAGS, &made) != 0) {
        return false;
    }
    int wanted = (made & ~kCarriedFlags) | (targetFlags & kCarriedFlags);
    if (wanted != made && ioctl(fd, FS_IOC_SETFLAGS, &wanted) != 0) {
        return false;
    }
    return ioctl(fd, FS_IOC_GETFLAGS, &made) == 0 &&
           (made & kCarriedFlags) == (targetFlags & kCarriedFlags);
}

// A refusal to make or rename a name in a folder: its write permission, or a flag that locks it.
static bool FolderRefused(int error) {
    return error == EACCES || error == EPERM;
}

static ReplaceResult Done() {
    return ReplaceResult{kReplaceDone, ERROR_SUCCESS};
}
static ReplaceResult Refused(DWORD error) {
    return ReplaceResult{kReplaceRefused, error};
}

// Gives the temporary, made for a target described by `info`, what it must have from the start:
// the target's owner and group, its permissions (the set-id bits come at the commit, since
// changing the owner and writing the text would clear them), access rules, attributes and inode
// flags.
static ReplaceResult TakeOverTarget(int fd, const std::string& target, int source,
                                    const std::string& temp, const struct stat& info,
                                    int targetFlags, const AttributeNames& names) {
    // The replacement must belong to whoever the target belongs to: a file that became the
    // writer's would lock its owner out. Only the superuser may hand a file over, so another
    // user's file is refused, and so is a group the writer is not a member of.
    struct stat made {};
    bool owned = fstat(fd, &made) == 0 && made.st_uid == info.st_uid && made.st_gid == info.st_gid;
    if (!owned && fchown(fd, info.st_uid, info.st_gid) != 0) {
        return ReplaceResult{kReplaceOwnerNotKept, ErrorFromErrno(errno)};
    }
    if (fchmod(fd, info.st_mode & 07777 & ~(S_ISUID | S_ISGID)) != 0 ||
        !KeepAttributes(target, source, temp, fd, names)) {
        return ReplaceResult{kReplaceRulesNotKept, ErrorFromErrno(errno)};
    }
    return KeepFlags(targetFlags, fd) ? Done()
                                      : ReplaceResult{kReplaceRightsNotKept, ERROR_SUCCESS};
}

// What is known of the target before anything is made for it.
struct TargetProbe {
    std::string path;  // the file the name finally stands for
    bool exists;
    struct stat info;
    int flags;  // its inode flags; none where the file system keeps none
    // The target open for writing and locked, from the probe until the temporary has taken its
    // attributes; -1 when there is none (or no descriptor to spare for it).
    int fd;
};

// The first step: where the target is, and whether it is a file that could be replaced.
static ReplaceResult FindTarget(LPCWSTR targetName, TargetProbe* target) {
    WalkSight sight{};
    target->flags = 0;
    target->fd = -1;
    std::string name = BytesFromWide(targetName);
    if (!TakePlainWalk(name, &target->path, &sight) && !FinalPath(name, &target->path, &sight)) {
        return Refused(ERROR_ACCESS_DENIED);
    }
    target->info = sight.info;
    target->exists = sight.seen || stat(target->path.c_str(), &target->info) == 0;
    if (!target->exists) {
        return errno == ENOENT ? Done() : Refused(ErrorFromErrno(errno));
    }
    if (!S_ISREG(target->info.st_mode)) {
        return Refused(NotRegularFileError(target->info.st_mode));
    }
    return Done();
}

// The temporary as it is being made: the folder held for it (AT_FDCWD when the process has no
// descriptor to spare, the paths then whole), its name and its descriptor.
struct MadeTemporary {
    int slot = kOutputTemporary;
    int folder = AT_FDCWD;
    bool folderReadable = false;  // open for reading, so that it can be flushed through it
    struct stat folderInfo {};
    std::string path;
    std::string leaf;  // its name in `folder`
    int fd = -1;
};

// The second step: the target's folder, held open for reading where it may be read, else only
// as a place to make names in.
static ReplaceResult HoldFolder(const TargetProbe& target, MadeTemporary* made) {
    std::string folder = FolderOf(target.path);
    int held = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    made->folderReadable = held >= 0;
    if (held < 0 && errno != EMFILE) {
        held = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (held < 0 && errno != EMFILE) {
        return Refused(ErrorFromErrno(errno));
    }
    made->folder = held < 0 ? AT_FDCWD : held;
    if ((held >= 0 ? fstat(held, &made->folderInfo) : stat(folder.c_str(), &made->folderInfo)) !=
        0) {
        return Refused(ErrorFromErrno(errno));
    }
    return Done();
}

// A process short of descriptors lets the folder go, and goes on through the paths.
static void ReleaseFolder(MadeTemporary* made) {
    close(made->folder);
    made->folder = AT_FDCWD;
    made->folderReadable = false;
}

// The third step, for a target that exists: what could not be opened for writing in place may not
// be replaced either, nor what another writer holds. Opened through the folder held, so that the
// attributes the temporary takes from it come from the file in the folder it is made in.
static ReplaceResult OpenTarget(MadeTemporary* made, TargetProbe* target) {
    for (;;) {
        std::string at = made->folder == AT_FDCWD ? target->path : LeafOf(target->path);
        target->fd = openat(made->folder, at.c_str(),
                            O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (target->fd >= 0 || errno != EMFILE || made->folder == AT_FDCWD) {
            break;
        }
        ReleaseFolder(made);
    }
    if (target->fd < 0) {
        return Refused(ErrorFromErrno(errno));
    }
    if (flock(target->fd, LOCK_EX | LOCK_NB) != 0) {
        return Refused(ERROR_SHARING_VIOLATION);
    }
    if (ioctl(target->fd, FS_IOC_GETFLAGS, &target->flags) != 0) {
        target->flags = 0;
    }
    return Done();
}

// The fourth step: the temporary, created exclusively beside the target under a fresh name. A
// process short of descriptors gives up the folder's, then the target's (its attributes are then
// read through its path).
static ReplaceResult MakeTemporary(TargetProbe* target, MadeTemporary* made) {
    std::string folder = FolderOf(target->path);
    // The temporary's name must fit where the target's did, on file systems with short limits too.
    std::string base = LeafOf(target->path).substr(0, kTempBaseBytes);
    made->slot = FreeSlot();
    if (made->slot < 0) {
        return Refused(ERROR_TOO_MANY_OPEN_FILES);
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        made->path = folder + "/." + base + "." + RandomSuffix() + ".tmp";
        made->leaf = made->folder == AT_FDCWD ? made->path : LeafOf(made->path);
        made->fd = CreateTemporary(made->slot, made->folder, made->leaf.c_str(),
                                   O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (made->fd >= 0) {
            return Done();
        }
        if (errno == EMFILE && (made->folder != AT_FDCWD || target->fd >= 0)) {
            if (made->folder != AT_FDCWD) {
                ReleaseFolder(made);
            } else {
                close(target->fd);
                target->fd = -1;
            }
            --attempt;
        } else if (errno != EEXIST) {
            int error = errno;
            return ReplaceResult{
                target->exists && FolderRefused(error) ? kReplaceFolderRefused : kReplaceRefused,
                ErrorFromErrno(error)};
        }
    }
    return Refused(ERROR_FILE_EXISTS);
}

// The fifth step: the temporary takes what the target has, or a new file's usual mode.
static ReplaceResult CarryOver(const TargetProbe& target, const MadeTemporary& made,
                               AttributeNames* names) {
    if (!target.exists) {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(made.fd, 0666 & ~mask);
        return Done();
    }
    *names = ListAttributes(target.path, target.fd);
    return TakeOverTarget(made.fd, target.path, target.fd, made.path, target.info, target.flags,
                          *names);
}

// Takes back whatever a creation that failed had made.
static void Abandon(MadeTemporary* made) {
    if (made->fd >= 0) {
        close(made->fd);
        unlinkat(made->folder, made->leaf.c_str(), 0);
        ForgetTemporary(made->slot);
    }
    if (made->folder != AT_FDCWD) {
        close(made->folder);
    }
}

ReplaceResult CreateReplacementFile(LPCWSTR targetName, HANDLE* file, WideString* tempName) {
    *file = INVALID_HANDLE_VALUE;
    TargetProbe target;
    ReplaceResult result = FindTarget(targetName, &target);
    if (result.problem != kReplaceDone) {
        return result;
    }
    MadeTemporary made;
    result = HoldFolder(target, &made);
    if (result.problem == kReplaceDone && target.exists) {
        result = OpenTarget(&made, &target);
    }
    if (result.problem == kReplaceDone) {
        result = MakeTemporary(&target, &made);
    }
    AttributeNames names{false, true};
    if (result.problem == kReplaceDone) {
        result = CarryOver(target, made, &names);
    }
    if (target.fd >= 0) {
        close(target.fd);
    }
    if (result.problem != kReplaceDone) {
        Abandon(&made);
        return result;
    }
    // The text of a file that replaces another must be on the disk before the rename: it is
    // flushed as it is closed, through the descriptor that wrote it; in a group, with the others.
    bool flushAtClose = target.exists && !grouping;
    keptTemporaries[made.path] = KeptTemporary{made.folder,
                                               made.leaf,
                                               made.folderInfo.st_dev,
                                               made.folderInfo.st_ino,
                                               made.folderReadable,
                                               flushAtClose,
                                               made.slot,
                                               !names.capabilities,
                                               target.info.st_dev,
                                               target.info.st_ino,
                                               target.info.st_ctim};
    *tempName = WideFromBytes(made.path);
    *file = flushAtClose ? FlushedFileHandle(made.fd) : RegularFileHandle(made.fd);
    return result;
}

// Gives the finished temporary the rights of the file it replaces, described by `info`, that
// the writes took away: the set-id bits (the owner is set already) and the file capabilities.
// False when they would not stay on it.
static bool RestoreRights(int fd, const std::string& target, const struct stat& info) {
    mode_t mode = info.st_mode & 07777;
    struct stat made {};
    if ((mode & (S_ISUID | S_ISGID)) != 0 &&
        (fchmod(fd, mode) != 0 || fstat(fd, &made) != 0 || (made.st_mode & 07777) != mode)) {
        return false;
    }
    char capabilities[256];
    ssize_t size = lgetxattr(target.c_str(), kCapabilities, capabilities, sizeof(capabilities));
    if (size < 0) {
        return errno == ENODATA || errno == ENOTSUP;
    }
    return fsetxattr(fd, kCapabilities, capabilities, static_cast<size_t>(size), 0) == 0;
}

// Whether the folder named `folder` is still the one the temporary was made in; `sight` is what
// the walk to the target saw of it.
static bool FolderStillThere(const std::string& folder, const WalkSight& sight,
                             const KeptTemporary& kept) {
    struct stat named = sight.folderInfo;
    return (sight.folderSeen || stat(folder.c_str(), &named) == 0) &&
           named.st_dev == kept.folderDevice && named.st_ino == kept.folderInode;
}

// Whether the target that `info` describes can have no file capabilities: it had none as the
// temporary was made, and it has not been changed since (an attribute set changes the time).
static bool StillWithoutCapabilities(const KeptTemporary& kept, const struct stat& info) {
    return kept.noCapabilities && info.st_dev == kept.targetDevice &&
           info.st_ino == kept.targetInode && info.st_ctim.tv_sec == kept.targetChanged.tv_sec &&
           info.st_ctim.tv_nsec == kept.targetChanged.tv_nsec;
}

// Readies the temporary to take the place of `target`, which `info` describes: its lost rights
// back, and its data on the disk. A file that is replaced must survive a power cut as the old
// text or the new one: many file systems may otherwise carry out the rename before the data and
// leave an empty file under the name. A temporary on the disk already, with no rights to give
// back, needs nothing more: `*touched` says whether anything was done.
static ReplaceResult ReadyToReplace(const KeptTemporary& kept, const std::string& target,
                                    const struct stat& info, bool* touched) {
    *touched = !kept.flushed || (info.st_mode & (S_ISUID | S_ISGID)) != 0 ||
               !StillWithoutCapabilities(kept, info);
    if (!*touched) {
        return Done();
    }
    int fd = openat(kept.folder, kept.leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return Refused(ErrorFromErrno(errno));
    }
    ReplaceResult result = RestoreRights(fd, target, info)
                               ? Done()
                               : ReplaceResult{kReplaceRightsNotKept, ERROR_SUCCESS};
    if (result.problem == kReplaceDone && fsync(fd) != 0) {
        result = Refused(ErrorFromErrno(errno));
    }
    close(fd);
    return result;
}

// Keeps the folder a group's commit renamed into for the group's end, unless it is kept already:
// through the temporary's own descriptor where that may be flushed (the temporary then lets it
// go), else by its path.
static void NoteRenamedFolder(KeptTemporary* kept, const std::string& target) {
    for (const RenamedFolder& folder : renamedFolders) {
        if (folder.device == kept->folderDevice && folder.inode == kept->folderInode) {
            return;
        }
    }
    int fd = -1;
    if (kept->folderReadable) {
        fd = kept->folder;
        kept->folder = AT_FDCWD;
    }
    renamedFolders.push_back(
        RenamedFolder{kept->folderDevice, kept->folderInode, fd, FolderOf(target)});
}

ReplaceResult CommitReplacementFile(LPCWSTR tempName, LPCWSTR targetName,
                                    const FileIdentity* unchanged) {
    std::string temp = BytesFromWide(tempName);
    auto found = keptTemporaries.find(temp);
    if (found == keptTemporaries.end()) {
        return Refused(ERROR_FILE_NOT_FOUND);
    }
    const KeptTemporary& kept = found->second;
    std::string target;
    WalkSight sight{};
    // The link may have been changed since the temporary was made: never move it elsewhere.
    if (!FinalPath(BytesFromWide(targetName), &target, &sight) ||
        FolderOf(target) != FolderOf(temp)) {
        return Refused(ERROR_ACCESS_DENIED);
    }
    if (!FolderStillThere(FolderOf(target), sight, kept)) {
        return ReplaceResult{kReplaceFolderMoved, ERROR_SUCCESS};
    }
    std::string leaf = kept.folder == AT_FDCWD ? target : LeafOf(target);
    // A new file risks nothing of the user's, and is not waited for.
    struct stat info {};
    bool replaces = fstatat(kept.folder, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    bool touched = false;
    if (replaces) {
        ReplaceResult ready = ReadyToReplace(kept, target, info, &touched);
        if (ready.problem != kReplaceDone) {
            return ready;
        }
    }
    // Last, so that only the rename itself lies between the look and the replacement: where
    // readying the temporary came in between, the target is looked at again.
    struct stat now = info;
    bool looked = replaces && !touched;
    if (unchanged != nullptr &&
        ((!looked && fstatat(kept.folder, leaf.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) ||
         !SameFileState(IdentityOf(now), *unchanged))) {
        return ReplaceResult{kReplaceTargetChanged, ERROR_SUCCESS};
    }
    if (renameat(kept.folder, kept.leaf.c_str(), kept.folder, leaf.c_str()) != 0) {
        int error = errno;
        return ReplaceResult{
            replaces && FolderRefused(error) ? kReplaceFolderRefused : kReplaceRefused,
            ErrorFromErrno(error)};
    }
    ForgetTemporary(kept.slot);
    // The rename itself lasts once the folder is on the disk. The text is in place already
    // whatever this says, so the run's result does not hang on it. A group flushes its folders
    // once, at its end.
    if (replaces && grouping) {
        NoteRenamedFolder(&found->second, target);
    } else if (replaces && kept.folderReadable) {
        fsync(kept.folder);
    } else if (replaces) {
        int folder = kept.folder == AT_FDCWD
                         ? open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                         : openat(kept.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            fsync(folder);
            close(folder);
        }
    }
    ForgetReplacement(temp);
    return Done();
}

BOOL DiscardReplacementFile(LPCWSTR tempName) {
    std::string temp = BytesFromWide(tempName);
    auto found = keptTemporaries.find(temp);
    if (found == keptTemporaries.end()) {
        return DeleteFileW(tempName);
    }
    bool removed = unlinkat(found->second.folder, found->second.leaf.c_str(), 0) == 0;
    SetLastError(removed ? ERROR_SUCCESS : ErrorFromErrno(errno));
    ForgetReplacement(temp);
    return removed ? TRUE : FALSE;
}

void BeginReplacementGroup() {
    grouping = true;
}

// One flush of each file system that holds a waiting temporary (a descriptor on it is all the
// call needs: the temporary's folder, or the folder opened by its path). A flush that failed
// vouches for none of its temporaries, and each is then flushed by its commit.
void FlushReplacementGroup() {
    std::vector<dev_t> flushed;
    std::vector<dev_t> failed;
    for (auto& entry : keptTemporaries) {
        KeptTemporary& kept = entry.second;
        if (kept.flushed ||
            std::find(failed.begin(), failed.end(), kept.folderDevice) != failed.end()) {
            continue;
        }
        if (std::find(flushed.begin(), flushed.end(), kept.folderDevice) == flushed.end()) {
            int fd = kept.folder != AT_FDCWD
                         ? kept.folder
                         : open(FolderOf(entry.first).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            bool done = fd >= 0 && syncfs(fd) == 0;
            if (fd >= 0 && fd != kept.folder) {
                close(fd);
            }
            (done ? flushed : failed).push_back(kept.folderDevice);
            if (!done) {
                continue;
            }
        }
        kept.flushed = true;
    }
}

void EndReplacementGroup() {
    for (const RenamedFolder& folder : renamedFolders) {
        int fd = folder.fd >= 0 ? folder.fd
                                : open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            fsync(fd);
            close(fd);
        }
    }
    renamedFolders.clear();
    grouping = false;
}
