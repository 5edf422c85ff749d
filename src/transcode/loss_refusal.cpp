#include "src/transcode/loss_refusal.h"

#include <vector>

#include "src/input/reread_input.h"
#include "src/state/run_state.h"
#include "src/transcode/first_loss.h"

bool RefusesLoss() {
    const Replacements& counts = runState.replacements;
    bool lost = counts.unreadable + counts.missing + counts.similar > 0;
    if (!runState.refusesLoss || !runState.outputIsInput || runState.outputInPlace || !lost) {
        return false;
    }
    NoteFailure(kFailureOutputLossy, ERROR_SUCCESS);
    // The block holds the output by now; the file still holds the text as it was read.
    std::vector<uint8_t> text;
    TextPosition at = {0, 0};
    if (ReadInputAgain(&text)) {
        FindFirstLoss(text.data(), runState.inputByteCount, runState.sourceCp, OutputCp(runState),
                      &at);
    }
    runState.lossLine = at.line;
    runState.lossColumn = at.column;
    return true;
}
