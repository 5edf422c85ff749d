// The run's byte code pages as tables, so that the routes convert without a platform call per
// character. Every entry comes from the platform's bulk service, which answers exactly as single
// calls for one byte or one unit would (the tests compare them for every byte and unit).
#pragma once

#include <cstdint>

#include "src/platform/platform.h"
#include "src/transcode/codecs/surrogate_pairs.h"

// What each byte of the source page becomes in each target form ("?" where the platform cannot
// convert the byte). UTF-8 entries hold the bytes in their low 24 bits and the count on top.
struct SourcePageTable {
    WCHAR units[256];
    uint32_t utf8[256];
    uint32_t codePoints[256];
    // Through the target page, for a copy between two pages: the byte in the low 8 bits, and
    // from bit 16 on 1 when that byte is a "?" that replaces the source byte, so that the
    // entries of several bytes can be added and their count taken at once.
    uint32_t targetBytes[256];
    // The byte stands for "?" itself; a "?" written for any other byte replaces it.
    bool readsQuestion[256];
    // Every ASCII byte stands for that same unit (true for the usual pages), which lets runs of
    // ASCII pass through unchanged.
    bool keepsAscii;
};

// The target page, filled 256 units at a time as units turn up. `multiByte` is for text from
// UTF-8 (the size is asked first, so a unit may take several bytes), `singleByte` for text from
// UTF-16 and UTF-32 (room for one byte only).
struct TargetPageTable {
    UINT codePage;
    bool filled[256];
    // Filled, and every unit there written as one byte (true throughout for the usual pages).
    bool oneByte[256];
    uint32_t multiByte[65536];  // bytes in the low 24 bits, count on top; kUnitNeedsCall
    uint8_t singleByte[65536];
    // Every ASCII unit is written as that same byte (true for the usual pages).
    bool keepsAscii;
};

constexpr uint32_t kReplacedShift = 16;

// A unit that takes four bytes or more in the target page: the tables do not hold it, and the
// route asks the platform itself.
constexpr uint32_t kUnitNeedsCall = 0;
// The entry of a unit written as "?".
constexpr uint32_t kReplacementEntry = kReplacementChar | (1u << 24);

extern SourcePageTable sourcePage;
extern TargetPageTable targetPage;

// Called once per conversion, before any lookup: the target page first, when there is one, and
// then the source page, whose `targetBytes` go through the target page when `throughTarget`.
void LoadTargetPage(UINT target);
void LoadSourcePage(UINT source, bool throughTarget);

void FillTargetBlock(uint32_t block);

inline uint32_t TargetUnitBytes(WCHAR unit) {
    if (!targetPage.filled[unit >> 8]) {
        FillTargetBlock(unit >> 8);
    }
    return targetPage.multiByte[unit];
}

inline uint8_t TargetUnitByte(WCHAR unit) {
    if (!targetPage.filled[unit >> 8]) {
        FillTargetBlock(unit >> 8);
    }
    return targetPage.singleByte[unit];
}
