// UTF-16 surrogate pairs and 32-bit code points. The arithmetic itself checks no range (a value
// above U+10FFFF would split into whatever its bits give, truncated to 16 bits); the routes hand
// it characters only, having read anything else as "?" (IsCharacterValue).
#pragma once

#include <cstdint>

#include "src/platform/platform.h"

// Written wherever a character cannot be read or represented: one byte, unit or 32-bit value.
constexpr uint32_t kReplacementChar = 0x3F;

inline bool IsHighSurrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool IsLowSurrogate(uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
inline bool IsSurrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

// Whether a UTF-32 value is a character: no surrogate, and not above the planes.
inline bool IsCharacterValue(uint32_t value) {
    return value < 0xD800 || (value >= 0xE000 && value <= 0x10FFFF);
}

inline uint32_t CombinePair(uint32_t high, uint32_t low) {
    return (high - 0xD800) * 1024 + (low - 0xDC00) + 0x10000;
}

// Both units keep only their low 16 bits: from U+A10000 on the high unit wraps past FFFF.
inline void SplitPair(uint32_t codePoint, WCHAR* units) {
    uint32_t v = codePoint - 0x10000;
    units[0] = static_cast<WCHAR>((0xD800 + (v >> 10)) & 0xFFFF);
    units[1] = static_cast<WCHAR>((0xDC00 + (v & 0x3FF)) & 0xFFFF);
}

// Reads units[0] and, only when it is a high surrogate, units[1]. Returns the units consumed.
// `unpaired()` runs, on that path alone, for a surrogate that forms no pair and becomes "?".
template <typename Unpaired>
inline uint32_t CombineSurrogates(const WCHAR* units, uint32_t* codePoint, Unpaired unpaired) {
    uint32_t u = units[0];
    if (!IsSurrogate(u)) {
        *codePoint = u;
        return 1;
    }
    if (IsHighSurrogate(u) && IsLowSurrogate(units[1])) {
        *codePoint = CombinePair(u, units[1]);
        return 2;
    }
    unpaired();
    *codePoint = kReplacementChar;
    return 1;
}

inline uint32_t CombineSurrogates(const WCHAR* units, uint32_t* codePoint) {
    return CombineSurrogates(units, codePoint, [] {});
}

// Writes one unit (values up to FFFF, surrogate values included) or a pair; returns the count.
inline uint32_t SplitCodePoint(uint32_t codePoint, WCHAR* units) {
    if (codePoint <= 0xFFFF) {
        units[0] = static_cast<WCHAR>(codePoint);
        return 1;
    }
    SplitPair(codePoint, units);
    return 2;
}
