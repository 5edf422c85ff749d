// UTF-8 into UTF-8 for a text the guess read as UTF-8 but for a few stray bytes: those become
// "?" and are counted, as into any other form, instead of passing into the output unchanged.
// Only such a text takes this step; a source named UTF-8 is copied as it stands.
#pragma once

#include <cstdint>
#include <cstring>

#include "src/state/replacements.h"
#include "src/transcode/codecs/buffer_units.h"
#include "src/transcode/codecs/utf8_char.h"

// A character is copied as its bytes stand; a sequence that is no character becomes one "?".
inline void StepUtf8ToUtf8(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    WCHAR units[2];
    bool refused = false;
    uint32_t consumed = DecodeUtf8Char(read, units, [&] { refused = true; });
    if (refused) {
        write = StoreByte(write, kReplacementChar);
        ++counts.unreadable;
    } else {
        std::memmove(write, read, consumed);
        write += consumed;
    }
    read += consumed;
}
