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
}

static int UsageError() {
    runState.status = kStatusUsage;
    return kStatusUsage;
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

static void TakeName(LPCWSTR argument, bool* logNamePending) {
    if (*logNamePending) {
        // Once a log name is set, a detached name no longer ends the pending state.
        if (runState.logName.empty()) {
            runState.logName = argument;
            *logNamePending = false;
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

int ParseArguments(int count, LPWSTR* arguments) {
    ResetParsedFields();
    bool replaceInput = false;
    bool logNamePending = false;
    for (int i = 1; i < count; ++i) {
        LPCWSTR argument = arguments[i];
        if (argument[0] == '-' || argument[0] == '/') {
            if (!TakeOption(argument, &replaceInput, &logNamePending)) {
                return UsageError();
            }
        } else {
            TakeName(argument, &logNamePending);
        }
    }
    if (runState.inputName.empty()) {
        return UsageError();
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
            return UsageError();
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
        return UsageError();
    }
    int result = ParseArguments(count, arguments);
    LocalFree(arguments);
    return result;
}
