#include "src/transcode/first_loss.h"

#include <utility>

#include "src/transcode/codecs/code_page_tables.h"
#include "src/transcode/plain/character_steps.h"
#include "src/transcode/transcode_buffer.h"

namespace {

// Rows: source family; columns: target family; nullptr where the route copies and loses nothing.
// UTF-8 into UTF-8 loses what the decoder refuses, as into UTF-16.
const RouteCharacter kCharacters[4][4] = {
    {WholeCharacter<StepUtf8ToUtf16>, WholeCharacter<StepUtf8ToUtf16>,
     WholeCharacter<StepUtf8ToUtf32>, Utf8ToCodePageCharacter},
    {UnitCharacter<2, StoreByte, StepUtf16ToUtf8>, nullptr,
     UnitCharacter<2, StoreUnit32, StepUtf16ToUtf32>,
     UnitCharacter<2, StoreByte, StepUtf16ToCodePage>},
    {UnitCharacter<4, StoreByte, StepUtf32ToUtf8>, UnitCharacter<4, StoreUnit16, StepUtf32ToUtf16>,
     nullptr, UnitCharacter<4, StoreByte, StepUtf32ToCodePage>},
    {WholeCharacter<StepCodePageToUtf8>, WholeCharacter<StepCodePageToUtf16>,
     WholeCharacter<StepCodePageToUtf32>, WholeCharacter<StepCodePageToCodePage>},
};

void SwapUnits(uint8_t* text, uint32_t size, uint32_t width) {
    for (uint32_t i = 0; i + width <= size; i += width) {
        for (uint32_t j = 0; j < width / 2; ++j) {
            std::swap(text[i + j], text[i + width - 1 - j]);
        }
    }
}

// The first unit of the character at `read`, which tells a line end.
uint32_t FirstUnit(const uint8_t* read, EncodingFamily family) {
    switch (family) {
        case kFamilyUtf16:
            return LoadUnit16(read);
        case kFamilyUtf32:
            return LoadUnit32(read);
        case kFamilyCodePage:
            return sourcePage.units[*read];
        default:
            return *read;
    }
}

uint64_t Lost(const Replacements& counts) {
    return counts.unreadable + counts.missing + counts.similar;
}

}  // namespace

bool FindFirstLoss(uint8_t* text, uint32_t size, CodePageId source, CodePageId target,
                   TextPosition* at) {
    EncodingFamily from = FamilyOf(source);
    EncodingFamily to = FamilyOf(target);
    RouteCharacter character = kCharacters[from][to];
    if (character == nullptr || (from == kFamilyCodePage && source == target)) {
        return false;
    }
    if (source == CP_UTF16BE || source == CP_UTF32BE) {
        SwapUnits(text, size, source == CP_UTF16BE ? 2 : 4);
    }
    if (to == kFamilyCodePage) {
        LoadTargetPage(static_cast<UINT>(target));
    }
    if (from == kFamilyCodePage) {
        LoadSourcePage(static_cast<UINT>(source), to == kFamilyCodePage);
    }
    const uint8_t* read = text;
    const uint8_t* end = text + size;
    Replacements counts{};
    TextPosition here = {1, 1};
    bool afterCr = false;
    while (read != end) {
        uint32_t unit = FirstUnit(read, from);
        // Room for the most any one character writes.
        uint8_t scratch[2 * kFlushMargin];
        uint8_t* write = scratch;
        character(read, end, write, counts);
        if (Lost(counts) > 0) {
            *at = here;
            return true;
        }
        if (unit == '\n' && afterCr) {
            afterCr = false;
        } else if (unit == '\n' || unit == '\r') {
            here = {here.line + 1, 1};
            afterCr = unit == '\r';
        } else {
            ++here.column;
            afterCr = false;
        }
    }
    return false;
}
