#include "src/platform/posix/command_line.h"

static std::vector<WideString> processArguments;
static WideString processCommandLine;

static bool NeedsQuotes(const WideString& argument) {
    if (argument.empty()) {
        return true;
    }
    for (WCHAR c : argument) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '"') {
            return true;
        }
    }
    return false;
}

static void AppendQuoted(WideString* out, const WideString& argument) {
    out->push_back('"');
    size_t backslashes = 0;
    for (WCHAR c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only in front of a quote: there each must be doubled, and the
        // quote itself escaped.
        size_t copies = (c == '"') ? 2 * backslashes + 1 : backslashes;
        out->append(copies, '\\');
        backslashes = 0;
        out->push_back(c);
    }
    out->append(2 * backslashes, '\\');
    out->push_back('"');
}

WideString QuoteCommandLine(const std::vector<WideString>& arguments) {
    WideString line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            line.push_back(' ');
        }
        if (NeedsQuotes(arguments[i])) {
            AppendQuoted(&line, arguments[i]);
        } else {
            line.append(arguments[i]);
        }
    }
    return line;
}

void SetProcessArguments(const std::vector<WideString>& arguments) {
    processArguments = arguments;
    processCommandLine = QuoteCommandLine(arguments);
}

LPWSTR GetCommandLineW() {
    return processCommandLine.data();
}

bool ReadProcessArguments(std::vector<WideString>* arguments) {
    *arguments = processArguments;
    return true;
}
