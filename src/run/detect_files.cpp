#include "src/run/detect_files.h"

#include <cstdio>
#include <vector>

#include "src/cmdline/name_table.h"
#include "src/input/guess_page.h"
#include "src/input/load_input.h"
#include "src/run/report_words.h"
#include "src/state/run_state.h"

namespace {

WideString Wide(const char* text) {
    WideString out;
    for (; *text != 0; ++text) {
        out.push_back(static_cast<WCHAR>(static_cast<unsigned char>(*text)));
    }
    return out;
}

WideString Number(long value) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%ld", value);
    return Wide(digits);
}

WideString UnicodeTitle(CodePageId id) {
    return id == static_cast<CodePageId>(CP_UTF8) ? WSTR("UTF-8")
           : id == CP_UTF16LE                     ? WSTR("UTF-16LE")
           : id == CP_UTF16BE                     ? WSTR("UTF-16BE")
           : id == CP_UTF32LE                     ? WSTR("UTF-32LE")
                                                  : WSTR("UTF-32BE");
}

// What the guess says, after the file's name.
WideString Describe(const PageGuess& guess, bool marked) {
    switch (guess.kind) {
        case kGuessEmpty:
            return WSTR("empty");
        case kGuessBinary:
            return WSTR("binary");
        case kGuessAscii:
            return OptionFor(static_cast<CodePageId>(CP_UTF8), false) +
                   WSTR(" 7-bit text, which every page reads alike");
        case kGuessUnicode: {
            WideString text = OptionFor(guess.pages[0], marked) + WSTR(" ") +
                              UnicodeTitle(guess.pages[0]) +
                              (marked ? WSTR(" with byte order mark") : WSTR(""));
            if (guess.strayBytes != 0) {
                text += WSTR(", but for ") + Number(guess.strayBytes) +
                        (guess.strayBytes == 1 ? WSTR(" stray byte") : WSTR(" stray bytes"));
            }
            return text;
        }
        case kGuessPage:
            break;
    }
    if (guess.confident) {
        return OptionFor(guess.pages[0], false) + WSTR(" ") + PageTitle(guess.pages[0]) +
               WSTR(", ") + Number(guess.confidence) + WSTR("% sure");
    }
    WideString text;
    for (int i = 0; i < guess.pageCount; ++i) {
        text += OptionFor(guess.pages[i], false) + WSTR(" ");
    }
    return text + WSTR("unsure: likeliest ") + PageTitle(guess.pages[0]) + WSTR(", ") +
           Number(guess.confidence) + WSTR("% sure");
}

// A page an option names that reads every byte above 7F of the text as `id` does, for a page
// no option names (the Mac Roman text that Mac Icelandic reads alike); `id` itself otherwise.
CodePageId NamedPageReadingAlike(CodePageId id, const uint8_t* data, uint32_t count) {
    if (OptionFor(id, false)[0] == '-') {
        return id;
    }
    bool high[128] = {};
    for (uint32_t i = 0; i < count; ++i) {
        if (data[i] >= 0x80) {
            high[data[i] - 0x80] = true;
        }
    }
    for (const Encoding& encoding : kEncodings) {
        if (!IsOwnBytePage(encoding.id) || encoding.names[0] == nullptr) {
            continue;
        }
        bool alike = true;
        for (int b = 0; b < 128 && alike; ++b) {
            uint16_t unit = GuessedPageUnit(encoding.id, static_cast<uint8_t>(0x80 + b));
            alike = !high[b] ||
                    (unit != 0 && unit == GuessedPageUnit(id, static_cast<uint8_t>(0x80 + b)));
        }
        if (alike) {
            return encoding.id;
        }
    }
    return id;
}

// Each guessed page as one an option names where one reads the text alike, once each.
void NameGuessedPages(PageGuess& guess, const uint8_t* data, uint32_t count) {
    if (guess.kind != kGuessPage) {
        return;
    }
    int kept = 0;
    for (int p = 0; p < guess.pageCount; ++p) {
        CodePageId page = NamedPageReadingAlike(guess.pages[p], data, count);
        bool seen = false;
        for (int k = 0; k < kept; ++k) {
            seen = seen || guess.pages[k] == page;
        }
        if (!seen) {
            guess.pages[kept++] = page;
        }
    }
    guess.pageCount = kept;
}

bool HasMark(const uint8_t* data, uint32_t count) {
    return (count >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) ||
           (count >= 2 &&
            ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) ||
           (count >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 0xFE && data[3] == 0xFF);
}

}  // namespace

void DetectFiles() {
    std::vector<WideString> arguments;
    runState.status = kStatusConverted;
    if (!ReadProcessArguments(&arguments)) {
        runState.status = kStatusUsage;
        return;
    }
    bool optionsEnded = false;
    bool allRead = true;
    WideString answer;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const WideString& name = arguments[i];
        if (!optionsEnded && name == WSTR("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && name == WSTR("--detect")) {
            continue;
        }
        runState.inputName = name;
        runState.inputIsStream = name == WSTR("-");
        runState.failure = kFailureNone;
        WideString shown = runState.inputIsStream ? WSTR("-") : name;
        if (LoadInput()) {
            const uint8_t* data = runState.workBuffer.readCursor;
            PageGuess guess = GuessPage(data, runState.inputByteCount);
            NameGuessedPages(guess, data, runState.inputByteCount);
            answer += shown + WSTR(": ") + Describe(guess, HasMark(data, runState.inputByteCount)) +
                      WSTR("\n");
            ReleaseWorkBuffer();
        } else if (runState.failure == kFailureInputEmpty) {
            answer += shown + WSTR(": empty\n");
        } else {
            WriteMessageText(kStreamMessages, (WSTR("cannot read ") + shown + WSTR(": ") +
                                               (runState.failure == kFailureInputNotFile
                                                    ? WideString(WSTR("not a regular file"))
                                                    : SystemErrorText(runState.failureError)) +
                                               WSTR("\n"))
                                                  .c_str());
            runState.failure = kFailureNone;
            allRead = false;
        }
    }
    // A load that failed set its own status; the run's is whether every file was read.
    runState.status = allRead ? kStatusConverted : kStatusInputFailed;
    if (!WriteMessageText(kStreamAnswer, answer.c_str())) {
        runState.status = kStatusOutputFailed;
    }
}
