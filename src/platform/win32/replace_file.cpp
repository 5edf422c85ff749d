// Replacing a file through a temporary beside it, on Windows.
#define _CRT_RAND_S
#include <stdlib.h>

#include <cstring>

#include "src/platform/platform.h"
// The security calls need windows.h in front of them.
#include <aclapi.h>

// How long a target that another process holds for a moment (an indexer, a virus scanner, an
// editor saving) is waited for before the run gives up on it.
constexpr ULONGLONG kBusyWaitMilliseconds = 1000;
constexpr DWORD kBusyRetryMilliseconds = 5;

// The attributes a user may have set on a file that the replacement keeps. A read-only target
// is mostly refused before anything is written, but where the system lets it be written (under
// Wine, for the superuser) it stays read-only.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Whether a refused call on `name` is worth another try, and there is time left for one; if
// so, waits a little first.
static bool WaitWhileBusy(DWORD error, LPCWSTR name, ULONGLONG started) {
    if (!FileBusyForNow(error, name) || GetTickCount64() - started >= kBusyWaitMilliseconds) {
        SetLastError(error);
        return false;
    }
    Sleep(kBusyRetryMilliseconds);
    return true;
}

// The file a name finally stands for (a symbolic link resolved), or the name itself when it
// does not exist yet. False when it exists but could not be written in place: a folder, a
// device, a read-only file or one that another process holds open for longer than the wait.
static bool FinalTarget(LPCWSTR name, WideString* finalName) {
    *finalName = name;
    ULONGLONG started = GetTickCount64();
    HANDLE file;
    while ((file = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr)) == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return true;
        }
        if (!WaitWhileBusy(error, name, started)) {
            return false;
        }
    }
    bool disk = GetFileType(file) == FILE_TYPE_DISK;
    WCHAR path[32768];
    DWORD length = GetFinalPathNameByHandleW(file, path, 32768, FILE_NAME_NORMALIZED);
    if (length > 0 && length < 32768) {
        *finalName = path;
    }
    CloseHandle(file);
    if (!disk) {
        SetLastError(ERROR_ACCESS_DENIED);
    }
    return disk;
}

static WideString RandomSuffix() {
    static const WCHAR kHex[] = L"0123456789abcdef";
    WideString suffix;
    for (int i = 0; i < 4; ++i) {
        unsigned int value = 0;
        if (rand_s(&value) != 0) {
            value = GetTickCount() * 2654435761u + static_cast<unsigned int>(i);
        }
        for (int k = 0; k < 4; ++k) {
            suffix.push_back(kHex[(value >> (4 * k)) & 15]);
        }
    }
    return suffix;
}

static ReplaceResult Refused(DWORD error) {
    return ReplaceResult{kReplaceRefused, error};
}

ReplaceResult CreateReplacementFile(LPCWSTR targetName, HANDLE* file, WideString* tempName) {
    *file = INVALID_HANDLE_VALUE;
    WideString target;
    if (!FinalTarget(targetName, &target)) {
        return Refused(GetLastError());
    }
    size_t cut = target.find_last_of(L"\\/");
    WideString folder = cut == WideString::npos ? WideString() : target.substr(0, cut + 1);
    // The temporary's name must fit where the target's did.
    WideString base = (cut == WideString::npos ? target : target.substr(cut + 1)).substr(0, 100);
    for (int attempt = 0; attempt < 16; ++attempt) {
        WideString temp = folder + L"~" + base + L"." + RandomSuffix() + L".tmp";
        HANDLE made = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (made != INVALID_HANDLE_VALUE) {
            *tempName = temp;
            *file = made;
            return ReplaceResult{kReplaceDone, ERROR_SUCCESS};
        }
        DWORD error = GetLastError();
        // The target was opened for writing above: a refusal now lies with its folder.
        if (error == ERROR_ACCESS_DENIED &&
            GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return ReplaceResult{kReplaceFolderRefused, error};
        }
        if (error != ERROR_FILE_EXISTS) {
            return Refused(error);
        }
    }
    return Refused(ERROR_FILE_EXISTS);
}

// A file's access rules: its DACL and whether it is protected from inheritance. The
// descriptor is freed by the caller with LocalFree.
struct AccessRules {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    bool isProtected = false;
};

