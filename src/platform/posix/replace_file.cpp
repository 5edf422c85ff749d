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

#include <cerrno>
#include <cstdio>
#include <map>
#include <string>

#include "src/platform/platform.h"
#include "src/platform/posix/files.h"
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
struct KeptTemporary {
    int folder;
    std::string leaf;
    dev_t folderDevice;
    ino_t folderInode;
};
static std::map<std::string, KeptTemporary> keptTemporaries;

static void ForgetReplacement(const std::string& temp) {
    auto kept = keptTemporaries.find(temp);
    if (kept != keptTemporaries.end()) {
        if (kept->second.folder != AT_FDCWD) {
            close(kept->second.folder);
        }
        keptTemporaries.erase(kept);
    }
    ForgetTemporary(kOutputTemporary);
}

// The last part of a path.
static std::string LeafOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

// Gives the temporary the target's extended attributes. False only when access rules could not
// be carried over: the replacement would open or close the file to other people. Other
// attributes go where they can.
static bool KeepAttributes(const std::string& target, int source, const std::string& temp, int fd) {
    if (CopyAttributes(target, source, temp, fd, CarriesRules) != 0) {
        return false;
    }
    // Rules the temporary took from its folder's defaults, which the target did not have,
    // must not come with it either.
    ssize_t rules = source >= 0 ? fgetxattr(source, kAccessRules, nullptr, 0)
                                : lgetxattr(target.c_str(), kAccessRules, nullptr, 0);
    if (rules < 0 && errno == ENODATA && fremovexattr(fd, kAccessRules) != 0 && errno != ENODATA &&
        errno != ENOTSUP) {
        return false;
    }
    CopyAttributes(target, source, temp, fd, CarriesData);
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

// Gives the temporary, made for a target described by `info`, what it must have from the start:
// the target's owner and group, its permissions (the set-id bits come at the commit, since
// changing the owner and writing the text would clear them), access rules, attributes and inode
// flags. ERROR_SUCCESS, or the error the creation fails with.
static DWORD TakeOverTarget(int fd, const std::string& target, int source, const std::string& temp,
                            const struct stat& info, int targetFlags) {
    // The replacement must belong to whoever the target belongs to: a file that became the
    // writer's would lock its owner out. Only the superuser may hand a file over, so another
    // user's file is refused, and so is a group the writer is not a member of.
    struct stat made {};
    bool owned = fstat(fd, &made) == 0 && made.st_uid == info.st_uid && made.st_gid == info.st_gid;
    if (!owned && fchown(fd, info.st_uid, info.st_gid) != 0) {
        return ERROR_INVALID_OWNER;
    }
    if (fchmod(fd, info.st_mode & 07777 & ~(S_ISUID | S_ISGID)) != 0 ||
        !KeepAttributes(target, source, temp, fd)) {
        return ERROR_INVALID_SECURITY_DESCR;
    }
    return KeepFlags(targetFlags, fd) ? ERROR_SUCCESS : kErrorRightsNotKept;
}

HANDLE CreateReplacementFile(LPCWSTR targetName, WideString* tempName) {
    std::string target;
    if (!FinalPath(BytesFromWide(targetName), &target)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (target.empty()) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    struct stat info {};
    bool exists = stat(target.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        return Fail(ErrorFromErrno(errno));
    }
    int targetFlags = 0;
    if (exists) {
        // What could not be opened for writing in place may not be replaced either.
        if (!S_ISREG(info.st_mode)) {
            return Fail(NotRegularFileError(info.st_mode));
        }
        int probe = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (probe < 0) {
            return Fail(ErrorFromErrno(errno));
        }
        bool busy = flock(probe, LOCK_EX | LOCK_NB) != 0;
        // A file system without inode flags has none to keep.
        if (ioctl(probe, FS_IOC_GETFLAGS, &targetFlags) != 0) {
            targetFlags = 0;
        }
        close(probe);
        if (busy) {
            return Fail(ERROR_SHARING_VIOLATION);
        }
    }
    std::string folder = FolderOf(target);
    int folderFd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat folderInfo {};
    if ((folderFd < 0 && errno != EMFILE) ||
        (folderFd >= 0 ? fstat(folderFd, &folderInfo) : stat(folder.c_str(), &folderInfo)) != 0) {
        DWORD error = ErrorFromErrno(errno);
        if (folderFd >= 0) {
            close(folderFd);
        }
        return Fail(error);
    }
    folderFd = folderFd < 0 ? AT_FDCWD : folderFd;
    // The temporary's name must fit where the target's did, on file systems with short limits too.
    std::string base = LeafOf(target).substr(0, kTempBaseBytes);
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temp = folder + "/." + base + "." + RandomSuffix() + ".tmp";
        std::string leaf = folderFd == AT_FDCWD ? temp : LeafOf(temp);
        int fd = CreateTemporary(kOutputTemporary, folderFd, leaf.c_str(),
                                 O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EMFILE && folderFd != AT_FDCWD) {
            close(folderFd);
            folderFd = AT_FDCWD;
            --attempt;
            continue;
        }
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            int error = errno;
            if (folderFd != AT_FDCWD) {
                close(folderFd);
            }
            return Fail(exists && FolderRefused(error) ? kErrorFolderNotWritable
                                                       : ErrorFromErrno(error));
        }
        DWORD refused = ERROR_SUCCESS;
        if (exists) {
            std::string at = folderFd == AT_FDCWD ? target : LeafOf(target);
            int source = openat(folderFd, at.c_str(),
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
            refused = TakeOverTarget(fd, target, source, temp, info, targetFlags);
            if (source >= 0) {
                close(source);
            }
        } else {
            mode_t mask = umask(0);
            umask(mask);
            fchmod(fd, 0666 & ~mask);
        }
        if (refused != ERROR_SUCCESS) {
            close(fd);
            unlinkat(folderFd, leaf.c_str(), 0);
            ForgetTemporary(kOutputTemporary);
            if (folderFd != AT_FDCWD) {
                close(folderFd);
            }
            return Fail(refused);
        }
        keptTemporaries[temp] = KeptTemporary{folderFd, leaf, folderInfo.st_dev, folderInfo.st_ino};
        *tempName = WideFromBytes(temp);
        SetLastError(ERROR_SUCCESS);
        return HandleOf(fd);
    }
    if (folderFd != AT_FDCWD) {
        close(folderFd);
    }
    return Fail(ERROR_FILE_EXISTS);
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

// Whether the folder named `folder` is still the one the temporary was made in.
static bool FolderStillThere(const std::string& folder, const KeptTemporary& kept) {
    struct stat named {};
    return stat(folder.c_str(), &named) == 0 && named.st_dev == kept.folderDevice &&
           named.st_ino == kept.folderInode;
}

// Readies the temporary to take the place of `target`, which `info` describes: its lost rights
// back, and its data on the disk. A file that is replaced must survive a power cut as the old
// text or the new one: many file systems may otherwise carry out the rename before the data and
// leave an empty file under the name. False with the error set.
static bool ReadyToReplace(const KeptTemporary& kept, const std::string& target,
                           const struct stat& info) {
    int fd = openat(kept.folder, kept.leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return false;
    }
    bool ready = RestoreRights(fd, target, info);
    SetLastError(ready ? ERROR_SUCCESS : kErrorRightsNotKept);
    if (ready && fsync(fd) != 0) {
        SetLastError(ErrorFromErrno(errno));
        ready = false;
    }
    close(fd);
    return ready;
}

BOOL CommitReplacementFile(LPCWSTR tempName, LPCWSTR targetName, const FileIdentity* unchanged) {
    std::string temp = BytesFromWide(tempName);
    auto found = keptTemporaries.find(temp);
    if (found == keptTemporaries.end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const KeptTemporary& kept = found->second;
    std::string target;
    // The link may have been changed since the temporary was made: never move it elsewhere.
    if (!FinalPath(BytesFromWide(targetName), &target) || FolderOf(target) != FolderOf(temp)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!FolderStillThere(FolderOf(target), kept)) {
        SetLastError(kErrorFolderMoved);
        return FALSE;
    }
    std::string leaf = kept.folder == AT_FDCWD ? target : LeafOf(target);
    // A new file risks nothing of the user's, and is not waited for.
    struct stat info {};
    bool replaces = fstatat(kept.folder, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    if (replaces && !ReadyToReplace(kept, target, info)) {
        return FALSE;
    }
    // Last, so that only the rename itself lies between the look and the replacement.
    struct stat now {};
    if (unchanged != nullptr &&
        (fstatat(kept.folder, leaf.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
         !SameFileState(IdentityOf(now), *unchanged))) {
        SetLastError(kErrorTargetChanged);
        return FALSE;
    }
    if (renameat(kept.folder, kept.leaf.c_str(), kept.folder, leaf.c_str()) != 0) {
        SetLastError(replaces && FolderRefused(errno) ? kErrorFolderNotWritable
                                                      : ErrorFromErrno(errno));
        return FALSE;
    }
    ForgetTemporary(kOutputTemporary);
    // The rename itself lasts once the folder is on the disk. The text is in place already
    // whatever this says, so the run's result does not hang on it.
    if (replaces) {
        int folder = kept.folder == AT_FDCWD
                         ? open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                         : openat(kept.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            fsync(folder);
            close(folder);
        }
    }
    ForgetReplacement(temp);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
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
