#include <vector>

#include "src/cmdline/name_suggestions.h"
#include "src/run/report_parts.h"
#include "src/state/guide_path.h"

WideString UsageSummary() {
    WideString line = WSTR("codeshift [-SOURCE] [-TARGET] [-LF | -CRLF] [-o LOG | -O LOG] ");
    if (kPlatformCommandLine.replacesManyFiles) {
        return line + WSTR("[--] [INPUT [OUTPUT] | -r FILE...]");
    }
    return line + WSTR("[-r] INPUT [OUTPUT]");
}

static WideString UnknownOption(const WideString& argument) {
    WideString line = WSTR("unknown option ") + Quoted(argument) +
                      WSTR(": it is not -o, -O, -r or an encoding name");
    if (argument.size() > 1 && argument[1] == '0') {
        line.append(
            WSTR("; -o (the letter o) names the log file, and the output file is the second "
                 "name, with no option in front"));
    }
    return line;
}

// The encodings an unknown option may have been meant as, written with the user's own "-" or
// "/", and where the names are listed: by --list where the program answers it (every spelling),
// else in the guide (which the usage lines name, and the Windows programs open).
static WideString NameHints(const WideString& argument) {
    std::vector<LPCWSTR> names = SuggestEncodingNames(argument.c_str() + 1);
    WideString where = kPlatformCommandLine.answersHelpAndVersion
                           ? WSTR("listed by \"codeshift --list\"")
                           : WSTR("listed in the guide");
    if (names.empty()) {
        return WSTR("the encoding names are ") + where;
    }
    WideString line = WSTR("did you mean ");
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            line.append(i + 1 == names.size() ? WSTR(" or ") : WSTR(", "));
        }
        line.push_back(argument[0]);
        line.append(names[i]);
    }
    return line + WSTR("? The encoding names are ") + where;
}

static WideString WhatWasWrong(const RunState& run) {
    const WideString argument = Quoted(run.usageArgument);
    switch (run.usageProblem) {
        case kUsageUnknownOption:
            return UnknownOption(run.usageArgument);
        case kUsageLogNameMissing:
            return WSTR("the log option ") + argument + WSTR(" needs a file name right after it");
        case kUsageNamesSwallowed:
            return WSTR("no input file named: ") + argument +
                   WSTR(
                       " waits for a log name although one is given, so the names after it "
                       "were ignored");
        case kUsageNoOutput:
            return WSTR("no output file named: name one, or give -r to replace the input");
        case kUsageUnreadable:
            return WSTR("the command line could not be read");
        case kUsageThirdEncoding:
            return WSTR("a third encoding option ") + argument +
                   WSTR(
                       ": the first names the source, the second the target, and there is "
                       "no third");
        case kUsageThirdName:
            return WSTR("a third file name ") + argument +
                   WSTR(
                       ": INPUT and OUTPUT are two names; to convert many files in place name "
                       "the encodings and give -r, as in \"codeshift -A1251 -U8- -r *.txt\"");
        case kUsageReplaceWithOutput:
            return WSTR("-r replaces the input, yet ") + argument +
                   WSTR(" names an output file: give -r or an output name, not both");
        case kUsageReplaceStream:
            return WSTR(
                "-r replaces the input file, and standard input (\"-\") is none: name an output "
                "file, or \"-\" for standard output");
        case kUsageEmptyName:
            return WSTR(
                "an empty argument where a file name belongs (a variable that was never set?): "
                "it names no file, and no other name may take its place");
        case kUsageEmptyLogName:
            return WSTR("the log option ") + argument +
                   WSTR(" is given an empty name (a variable that was never set?)");
        case kUsageLogIsStream:
            return WSTR("the log option ") + argument +
                   WSTR(
                       " names \"-\": the record goes to a file, never to standard output; "
                       "write \"./-\" for a file of that name");
        case kUsageNoInput:
        case kUsageNone:
            break;
    }
    return WSTR("no input file named");
}

void AddUsageLines(const RunState& run, MessageLines* lines) {
    lines->push_back(ProgramLine(WhatWasWrong(run)));
    if (run.usageProblem == kUsageUnknownOption) {
        lines->push_back(ProgramLine(NameHints(run.usageArgument)));
    }
    lines->push_back(ProgramLine(WSTR("usage: ") + UsageSummary()));
    WideString guide = WSTR("the full guide is ") + GuidePath();
    if (kHasManualPage) {
        guide.append(WSTR("; see also \"man codeshift\""));
    }
    if (kPlatformCommandLine.answersHelpAndVersion) {
        guide.append(WSTR(" and \"codeshift --help\""));
    }
    lines->push_back(ProgramLine(guide));
}
