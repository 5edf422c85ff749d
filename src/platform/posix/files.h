// What the Linux file calls (files.cpp) share with the rest of the platform layer: handles that
// are descriptors, the open behind CreateFileW, and random names.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "src/platform/platform.h"

// A handle is the descriptor itself, with marks above any descriptor's number: on one that was
// seen to be a regular file as it was opened (a descriptor's file never changes its type, so the
// calls that ask, as every write asks whether it goes to a pipe, need not ask the system again),
// and on a temporary whose text must reach the disk before it replaces its target (CloseHandle
// flushes it through the descriptor that wrote it, which the commit would otherwise reopen).
constexpr intptr_t kRegularFileMark = intptr_t{1} << (sizeof(intptr_t) * 8 - 2);
constexpr intptr_t kFlushAtCloseMark = intptr_t{1} << (sizeof(intptr_t) * 8 - 3);
inline int Descriptor(HANDLE file) {
    return static_cast<int>(reinterpret_cast<intptr_t>(file) &
                            ~(kRegularFileMark | kFlushAtCloseMark));
}
inline HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd));
}
inline HANDLE RegularFileHandle(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd) | kRegularFileMark);
}
inline HANDLE FlushedFileHandle(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd) | kRegularFileMark |
                                    kFlushAtCloseMark);
}
// INVALID_HANDLE_VALUE, all bits set, bears no mark.
inline bool HandleMarked(HANDLE file, intptr_t mark) {
    intptr_t value = reinterpret_cast<intptr_t>(file);
    return value >= 0 && (value & mark) != 0;
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
