// The byte order marks of the Unicode targets, all windows of one 11-byte constant.
#pragma once

#include <cstdint>

#include "src/state/code_pages.h"

constexpr uint8_t kOutputMarks[11] = {0xEF, 0xBB, 0xBF, 0xFF, 0xFE, 0xFF,
                                      0xFE, 0x00, 0x00, 0xFE, 0xFF};

struct OutputMark {
    const uint8_t* bytes;
    uint32_t length;  // 0 for a target without a mark
};

inline OutputMark OutputMarkOf(CodePageId target) {
    switch (target) {
        case static_cast<CodePageId>(CP_UTF8):
            return {kOutputMarks, 3};
        case CP_UTF16LE:
            return {kOutputMarks + 3, 2};
        case CP_UTF16BE:
            return {kOutputMarks + 4, 2};
        case CP_UTF32LE:
            return {kOutputMarks + 5, 4};
        case CP_UTF32BE:
            return {kOutputMarks + 7, 4};
        default:
            return {kOutputMarks, 0};
    }
}
