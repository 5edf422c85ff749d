// One character of each conversion route, converted exactly as the per-character routes do it,
// but without the flush test: the fast routes use these wherever no wider path applies. Each
// moves `read` past the character and `write` past its output, and adds to `replaced` when it
// wrote "?" for a character that was no "?". Code page characters come from the run's tables;
// the few that the tables do not hold are left to the routes' own calls.
#pragma once

#include <cstdint>

#include "src/transcode/buffer_units.h"
#include "src/transcode/code_page_tables.h"
#include "src/transcode/utf8_char.h"

inline void StepUtf8ToUtf16(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    WCHAR units[2];
    uint32_t consumed = DecodeUtf8Char(read, units);
    write = StoreUnit16(write, units[0]);
    if (consumed == 4) {
        write = StoreUnit16(write, units[1]);
    }
    if (units[0] == kReplacementChar) [[unlikely]] {
        replaced += !IsUtf8Question(read, consumed, units);
    }
    read += consumed;
}

inline void StepUtf8ToUtf32(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    WCHAR units[2];
    uint32_t consumed = DecodeUtf8Char(read, units);
    if (consumed != 4) {
        units[1] = 0;
    }
    uint32_t codePoint;
    CombineSurrogates(units, &codePoint);
    write = StoreUnit32(write, codePoint);
    if (codePoint == kReplacementChar) [[unlikely]] {
        replaced += !IsUtf8Question(read, consumed, units);
    }
    read += consumed;
}

// False, with nothing consumed, for a unit whose bytes the table does not hold.
inline bool StepUtf8ToCodePage(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    WCHAR units[2];
    uint32_t consumed = DecodeUtf8Char(read, units);
    uint32_t entry = TargetUnitBytes(units[0]);
    if (entry == kUnitNeedsCall) {
        return false;
    }
    StoreUnit32(write, entry);
    write += entry >> 24;
    if (entry == kReplacementEntry) [[unlikely]] {
        replaced += !IsUtf8Question(read, consumed, units);
    }
    read += consumed;
    return true;
}

// The UTF-16 and UTF-32 steps expect at least one whole unit before `end`; a trailing partial
// unit is left to the per-character routes.
inline void StepUtf16ToUtf8(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    WCHAR units[2] = {LoadUnit16(read), LoadUnit16(read + 2)};
    uint32_t count = EncodeUtf8Char(units, write);
    if (write[0] == kReplacementChar) [[unlikely]] {
        replaced += units[0] != kReplacementChar;
    }
    write += count;
    read += count == 4 ? 4 : 2;
}

inline void StepUtf16ToUtf32(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    WCHAR units[2] = {LoadUnit16(read), LoadUnit16(read + 2)};
    uint32_t codePoint;
    read += 2 * CombineSurrogates(units, &codePoint);
    write = StoreUnit32(write, codePoint);
    if (codePoint == kReplacementChar) [[unlikely]] {
        replaced += units[0] != kReplacementChar;
    }
}

// Only the first unit of a pair reaches the code page; its low surrogate is stepped over.
inline void StepUtf16ToCodePage(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    WCHAR unit = LoadUnit16(read);
    bool pair = IsHighSurrogate(unit) && IsLowSurrogate(LoadUnit16(read + 2));
    uint8_t byte = TargetUnitByte(unit);
    write = StoreByte(write, byte);
    if (byte == kReplacementChar) [[unlikely]] {
        replaced += unit != kReplacementChar;
    }
    read += pair ? 4 : 2;
}

inline void StepUtf32ToUtf8(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    WCHAR units[2];
    uint32_t value = LoadUnit32(read);
    if (SplitCodePoint(value, units) == 1) {
        units[1] = 0;
    }
    uint32_t count = EncodeUtf8Char(units, write);
    if (write[0] == kReplacementChar) [[unlikely]] {
        replaced += value != kReplacementChar;
    }
    write += count;
    read += 4;
}

inline void StepUtf32ToUtf16(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    WCHAR units[2];
    uint32_t value = LoadUnit32(read);
    uint32_t count = SplitCodePoint(value, units);
    write = StoreUnit16(write, units[0]);
    if (count == 2) {
        write = StoreUnit16(write, units[1]);
    }
    if (units[0] == kReplacementChar) [[unlikely]] {
        replaced += value != kReplacementChar;
    }
    read += 4;
}

inline void StepUtf32ToCodePage(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    WCHAR units[2];
    uint32_t value = LoadUnit32(read);
    SplitCodePoint(value, units);
    uint8_t byte = TargetUnitByte(units[0]);
    write = StoreByte(write, byte);
    if (byte == kReplacementChar) [[unlikely]] {
        replaced += value != kReplacementChar;
    }
    read += 4;
}

inline void StepCodePageToUtf8(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    uint8_t byte = *read++;
    uint32_t entry = sourcePage.utf8[byte];
    StoreUnit32(write, entry);
    write += entry >> 24;
    // The first byte of a longer sequence is never "?".
    if (static_cast<uint8_t>(entry) == kReplacementChar) [[unlikely]] {
        replaced += !sourcePage.readsQuestion[byte];
    }
}

inline void StepCodePageToUtf16(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    uint8_t byte = *read++;
    WCHAR unit = sourcePage.units[byte];
    write = StoreUnit16(write, unit);
    if (unit == kReplacementChar) [[unlikely]] {
        replaced += !sourcePage.readsQuestion[byte];
    }
}

inline void StepCodePageToUtf32(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    uint8_t byte = *read++;
    uint32_t codePoint = sourcePage.codePoints[byte];
    write = StoreUnit32(write, codePoint);
    if (codePoint == kReplacementChar) [[unlikely]] {
        replaced += !sourcePage.readsQuestion[byte];
    }
}

inline void StepCodePageToCodePage(const uint8_t*& read, uint8_t*& write, uint64_t& replaced) {
    uint32_t entry = sourcePage.targetBytes[*read++];
    write = StoreByte(write, entry);
    replaced += entry >> kReplacedShift;
}
