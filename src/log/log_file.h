// Having the log file to oneself and writing to it.
#pragma once

#include <string>

#include "src/platform/platform.h"
#include "src/state/log_terms.h"

// Opens the log so that no other process can write to it until it is closed: a missing file
// is created, an existing one is opened as it is, with the position at its end. `*created`
// tells whether this call made the file. While another run holds the log, tries again for about
// two seconds; INVALID_HANDLE_VALUE when it cannot be had, and `*error` the system's reason.
HANDLE OpenLogFile(LPCWSTR name, bool* created, DWORD* error);

// Whether the file begins with `bytes`; the position is at the end afterwards.
bool BeginsWith(HANDLE file, const std::string& bytes);

// What became of a text written to the log.
struct LogWrite {
    bool whole;          // every byte of it reached the file
    DWORD error;         // otherwise the system's reason (a write that fell short: the disk full)
    LogRecordLeft left;  // and what the failed write left in the file
};

// Writes the UTF-8 form of `text`, without terminator, at the file's position in one write.
// All or nothing: a write that falls short is taken back.
LogWrite WriteUtf8Text(HANDLE file, LPCWSTR text);
