// The run's byte code pages as tables, so that the routes convert without a platform call per
// character. Every entry comes from the platform's bulk service, which answers exactly as single
// calls for one byte or one unit would (the tests compare them for every byte and unit).
#pragma once

#include <cstdint>

#include "src/platform/platform.h"
#include "src/state/replacements.h"
#include "src/transcode/codecs/surrogate_pairs.h"

// The private-use area of the Basic Multilingual Plane.
constexpr WCHAR kFirstPrivateUse = 0xE000;
constexpr WCHAR kLastPrivateUse = 0xF8FF;

// What each byte of the source page becomes in each target form ("?" where the platform cannot
// convert the byte). UTF-8 entries hold the bytes in their low 24 bits and their count in
// `utf8Length`. The `...Unreadable` entries are 1 where that form gets a "?" for a byte the page
// cannot read (a "?" the byte stands for is none), 0 elsewhere: the loops add them for every
// byte, which costs one addition and no test. Lengths and flags are 64-bit so that each is added
// to the write position or the count straight from the table.
struct SourcePageTable {
    WCHAR units[256];
    uint32_t utf8[256];
    uint32_t codePoints[256];
    uint64_t utf8Length[256];
    uint64_t unitUnreadable[256];
    uint64_t utf8Unreadable[256];
    uint64_t codePointUnreadable[256];
    // Through the target page, for a copy between two pages: the byte in the low 8 bits, and the
    // flags of the counts above it (from kUnreadableShift on), so that the entries of up to
    // kFlagsSummed bytes can be added and their counts taken at once.
    uint32_t targetBytes[256];
    // The byte stands for "?" itself; a "?" written for any other byte replaces it.
    bool readsQuestion[256];
    // Every ASCII byte stands for that same unit (true for the usual pages), which lets runs of
    // ASCII pass through unchanged.
    bool keepsAscii;
    // The bytes the page reads as a private-use character (U+E000 to U+F8FF), lowest first: on
    // several pages the bytes it leaves undefined, on a few a character of its own that Unicode
    // has no place for. A Unicode target keeps such a character, which only a reader that knows
    // the page's private convention shows as anything.
    uint8_t privateUseBytes[256];
    int privateUseCount;
};

// The target page, filled unit by unit as units turn up: a short text asks the platform only
// about the units it holds. `multiByte` is for text from UTF-8 (the size is asked first, so a
// unit may take several bytes), `singleByte` for text from UTF-16 and UTF-32 (room for one byte
// only).
struct TargetPageTable {
    UINT codePage;
    // The platform was asked about the unit for this page; `blockAsked` says which blocks of 256
    // units hold any such unit, which are the ones to clear for the next page.
    bool asked[65536];
    bool blockAsked[256];
    // Bytes in the low 24 bits, count on top. An entry below kFirstSizedEntry takes the rare
    // path of the loops: a unit not asked about yet or one the tables do not hold (both 0), one
    // written as "?" that replaces it (kReplacedEntry), or one written as a similar character
    // (kSimilarEntry), whose bytes `similarBytes` holds. Ordinary units so pass a single test.
    uint32_t multiByte[65536];
    uint32_t similarBytes[65536];
    // The byte in the low 8 bits; kSingleReplaced or kSingleSimilar above it send the unit to
    // the rare path, which counts it.
    uint16_t singleByte[65536];
    // Every ASCII unit is written as that same byte (true for the usual pages).
    bool keepsAscii;
    // A UTF-8 lead byte that cannot be read is written as the page's entry for "?": 1 when that
    // entry is the one byte "?", which then counts as unreadable, else 0.
    uint64_t refusedReplaced;
};

// The counts' flags in `targetBytes`, each in a field of five bits: the bytes of kFlagsSummed
// entries add up to less than 1 << kUnreadableShift, and their flags to at most kFlagsSummed in
// each field.
constexpr int kFlagsSummed = 16;
constexpr uint32_t kUnreadableShift = 16;
constexpr uint32_t kMissingShift = 21;
constexpr uint32_t kSimilarShift = 26;
constexpr uint32_t kFlagField = 31;
constexpr uint32_t kFirstFlag = 1u << kUnreadableShift;

// Adds the counts of one entry of `targetBytes`, or of up to kFlagsSummed of them added up.
inline void AddTargetFlags(Replacements& counts, uint32_t entries) {
    counts.unreadable += (entries >> kUnreadableShift) & kFlagField;
    counts.missing += (entries >> kMissingShift) & kFlagField;
    counts.similar += entries >> kSimilarShift;
}

// A unit that takes four bytes or more in the target page: the tables do not hold it, and the
// route asks the platform itself. An entry not filled yet reads the same.
constexpr uint32_t kUnitNeedsCall = 0;
// The entry of a unit written as "?": the unit "?" itself, or (kReplacedEntry) any other, whose
// "?" replaces it and is counted. The second has no count on top, which sends it to the rare path.
constexpr uint32_t kReplacementEntry = kReplacementChar | (1u << 24);
constexpr uint32_t kReplacedEntry = kReplacementChar;
constexpr uint32_t kSimilarEntry = 1;
constexpr uint32_t kFirstSizedEntry = 1u << 24;

constexpr uint16_t kSingleReplaced = 1u << 8;
constexpr uint16_t kSingleSimilar = 2u << 8;

extern SourcePageTable sourcePage;
extern TargetPageTable targetPage;

// kFlagsSummed bytes of the source page into the target page's bytes through `targetBytes`, their
// entries added up and their flags tested once: the tightest loop there is, where one more
// instruction per byte would show.
inline void TargetBytesRound(const uint8_t* read, uint8_t* w, Replacements& counts) {
    uint32_t sum = 0;
    for (int i = 0; i < kFlagsSummed; ++i) {
        uint32_t entry = sourcePage.targetBytes[read[i]];
        w[i] = static_cast<uint8_t>(entry);
        sum += entry;
    }
    if (sum >= kFirstFlag) [[unlikely]] {
        AddTargetFlags(counts, sum);
    }
}

// Called once per conversion, before any lookup: the target page first, when there is one, and
// then the source page, whose `targetBytes` go through the target page when `throughTarget`.
void LoadTargetPage(UINT target);
void LoadSourcePage(UINT source, bool throughTarget);

// Asks the platform about `count` units from `first` on (none asked before) in one call.
void FillTargetUnits(uint32_t first, uint32_t count);

inline uint32_t TargetUnitBytes(WCHAR unit) {
    if (!targetPage.asked[unit]) {
        FillTargetUnits(unit, 1);
    }
    return targetPage.multiByte[unit];
}

// The byte in the low 8 bits, and kSingleReplaced or kSingleSimilar above it.
inline uint32_t TargetUnitByte(WCHAR unit) {
    if (!targetPage.asked[unit]) {
        FillTargetUnits(unit, 1);
    }
    return targetPage.singleByte[unit];
}
