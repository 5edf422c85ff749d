// The one record of a run and the status it ends with: every room reads and writes it, and it
// imports nothing but the platform and the value types beside it.
#pragma once

#include <cstdint>
#include <vector>

#include "src/platform/platform.h"
#include "src/state/code_pages.h"
#include "src/state/log_terms.h"
#include "src/state/replacements.h"
#include "src/state/work_buffer.h"

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

// Why a run failed, for the one line a user is told; the status already says that it failed.
// The first failure of a run is the one kept.
enum RunFailure : uint8_t {
    kFailureNone,
    kFailureInputOpen,      // the input could not be opened (failureError says why)
    kFailureInputNotFile,   // the input is a folder, device or pipe, not a file
    kFailureInputTooLarge,  // over kLargestInputBytes: the counts are 32 bits
    kFailureInputMemory,    // no memory for the block
    kFailureInputRead,      // the read failed (failureError says why)
    kFailureInputChanged,   // the file changed its size while it was read
    kFailureInputEmpty,     // nothing to convert
    kFailureOutputCreate,   // no temporary beside the target (failureError says why)
    kFailureOutputWrite,    // a write or the close failed (failureError says why)
    kFailureOutputCommit,   // the finished temporary could not replace the target
    kFailureSourcePage,     // the system cannot convert from the source code page
    kFailureTargetPage,     // the system cannot convert to the target code page
    kFailureOutputOwner,    // the replacement could not be given the target's owner and group
    kFailureOutputRules,    // nor its permissions or access rules
    kFailureOutputFolder,   // the target may be written, but its folder refused the replacement
    kFailureInputReplaced,  // the input, to be replaced, changed while it was converted
    kFailureOutputIsInput,  // the output is a stream onto the input file itself
    kFailureOutputRights,   // its set-id bits, capabilities or inode flags could not be kept
    kFailureOutputMoved,    // a folder on the target's path was moved or replaced meanwhile
    kFailureInputBinary,    // a guessed source met bytes no text holds: binary, not text
    kFailureInputUnsure,    // a guessed source's 8-bit page could not be told for sure
    kFailureOutputLossy,    // replacing the input would have lost characters, unasked
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
    // Refused by the Linux rules, which ignore nothing:
    kUsageThirdEncoding,      // an encoding option after the source and the target
    kUsageThirdName,          // a file name after the input and the output
    kUsageReplaceWithOutput,  // -r beside an output name: which file was meant?
    kUsageReplaceStream,      // -r with standard input, which has no file to replace
    kUsageEmptyName,          // an empty argument where a file name belongs
    kUsageEmptyLogName,       // a log option given an empty name (usageArgument: the option)
    kUsageLogIsStream,        // a log option given "-" (usageArgument: the option)
};

// How the output writes its line ends: as they stand, or every one (LF, CR LF, a CR alone) as
// LF or as CR LF.
enum LineEnds : uint8_t { kLineEndsKept, kLineEndsLf, kLineEndsCrLf };

// What the command line asked for besides a run (Linux: --help, --version, --list, --detect).
enum RunRequest : uint8_t {
    kRequestRun,
    kRequestHelp,
    kRequestVersion,
    kRequestList,
    kRequestDetect
};

