// Random argument lists through the command-line parse, by the Windows and the Linux rules, and
// random command lines through the splitting and quoting rules that carry them. The input is a list
// of arguments separated by zero bytes, each read as a Linux argument (UTF-8, any byte allowed).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "src/cmdline/name_table.h"
#include "src/cmdline/parse_command_line.h"
#include "src/platform/posix/command_line.h"
#include "src/platform/posix/wide_text.h"
#include "src/state/run_state.h"
#include "tests/support/split_command_line.h"

namespace {

// Values the parse must never touch, planted before it runs.
constexpr RunStatus kPlantedStatus = 123;
constexpr DWORD kPlantedLogMode = 0xABCD;
constexpr CodePageId kPlantedRequestedSource = 4242;

bool InNameTable(CodePageId cp) {
    for (const Encoding& e : kEncodings) {
        if (e.id == cp && e.names[0] != nullptr) {
            return true;
        }
    }
    return false;
}

bool IsOptionStart(WCHAR c, const CommandLineRules& rules) {
    return c == '-' || (rules.slashBeginsOption && c == '/');
}

bool IsArgument(const std::vector<WideString>& arguments, const WideString& name) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == name) {
            return true;
        }
    }
    return false;
}

// A log name is a whole detached argument or what follows "-o" / "-O" in one.
bool IsLogNameSource(const std::vector<WideString>& arguments, const WideString& name,
                     const CommandLineRules& rules) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        const WideString& a = arguments[i];
        if (a == name) {
            return true;
        }
        if (a.size() > 2 && IsOptionStart(a[0], rules) && (a[1] == 'o' || a[1] == 'O') &&
            a.compare(2, WideString::npos, name) == 0) {
            return true;
        }
    }
    return false;
}

bool HasLogOption(const std::vector<WideString>& arguments, const CommandLineRules& rules) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        const WideString& a = arguments[i];
        if (a.size() >= 2 && IsOptionStart(a[0], rules) && (a[1] == 'o' || a[1] == 'O')) {
            return true;
        }
    }
    return false;
}

// Whether "--help" or "--version" stands before any lone "--".
bool AsksForRequest(const std::vector<WideString>& arguments, const WideString& request) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == WSTR("--")) {
            return false;
        }
        if (arguments[i] == request) {
            return true;
        }
    }
    return false;
}

struct Parsed {
    int result;
    RunStatus status;
    RunRequest request;
    UsageProblem problem;
    WideString usageArgument;
    CodePageId sourceCp, targetCp;
    uint8_t writeBom;
    WideString inputName, outputName, logName;
    DWORD logMode;
};

Parsed ParseWithPlantedState(std::vector<WideString>* arguments, bool garbage,
                             const CommandLineRules& rules) {
    runState = RunState{};
    runState.status = kPlantedStatus;
    runState.logMode = kPlantedLogMode;
    runState.requestedSourceCp = kPlantedRequestedSource;
    if (garbage) {
        // Everything the parse resets must not depend on what was there before.
        runState.sourceCp = 1251;
        runState.targetCp = CP_UTF32BE;
        runState.writeBom = 0;
        runState.inputHadBom = 1;
        runState.inputSize = 7;
        runState.inputByteCount = 7;
        runState.outputByteCount = 9;
        runState.inputName = WSTR("stale-in");
        runState.outputName = WSTR("stale-out");
        runState.logName = WSTR("stale-log");
        runState.usageProblem = kUsageNoOutput;
        runState.usageArgument = WSTR("stale-argument");
        runState.request = kRequestVersion;
    }
    std::vector<LPWSTR> pointers;
    for (WideString& a : *arguments) {
        pointers.push_back(a.data());
    }
    pointers.push_back(nullptr);
    int result = ParseArguments(static_cast<int>(arguments->size()), pointers.data(), rules);
    FUZZ_CHECK(runState.requestedSourceCp == kPlantedRequestedSource);
    FUZZ_CHECK(runState.inputHadBom == 0);
    FUZZ_CHECK(runState.inputSize == 0 && runState.inputByteCount == 0);
    FUZZ_CHECK(runState.outputByteCount == 0);
    return Parsed{result,
                  runState.status,
                  runState.request,
                  runState.usageProblem,
                  runState.usageArgument,
                  runState.sourceCp,
                  runState.targetCp,
                  runState.writeBom,
                  runState.inputName,
                  runState.outputName,
                  runState.logName,
                  runState.logMode};
}

