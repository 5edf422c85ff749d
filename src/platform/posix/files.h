// What the Linux file calls (files.cpp) share with the rest of the platform layer: handles that
// are descriptors, the open behind CreateFileW, and random names.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "src/platform/platform.h"

// A handle is the descriptor itself.
inline int Descriptor(HANDLE file) {
    return static_cast<int>(reinterpret_cast<intptr_t>(file));
}
inline HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd));
}

// A failed open or create: the error for GetLastError, and the handle that says so.
inline HANDLE Fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

// CreateFileW on a path of bytes, with `moreFlags` for open(2) besides those the access and the
// disposition give (O_NOFOLLOW, for a path whose links were followed already).
HANDLE OpenFilePath(const std::string& path, DWORD access, DWORD shareMode, DWORD disposition,
                    int moreFlags);

// Sixteen hexadecimal digits from the system's random source (from the clock where it fails),
// so that a private file's name cannot be guessed in advance.
std::string RandomSuffix();

// The identity a file's status gives (file_identity.cpp).
FileIdentity IdentityOf(const struct stat& info);
