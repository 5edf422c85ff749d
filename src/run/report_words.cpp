#include "src/run/report_words.h"

#include "src/cmdline/name_table.h"
#include "src/log/log_fields.h"

WideString ProgramLine(const WideString& line) {
    return WSTR("codeshift: ") + line;
}

WideString FileLine(const RunState& run, const WideString& line) {
    return ProgramLine(run.oneOfMany ? Quoted(run.inputName) + WSTR(": ") + line : line);
}

WideString Quoted(const WideString& name) {
    return WSTR("\"") + ShownText(name) + WSTR("\"");
}

WideString Widened(const char* text) {
    WideString wide;
    for (const char* c = text; *c != 0; ++c) {
        wide.push_back(static_cast<WCHAR>(static_cast<unsigned char>(*c)));
    }
    return wide;
}

WideString LabelOf(CodePageId cp) {
    LPCWSTR label = EncodingLabel(cp);
    return label != nullptr ? WideString(label) : WideString(WSTR("?"));
}

static WideString Number(long value) {
    return Widened(std::to_string(value).c_str());
}

WideString OptionFor(CodePageId id, bool marked) {
    if (!marked) {
        id = NoMarkForm(id);
    }
    // The short names (-U8, -U16BE-) for the Unicode forms, the listed name for a page.
    for (const Encoding& encoding : kEncodings) {
        if (encoding.id == id && (IsUnicodeForm(id) || IsNoMarkForm(id))) {
            return WSTR("-") + WideString(encoding.names[IsUnicodeForm(id) ? 2 : 3]);
        }
        if (encoding.id == id && encoding.shown >= 0 && encoding.names[encoding.shown]) {
            return WSTR("-") + WideString(encoding.names[encoding.shown]);
        }
    }
    for (const Encoding& encoding : kEncodings) {
        if (encoding.id == id && encoding.names[0] != nullptr) {
            return WSTR("-") + WideString(encoding.names[0]);
        }
    }
    // A page only the system's choice reaches is named by that choice where it is this run's.
    if (ResolveCodePage(CP_MACCP) == static_cast<UINT>(id)) {
        return WSTR("-MAC");
    }
    return WSTR("(page ") + Number(id) + WSTR(", no option names it)");
}

WideString PageTitle(CodePageId id) {
    if (id >= 1250 && id <= 1258)
        return WSTR("Windows-") + Number(id);
    if (id >= 28591 && id <= 28605)
        return WSTR("ISO-8859-") + Number(id - 28590);
    if (id == 20866)
        return WSTR("KOI8-R");
    if (id == 21866)
        return WSTR("KOI8-U");
    if (id < 1000)
        return WSTR("DOS page ") + Number(id);
    return WSTR("Mac page ") + Number(id);
}

WideString JoinedLines(const MessageLines& lines) {
    WideString text;
    for (const WideString& line : lines) {
        text.append(line);
        text.push_back('\n');
    }
    return text;
}