void CheckParse(std::vector<WideString> arguments, const CommandLineRules& rules) {
    Parsed p = ParseWithPlantedState(&arguments, false, rules);
    FUZZ_CHECK(p.result == 0 || p.result == kStatusUsage);
    FUZZ_CHECK(p.writeBom == 0 || p.writeBom == 1);
    // Only the Linux rules answer --help and --version, and then nothing else is parsed.
    bool asksHelp = rules.answersHelpAndVersion && AsksForRequest(arguments, WSTR("--help"));
    bool asksVersion = rules.answersHelpAndVersion && AsksForRequest(arguments, WSTR("--version"));
    FUZZ_CHECK((p.request != kRequestRun) == (asksHelp || asksVersion));
    FUZZ_CHECK((p.problem != kUsageNone) == (p.result == kStatusUsage));
    if (p.problem == kUsageUnknownOption) {
        FUZZ_CHECK(!p.usageArgument.empty() && IsOptionStart(p.usageArgument[0], rules));
        FUZZ_CHECK(IsArgument(arguments, p.usageArgument));
    }
    if (p.request != kRequestRun) {
        FUZZ_CHECK(p.result == 0 && p.status == kPlantedStatus);
        FUZZ_CHECK(p.inputName.empty() && p.logName.empty());
    } else if (p.result == kStatusUsage) {
        FUZZ_CHECK(p.status == kStatusUsage);
    } else {
        FUZZ_CHECK(p.status == kPlantedStatus);
        // Standard input and output stand in for names no argument gave by the Linux rules of
        // a filter.
        bool filter = rules.filtersByDefault;
        FUZZ_CHECK(!p.inputName.empty() &&
                   (IsArgument(arguments, p.inputName) || (filter && p.inputName == WSTR("-"))));
        FUZZ_CHECK(p.sourceCp != CP_UNSET && !IsNoMarkForm(p.sourceCp));
        FUZZ_CHECK(InNameTable(p.sourceCp));
        if (p.outputName.empty()) {
            // Only recognition can go on without an output name.
            FUZZ_CHECK(p.targetCp == CP_DETECT_ONLY && p.sourceCp == CP_AUTODETECT);
            FUZZ_CHECK(p.writeBom == 1);
        } else {
            FUZZ_CHECK(p.targetCp != CP_DETECT_ONLY && p.targetCp != CP_AUTODETECT);
            FUZZ_CHECK(!IsNoMarkForm(p.targetCp));
            FUZZ_CHECK(p.targetCp == CP_UNSET || InNameTable(p.targetCp));
            FUZZ_CHECK(p.outputName == p.inputName || IsArgument(arguments, p.outputName) ||
                       (filter && p.outputName == WSTR("-")));
        }
    }
    if (!p.logName.empty()) {
        FUZZ_CHECK(IsLogNameSource(arguments, p.logName, rules));
    }
    // Only a log option sets the mode (a usage error may stop the parse before one is read).
    if (p.logMode != kPlantedLogMode) {
        FUZZ_CHECK(p.logMode == kLogAppend || p.logMode == kLogOverwrite);
        FUZZ_CHECK(HasLogOption(arguments, rules));
    }
    if (!p.logName.empty()) {
        FUZZ_CHECK(p.logMode == kLogAppend || p.logMode == kLogOverwrite);
    }

    // The parse is a function of the arguments alone.
    Parsed again = ParseWithPlantedState(&arguments, true, rules);
    FUZZ_CHECK(again.result == p.result && again.status == p.status);
    FUZZ_CHECK(again.request == p.request && again.problem == p.problem);
    FUZZ_CHECK(again.usageArgument == p.usageArgument);
    FUZZ_CHECK(again.sourceCp == p.sourceCp && again.targetCp == p.targetCp);
    FUZZ_CHECK(again.writeBom == p.writeBom && again.logMode == p.logMode);
    FUZZ_CHECK(again.inputName == p.inputName && again.outputName == p.outputName);
    FUZZ_CHECK(again.logName == p.logName);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> byteArguments(1, "codeshift");
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            byteArguments.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    byteArguments.push_back(current);

    std::vector<WideString> arguments;
    for (const std::string& bytes : byteArguments) {
        WideString wide = WideFromBytes(bytes);
        // Any Linux name, valid UTF-8 or not, must come back byte for byte.
        FUZZ_CHECK(BytesFromWide(wide.c_str()) == bytes);
        arguments.push_back(wide);
    }
    CheckParse(arguments, kWindowsCommandLine);
    CheckParse(arguments, kLinuxCommandLine);

    // The command line the program builds from its arguments splits back into them.
    WideString line = QuoteCommandLine(arguments);
    std::vector<WideString> split = SplitCommandLine(line.c_str());
    FUZZ_CHECK(split == arguments);

    // Any text at all as a command line: the split must hold and parse without harm.
    WideString raw = WideFromBytes(std::string(reinterpret_cast<const char*>(data), size));
    for (WCHAR& c : raw) {
        if (c == 0) {
            c = ' ';
        }
    }
    CheckParse(SplitCommandLine(raw.c_str()), kWindowsCommandLine);
    CheckParse(SplitCommandLine(raw.c_str()), kLinuxCommandLine);
    return 0;
}
