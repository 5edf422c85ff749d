#include "src/run/run_messages.h"

#include <string>
#include <vector>

#include "src/cmdline/name_suggestions.h"
#include "src/cmdline/name_table.h"
#include "src/log/log_fields.h"
#include "src/run/detect_files.h"
#include "src/run/loss_messages.h"
#include "src/state/guide_path.h"
#include "src/state/run_state.h"

// Every line starts with the program's name, so that the lines of many runs, or of a script
// that calls several programs, can be told apart.
static void AddLine(WideString* text, const WideString& line) {
    text->append(WSTR("codeshift: "));
    text->append(line);
    text->push_back('\n');
}

static WideString Quoted(const WideString& name);
static WideString GuessedOptions();

// A line about the text of one file among several says which file it speaks of.
static void AddFileLine(WideString* text, const WideString& line) {
    AddLine(text, runState.oneOfMany ? Quoted(runState.inputName) + WSTR(": ") + line : line);
}

// A name as the user typed it, in quotes, shown as the log shows it: a line stays one line and a
// name cannot steer the terminal.
static WideString Quoted(const WideString& name) {
    return WSTR("\"") + ShownText(name) + WSTR("\"");
}

static WideString Widened(const char* text) {
    WideString wide;
    for (const char* c = text; *c != 0; ++c) {
        wide.push_back(static_cast<WCHAR>(static_cast<unsigned char>(*c)));
    }
    return wide;
}

static WideString LabelOf(CodePageId cp) {
    LPCWSTR label = EncodingLabel(cp);
    return label != nullptr ? WideString(label) : WideString(WSTR("?"));
}

