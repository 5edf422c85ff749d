#include "src/transcode/codecs/code_page_tables.h"

#include <cstring>

#include "src/transcode/codecs/surrogate_pairs.h"
#include "src/transcode/codecs/utf8_char.h"

SourcePageTable sourcePage;
TargetPageTable targetPage;

static bool TargetKeepsAscii() {
    for (uint32_t unit = 0; unit < 0x80; ++unit) {
        if (TargetUnitBytes(static_cast<WCHAR>(unit)) != (unit | (1u << 24)) ||
            TargetUnitByte(static_cast<WCHAR>(unit)) != unit) {
            return false;
        }
    }
    return true;
}

static bool SourceKeepsAscii() {
    for (uint32_t b = 0; b < 0x80; ++b) {
        // A "?" that is no readable "?" must be counted, one byte at a time.
        if (sourcePage.units[b] != b || (b == kReplacementChar && !sourcePage.readsQuestion[b])) {
            return false;
        }
    }
    return true;
}

void LoadTargetPage(UINT target) {
    targetPage.codePage = target;
    std::memset(targetPage.filled, 0, sizeof(targetPage.filled));
    std::memset(targetPage.oneByte, 0, sizeof(targetPage.oneByte));
    targetPage.keepsAscii = TargetKeepsAscii();
}

void FillTargetBlock(uint32_t block) {
    CodePageUnit entries[256];
    ReadCodePageUnits(targetPage.codePage, static_cast<WCHAR>(block << 8), 256, entries);
    bool oneByte = true;
    for (uint32_t i = 0; i < 256; ++i) {
        const CodePageUnit& e = entries[i];
        uint32_t unit = (block << 8) | i;
        // As the routes decide: no size is "?", four bytes or more go to the platform.
        uint32_t multi = kReplacementEntry;
        if (e.size >= 4) {
            multi = kUnitNeedsCall;
        } else if (e.size > 0) {
            multi = (static_cast<uint32_t>(e.size) << 24) | e.bytes[0] | (e.bytes[1] << 8) |
                    (e.bytes[2] << 16);
            // Bytes past the count are never written out; keep them clean all the same.
            multi &= 0xFF000000u | ((1u << (8 * e.size)) - 1);
        }
        targetPage.multiByte[unit] = multi;
        oneByte = oneByte && (multi >> 24) == 1;
        targetPage.singleByte[unit] = e.single ? e.byte : static_cast<uint8_t>(kReplacementChar);
    }
    targetPage.filled[block] = true;
    targetPage.oneByte[block] = oneByte;
}

void LoadSourcePage(UINT source, bool throughTarget) {
    CodePageByte bytes[256];
    ReadCodePageBytes(source, bytes);
    for (int b = 0; b < 256; ++b) {
        WCHAR unit = bytes[b].result ? bytes[b].unit : static_cast<WCHAR>(kReplacementChar);
        sourcePage.units[b] = unit;
        WCHAR units[2] = {unit, 0};
        uint8_t utf8[4] = {0, 0, 0, 0};
        uint32_t count = EncodeUtf8Char(units, utf8);
        sourcePage.utf8[b] = (count << 24) | utf8[0] | (utf8[1] << 8) | (utf8[2] << 16);
        uint32_t codePoint;
        CombineSurrogates(units, &codePoint);
        sourcePage.codePoints[b] = codePoint;
        sourcePage.readsQuestion[b] = bytes[b].result && unit == kReplacementChar;
        uint8_t target = throughTarget ? TargetUnitByte(unit) : 0;
        bool replaces = target == kReplacementChar && !sourcePage.readsQuestion[b];
        sourcePage.targetBytes[b] = target | (static_cast<uint32_t>(replaces) << kReplacedShift);
    }
    sourcePage.keepsAscii = SourceKeepsAscii();
}
