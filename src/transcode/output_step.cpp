#include "src/transcode/output_step.h"

#include "src/input/load_input.h"
#include "src/transcode/codecs/output_marks.h"
#include "src/transcode/copy_text.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/loss_refusal.h"
#include "src/transcode/transcode_buffer.h"

static void WriteMark() {
    OutputMark mark = OutputMarkOf(runState.targetCp);
    if (runState.writeBom != 1 || mark.length == 0) {
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
    CodePageId target = runState.targetCp;
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

// A replacement the target's folder refused is told apart from one the file refused: the user
// who may write the file may still lack the right to the folder that a replacement needs. So are
// the rights a replacement could not keep and a folder moved away under the run.
static void NoteFolderRefusal() {
    RunFailure failure = runState.failureError == kErrorFolderNotWritable ? kFailureOutputFolder
                         : runState.failureError == kErrorRightsNotKept   ? kFailureOutputRights
                         : runState.failureError == kErrorFolderMoved     ? kFailureOutputMoved
                                                                          : kFailureNone;
    if (failure != kFailureNone) {
        runState.failure = failure;
        runState.failureError =
            failure == kFailureOutputFolder ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    }
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
// is still as it was read, so that nothing written to it meanwhile is lost.
static bool Commit() {
    return CommitReplacementFile(runState.outputTempName.c_str(), runState.outputName.c_str(),
                                 runState.outputIsInput ? &runState.inputIdentity : nullptr);
}

// The text goes to a temporary beside the target, which replaces the target only once every
// write and the close have succeeded; so a failed run leaves the target (with -r, the input)
// as it was. A stream target (a device, a FIFO, an open descriptor) is written in place.
RunStatus WriteOutputFile() {
    runState.status = kStatusConverted;
    CodePageId namedTarget = runState.targetCp;
    uint8_t namedBom = runState.writeBom;
    // Without a target the output repeats the input, mark and all.
    if (runState.targetCp == CP_UNSET) {
        runState.targetCp = runState.sourceCp;
        runState.writeBom = runState.inputHadBom;
    }
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
    if (!runState.outputInPlace) {
        runState.outputHadOtherNames = HasOtherNames(runState.outputName.c_str());
        runState.outputFile =
            CreateReplacementFile(runState.outputName.c_str(), &runState.outputTempName);
    }
    if (runState.outputFile != INVALID_HANDLE_VALUE && WritesOverInput()) {
        return runState.status;
    }
    if (runState.outputFile == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        NoteFailure(error == ERROR_INVALID_OWNER            ? kFailureOutputOwner
                    : error == ERROR_INVALID_SECURITY_DESCR ? kFailureOutputRules
                                                            : kFailureOutputCreate,
                    error);
        NoteFolderRefusal();
        runState.outputTempName.clear();
        ReleaseInput();
        runState.status = kStatusOutputFailed;
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
    bool changed = false;
    bool committed = !inputFailed && !runState.outputWriteFailed && !RefusesLoss() &&
                     (runState.outputInPlace || Commit());
    if (!committed) {
        if (!runState.outputInPlace) {
            DWORD error = GetLastError();
            // The input changed under the run: the text converted is no longer all of it.
            changed = !inputFailed && !runState.outputWriteFailed && error == kErrorTargetChanged;
            NoteFailure(changed ? kFailureInputReplaced : kFailureOutputCommit,
                        changed ? ERROR_SUCCESS : error);
            NoteFolderRefusal();
            DiscardReplacementFile(runState.outputTempName.c_str());
        }
        runState.status = inputFailed || changed ? kStatusInputFailed : kStatusOutputFailed;
        // A replaced target keeps its old content: nothing of this run reached it.
        runState.outputByteCount = 0;
    }
    if (inputFailed) {
        runState.targetCp = namedTarget;
        runState.writeBom = namedBom;
    }
    runState.outputTempName.clear();
    ReleaseWorkBuffer();
    return runState.status;
}
