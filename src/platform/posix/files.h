// What the Linux file calls (files.cpp) share with the replacement of files (replace_file.cpp):
// handles that are descriptors, the final path behind symbolic links, and random names.
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

// The descriptor of the stream the output is written through in place, or -1: its writes hold
// SIGPIPE back, so that a reader that went away fails the write instead of ending the run.
extern int streamTargetDescriptor;

// The folder of a path: "." for a bare name, "/" for a name in the root.
std::string FolderOf(const std::string& path);

// The file a name finally stands for: symbolic links are followed, even to a file that does
// not exist yet, so that the link itself stays and its target is what gets replaced. False
// when the chain cannot be followed: a loop, or a link that another user left in a shared
// folder such as /tmp.
bool FinalPath(const std::string& name, std::string* path);

// Sixteen hexadecimal digits from the system's random source (from the clock where it fails),
// so that a private file's name cannot be guessed in advance.
std::string RandomSuffix();

// The identity a file's status gives (file_identity.cpp).
FileIdentity IdentityOf(const struct stat& info);
