#include "src/cmdline/parse_command_line.h"

#include <vector>

#include "src/cmdline/name_table.h"
#include "src/state/run_state.h"

// The fields a command line fills, and the counts a run fills after it, start from their values
// at program start whatever an earlier parse left, so that a parse depends on its arguments
// alone; the status, the log mode and the rest are left as they are.
static void ResetParsedFields() {
    const RunState start{};
    runState.writeBom = start.writeBom;
    runState.inputByteCount = start.inputByteCount;
    runState.inputSize = start.inputSize;
    runState.outputByteCount = start.outputByteCount;
    runState.inputHadBom = start.inputHadBom;
    runState.sourceCp = start.sourceCp;
    runState.targetCp = start.targetCp;
    runState.inputName = start.inputName;
    runState.outputName = start.outputName;
    runState.logName = start.logName;
    runState.inputIsStream = start.inputIsStream;
    runState.outputIsStream = start.outputIsStream;
    runState.usageProblem = start.usageProblem;
    runState.usageArgument = start.usageArgument;
    runState.request = start.request;
    runState.lineEnds = start.lineEnds;
    runState.refusesLoss = start.refusesLoss;
}

static int UsageError(UsageProblem problem, LPCWSTR argument = WSTR("")) {
    runState.usageProblem = problem;
    runState.usageArgument = argument;
    runState.status = kStatusUsage;
    return kStatusUsage;
}

static bool IsDoubleDash(LPCWSTR argument) {
    return argument[0] == '-' && argument[1] == '-' && argument[2] == 0;
}

// "--help", "--version" or "--list" anywhere before the end of the options answers instead of a
// run; "--detect" makes every other argument a file whose encoding is told.
static RunRequest FindRequest(int count, LPWSTR* arguments, const CommandLineRules& rules) {
    if (!rules.answersHelpAndVersion) {
        return kRequestRun;
    }
    RunRequest request = kRequestRun;
    for (int i = 1; i < count; ++i) {
        WideString argument = arguments[i];
        if (rules.doubleDashEndsOptions && argument == WSTR("--")) {
            break;
        }
        if (argument == WSTR("--help")) {
            return kRequestHelp;
        }
        if (argument == WSTR("--version")) {
            return kRequestVersion;
        }
        if (argument == WSTR("--list")) {
            return kRequestList;
        }
        if (argument == WSTR("--detect")) {
            request = kRequestDetect;
        }
    }
    return request;
}

// A target without a byte order mark turns off the mark; a source's mark is the input's own.
static CodePageId WithoutNoBomVariant(CodePageId cp, bool isTarget) {
    if (isTarget && IsNoMarkForm(cp)) {
        runState.writeBom = 0;
    }
    return MarkedForm(cp);
}

static bool IsLoneDash(LPCWSTR argument) {
    return argument[0] == '-' && argument[1] == 0;
}

static void TakeLogName(LPCWSTR argument, bool* logNamePending) {
    if (argument[2] != 0) {
        runState.logName = argument + 2;
        *logNamePending = false;
    } else {
        *logNamePending = true;
    }
}

// What a parse holds besides the run state while it reads the arguments.
struct ParseProgress {
    bool replaceInput = false;
    bool lossAccepted = false;
    bool logNamePending = false;
    bool optionsEnded = false;
    std::vector<LPCWSTR> names;  // file names, in order: the input, the output, or with -r inputs
    int swallowed = 0;           // names a pending log option set aside while a log name was set
    LPCWSTR logOption = WSTR("");
};

// An empty argument is most often a variable that was never set: by the Linux rules it takes
// no name's place, and a log is never standard output.
static UsageProblem JudgeName(LPCWSTR argument, const CommandLineRules& rules,
                              const ParseProgress& progress) {
    if (progress.logNamePending && rules.dashNamesStandardStream && IsLoneDash(argument)) {
        return kUsageLogIsStream;
    }
    if (argument[0] != 0 || !rules.refusesWhatItWouldIgnore) {
        return kUsageNone;
    }
    return progress.logNamePending ? kUsageEmptyLogName : kUsageEmptyName;
}

