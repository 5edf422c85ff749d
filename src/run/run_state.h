// The one record of a run and the status it ends with.
#pragma once

#include <cstdint>

#include "src/cmdline/code_pages.h"
#include "src/platform/platform.h"

typedef uint8_t RunStatus;

constexpr RunStatus kStatusConverted = 0;
constexpr RunStatus kStatusFoundUtf8 = 1;
constexpr RunStatus kStatusFoundAnsi = 2;
constexpr RunStatus kStatusFoundUtf16le = 3;
constexpr RunStatus kStatusFoundUtf16be = 4;
constexpr RunStatus kStatusFoundUtf32le = 5;
constexpr RunStatus kStatusFoundUtf32be = 6;
constexpr RunStatus kStatusBomOffset = 10;
constexpr RunStatus kStatusUsage = 20;
constexpr RunStatus kStatusInputFailed = 21;
constexpr RunStatus kStatusOutputFailed = 22;

constexpr DWORD kLogAppend = OPEN_ALWAYS;
constexpr DWORD kLogOverwrite = CREATE_ALWAYS;

// One block holds, in order: 8 unused bytes, the head room where output starts, the input as
// read, four zero bytes and a little slack. Output is written behind the read position.
struct WorkBuffer {
    uint8_t* block;
    uint8_t* writeBase;
    uint8_t* readCursor;
    uint8_t* readEnd;
};

// Why a run failed, for the one line a user is told; the status already says that it failed.
// The first failure of a run is the one kept.
enum RunFailure : uint8_t {
    kFailureNone,
    kFailureInputOpen,      // the input could not be opened (failureError says why)
    kFailureInputNotFile,   // the input is a folder, device or pipe, not a file
    kFailureInputTooLarge,  // 4 GiB or more: the counts are 32 bits
    kFailureInputMemory,    // no memory for the block
    kFailureInputRead,      // the read failed (failureError says why)
    kFailureInputChanged,   // the file grew while it was read
    kFailureInputEmpty,     // nothing to convert
    kFailureOutputCreate,   // no temporary beside the target (failureError says why)
    kFailureOutputWrite,    // a write or the close failed (failureError says why)
    kFailureOutputCommit,   // the finished temporary could not replace the target
    kFailureSourcePage,     // the system cannot convert from the source code page
    kFailureTargetPage,     // the system cannot convert to the target code page
    kFailureOutputOwner,    // the replacement could not be given the target's owner and group
};

// What was wrong with a command line that ended in a usage error, for the one line a user is
// told; usageArgument holds the argument concerned, as typed.
enum UsageProblem : uint8_t {
    kUsageNone,
    kUsageUnknownOption,   // an option that is no log, replace or encoding option
    kUsageNoInput,         // no input name at all
    kUsageLogNameMissing,  // a log option waits for its name, and none came
    kUsageNamesSwallowed,  // a log option without a name set aside every name after it
    kUsageNoOutput,        // a conversion without an output name or -r
    kUsageUnreadable,      // the platform could not split the command line
};

// What the command line asked for besides a run (Linux: --help, --version).
enum RunRequest : uint8_t { kRequestRun, kRequestHelp, kRequestVersion };

struct RunState {
    RunStatus status;
    CodePageId sourceCp;
    CodePageId targetCp;
    CodePageId requestedSourceCp;
    uint8_t writeBom;
    uint8_t inputHadBom;
    WideString inputName;
    WideString outputName;
    WideString logName;
    DWORD logMode;
    uint32_t inputSize;
    uint32_t inputByteCount;
    uint32_t outputByteCount;
    // Characters written as "?" that were no "?" of the input (unreadable input, characters the
    // target cannot hold); written by the routes, read by the run's closing message.
    uint64_t replacedCount;
    WorkBuffer workBuffer;
    HANDLE inputFile;
    HANDLE outputFile;
    // Set by any write to the output that fails or falls short; the run then ends with
    // kStatusOutputFailed and the target keeps its old content.
    bool outputWriteFailed;
    // The temporary the output is written to before it replaces the target.
    WideString outputTempName;
    // Written by the step that fails (input, output); read by the run's closing message.
    RunFailure failure;
    // The platform's error code (GetLastError) of the call that failed, 0 when there was none.
    DWORD failureError;
    // Written by the parse; read by the closing message of a usage error and by the run sequence.
    UsageProblem usageProblem;
    WideString usageArgument;
    RunRequest request;
    // Set by WriteRunLog when the record could not be written, with the system's reason.
    bool logFailed;
    DWORD logError;
};

extern RunState runState;

// Records why the run failed, unless an earlier failure was recorded already.
inline void NoteFailure(RunFailure failure, DWORD error) {
    if (runState.failure == kFailureNone) {
        runState.failure = failure;
        runState.failureError = error;
    }
}

// Puts every field back to its value at program start (tests run many runs in one process).
void ResetRunState();