// False when the rules could not be read. A file system that keeps no access rules has
// none to read: that is no failure, and `rules` stays empty.
static bool ReadAccessRules(LPCWSTR name, AccessRules* rules) {
    DWORD error = GetNamedSecurityInfoW(name, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                        nullptr, &rules->dacl, nullptr, &rules->descriptor);
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) {
        return true;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(rules->descriptor, &control, &revision);
    rules->isProtected = (control & SE_DACL_PROTECTED) != 0;
    return true;
}

static bool SameAccessRules(const AccessRules& a, const AccessRules& b) {
    if (a.isProtected != b.isProtected || (a.dacl == nullptr) != (b.dacl == nullptr)) {
        return false;
    }
    return a.dacl == nullptr || (a.dacl->AclSize == b.dacl->AclSize &&
                                 std::memcmp(a.dacl, b.dacl, a.dacl->AclSize) == 0);
}

// Gives the temporary what a user may have set on the target (attributes, access rules), so
// that the rename which puts it in the target's place loses none of it. Rules the temporary
// already has, as it usually has them from the folder, are not written again.
static bool TakeOverSettings(LPCWSTR tempName, LPCWSTR target) {
    DWORD attributes = GetFileAttributesW(target);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;  // a new file
    }
    DWORD kept = attributes & kKeptAttributes;
    if ((GetFileAttributesW(tempName) & kKeptAttributes) != kept &&
        !SetFileAttributesW(tempName, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL)) {
        return false;
    }
    AccessRules wanted;
    AccessRules present;
    bool done = ReadAccessRules(target, &wanted) && ReadAccessRules(tempName, &present);
    if (done && wanted.descriptor != nullptr && !SameAccessRules(wanted, present)) {
        // Inherited entries come from the folder, which both files share.
        SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION |
                                    (wanted.isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                        : UNPROTECTED_DACL_SECURITY_INFORMATION);
        DWORD error = SetNamedSecurityInfoW(const_cast<LPWSTR>(tempName), SE_FILE_OBJECT, what,
                                            nullptr, nullptr, wanted.dacl, nullptr);
        done = error == ERROR_SUCCESS;
        SetLastError(error);
    }
    DWORD error = GetLastError();
    LocalFree(wanted.descriptor);
    LocalFree(present.descriptor);
    SetLastError(error);
    return done;
}

// A file that is replaced must survive a power cut as the old text or the new one, so the
// temporary's data reach the disk before the move (which writes itself through); a new file
// risks nothing of the user's and is not waited for.
static bool FlushToDisk(LPCWSTR name) {
    HANDLE file =
        CreateFileW(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BOOL flushed = FlushFileBuffers(file);
    DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return flushed != FALSE;
}

// Whether the file `name` is still in the state `unchanged` describes. It is opened to look
// only, and shared with everybody, so that it is not in the way of anyone who writes it.
static bool StillUnchanged(LPCWSTR name, const FileIdentity& unchanged) {
    HANDLE file = CreateFileW(name, FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    FileIdentity now{};
    bool same = ReadFileIdentity(file, &now) && SameFileState(now, unchanged);
    CloseHandle(file);
    return same;
}

// One rename puts the temporary in the target's place: a run stopped at any moment leaves the
// old file or the new one, never neither. The data go to the disk before the target's
// attributes come on, a read-only one among them, and the look at the target comes last.
ReplaceResult CommitReplacementFile(LPCWSTR tempName, LPCWSTR targetName,
                                    const FileIdentity* unchanged) {
    WideString target;
    if (!FinalTarget(targetName, &target) ||
        (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES && !FlushToDisk(tempName)) ||
        !TakeOverSettings(tempName, target.c_str())) {
        return Refused(GetLastError());
    }
    if (unchanged != nullptr && !StillUnchanged(target.c_str(), *unchanged)) {
        return ReplaceResult{kReplaceTargetChanged, ERROR_SUCCESS};
    }
    ULONGLONG started = GetTickCount64();
    while (!MoveFileExW(tempName, target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (!WaitWhileBusy(GetLastError(), target.c_str(), started)) {
            return Refused(GetLastError());
        }
    }
    return ReplaceResult{kReplaceDone, ERROR_SUCCESS};
}

// A temporary that took a read-only attribute over must lose it before it can be deleted.
BOOL DiscardReplacementFile(LPCWSTR tempName) {
    SetFileAttributesW(tempName, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(tempName);
}

// Each file is replaced and flushed on its own: a group changes nothing here.
void BeginReplacementGroup() {}
void FlushReplacementGroup() {}
void EndReplacementGroup() {}