static UsageProblem TakeName(LPCWSTR argument, const CommandLineRules& rules,
                             ParseProgress* progress) {
    UsageProblem problem = JudgeName(argument, rules, *progress);
    if (problem != kUsageNone) {
        return problem;
    }
    if (progress->logNamePending) {
        // By the Windows rules, once a log name is set a detached name no longer ends the
        // pending state; by the Linux rules a detached log option always takes the next name.
        if (runState.logName.empty() || rules.refusesWhatItWouldIgnore) {
            runState.logName = argument;
            progress->logNamePending = false;
        } else {
            ++progress->swallowed;
        }
    } else {
        // A third name is refused by the Linux rules once the whole line is read: with -r it is
        // one more file to replace.
        if (rules.refusesWhatItWouldIgnore || progress->names.size() < 2) {
            progress->names.push_back(argument);
        }
        if (runState.inputName.empty()) {
            runState.inputName = argument;
        } else if (runState.outputName.empty()) {
            runState.outputName = argument;
        }
    }
    return kUsageNone;
}

static UsageProblem TakeEncoding(LPCWSTR argument, const CommandLineRules& rules) {
    bool bothSet = runState.sourceCp != CP_UNSET && runState.targetCp != CP_UNSET;
    if (bothSet && !rules.refusesWhatItWouldIgnore) {
        return kUsageNone;
    }
    CodePageId id = 0;
    if (!LookUpEncodingName(argument + 1, &id)) {
        return kUsageUnknownOption;
    }
    if (bothSet) {
        return kUsageThirdEncoding;
    }
    if (runState.sourceCp == CP_UNSET) {
        runState.sourceCp = id;
    } else {
        runState.targetCp = id;
    }
    return kUsageNone;
}

static UsageProblem TakeOption(LPCWSTR argument, const CommandLineRules& rules,
                               ParseProgress* progress) {
    WCHAR c = argument[1];
    if (progress->logNamePending && rules.refusesWhatItWouldIgnore) {
        return kUsageLogNameMissing;
    }
    if (c == 'o' || c == 'O') {
        runState.logMode = c == 'o' ? kLogAppend : kLogOverwrite;
        progress->logOption = argument;
        if (rules.dashNamesStandardStream && IsLoneDash(argument + 2)) {
            return kUsageLogIsStream;
        }
        TakeLogName(argument, &progress->logNamePending);
    } else if ((c == 'r' || c == 'R') && (argument[2] == 0 || !rules.refusesWhatItWouldIgnore)) {
        progress->replaceInput = true;
    } else if (rules.refusesLossInPlace && WideString(argument) == WSTR("--lossy")) {
        progress->lossAccepted = true;
    } else if (_wcsicmp(argument + 1, WSTR("LF")) == 0) {
        runState.lineEnds = kLineEndsLf;
    } else if (_wcsicmp(argument + 1, WSTR("CRLF")) == 0) {
        runState.lineEnds = kLineEndsCrLf;
    } else {
        return TakeEncoding(argument, rules);
    }
    return kUsageNone;
}

static UsageProblem TakeArgument(LPCWSTR argument, const CommandLineRules& rules,
                                 ParseProgress* progress) {
    bool option = (argument[0] == '-' && !(rules.dashNamesStandardStream && argument[1] == 0)) ||
                  (rules.slashBeginsOption && argument[0] == '/');
    if (!progress->optionsEnded && rules.doubleDashEndsOptions && IsDoubleDash(argument)) {
        progress->optionsEnded = true;
        return kUsageNone;
    }
    if (!progress->optionsEnded && option) {
        return TakeOption(argument, rules, progress);
    }
    return TakeName(argument, rules, progress);
}

// The usage error of a command line that left no input name.
static int NoInput(const ParseProgress& progress) {
    if (progress.logNamePending && runState.logName.empty()) {
        return UsageError(kUsageLogNameMissing, progress.logOption);
    }
    if (progress.logNamePending && progress.swallowed > 0) {
        return UsageError(kUsageNamesSwallowed, progress.logOption);
    }
    return UsageError(kUsageNoInput);
}

