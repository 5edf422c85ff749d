#include "src/run/answers.h"

#include "src/run/report_words.h"
#include "src/state/run_state.h"

void AnswerRequest() {
    WideString text;
    if (runState.request == kRequestVersion) {
        text = WSTR("codeshift ") + Widened(CODESHIFT_VERSION) + WSTR("\n");
    } else if (runState.request == kRequestList) {
        text = NameListText();
    } else {
        text = HelpText();
    }
    // An answer nobody could read is a failed request, for a script that asked for it.
    if (!WriteMessageText(kStreamAnswer, text.c_str())) {
        runState.status = kStatusOutputFailed;
    }
}
