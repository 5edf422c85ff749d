#include "src/transcode/copy_text.h"

#include "src/input/keep_text_in_file.h"
#include "src/input/load_input.h"

// The ordinary read, after all; the file must still hold what its size said.
static bool ReadTextAfterAll() {
    uint32_t size = runState.inputSize;
    if (!ReadInput()) {
        FailAsUnreadInput(runState.failure, runState.failureError);
        return true;
    }
    if (runState.inputSize != size) {
        FailAsUnreadInput(kFailureInputChanged, ERROR_SUCCESS);
        return true;
    }
    return false;
}

bool CopyTextFromInput() {
    // Nothing more is written once a write failed.
    if (runState.outputWriteFailed) {
        CloseInput();
        return true;
    }
    uint32_t offset = runState.inputSize - runState.inputByteCount;  // behind the input's mark
    FileCopyResult result =
        CopyFileText(runState.inputFile, offset, runState.inputByteCount, runState.outputFile);
    if (result == kFileCopyDeclined) {
        return ReadTextAfterAll();
    }
    DWORD error = GetLastError();
    CloseInput();
    if (result == kFileCopyDone) {
        runState.outputByteCount += runState.inputByteCount;
    } else if (result == kFileCopyFailed) {
        runState.outputWriteFailed = true;
        NoteFailure(kFailureOutputWrite, error);
    } else {
        FailAsUnreadInput(kFailureInputChanged, ERROR_SUCCESS);
    }
    return true;
}
