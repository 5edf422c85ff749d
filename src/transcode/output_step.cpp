#include "src/transcode/output_step.h"

#include "src/input/load_input.h"
#include "src/transcode/codecs/output_marks.h"
#include "src/transcode/copy_text.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/loss_refusal.h"
#include "src/transcode/replace_failures.h"
#include "src/transcode/transcode_buffer.h"

static void WriteMark() {
    OutputMark mark = OutputMarkOf(OutputCp(runState));
    if (!OutputMarked(runState) || mark.length == 0) {
        return;
    }
    runState.outputByteCount = mark.length;
    DWORD written = 0;
    if (!WriteFile(runState.outputFile, mark.bytes, mark.length, &written, nullptr) ||
        written != mark.length) {
        runState.outputWriteFailed = true;
        NoteFailure(kFailureOutputWrite, GetLastError());
    }
}

// A byte code page the platform cannot convert with would turn every character into "?": the
// run stops before anything is created, 21 for the source's page, 22 for the target's. Copies
// (one page on both sides, or Unicode to Unicode) convert nothing and ask nothing.
static bool CodePagesAvailable() {
    CodePageId source = runState.sourceCp;
    CodePageId target = OutputCp(runState);
    bool sourcePage = !IsUnicodeForm(source);
    bool targetPage = !IsUnicodeForm(target);
    if (sourcePage && targetPage && source == target) {
        return true;
    }
    SetLastError(ERROR_SUCCESS);
    if (sourcePage && !IsValidCodePage(ResolveCodePage(static_cast<UINT>(source)))) {
        NoteFailure(kFailureSourcePage, GetLastError());
        runState.status = kStatusInputFailed;
        return false;
    }
    if (targetPage && !IsValidCodePage(ResolveCodePage(static_cast<UINT>(target)))) {
        NoteFailure(kFailureTargetPage, GetLastError());
        runState.status = kStatusOutputFailed;
        return false;
    }
    return true;
}

// The text behind the mark: copied by the system when the input was kept open for that, else
// (and where the system declines) converted from the block.
static void WriteText() {
    if (runState.inputFile != INVALID_HANDLE_VALUE && CopyTextFromInput()) {
        return;
    }
    TranscodeBuffer();
}

// Closes a still open input and gives the block back.
static void ReleaseInput() {
    CloseInput();
    ReleaseWorkBuffer();
}

// Ends the run as the failed step of a replacement says.
static void NoteReplaceFailure(ReplaceStep step, ReplaceResult result) {
    ReplaceFailure failed = FailureOfReplacement(step, result);
    NoteFailure(failed.failure, failed.error);
    runState.status = failed.status;
}

// Standard output, or a stream named as the output, that leads to the input file would write
// the new text over the old as it is read, and leave the old tail behind: refused before a byte
// is written.
static bool WritesOverInput() {
    if (!runState.outputInPlace || !runState.outputIsInput) {
        return false;
    }
    CloseHandle(runState.outputFile);
    runState.outputFile = INVALID_HANDLE_VALUE;
    NoteFailure(kFailureOutputIsInput, ERROR_SUCCESS);
    ReleaseInput();
    runState.status = kStatusOutputFailed;
    return true;
}

// The commit of a replacement; with -r (or any output that is the input) only while the input
// is still as it was read, so that nothing written to it meanwhile is lost. A commit that fails
// leaves the target as it was, and the temporary is taken back.
static bool Commit() {
    ReplaceResult result =
        CommitReplacementFile(runState.outputTempName.c_str(), runState.outputName.c_str(),
                              runState.outputIsInput ? &runState.inputIdentity : nullptr);
    if (result.problem == kReplaceDone) {
        return true;
    }
    NoteReplaceFailure(kCommitting, result);
    DiscardReplacementFile(runState.outputTempName.c_str());
    return false;
}

// The text goes to a temporary beside the target, which replaces the target only once every
// write and the close have succeeded; so a failed run leaves the target (with -r, the input)
// as it was. A stream target (a device, a FIFO, an open descriptor) is written in place.
RunStatus WriteOutputFile() {
    runState.status = kStatusConverted;
    if (!CodePagesAvailable()) {
        ReleaseInput();
        return runState.status;
    }
    runState.outputWriteFailed = false;
    runState.outputInPlace = runState.outputIsStream;
    if (runState.outputIsStream) {
        runState.outputFile = OpenStandardStream(kStandardOutput);
    } else {
        runState.outputInPlace =
            OpenStreamTarget(runState.outputName.c_str(), &runState.outputFile);
    }
    ReplaceResult created{kReplaceDone, ERROR_SUCCESS};
    if (!runState.outputInPlace) {
        runState.outputHadOtherNames = HasOtherNames(runState.outputName.c_str());
        created = CreateReplacementFile(runState.outputName.c_str(), &runState.outputFile,
                                        &runState.outputTempName);
    }
    if (runState.outputFile != INVALID_HANDLE_VALUE && WritesOverInput()) {
        return runState.status;
    }
    if (runState.outputFile == INVALID_HANDLE_VALUE) {
        if (runState.outputInPlace) {
            NoteFailure(kFailureOutputCreate, GetLastError());
            runState.status = kStatusOutputFailed;
        } else {
            NoteReplaceFailure(kCreatingTemporary, created);
        }
        runState.outputTempName.clear();
        ReleaseInput();
        return runState.status;
    }
    runState.outputByteCount = 0;
    WriteMark();
    WriteText();
    FinishOutput();
    if (!CloseHandle(runState.outputFile)) {
        runState.outputWriteFailed = true;
        NoteFailure(kFailureOutputWrite, GetLastError());
    }
    runState.outputFile = INVALID_HANDLE_VALUE;
    // An input that could not be read after all ends the run as a failed load would have.
    bool inputFailed = runState.status == kStatusInputFailed;
    // A replacement of the input that would lose characters, unasked, is refused whole.
    bool failed = inputFailed || runState.outputWriteFailed || RefusesLoss();
    if (failed) {
        runState.status = inputFailed ? kStatusInputFailed : kStatusOutputFailed;
        if (!runState.outputInPlace) {
            DiscardReplacementFile(runState.outputTempName.c_str());
        }
    }
    bool left = !failed && !runState.outputInPlace && runState.commitLater;
    // A replaced target that keeps its old content got nothing of this run.
    if (failed || (!runState.outputInPlace && !left && !Commit())) {
        runState.outputByteCount = 0;
    }
    if (!left) {
        runState.outputTempName.clear();
    }
    ReleaseWorkBuffer();
    return runState.status;
}

RunStatus CommitLeftOutput() {
    if (!runState.outputTempName.empty()) {
        if (!Commit()) {
            runState.outputByteCount = 0;
        }
        runState.outputTempName.clear();
    }
    return runState.status;
}
