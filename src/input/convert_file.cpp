#include "src/input/convert_file.h"

#include "src/input/byte_order_marks.h"
#include "src/input/load_input.h"
#include "src/input/sniff_encoding.h"
#include "src/transcode/output_step.h"

bool RecognizeInput() {
    // First, so that the log sees the command line's source whatever fails next.
    runState.requestedSourceCp = runState.sourceCp;
    if (!LoadInput()) {
        return false;
    }
    if (!SkipByteOrderMark() && runState.requestedSourceCp == CP_AUTODETECT) {
        runState.sourceCp = SniffEncoding(runState.workBuffer.readCursor);
    }
    return true;
}

RunStatus ConvertFile() {
    if (!RecognizeInput()) {
        return runState.status;
    }
    if (runState.targetCp == CP_DETECT_ONLY && runState.requestedSourceCp == CP_AUTODETECT) {
        ReleaseWorkBuffer();
        if (runState.inputHadBom == 1) {
            runState.status += kStatusBomOffset;
        }
        return runState.status;
    }
    return WriteOutputFile();
}
