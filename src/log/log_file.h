// Having the log file to oneself and writing to it.
#pragma once

#include <string>

#include "src/platform/platform.h"
#include "src/state/log_terms.h"

// Opens the log so that no other process can write to it until it is closed: a missing file
// is created, an existing one is opened as it is, with the position at its end. `*created`
// tells whether this call made the file. While another run holds the log, tries again for about
// two seconds; INVALID_HANDLE_VALUE when it cannot be had.
HANDLE OpenLogFile(LPCWSTR name, bool* created);

// Whether the file begins with `bytes`; the position is at the end afterwards.
bool BeginsWith(HANDLE file, const std::string& bytes);

// Writes the UTF-8 form of `text`, without terminator, at the file's position in one write.
// All or nothing: a write that falls short is taken back. True when the whole text was written;
// otherwise GetLastError says why and `*left` what the failed write left in the file.
bool WriteUtf8Text(HANDLE file, LPCWSTR text, LogRecordLeft* left);
