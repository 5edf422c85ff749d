#include "src/transcode/codecs/code_page_tables.h"

#include <cstring>

#include "src/transcode/codecs/surrogate_pairs.h"
#include "src/transcode/codecs/utf8_char.h"

SourcePageTable sourcePage;
TargetPageTable targetPage;

static bool TargetKeepsAscii() {
    // Nearly every text holds ASCII: its units are asked in one call.
    FillTargetUnits(0, 0x80);
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
    // The loops read multiByte without looking at `asked`: a unit not asked about for this
    // page must read kUnitNeedsCall again, which sends them to the rare path that asks.
    for (uint32_t block = 0; block < 256; ++block) {
        if (targetPage.blockAsked[block]) {
            std::memset(&targetPage.multiByte[block << 8], 0, 256 * sizeof(uint32_t));
            std::memset(&targetPage.asked[block << 8], 0, 256);
            targetPage.blockAsked[block] = false;
        }
    }
    targetPage.keepsAscii = TargetKeepsAscii();
    targetPage.refusedReplaced = TargetUnitBytes(kReplacementChar) == kReplacementEntry;
}

void FillTargetUnits(uint32_t first, uint32_t count) {
    CodePageUnit entries[256];
    ReadCodePageUnits(targetPage.codePage, static_cast<WCHAR>(first), static_cast<int>(count),
                      entries);
    for (uint32_t i = 0; i < count; ++i) {
        const CodePageUnit& e = entries[i];
        uint32_t unit = first + i;
        // The page has no byte for the unit itself when the bytes it wrote read back as another
        // unit: it wrote the nearest it has.
        bool exact = e.backCount == 1 && e.back == unit;
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
        // A "?" for any unit but "?" itself replaces the unit and is counted; so is a similar
        // character, on the rare path. A "?" is never the similar one.
        if (multi == kReplacementEntry) {
            multi = unit != kReplacementChar ? kReplacedEntry : kReplacementEntry;
        } else if (multi >= kFirstSizedEntry && !exact) {
            targetPage.similarBytes[unit] = multi;
            multi = kSimilarEntry;
        }
        targetPage.multiByte[unit] = multi;
        uint16_t single = e.single ? e.byte : static_cast<uint8_t>(kReplacementChar);
        if (single == kReplacementChar) {
            single |= unit != kReplacementChar ? kSingleReplaced : 0;
        } else if (!(exact && e.size == 1)) {
            single |= kSingleSimilar;
        }
        targetPage.singleByte[unit] = single;
        targetPage.asked[unit] = true;
        targetPage.blockAsked[unit >> 8] = true;
    }
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
        sourcePage.utf8[b] = utf8[0] | (utf8[1] << 8) | (utf8[2] << 16);
        sourcePage.utf8Length[b] = count;
        uint32_t codePoint;
        CombineSurrogates(units, &codePoint);
        sourcePage.codePoints[b] = codePoint;
        bool readsQuestion = bytes[b].result && unit == kReplacementChar;
        sourcePage.readsQuestion[b] = readsQuestion;
        // The first byte of a longer UTF-8 sequence is never "?".
        sourcePage.unitUnreadable[b] = unit == kReplacementChar && !readsQuestion;
        sourcePage.utf8Unreadable[b] = utf8[0] == kReplacementChar && !readsQuestion;
        sourcePage.codePointUnreadable[b] = codePoint == kReplacementChar && !readsQuestion;
        uint32_t entry = 0;
        if (throughTarget) {
            uint32_t single = TargetUnitByte(unit);
            entry = single & 0xFF;
            if (single & kSingleReplaced) {
                // A unit the source page gives that is half a surrogate pair is no character.
                entry |= 1u << (IsSurrogate(unit) ? kUnreadableShift : kMissingShift);
            } else if (single & kSingleSimilar) {
                entry |= 1u << kSimilarShift;
            } else if (!bytes[b].result && entry == kReplacementChar) {
                entry |= 1u << kUnreadableShift;
            }
        }
        sourcePage.targetBytes[b] = entry;
    }
    sourcePage.keepsAscii = SourceKeepsAscii();
    sourcePage.privateUseCount = 0;
    for (int b = 0; b < 256; ++b) {
        if (bytes[b].result && bytes[b].unit >= kFirstPrivateUse &&
            bytes[b].unit <= kLastPrivateUse) {
            sourcePage.privateUseBytes[sourcePage.privateUseCount++] = static_cast<uint8_t>(b);
        }
    }
}
