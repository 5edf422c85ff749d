#include "src/input/keep_text_in_file.h"

#include <algorithm>

#include "src/input/byte_order_marks.h"
#include "src/input/load_input.h"

bool KeepTextInFile() {
    WorkBuffer& buffer = runState.workBuffer;
    uint32_t size = runState.inputByteCount;  // as the file reported it
    uint32_t head = static_cast<uint32_t>(buffer.readEnd - buffer.readCursor);
    // An empty file, or one that already ended sooner than its size said, is read whole and
    // judged by what the read returns.
    // Standard input is read whole already.
    // Line ends to rewrite need the text to pass through the flush writer.
    if (runState.targetCp == CP_DETECT_ONLY || runState.inputIsStream || size == 0 ||
        runState.lineEnds != kLineEndsKept || head != std::min(size, kHeadBytes)) {
        return false;
    }
    MarkFound mark = FindByteOrderMark(buffer.readCursor, size);
    CodePageId source = mark.length != 0 ? mark.sourceCp : runState.requestedSourceCp;
    // Without a target the output repeats the input.
    CodePageId target = runState.targetCp == CP_UNSET ? source : runState.targetCp;
    if (source == CP_AUTODETECT || source != target) {
        return false;
    }
    // A mark added moves every byte of the text a few places further into its file, and that is
    // the one copy the kernel does slowly: on the machine it was measured on, adding a UTF-8 mark
    // to 256 MiB took 1.6 times as long through the kernel as through the block. A mark kept or
    // taken away, or none, copies at least as fast as the ordinary read and write.
    bool addsMark = runState.targetCp != CP_UNSET && runState.writeBom == 1 &&
                    IsUnicodeForm(target) && mark.length == 0;
    if (addsMark || !KeepOpenForCopy(runState.inputFile)) {
        return false;
    }
    SkipByteOrderMark();
    runState.inputSize = size;
    return true;
}

void FailAsUnreadInput(RunFailure failure, DWORD error) {
    NoteFailure(failure, error);
    runState.status = kStatusInputFailed;
    runState.sourceCp = runState.requestedSourceCp;
    runState.inputHadBom = 0;
    runState.inputSize = 0;
}
