#include <vector>

#include "src/cmdline/name_table.h"
#include "src/run/answers.h"
#include "src/run/report_parts.h"
#include "src/state/guide_path.h"

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

WideString HelpText() {
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
