#include <vector>

#include "src/log/log_fields.h"
#include "src/run/report_parts.h"

WideString GuessedOptions(const RunState& run) {
    // A page only the system's choice reaches has no option to name it.
    std::vector<WideString> options;
    for (int i = 0; i < run.guessedPageCount; ++i) {
        WideString option = OptionFor(run.guessedPages[i], false);
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

// Where the platform reads the page the letters point to, which one was read; where it reads
// the system's page, what the letters point to instead.
void AddGuessLines(const RunState& run, MessageLines* lines) {
    if (run.guessStrayBytes > 0) {
        WideString grouped;
        lines->push_back(FileLine(
            run, WideString(WSTR("read as -U8- (UTF-8 but for ")) +
                     FormatGroupedNumber(run.guessStrayBytes, &grouped) +
                     (run.guessStrayBytes == 1 ? WSTR(" stray byte)") : WSTR(" stray bytes)"))));
        return;
    }
    if (run.guessedPageCount == 0 || !run.guessSure) {
        return;
    }
    CodePageId page = run.guessedPages[0];
    if (kReadsGuessedPage) {
        lines->push_back(FileLine(run, WSTR("read as ") + OptionFor(page, false) + WSTR(" (") +
                                           PageTitle(page) + WSTR("), found by its letters")));
    } else if (ResolveCodePage(CP_ACP) != static_cast<UINT>(page)) {
        lines->push_back(FileLine(
            run, WSTR("read as ") + PageTitle(static_cast<CodePageId>(ResolveCodePage(CP_ACP))) +
                     WSTR("; it looks like ") + PageTitle(page) + WSTR(": name ") +
                     OptionFor(page, false) + WSTR(" to read it so")));
    }
}
