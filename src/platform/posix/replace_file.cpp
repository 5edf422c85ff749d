// Replacing a file through a temporary beside it, on Linux.
#include <attr/error_context.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "src/platform/platform.h"
#include "src/platform/posix/files.h"
#include "src/platform/posix/signals.h"
#include "src/platform/posix/wide_text.h"

constexpr size_t kTempBaseBytes = 100;
constexpr char kAccessRules[] = "system.posix_acl_access";

// libattr asks which of the target's attributes to copy: first those that carry access rules
// (the ACLs, which its own settings leave to the permission copy), then every other one but
// those it keeps for their file system alone.
static int CarriesRules(const char* name, struct error_context* context) {
    return attr_copy_action(name, context) == ATTR_ACTION_PERMISSIONS;
}
static int CarriesData(const char* name, struct error_context* context) {
    return attr_copy_action(name, context) == 0;
}

// Gives the temporary the target's extended attributes. False only when access rules could not
// be carried over: the replacement would open or close the file to other people. Other
// attributes go where they can.
static bool KeepAttributes(const std::string& target, const std::string& temp) {
    if (attr_copy_file(target.c_str(), temp.c_str(), CarriesRules, nullptr) != 0) {
        return false;
    }
    // Rules the temporary took from its folder's defaults, which the target did not have,
    // must not come with it either.
    if (lgetxattr(target.c_str(), kAccessRules, nullptr, 0) < 0 && errno == ENODATA &&
        lremovexattr(temp.c_str(), kAccessRules) != 0 && errno != ENODATA && errno != ENOTSUP) {
        return false;
    }
    attr_copy_file(target.c_str(), temp.c_str(), CarriesData, nullptr);
    return true;
}

// A refusal to make or rename a name in a folder: its write permission, or a flag that locks it.
static bool FolderRefused(int error) {
    return error == EACCES || error == EPERM;
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
        close(probe);
        if (busy) {
            return Fail(ERROR_SHARING_VIOLATION);
        }
    }
    std::string folder = FolderOf(target);
    // The temporary's name must fit where the target's did, on file systems with short limits too.
    std::string base =
        target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1)
            .substr(0, kTempBaseBytes);
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temp = folder + "/." + base + "." + RandomSuffix() + ".tmp";
        int fd = CreateTemporary(kOutputTemporary, temp.c_str(),
                                 O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return Fail(exists && FolderRefused(errno) ? kErrorFolderNotWritable
                                                       : ErrorFromErrno(errno));
        }
        // The target's permissions and extended attributes, its access rules among them, go
        // onto the temporary while it is still the writer's to change.
        if (exists && (fchmod(fd, info.st_mode & 07777) != 0 || !KeepAttributes(target, temp))) {
            close(fd);
            unlink(temp.c_str());
            ForgetTemporary(kOutputTemporary);
            return Fail(ERROR_INVALID_SECURITY_DESCR);
        }
        if (exists) {
            // The replacement must belong to whoever the target belongs to: a file that became
            // the writer's would lock its owner out. Only the superuser may hand a file over, so
            // another user's file is refused, and so is a group the writer is not a member of.
            struct stat made {};
            bool owned =
                fstat(fd, &made) == 0 && made.st_uid == info.st_uid && made.st_gid == info.st_gid;
            if (!owned && fchown(fd, info.st_uid, info.st_gid) != 0) {
                close(fd);
                unlink(temp.c_str());
                ForgetTemporary(kOutputTemporary);
                return Fail(ERROR_INVALID_OWNER);
            }
        } else {
            mode_t mask = umask(0);
            umask(mask);
            fchmod(fd, 0666 & ~mask);
        }
        *tempName = WideFromBytes(temp);
        SetLastError(ERROR_SUCCESS);
        return HandleOf(fd);
    }
    return Fail(ERROR_FILE_EXISTS);
}

// Waits until the data of the file at `path` are on the disk. False, with the error set, when
// the disk did not take them.
static bool FlushToDisk(const std::string& path, int flags) {
    int fd = open(path.c_str(), flags | O_RDONLY | O_CLOEXEC | O_NOCTTY);
    bool flushed = fd >= 0 && fsync(fd) == 0;
    SetLastError(flushed ? ERROR_SUCCESS : ErrorFromErrno(errno));
    if (fd >= 0) {
        close(fd);
    }
    return flushed;
}

BOOL CommitReplacementFile(LPCWSTR tempName, LPCWSTR targetName) {
    std::string temp = BytesFromWide(tempName);
    std::string target;
    // The link may have been changed since the temporary was made: never move it elsewhere.
    if (!FinalPath(BytesFromWide(targetName), &target) || FolderOf(target) != FolderOf(temp)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // A file that is replaced must survive a power cut as the old text or the new one: many
    // file systems may otherwise carry out the rename before the data and leave an empty file
    // under the name. A new file risks nothing of the user's, and is not waited for.
    struct stat info {};
    bool replaces = lstat(target.c_str(), &info) == 0;
    if (replaces && !FlushToDisk(temp, O_NOFOLLOW)) {
        return FALSE;
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        SetLastError(replaces && FolderRefused(errno) ? kErrorFolderNotWritable
                                                      : ErrorFromErrno(errno));
        return FALSE;
    }
    ForgetTemporary(kOutputTemporary);
    // The rename itself lasts once the folder is on the disk. The text is in place already
    // whatever this says, so the run's result does not hang on it.
    if (replaces) {
        FlushToDisk(FolderOf(target), O_DIRECTORY);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