static WideString UsageSummary() {
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

static WideString WhatWasWrong() {
    const WideString argument = Quoted(runState.usageArgument);
    switch (runState.usageProblem) {
        case kUsageUnknownOption:
            return UnknownOption(runState.usageArgument);
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

static void ReportUsageError(WideString* text) {
    AddLine(text, WhatWasWrong());
    if (runState.usageProblem == kUsageUnknownOption) {
        AddLine(text, NameHints(runState.usageArgument));
    }
    AddLine(text, WSTR("usage: ") + UsageSummary());
    WideString guide = WSTR("the full guide is ") + GuidePath();
    if (kHasManualPage) {
        guide.append(WSTR("; see also \"man codeshift\""));
    }
    if (kPlatformCommandLine.answersHelpAndVersion) {
        guide.append(WSTR(" and \"codeshift --help\""));
    }
    AddLine(text, guide);
}

// "cannot <verb> <what> "<name>"", the reason, and what the failure left as it was.
static void ReportFileFailure(WideString* text, const WideString& failed, const WideString& name,
                              bool isStream, const WideString& reason, const WideString& after) {
    WideString line = WSTR("cannot ") + failed + WSTR(" ") + Quoted(name);
    if (isStream) {
        line.append(failed == WSTR("read input") ? WSTR(" (standard input)")
                                                 : WSTR(" (standard output)"));
    }
    if (!reason.empty()) {
        line.append(WSTR(": ") + reason);
    }
    AddLine(text, line + after);
}

static void ReportInputFailure(WideString* text) {
    WideString reason = SystemErrorText(runState.failureError);
    switch (runState.failure) {
        case kFailureInputNotFile:
            reason = WSTR("not a regular file");
            break;
        case kFailureInputTooLarge: {
            WideString grouped;
            reason = WideString(WSTR("larger than ")) +
                     FormatGroupedNumber(kLargestInputBytes, &grouped) +
                     WSTR(" bytes, the most one run can hold");
            break;
        }
        case kFailureInputMemory:
            reason = WSTR("not enough memory to hold it");
            break;
        case kFailureInputChanged:
            reason = WSTR("its size changed while it was read");
            break;
        case kFailureInputEmpty:
            reason = WSTR("the file is empty");
            break;
        case kFailureInputUnsure:
            reason = WSTR("its letters do not tell its 8-bit page for sure; name it, likely ") +
                     GuessedOptions();
            break;
        case kFailureInputBinary:
            reason =
                WSTR("looks like a binary file, not text; name its source to convert it anyway");
            break;
        case kFailureSourcePage:
            reason = WSTR("the system cannot convert from ") + LabelOf(runState.sourceCp);
            break;
        case kFailureInputReplaced:
            ReportFileFailure(text, WSTR("replace input"), runState.inputName, false,
                              WSTR("it changed while it was being converted"),
                              WSTR("; it was left as it is"));
            return;
        default:
            break;
    }
    ReportFileFailure(text, WSTR("read input"), runState.inputName, runState.inputIsStream, reason,
                      WideString());
}

static void ReportOutputFailure(WideString* text) {
    // A reader that went away took what it wanted: as for other tools in a pipeline, the run
    // ends without a word, its exit code and log record still saying the output failed.
    if (runState.outputInPlace && runState.failure == kFailureOutputWrite &&
        runState.failureError == ERROR_NO_DATA) {
        return;
    }
    WideString reason = SystemErrorText(runState.failureError);
    WideString failed = WSTR("write output");
    switch (runState.failure) {
        case kFailureOutputCommit:
            failed = WSTR("replace output");
            break;
        case kFailureTargetPage:
            reason = WSTR("the system cannot convert to ") + LabelOf(runState.targetCp);
            break;
        case kFailureOutputOwner:
            reason = WSTR("its owner and group could not be kept");
            break;
        case kFailureOutputRules:
            reason = WSTR("its permissions and access rules could not be kept");
            break;
        case kFailureOutputRights:
            reason = WSTR("its set-id bits, capabilities or file flags could not be kept");
            break;
        case kFailureOutputMoved:
            reason = WSTR("a folder on its path was moved or replaced while it was written");
            break;
        case kFailureOutputIsInput:
            reason = WSTR("it is the input file, and the text would be written over itself");
            break;
        case kFailureOutputLossy:
            ReportFileFailure(text, WSTR("replace input"), runState.inputName, false,
                              LossRefusalReason(),
                              WSTR("; it was left as it is (--lossy accepts the loss)"));
            return;
        case kFailureOutputFolder:
            reason.append(
                WSTR("; the folder it is in must be writable to replace it, not only the file"));
            break;
        default:
            break;
    }
    // A stream written in place keeps what reached it before the failure.
    WideString after = runState.failure == kFailureOutputIsInput ? WSTR("; nothing was written")
                       : runState.outputInPlace                  ? WideString()
                                                                 : WSTR("; it was left as it was");
    ReportFileFailure(text, failed, runState.outputName, runState.outputIsStream, reason, after);
}

// "1 character <one> and was written as <as>", or for any other count "N characters <many> and
// were ...", the count grouped by thousands; nothing for none.
static void AddCountLine(WideString* text, uint64_t count, const WideString& one,
                         const WideString& many, const WideString& as) {
    if (count == 0) {
        return;
    }
    // No count exceeds the input's size, which is below 4 GiB.
    WideString grouped;
    WideString line = FormatGroupedNumber(static_cast<uint32_t>(count), &grouped);
    if (count == 1) {
        line.append(WSTR(" character ") + one + WSTR(" and was written as "));
    } else {
        line.append(WSTR(" characters ") + many + WSTR(" and were written as "));
    }
    AddFileLine(text, line + as);
}

// A conversion that did not carry every character over as it was still succeeds (scripts and
// stored logs rely on exit code 0 and on the record as it is), but whoever runs it learns how
// much of the text changed, and which side to look at: input that was not valid in its
// encoding (swapped encodings, most often), characters the target page lacks, and characters
// the page wrote as a similar one.
static void ReportReplacements(WideString* text) {
    const Replacements& counts = runState.replacements;
    if (counts.unreadable + counts.missing + counts.similar == 0) {
        return;
    }
    const WideString source = LabelOf(runState.sourceCp);
    const WideString target = LabelOf(runState.targetCp);
    const WideString question = WSTR("\"?\"");
    AddCountLine(text, counts.unreadable, WSTR("could not be read as ") + source,
                 WSTR("could not be read as ") + source, question);
    AddCountLine(text, counts.missing, WSTR("is not in ") + target, WSTR("are not in ") + target,
                 question);
    AddCountLine(text, counts.similar, WSTR("has no exact equivalent in ") + target,
                 WSTR("have no exact equivalent in ") + target, WSTR("a similar one"));
}

// Line ends rewritten are a change the user asked for, but one they should see the size of.
static void ReportLineEnds(WideString* text) {
    uint64_t count = runState.lineEndsChanged;
    if (count == 0) {
        return;
    }
    WideString grouped;
    WideString line = FormatGroupedNumber(static_cast<uint32_t>(count), &grouped);
    line.append(count == 1 ? WSTR(" line end was") : WSTR(" line ends were"));
    line.append(runState.lineEnds == kLineEndsLf ? WSTR(" written as LF")
                                                 : WSTR(" written as CR LF"));
    AddFileLine(text, line);
}

// The pages the guess found likely, as options: "-A1251, -KOI8R or -CP866".
static WideString GuessedOptions() {
    // A page only the system's choice reaches has no option to name it.
    std::vector<WideString> options;
    for (int i = 0; i < runState.guessedPageCount; ++i) {
        WideString option = OptionFor(runState.guessedPages[i], false);
        if (option[0] == '-') {
            options.push_back(option);
        }
    }
    WideString list;
    for (size_t i = 0; i < options.size(); ++i) {
        if (i > 0) {
            list.append(i + 1 == options.size() ? WSTR(" or ") : WSTR(", "));
        }
        list.append(options[i]);
    }
    return list.empty() ? WSTR("its page") : list;
}

// Which page a guessed source was read with, and why; where the system's page was used, what
// the letters point to instead.
static void ReportGuess(WideString* text) {
    if (runState.guessStrayBytes > 0) {
        WideString grouped;
        AddFileLine(text, WideString(WSTR("read as -U8- (UTF-8 but for ")) +
                              FormatGroupedNumber(runState.guessStrayBytes, &grouped) +
                              (runState.guessStrayBytes == 1 ? WSTR(" stray byte)")
                                                             : WSTR(" stray bytes)")));
        return;
    }
    if (runState.guessedPageCount == 0 || !runState.guessSure) {
        return;
    }
    CodePageId page = runState.guessedPages[0];
    if (kReadsGuessedPage) {
        AddFileLine(text, WSTR("read as ") + OptionFor(page, false) + WSTR(" (") + PageTitle(page) +
                              WSTR("), found by its letters"));
    } else if (ResolveCodePage(CP_ACP) != static_cast<UINT>(page)) {
        AddFileLine(text, WSTR("read as ") +
                              PageTitle(static_cast<CodePageId>(ResolveCodePage(CP_ACP))) +
                              WSTR("; it looks like ") + PageTitle(page) + WSTR(": name ") +
                              OptionFor(page, false) + WSTR(" to read it so"));
    }
}

// A record cut short by a full disk or a size limit says how much of it the log kept.
static void ReportLogFailure(WideString* text) {
    WideString line = WSTR("warning: no record written to the log ") + Quoted(runState.logName);
    if (runState.logRecordLeft != kLogRecordNothing) {
        line = WSTR("warning: the record was written to the log ") + Quoted(runState.logName) +
               (runState.logRecordLeft == kLogRecordTakenBack
                    ? WSTR(" only in part and was taken back")
                    : WSTR(" only in part"));
    }
    WideString reason = runState.logRefusal == kLogIsInput    ? WSTR("it is the input of this run")
                        : runState.logRefusal == kLogIsOutput ? WSTR("it is the output of this run")
                        : runState.logRefusal == kLogNotALog
                            ? WSTR("it holds something other than a log of codeshift")
                        : runState.logRefusal == kLogNoFile
                            ? WSTR("it is a device or a file of the system, which keeps no log")
                            : SystemErrorText(runState.logError);
    if (!reason.empty()) {
        line.append(WSTR(": ") + reason);
    }
    AddLine(text, line);
}

void ReportRun() {
    WideString text;
    switch (runState.status) {
        case kStatusUsage:
            ReportUsageError(&text);
            break;
        case kStatusInputFailed:
            ReportInputFailure(&text);
            break;
        case kStatusOutputFailed:
            ReportOutputFailure(&text);
            break;
        case kStatusConverted:
            ReportGuess(&text);
            ReportReplacements(&text);
            if (runState.privateUseRead > 0) {
                AddFileLine(&text, PrivateUseLine());
            }
            ReportLineEnds(&text);
            // The new text took the name's place; a hard link still leads to the old file.
            if (runState.outputHadOtherNames) {
                AddLine(&text, WSTR("warning: ") + Quoted(runState.outputName) +
                                   WSTR(" was replaced; its other names (hard links) keep the "
                                        "old text"));
            }
            break;
        default:
            break;
    }
    if (runState.logFailed) {
        ReportLogFailure(&text);
    }
    if (!text.empty()) {
        WriteMessageText(kStreamMessages, text.c_str());
    }
}

// The encodings --help names, as the encoding table lists them, in lines of at most 88
// columns under the options' descriptions.
static WideString EncodingList() {
    std::vector<WideString> words;
    for (int group = 0; group < 3; ++group) {
        for (const Encoding& e : kEncodings) {
            int own = IsUnicodeForm(e.id) ? 0 : IsNoMarkForm(e.id) ? 1 : 2;
            if (e.shown >= 0 && group == own) {
                words.push_back(WSTR("-") + WideString(e.names[e.shown]));
            }
        }
        const WCHAR* after[] = {WSTR("write a byte order mark,"), WSTR("write none;"), nullptr};
        if (after[group] != nullptr) {
            words.push_back(after[group]);
        }
    }
    words.back().push_back(';');
    words.push_back(WSTR("-T: find the source's encoding (the default)"));
    const WideString indent(19, ' ');
    WideString text;
    WideString line = indent;
    for (const WideString& word : words) {
        if (line.size() > indent.size() && line.size() + 1 + word.size() > 88) {
            text.append(line + WSTR("\n"));
            line = indent;
        }
        line.append(line.size() > indent.size() ? WSTR(" ") + word : word);
    }
    return text + line + WSTR("\n");
}

// Every name the command line takes, one encoding a line after the code page it selects (the
// system's pages as this system resolves them); "OEM" is left out, since -o and -O are the log
// options.
static WideString NameListText() {
    WideString text;
    for (const Encoding& e : kEncodings) {
        WideString names;
        for (const WCHAR* name : e.names) {
            if (name != nullptr && name[0] != 'O' && name[0] != 'o') {
                names.append(names.empty() ? WSTR("") : WSTR(" ")).append(name);
            }
        }
        if (names.empty()) {
            continue;
        }
        CodePageId page = static_cast<CodePageId>(ResolveCodePage(MarkedForm(e.id)));
        WideString line =
            e.id == CP_AUTODETECT ? WSTR("auto") : Widened(std::to_string(page).c_str());
        line.resize(7, ' ');
        line.append(names);
        if (e.id == CP_AUTODETECT) {
            line.append(WSTR(" (found from the input)"));
        } else if (IsUnicodeForm(e.id)) {
            line.append(WSTR(" (written with a byte order mark)"));
        } else if (IsNoMarkForm(e.id)) {
            line.append(WSTR(" (written without a byte order mark)"));
        } else if (e.id == static_cast<CodePageId>(CP_ACP)) {
            line.append(WSTR(" (the system's ANSI page)"));
        } else if (e.id == static_cast<CodePageId>(CP_MACCP)) {
            line.append(WSTR(" (the system's Mac page)"));
        }
        text.append(line + WSTR("\n"));
    }
    return text;
}

static WideString HelpText() {
    WideString text = WSTR("Usage: ") + UsageSummary() + WSTR("\n");
    text.append(WSTR(
        "Converts the text file INPUT from one encoding to another into OUTPUT, or each FILE in\n"
        "place with -r. With a target and no OUTPUT it writes standard output, and with no name\n"
        "at all it reads standard input too (a filter). With INPUT alone it only recognises the\n"
        "encoding and tells it by the exit code.\n"
        "\n"
        "  -SOURCE -TARGET  encodings, the first of INPUT, the second of OUTPUT:\n"));
    text.append(EncodingList());
    text.append(WSTR(
        "  -oLOG, -o LOG    append a record of the run to the file LOG\n"
        "  -OLOG, -O LOG    write the file LOG afresh with the record of this run\n"
        "  -r               replace each FILE with its text converted, one run a file; a\n"
        "                   file whose text would lose characters (written as \"?\" or as a\n"
        "                   similar one) is left as it is, exit code 22\n"
        "  --lossy          replace such a file all the same\n"
        "  -LF, -CRLF       write every line end (LF, CR LF, or CR alone) as LF, or as CR LF\n"
        "  --               every later argument is a file name\n"
        "  -                as INPUT, standard input; as OUTPUT, standard output\n"
        "  --help           show this text\n"
        "  --version        show the version\n"
        "  --list           list every encoding name with its code page\n"
        "  --detect FILE... tell the likely encoding of each FILE (\"-\": standard input),\n"
        "                   as the option that reads it; an 8-bit page is guessed from\n"
        "                   its letters, right for about 99 in 100 texts of 256 bytes\n"
        "\n"
        "Exit codes: 0 converted; 1-6 found UTF-8, ANSI, UTF-16LE, UTF-16BE, UTF-32LE,\n"
        "UTF-32BE, 11 and 13-16 the same by a byte order mark (ANSI has none); 20 usage\n"
        "error; 21 input failure; 22 output failure; with several files the highest of them.\n"));
    text.append(WSTR("Full guide: ") + GuidePath());
    if (kHasManualPage) {
        text.append(WSTR("; manual: man codeshift"));
    }
    text.push_back('\n');
    return text;
}

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
