// Replacing a file through a temporary beside it, on Windows.
#define _CRT_RAND_S
#include <stdlib.h>

#include "src/platform/platform.h"

// The file a name finally stands for (a symbolic link resolved), or the name itself when it
// does not exist yet. False when it exists but could not be written in place: a folder, a
// device, a read-only file or one that another process holds open.
static bool FinalTarget(LPCWSTR name, WideString* finalName) {
    *finalName = name;
    HANDLE file = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND;
    }
    bool disk = GetFileType(file) == FILE_TYPE_DISK;
    WCHAR path[32768];
    DWORD length = GetFinalPathNameByHandleW(file, path, 32768, FILE_NAME_NORMALIZED);
    if (length > 0 && length < 32768) {
        *finalName = path;
    }
    CloseHandle(file);
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

HANDLE CreateReplacementFile(LPCWSTR targetName, WideString* tempName) {
    WideString target;
    if (!FinalTarget(targetName, &target)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    size_t cut = target.find_last_of(L"\\/");
    WideString folder = cut == WideString::npos ? WideString() : target.substr(0, cut + 1);
    // The temporary's name must fit where the target's did.
    WideString base = (cut == WideString::npos ? target : target.substr(cut + 1)).substr(0, 100);
    for (int attempt = 0; attempt < 16; ++attempt) {
        WideString temp = folder + L"~" + base + L"." + RandomSuffix() + L".tmp";
        HANDLE file = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            *tempName = temp;
            return file;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            return INVALID_HANDLE_VALUE;
        }
    }
    return INVALID_HANDLE_VALUE;
}

BOOL CommitReplacementFile(LPCWSTR tempName, LPCWSTR targetName) {
    WideString target;
    FinalTarget(targetName, &target);
    // Replacing keeps the old file's attributes and security; a new name is simply moved.
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
        ReplaceFileW(target.c_str(), tempName, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
        return TRUE;
    }
    return MoveFileExW(tempName, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
}
