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

// Error code of the last failed call, from errno.
DWORD ErrorFromErrno(int error);
