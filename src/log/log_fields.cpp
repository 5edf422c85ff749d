#include "src/log/log_fields.h"

#include "src/cmdline/name_table.h"
#include "src/state/run_state.h"

// The name an identifier is shown by; one the table does not know adds nothing.
static void AppendEncodingName(CodePageId id, WideString* buffer) {
    if (id == CP_AUTODETECT) {
        buffer->append(WSTR("TEST"));
        return;
    }
    LPCWSTR label = EncodingLabel(id);
    if (label != nullptr) {
        buffer->append(label);
    }
}

// Without a target named the output repeats the input, mark and all; a run that never read its
// input for an output (a usage error, or an input that failed before its text was converted)
// shows its target unnamed, as the command line left it.
static bool ShowsOutputsEncoding() {
    bool inputFailed =
        runState.status == kStatusInputFailed && runState.failure != kFailureInputReplaced;
    return runState.status != kStatusUsage && !inputFailed;
}

LPCWSTR FormatCodePageLabel(uint8_t side, WideString* buffer) {
    static const WCHAR kNoLabel[] = WSTR("");
    bool source = side == kSourceSide;
    bool output = !source && ShowsOutputsEncoding();
    CodePageId id = source ? runState.sourceCp : output ? OutputCp(runState) : runState.targetCp;
    uint8_t withBom = source   ? runState.inputHadBom
                      : output ? static_cast<uint8_t>(OutputMarked(runState))
                               : runState.writeBom;
    if (id == CP_DETECT_ONLY) {
        return kNoLabel;
    }
    buffer->clear();
    // Named before the unset test: a stopped parse still shows what loading would have asked.
    if (source && runState.requestedSourceCp != runState.sourceCp) {
        AppendEncodingName(runState.requestedSourceCp, buffer);
        buffer->append(WSTR(" :: "));
    }
    if (id == CP_UNSET) {
        buffer->push_back('?');
        return buffer->c_str();
    }
    AppendEncodingName(id, buffer);
    if (IsUnicodeForm(id)) {
        buffer->append(withBom == 1 ? WSTR(" BOM") : WSTR("n"));
    }
    return buffer->c_str();
}

void AppendNumber(uint32_t value, uint32_t base, int digits, WideString* text) {
    static const char kDigits[] = "0123456789abcdef";
    WCHAR reversed[40];
    int count = 0;
    do {
        reversed[count++] = static_cast<WCHAR>(kDigits[value % base]);
        value /= base;
    } while ((value != 0 || count < digits) && count < 40);
    while (count > 0) {
        text->push_back(reversed[--count]);
    }
}

LPCWSTR FormatGroupedNumber(uint32_t value, WideString* buffer) {
    WideString digits;
    AppendNumber(value, 10, 1, &digits);
    size_t lead = digits.size() % 3;
    buffer->assign(digits, 0, lead);
    for (size_t at = lead; at < digits.size(); at += 3) {
        if (!buffer->empty()) {
            buffer->push_back(' ');
        }
        buffer->append(digits, at, 3);
    }
    return buffer->c_str();
}

WideString ShownText(const WideString& text) {
    WideString shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        WCHAR c = text[i];
        bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                    text[i + 1] < 0xE000;
        if (pair) {
            shown.append(text, i++, 2);
        } else {
            bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
            shown.push_back(control || (c >= 0xD800 && c < 0xE000) ? WCHAR('?') : c);
        }
    }
    return shown;
}

void AppendTimeStamp(const SYSTEMTIME& time, WideString* text) {
    AppendNumber(time.wDay, 10, 2, text);
    text->push_back('-');
    AppendNumber(time.wMonth, 10, 2, text);
    text->push_back('-');
    AppendNumber(time.wYear, 10, 4, text);
    text->push_back(' ');
    AppendNumber(time.wHour, 10, 2, text);
    text->push_back(':');
    AppendNumber(time.wMinute, 10, 2, text);
    text->push_back(':');
    AppendNumber(time.wSecond, 10, 2, text);
}
