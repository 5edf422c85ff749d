#include "src/cmdline/parse_command_line.h"

#include "src/cmdline/name_table.h"
#include "src/run/run_state.h"

static void ResetParsedFields() {
    runState.writeBom = 1;
    runState.inputByteCount = 0;
    runState.inputSize = 0;
    runState.outputByteCount = 0;
    runState.inputHadBom = 0;
    runState.sourceCp = CP_UNSET;
    runState.targetCp = CP_UNSET;
    runState.inputName.clear();
    runState.outputName.clear();
    runState.logName.clear();
    runState.usageProblem = kUsageNone;
    runState.usageArgument.clear();
    runState.request = kRequestRun;
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

// "--help" or "--version" anywhere before the end of the options answers instead of a run.
static RunRequest FindRequest(int count, LPWSTR* arguments, const CommandLineRules& rules) {
    if (!rules.answersHelpAndVersion) {
        return kRequestRun;
    }
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
    }
    return kRequestRun;
}

// A target without a byte order mark turns off the mark; a source's mark is the input's own.
static CodePageId WithoutNoBomVariant(CodePageId cp, bool isTarget) {
    CodePageId real = cp;
    switch (cp) {
        case CP_UTF8_NOBOM:
            real = CP_UTF8;
            break;
        case CP_UTF16LE_NOBOM:
            real = CP_UTF16LE;
            break;
        case CP_UTF16BE_NOBOM:
            real = CP_UTF16BE;
            break;
        case CP_UTF32LE_NOBOM:
            real = CP_UTF32LE;
            break;
        case CP_UTF32BE_NOBOM:
            real = CP_UTF32BE;
            break;
        default:
            return cp;
    }
    if (isTarget) {
        runState.writeBom = 0;
    }
    return real;
}

static void TakeLogName(LPCWSTR argument, bool* logNamePending) {
    if (argument[2] != 0) {
        runState.logName = argument + 2;
        *logNamePending = false;
    } else {
        *logNamePending = true;
    }
}

// `*swallowed` counts the names a pending log option set aside while a log name was set.
static void TakeName(LPCWSTR argument, bool* logNamePending, int* swallowed) {
    if (*logNamePending) {
        // Once a log name is set, a detached name no longer ends the pending state.
        if (runState.logName.empty()) {
            runState.logName = argument;
            *logNamePending = false;
        } else {
            ++*swallowed;
        }
    } else if (runState.inputName.empty()) {
        runState.inputName = argument;
    } else if (runState.outputName.empty()) {
        runState.outputName = argument;
    }
}

// False on a usage error: an unknown name while an encoding is still unset.
static bool TakeOption(LPCWSTR argument, bool* replaceInput, bool* logNamePending) {
    WCHAR c = argument[1];
    if (c == 'o') {
        runState.logMode = kLogAppend;
        TakeLogName(argument, logNamePending);
    } else if (c == 'O') {
        runState.logMode = kLogOverwrite;
        TakeLogName(argument, logNamePending);
    } else if (c == 'r' || c == 'R') {
        *replaceInput = true;
    } else if (runState.sourceCp == CP_UNSET || runState.targetCp == CP_UNSET) {
        CodePageId id = 0;
        if (!LookUpEncodingName(argument + 1, &id)) {
            return false;
        }
        if (runState.sourceCp == CP_UNSET) {
            runState.sourceCp = id;
        } else {
            runState.targetCp = id;
        }
    }
    return true;
}

// The usage error of a command line that left no input name.
static int NoInput(bool logNamePending, int swallowed, LPCWSTR logOption) {
    if (logNamePending && runState.logName.empty()) {
        return UsageError(kUsageLogNameMissing, logOption);
    }
    if (logNamePending && swallowed > 0) {
        return UsageError(kUsageNamesSwallowed, logOption);
    }
    return UsageError(kUsageNoInput);
}

int ParseArguments(int count, LPWSTR* arguments, const CommandLineRules& rules) {
    ResetParsedFields();
    runState.request = FindRequest(count, arguments, rules);
    if (runState.request != kRequestRun) {
        return 0;
    }
    bool replaceInput = false;
    bool logNamePending = false;
    bool optionsEnded = false;
    int swallowed = 0;
    LPCWSTR logOption = WSTR("");
    for (int i = 1; i < count; ++i) {
        LPCWSTR argument = arguments[i];
        bool option = argument[0] == '-' || (rules.slashBeginsOption && argument[0] == '/');
        if (!optionsEnded && rules.doubleDashEndsOptions && IsDoubleDash(argument)) {
            optionsEnded = true;
        } else if (!optionsEnded && option) {
            if (!TakeOption(argument, &replaceInput, &logNamePending)) {
                return UsageError(kUsageUnknownOption, argument);
            }
            if (argument[1] == 'o' || argument[1] == 'O') {
                logOption = argument;
            }
        } else {
            TakeName(argument, &logNamePending, &swallowed);
        }
    }
    if (runState.inputName.empty()) {
        return NoInput(logNamePending, swallowed, logOption);
    }
    if (runState.sourceCp == CP_UNSET) {
        runState.sourceCp = CP_AUTODETECT;
    }
    if (runState.outputName.empty()) {
        if (runState.targetCp == CP_UNSET && runState.sourceCp == CP_AUTODETECT) {
            runState.targetCp = CP_DETECT_ONLY;
            return 0;
        }
        if (!replaceInput) {
            return UsageError(kUsageNoOutput);
        }
        runState.outputName = runState.inputName;
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
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        // Nothing can be read from a command line the platform cannot split.
        ResetParsedFields();
        return UsageError(kUsageUnreadable);
    }
    int result = ParseArguments(count, arguments, kPlatformCommandLine);
    LocalFree(arguments);
    return result;
}
