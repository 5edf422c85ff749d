// Having the log file to oneself and writing to it.
#pragma once

#include "src/platform/platform.h"

// Opens the log so that no other process can write to it until it is closed. In append mode
// (OPEN_ALWAYS) a missing file is created and an existing one is opened with the position at
// its end; in overwrite mode (CREATE_ALWAYS) the file is created or emptied. `*created` tells
// whether the file now starts empty because this call made or emptied it. While another run
// holds the log, tries again for about two seconds; INVALID_HANDLE_VALUE when it cannot be had.
HANDLE OpenLogFile(LPCWSTR name, DWORD mode, bool* created);

// Writes the UTF-8 form of `text`, without terminator, at the file's position in one write.
// All or nothing: a write that falls short is taken back. True when the whole text was written;
// otherwise GetLastError says why.
bool WriteUtf8Text(HANDLE file, LPCWSTR text);
