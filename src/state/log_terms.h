// The log's terms the run state holds: how the log is opened, and what became of its record.
#pragma once

#include <cstdint>

#include "src/platform/platform.h"

constexpr DWORD kLogAppend = OPEN_ALWAYS;
constexpr DWORD kLogOverwrite = CREATE_ALWAYS;

// Why the log got no record, or not the whole of it.
enum LogRefusal : uint8_t {
    kLogTaken,    // not refused: the record was written whole, or no log was named
    kLogIsInput,  // the log option names the run's input
    kLogIsOutput,
    kLogNotALog,    // a file that holds something other than this program's log
    kLogNoFile,     // a device, or a file the system makes up as it is read
    kLogUnwritten,  // the system would not open, empty or write it (logError says why)
};

// What a record that could not be written whole left in the log.
enum LogRecordLeft : uint8_t {
    kLogRecordNothing,    // none of it reached the file
    kLogRecordTakenBack,  // part of it did, and was cut away again: the log is as it was
    kLogRecordPart,       // part of it did, and could not be cut away: the log ends in that part
};
