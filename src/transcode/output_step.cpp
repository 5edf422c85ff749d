#include "src/transcode/output_step.h"

#include "src/input/load_input.h"
#include "src/transcode/output_marks.h"
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

// The text goes to a temporary beside the target, which replaces the target only once every
// write and the close have succeeded; so a failed run leaves the target (with -r, the input)
// as it was.
RunStatus WriteOutputFile() {
    runState.status = kStatusConverted;
    // Without a target the output repeats the input, mark and all.
    if (runState.targetCp == CP_UNSET) {
        runState.targetCp = runState.sourceCp;
        runState.writeBom = runState.inputHadBom;
    }
    runState.outputWriteFailed = false;
    runState.outputFile =
        CreateReplacementFile(runState.outputName.c_str(), &runState.outputTempName);
    if (runState.outputFile == INVALID_HANDLE_VALUE) {
        NoteFailure(kFailureOutputCreate, GetLastError());
        runState.outputTempName.clear();
        ReleaseWorkBuffer();
        runState.status = kStatusOutputFailed;
        return runState.status;
    }
    runState.outputByteCount = 0;
    WriteMark();
    TranscodeBuffer();
    if (!CloseHandle(runState.outputFile)) {
        runState.outputWriteFailed = true;
        NoteFailure(kFailureOutputWrite, GetLastError());
    }
    runState.outputFile = INVALID_HANDLE_VALUE;
    bool committed =
        !runState.outputWriteFailed &&
        CommitReplacementFile(runState.outputTempName.c_str(), runState.outputName.c_str());
    if (!committed) {
        NoteFailure(kFailureOutputCommit, GetLastError());
        DeleteFileW(runState.outputTempName.c_str());
        runState.status = kStatusOutputFailed;
    }
    runState.outputTempName.clear();
    ReleaseWorkBuffer();
    return runState.status;
}
