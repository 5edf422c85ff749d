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
#include "src/transcode/output_step.h"

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

// A group of files for -r ends at this much output too, so that a few large files do not make
// the first messages wait for the disk to take gigabytes.
constexpr uint64_t kGroupOutputBytes = uint64_t{64} << 20;

// The files of `names` from `first` on, as one group, each a run of its own with the options
// `parsed` gives: each runs up to its finished temporary, the group's temporaries reach the disk
// together, each is committed in the order of the names, each folder renamed into is flushed
// once, and only then each file gets its record and its messages, which tell how its commit
// went. Returns where the next group begins, and raises `*worst` to the highest status met.
static size_t ConvertGroup(const std::vector<WideString>& names, size_t first,
                           const RunState& parsed, RunStatus* worst) {
    std::vector<RunState> group;
    BeginReplacementGroup();
    uint64_t bytes = 0;
    size_t next = first;
    for (;
         next < names.size() && group.size() < kReplacementGroupFiles && bytes < kGroupOutputBytes;
         ++next) {
        runState = parsed;
        runState.inputName = names[next];
        runState.outputName = names[next];
        runState.oneOfMany = true;
        runState.commitLater = true;
        ConvertFile();
        bytes += runState.outputByteCount;
        group.push_back(runState);
    }
    FlushReplacementGroup();
    for (RunState& file : group) {
        runState = file;
        CommitLeftOutput();
        file = runState;
    }
    EndReplacementGroup();
    for (const RunState& file : group) {
        runState = file;
        if (!runState.logName.empty()) {
            WriteRunLog();
        }
        ReportRun();
        *worst = std::max(*worst, runState.status);
    }
    return next;
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
    for (size_t next = 0; next < names.size();) {
        next = ConvertGroup(names, next, parsed, &worst);
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
