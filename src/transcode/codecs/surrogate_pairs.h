// UTF-16 surrogate pairs and 32-bit code points. Lenient on purpose: nothing is range-checked,
// so values above U+10FFFF split into whatever their bits give, truncated to 16 bits.
#pragma once

#include <cstdint>

#include "src/platform/platform.h"

// Written wherever a character cannot be read or represented: one byte, unit or 32-bit value.
constexpr uint32_t kReplacementChar = 0x3F;

// Each route counts into replacedCount the characters it writes as "?" that stand for no "?" of
// the input: what could not be read, and what the target cannot hold. The hot steps count where
// the "?" is made (the failure paths of the decoders and encoders, the rare path of the target
// table) or add a table's flag for every byte, so that ordinary text pays no test for the count.
// CountReplacement serves the steps off the hot paths: `wroteReplacement` says whether one
// character was written as "?"; `readQuestion()` whether that character was a "?", asked only
// then.
template <typename ReadQuestion>
inline void CountReplacement(uint64_t& replaced, bool wroteReplacement, ReadQuestion readQuestion) {
    if (wroteReplacement) [[unlikely]] {
        replaced += !readQuestion();
    }
}

inline bool IsHighSurrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool IsLowSurrogate(uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
inline bool IsSurrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
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