// Each field says who writes it and who reads it; its value at program start is written beside
// it, and RunState{} is a run that has not begun.
struct RunState {
    // Written by the parse, the recognition and the output step; read by the run sequence (the
    // exit code), the closing message and the log.
    RunStatus status = kStatusUsage;
    // Written by the parse, then by the recognition (a mark or the guess); read by the output
    // step, the routes, the closing message and the log.
    CodePageId sourceCp = CP_UNSET;
    // Written by the parse, CP_UNSET when none was named (OutputCp then gives the source's);
    // read through OutputCp by the output step, the routes, the flush writer, the closing
    // message and the log.
    CodePageId targetCp = CP_UNSET;
    // Written by the recognition, first, as the parse left sourceCp; read by it and by the log.
    CodePageId requestedSourceCp = 0;
    // Written by the parse; read through OutputMarked by the output step and the log.
    uint8_t writeBom = 1;
    // Written by the mark test; read by the recognition-only exit code, the output step and the
    // log.
    uint8_t inputHadBom = 0;
    // Written by the parse; read by the loader, the closing message and the log.
    WideString inputName;
    // Written by the parse; read by the output step, the closing message and the log.
    WideString outputName;
    // Written by the parse; read by the run sequence, the closing message and the log.
    WideString logName;
    // Set by the parse when the input or the output name is "-" under rules that make it a
    // standard stream; read by the loader, the output step, the log and the closing message.
    bool inputIsStream = false;
    bool outputIsStream = false;
    // Written by the parse: the names after inputName that -r replaces, each in a run of its own
    // with the same options; read by the run sequence.
    std::vector<WideString> moreInputNames;
    // Set by the run sequence when this run is one file of several; read by the closing message,
    // which then names the file on every line.
    bool oneOfMany = false;
    // Set by the run sequence for a file of a group that is committed together: the output step
    // then leaves the finished temporary (outputTempName) to CommitLeftOutput, which the
    // sequence calls once the group's temporaries are all on the disk.
    bool commitLater = false;
    // Written by the recognition when 8-bit text was left to the guess: the pages its letters
    // point to, likeliest first, how many, and whether the first is sure; and the bytes that
    // were no UTF-8 in a text otherwise read as UTF-8. Read by the closing message.
    CodePageId guessedPages[3] = {};
    int guessedPageCount = 0;
    bool guessSure = false;
    uint32_t guessStrayBytes = 0;
    // Written by the parse; read by the log.
    DWORD logMode = 0;
    // Written by the loader (bytes read, a mark included); read by the log.
    uint32_t inputSize = 0;
    // Written by the loader, less a mark by the mark test; read by the guess and the routes.
    uint32_t inputByteCount = 0;
    // Written by the output step (the mark) and the flush writer; read by the log.
    uint32_t outputByteCount = 0;
    // Characters not carried over as they were: written as "?" for unreadable input or for a
    // character the target page lacks, or as a similar character of the page; written by the
    // routes, read by the run's closing message.
    Replacements replacements = {};
    // Bytes of a source page read as private-use characters into a Unicode target; written by
    // the conversion, read by the run's closing message.
    uint64_t privateUseRead = 0;
    // Written by the parse: a conversion that replaces its input file refuses to write "?" or a
    // similar character for anything; read by the output step.
    bool refusesLoss = false;
    // Written by the output step when it refused so: where the first character lost stands in
    // the input, counted in its characters from 1 (0 when it could not be told); read by the
    // closing message.
    uint32_t lossLine = 0;
    uint32_t lossColumn = 0;
    // Written by the parse; read by the loader (which then leaves no text to the system's copy),
    // the flush writer and the closing message.
    LineEnds lineEnds = kLineEndsKept;
    // Line ends the flush writer wrote otherwise than they stood; read by the closing message.
    uint64_t lineEndsChanged = 0;
    // Set by the flush writer when the last unit it was handed is a CR, whose line end the next
    // unit settles.
    bool lineEndAfterCr = false;
    // Rewritten output the flush writer holds until it has a whole piece to write, or the output
    // ends.
    uint32_t lineEndHeldBytes = 0;
    // Written by the loader; read by the recognition, the routes and the flush writer; given back
    // by the loader on a failure, otherwise by the recognition-only run or the output step.
    WorkBuffer workBuffer = {nullptr, nullptr, nullptr, nullptr};
    // Written and read by the loader, open only between the open and the reads; when the text
    // stays in its file for the system to copy, until the output step has copied it.
    HANDLE inputFile = INVALID_HANDLE_VALUE;
    // Written by the loader as the input is opened: the input's state then, and whether the
    // output is that file itself (under its name or another, or as standard output); read by
    // the output step, which replaces the input only if it is still in that state, and never
    // writes over it in place.
    FileIdentity inputIdentity = {};
    bool outputIsInput = false;
    // Written by the output step; read by the flush writer.
    HANDLE outputFile = INVALID_HANDLE_VALUE;
    // Set by any write to the output that fails or falls short; the run then ends with
    // kStatusOutputFailed and the target keeps its old content.
    bool outputWriteFailed = false;
    // Written by the output step: the file it replaces has other names (hard links), which keep
    // the old text; read by the closing message.
    bool outputHadOtherNames = false;
    // The temporary the output is written to before it replaces the target; written and read by
    // the output step.
    WideString outputTempName;
    // Set by the output step when the target is a stream written in place (a device, a FIFO, an
    // open descriptor) rather than a file replaced; read by the closing message, since what a
    // failed run wrote there cannot be taken back.
    bool outputInPlace = false;
    // Written by the step that fails (input, output); read by the run's closing message.
    RunFailure failure = kFailureNone;
    // The platform's error code (GetLastError) of the call that failed, 0 when there was none;
    // written with failure, read by the closing message.
    DWORD failureError = ERROR_SUCCESS;
    // Written by the parse; read by the closing message of a usage error and by the run sequence.
    UsageProblem usageProblem = kUsageNone;
    // Written by the parse with usageProblem; read by the closing message.
    WideString usageArgument;
    // Written by the parse; read by the run sequence and the closing message.
    RunRequest request = kRequestRun;
    // Set by WriteRunLog when the log got no record, or only part of one: why, and the system's
    // reason where the system refused; read by the closing message.
    LogRefusal logRefusal = kLogTaken;
    DWORD logError = ERROR_SUCCESS;
    // Set by WriteRunLog when the write of the record failed; read by the closing message.
    LogRecordLeft logRecordLeft = kLogRecordNothing;
};

extern RunState runState;

// Records why the run failed, unless an earlier failure was recorded already.
inline void NoteFailure(RunFailure failure, DWORD error) {
    if (runState.failure == kFailureNone) {
        runState.failure = failure;
        runState.failureError = error;
    }
}

// The encoding the output is written in, and whether it begins with its byte order mark: the
// target named, or without one the input's own encoding, mark and all.
inline CodePageId OutputCp(const RunState& run) {
    return run.targetCp == CP_UNSET ? run.sourceCp : run.targetCp;
}
inline bool OutputMarked(const RunState& run) {
    return (run.targetCp == CP_UNSET ? run.inputHadBom : run.writeBom) == 1;
}
