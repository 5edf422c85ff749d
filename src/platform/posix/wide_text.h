// Conversions between Linux byte strings (UTF-8 by convention) and the system's 16-bit text.
#pragma once

#include <string>

#include "src/platform/platform.h"

// Valid UTF-8 becomes UTF-16; each byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC80 + byte, so that any byte string survives the round trip.
WideString WideFromBytes(const std::string& bytes);

// The reverse: U+DC80..U+DCFF give back their byte; other lone surrogates are encoded as their
// three-byte form so that nothing is dropped.
std::string BytesFromWide(LPCWSTR text);

// Error codes on Linux. The few Windows codes that callers test for (a missing file, an existing
// one, a file another run holds) stand for their errno; every other errno comes back as a code
// Windows leaves to applications (bit 29 set), holding the errno itself, so that the message a
// user sees gives the system's exact reason.
constexpr DWORD kErrnoErrors = 0x20000000u;
// Not an errno: the name is a pipe, a device or a socket, which are never opened as files.
constexpr DWORD kErrorNotRegularFile = 0x20010000u;

// Error code of the last failed call, from errno.
DWORD ErrorFromErrno(int error);

// The errno a code stands for, 0 when it stands for none.
int ErrnoFromError(DWORD error);

// Error code for a name that exists but is not a regular file, from its st_mode.
DWORD NotRegularFileError(unsigned int mode);
