// One character of each conversion route, converted exactly as the per-character routes do it,
// but without the flush test: the fast routes use these wherever no wider path applies. Each
// moves `read` past the character and `write` past its output. Code page characters come from
// the run's tables; the few that the tables do not hold are left to the routes' own calls.
#pragma once

#include <cstdint>

#include "src/transcode/buffer_units.h"
#include "src/transcode/code_page_tables.h"
#include "src/transcode/utf8_char.h"

inline void StepUtf8ToUtf16(const uint8_t*& read, uint8_t*& write) {
    WCHAR units[2];
    uint32_t consumed = DecodeUtf8Char(read, units);
    write = StoreUnit16(write, units[0]);
    if (consumed == 4) {
        write = StoreUnit16(write, units[1]);
    }
    read += consumed;
}

inline void StepUtf8ToUtf32(const uint8_t*& read, uint8_t*& write) {
    WCHAR units[2];
    uint32_t consumed = DecodeUtf8Char(read, units);
    if (consumed != 4) {
        units[1] = 0;
    }
    uint32_t codePoint;
    CombineSurrogates(units, &codePoint);
    write = StoreUnit32(write, codePoint);
    read += consumed;
}

// False, with nothing consumed, for a unit whose bytes the table does not hold.
inline bool StepUtf8ToCodePage(const uint8_t*& read, uint8_t*& write) {
    WCHAR units[2];
    uint32_t consumed = DecodeUtf8Char(read, units);
    uint32_t entry = TargetUnitBytes(units[0]);
    if (entry == kUnitNeedsCall) {
        return false;
    }
    StoreUnit32(write, entry);
    write += entry >> 24;
    read += consumed;
    return true;
}

// The UTF-16 and UTF-32 steps expect at least one whole unit before `end`; a trailing partial
// unit is left to the per-character routes.
inline void StepUtf16ToUtf8(const uint8_t*& read, uint8_t*& write) {
    WCHAR units[2] = {LoadUnit16(read), LoadUnit16(read + 2)};
    uint32_t count = EncodeUtf8Char(units, write);
    write += count;
    read += count == 4 ? 4 : 2;
}

inline void StepUtf16ToUtf32(const uint8_t*& read, uint8_t*& write) {
    WCHAR units[2] = {LoadUnit16(read), LoadUnit16(read + 2)};
    uint32_t codePoint;
    read += 2 * CombineSurrogates(units, &codePoint);
    write = StoreUnit32(write, codePoint);
}

// Only the first unit of a pair reaches the code page; its low surrogate is stepped over.
inline void StepUtf16ToCodePage(const uint8_t*& read, uint8_t*& write) {
    WCHAR unit = LoadUnit16(read);
    bool pair = IsHighSurrogate(unit) && IsLowSurrogate(LoadUnit16(read + 2));
    write = StoreByte(write, TargetUnitByte(unit));
    read += pair ? 4 : 2;
}

inline void StepUtf32ToUtf8(const uint8_t*& read, uint8_t*& write) {
    WCHAR units[2];
    if (SplitCodePoint(LoadUnit32(read), units) == 1) {
        units[1] = 0;
    }
    write += EncodeUtf8Char(units, write);
    read += 4;
}

inline void StepUtf32ToUtf16(const uint8_t*& read, uint8_t*& write) {
    WCHAR units[2];
    uint32_t count = SplitCodePoint(LoadUnit32(read), units);
    write = StoreUnit16(write, units[0]);
    if (count == 2) {
        write = StoreUnit16(write, units[1]);
    }
    read += 4;
}

inline void StepUtf32ToCodePage(const uint8_t*& read, uint8_t*& write) {
    WCHAR units[2];
    SplitCodePoint(LoadUnit32(read), units);
    write = StoreByte(write, TargetUnitByte(units[0]));
    read += 4;
}

inline void StepCodePageToUtf8(const uint8_t*& read, uint8_t*& write) {
    uint32_t entry = sourcePage.utf8[*read++];
    StoreUnit32(write, entry);
    write += entry >> 24;
}

inline void StepCodePageToUtf16(const uint8_t*& read, uint8_t*& write) {
    write = StoreUnit16(write, sourcePage.units[*read++]);
}

inline void StepCodePageToUtf32(const uint8_t*& read, uint8_t*& write) {
    write = StoreUnit32(write, sourcePage.codePoints[*read++]);
}

inline void StepCodePageToCodePage(const uint8_t*& read, uint8_t*& write) {
    write = StoreByte(write, sourcePage.targetBytes[*read++]);
}
