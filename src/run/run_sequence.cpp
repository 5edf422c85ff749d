#include "src/run/run_sequence.h"

#include <algorithm>
#include <vector>

#include "src/cmdline/parse_command_line.h"
#include "src/input/convert_file.h"
#include "src/log/run_log.h"
#include "src/run/answers.h"
#include "src/run/detect_files.h"
#include "src/run/run_report.h"
#include "src/state/guide_path.h"
#include "src/state/run_state.h"

void OpenReadme() {
    WideString path = GuidePath();
    if (!path.empty()) {
        ShellExecuteW(nullptr, WSTR("open"), ShellDocumentPath(path).c_str(), nullptr, nullptr,
                      SW_SHOWNORMAL);
    }
}

// One conversion with its record and its closing messages.
static void ConvertAndReport() {
    ConvertFile();
    if (!runState.logName.empty()) {
        WriteRunLog();
    }
    ReportRun();
}

// Several files for -r: each a run of its own with the options the command line gave, so that
// one that fails stops none of the others. The highest status of them all is the exit code:
// 0 only when every file was converted.
static int ConvertEach() {
    std::vector<WideString> names = {runState.inputName};
    names.insert(names.end(), runState.moreInputNames.begin(), runState.moreInputNames.end());
    // Each run starts from the parsed options without the list of names: a copy of the list per
    // file would cost as many copies of names as the list has, for every file of it.
    runState.moreInputNames.clear();
    const RunState parsed = runState;
    RunStatus worst = kStatusConverted;
    for (const WideString& name : names) {
        runState = parsed;
        runState.inputName = name;
        runState.outputName = name;
        runState.oneOfMany = true;
        ConvertAndReport();
        worst = std::max(worst, runState.status);
    }
    runState.status = worst;
    return worst;
}

int RunOnce() {
    runState = RunState{};
    if (ParseCommandLine() != 0) {
        if (UsageErrorOpensGuide()) {
            OpenReadme();
        }
    } else if (runState.request == kRequestDetect) {
        DetectFiles();
        return runState.status;
    } else if (runState.request != kRequestRun) {
        runState.status = kStatusConverted;
        AnswerRequest();
        return runState.status;
    } else if (!runState.moreInputNames.empty()) {
        return ConvertEach();
    } else {
        ConvertAndReport();
        return runState.status;
    }
    if (!runState.logName.empty()) {
        WriteRunLog();
    }
    ReportRun();
    return runState.status;
}
