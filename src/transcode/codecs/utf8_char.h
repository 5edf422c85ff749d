// One character between UTF-8 bytes and UTF-16 units. A sequence is as long as its lead byte
// says, provided the continuation bytes it asks for follow; it is a character only as the
// shortest form of a code point up to U+10FFFF that is no surrogate. An overlong form (C0 BC for
// "<", which a filter that looks at bytes alone would let pass), an encoded surrogate (which
// would stand alone in UTF-16) and a value above U+10FFFF are consumed whole and read as one
// "?"; a bad lead byte, or one whose continuation byte is missing, is read as "?" alone.
#pragma once

#include <cstdint>

#include "src/transcode/codecs/surrogate_pairs.h"

inline bool IsContinuationByte(uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// Reads bytes[0] and, as the lead byte asks, up to three more; four bytes must be readable (the
// zero bytes behind the input stop a cut-off sequence, since zero is no continuation byte).
// Writes units[0], and units[1] only for a character above U+FFFF, whose units[0] is then a high
// surrogate: the only surrogate it ever writes. Returns the bytes consumed, 1 to 4.
// `unreadable()` runs for bytes that are no character, on that path alone: the routes count the
// "?" written for them there, so that ordinary characters pay nothing for the count.
template <typename Unreadable>
inline uint32_t DecodeUtf8Char(const uint8_t* bytes, WCHAR* units, Unreadable unreadable) {
    uint32_t b0 = bytes[0];
    if (b0 < 0x80) {
        units[0] = static_cast<WCHAR>(b0);
        return 1;
    }
    uint32_t consumed = 1;
    if ((b0 & 0xE0) == 0xC0) {
        if (IsContinuationByte(bytes[1])) {
            uint32_t cp = ((b0 & 0x1F) << 6) | (bytes[1] & 0x3F);
            if (cp >= 0x80) {
                units[0] = static_cast<WCHAR>(cp);
                return 2;
            }
            consumed = 2;
        }
    } else if ((b0 & 0xF0) == 0xE0) {
        if (IsContinuationByte(bytes[1]) && IsContinuationByte(bytes[2])) {
            uint32_t cp = ((b0 & 0x0F) << 12) | ((bytes[1] & 0x3F) << 6) | (bytes[2] & 0x3F);
            if (cp >= 0x800 && !IsSurrogate(cp)) {
                units[0] = static_cast<WCHAR>(cp);
                return 3;
            }
            consumed = 3;
        }
    } else if ((b0 & 0xF8) == 0xF0) {
        if (IsContinuationByte(bytes[1]) && IsContinuationByte(bytes[2]) &&
            IsContinuationByte(bytes[3])) {
            uint32_t cp = ((b0 & 0x07) << 18) | ((bytes[1] & 0x3FU) << 12) |
                          ((bytes[2] & 0x3FU) << 6) | (bytes[3] & 0x3FU);
            if (cp - 0x10000 <= 0x10FFFF - 0x10000) {
                SplitPair(cp, units);
                return 4;
            }
            consumed = 4;
        }
    }
    unreadable();
    units[0] = static_cast<WCHAR>(kReplacementChar);
    return consumed;
}

inline uint32_t DecodeUtf8Char(const uint8_t* bytes, WCHAR* units) {
    return DecodeUtf8Char(bytes, units, [] {});
}

// Reads units[0] and, only when it is a high surrogate, units[1] (the caller supplies 0 there
// when the character has no second unit). Writes 1 to 4 bytes and returns their count; 4 means
// two units were consumed. `unpaired()` runs, on that path alone, for a surrogate that forms no
// pair and is written as "?".
template <typename Unpaired>
inline uint32_t EncodeUtf8Char(const WCHAR* units, uint8_t* bytes, Unpaired unpaired) {
    uint32_t u = units[0];
    if (u < 0x80) {
        bytes[0] = static_cast<uint8_t>(u);
        return 1;
    }
    if (u < 0x800) {
        bytes[0] = static_cast<uint8_t>(0xC0 | (u >> 6));
        bytes[1] = static_cast<uint8_t>(0x80 | (u & 0x3F));
        return 2;
    }
    if (!IsSurrogate(u)) {
        bytes[0] = static_cast<uint8_t>(0xE0 | (u >> 12));
        bytes[1] = static_cast<uint8_t>(0x80 | ((u >> 6) & 0x3F));
        bytes[2] = static_cast<uint8_t>(0x80 | (u & 0x3F));
        return 3;
    }
    if (IsHighSurrogate(u) && IsLowSurrogate(units[1])) {
        uint32_t cp = CombinePair(u, units[1]);
        bytes[0] = static_cast<uint8_t>(0xF0 | (cp >> 18));
        bytes[1] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
        bytes[2] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        bytes[3] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
        return 4;
    }
    unpaired();
    bytes[0] = static_cast<uint8_t>(kReplacementChar);
    return 1;
}

inline uint32_t EncodeUtf8Char(const WCHAR* units, uint8_t* bytes) {
    return EncodeUtf8Char(units, bytes, [] {});
}
