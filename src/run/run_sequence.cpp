#include "src/run/run_sequence.h"

#include "src/cmdline/parse_command_line.h"
#include "src/input/convert_file.h"
#include "src/log/run_log.h"
#include "src/run/detect_files.h"
#include "src/run/run_messages.h"
#include "src/state/guide_path.h"
#include "src/state/run_state.h"

void OpenReadme() {
    WideString path = GuidePath();
    if (!path.empty()) {
        ShellExecuteW(nullptr, WSTR("open"), ShellDocumentPath(path).c_str(), nullptr, nullptr,
                      SW_SHOWNORMAL);
    }
}

int RunOnce() {
    ResetRunState();
    if (ParseCommandLine() != 0) {
        // Whoever reads the message on a terminal needs no browser window.
        if (!MessagesReachTerminal()) {
            OpenReadme();
        }
    } else if (runState.request == kRequestDetect) {
        DetectFiles();
        return runState.status;
    } else if (runState.request != kRequestRun) {
        runState.status = kStatusConverted;
        AnswerRequest();
        return runState.status;
    } else {
        ConvertFile();
    }
    if (!runState.logName.empty()) {
        WriteRunLog();
    }
    ReportRun();
    return runState.status;
}
