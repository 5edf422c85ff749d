#include <string>

#include "src/cmdline/name_table.h"
#include "src/run/answers.h"
#include "src/run/report_words.h"

// Every name the command line takes, one encoding a line after the code page it selects (the
// system's pages as this system resolves them); "OEM" is left out, since -o and -O are the log
// options.
WideString NameListText() {
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