int ParseArguments(int count, LPWSTR* arguments, const CommandLineRules& rules) {
    ResetParsedFields();
    runState.request = FindRequest(count, arguments, rules);
    if (runState.request != kRequestRun) {
        return 0;
    }
    ParseProgress progress;
    for (int i = 1; i < count; ++i) {
        UsageProblem problem = TakeArgument(arguments[i], rules, &progress);
        if (problem == kUsageLogNameMissing || problem == kUsageEmptyLogName ||
            problem == kUsageLogIsStream) {
            return UsageError(problem, progress.logOption);
        }
        if (problem != kUsageNone) {
            return UsageError(problem, arguments[i]);
        }
    }
    if (rules.refusesWhatItWouldIgnore && progress.logNamePending) {
        return UsageError(kUsageLogNameMissing, progress.logOption);
    }
    // Text piped in with no name at all is converted as a filter, when a conversion is asked
    // for; recognising standard input takes its name, "-".
    bool convertsSomething = runState.sourceCp != CP_UNSET || runState.targetCp != CP_UNSET ||
                             runState.lineEnds != kLineEndsKept;
    bool filtering = runState.inputName.empty() && rules.filtersByDefault && convertsSomething &&
                     !progress.logNamePending && !progress.replaceInput &&
                     !StandardInputIsTerminal();
    if (filtering) {
        runState.inputName = WSTR("-");
    }
    if (runState.inputName.empty()) {
        return NoInput(progress);
    }
    // Each name -r is given is a file of its own to convert, when there is something to convert.
    if (rules.replacesManyFiles && progress.replaceInput && progress.names.size() > 1 &&
        convertsSomething) {
        runState.outputName.clear();
        runState.moreInputNames.assign(progress.names.begin() + 1, progress.names.end());
        for (LPCWSTR name : progress.names) {
            if (rules.dashNamesStandardStream && IsLoneDash(name)) {
                return UsageError(kUsageReplaceStream);
            }
        }
    }
    if (rules.refusesWhatItWouldIgnore && runState.moreInputNames.empty() &&
        progress.names.size() > 2) {
        return UsageError(kUsageThirdName, progress.names[2]);
    }
    if (rules.refusesWhatItWouldIgnore && progress.replaceInput && !runState.outputName.empty()) {
        return UsageError(kUsageReplaceWithOutput, runState.outputName.c_str());
    }
    if (rules.dashNamesStandardStream) {
        runState.inputIsStream = IsLoneDash(runState.inputName.c_str());
        runState.outputIsStream = IsLoneDash(runState.outputName.c_str());
        // Standard input has no file for -r to replace.
        if (runState.inputIsStream && progress.replaceInput) {
            return UsageError(kUsageReplaceStream);
        }
    }
    runState.refusesLoss = rules.refusesLossInPlace && !progress.lossAccepted;
    if (runState.sourceCp == CP_UNSET) {
        runState.sourceCp = CP_AUTODETECT;
    }
    if (runState.outputName.empty()) {
        // Line ends to rewrite ask for an output, as an encoding would.
        if (runState.targetCp == CP_UNSET && runState.sourceCp == CP_AUTODETECT &&
            runState.lineEnds == kLineEndsKept) {
            runState.targetCp = CP_DETECT_ONLY;
            return 0;
        }
        if (progress.replaceInput) {
            runState.outputName = runState.inputName;
        } else if (rules.filtersByDefault && (filtering || runState.targetCp != CP_UNSET)) {
            // A filter, or one file read with a target named: the text goes to standard output.
            runState.outputName = WSTR("-");
            runState.outputIsStream = true;
        } else {
            return UsageError(kUsageNoOutput);
        }
    }
    if (runState.targetCp == CP_AUTODETECT) {
        runState.targetCp = CP_ACP;
    } else {
        runState.targetCp = WithoutNoBomVariant(runState.targetCp, true);
    }
    runState.sourceCp = WithoutNoBomVariant(runState.sourceCp, false);
    return 0;
}

int ParseCommandLine() {
    std::vector<WideString> arguments;
    if (!ReadProcessArguments(&arguments)) {
        // Nothing can be read from a command line the platform cannot split.
        ResetParsedFields();
        return UsageError(kUsageUnreadable);
    }
    std::vector<LPWSTR> pointers;
    for (WideString& argument : arguments) {
        pointers.push_back(argument.data());
    }
    return ParseArguments(static_cast<int>(pointers.size()), pointers.data(), kPlatformCommandLine);
}
