// One character between UTF-8 bytes and UTF-16 units. Overlong forms, encoded surrogates and
// four-byte forms outside the planes are taken as their bits give them; only a bad lead byte or
// a missing continuation byte is refused, and then only the lead byte is consumed.
#pragma once

#include <cstdint>

#include "src/transcode/codecs/surrogate_pairs.h"

inline bool IsContinuationByte(uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// Reads bytes[0] and, as the lead byte asks, up to three more; four bytes must be readable (the
// zero bytes behind the input stop a cut-off sequence, since zero is no continuation byte).
// Writes units[0], and units[1] only when it returns 4. Returns the bytes consumed, 1 to 4.
// `refused()` runs for a lead byte it cannot read, on that path alone: the routes count the "?"
// written for it there, so that ordinary characters pay nothing for the count.
template <typename Refused>
inline uint32_t DecodeUtf8Char(const uint8_t* bytes, WCHAR* units, Refused refused) {
    uint32_t b0 = bytes[0];
    if (b0 < 0x80) {
        units[0] = static_cast<WCHAR>(b0);
        return 1;
    }
    if ((b0 & 0xE0) == 0xC0) {
        if (IsContinuationByte(bytes[1])) {
            units[0] = static_cast<WCHAR>(((b0 & 0x1F) << 6) | (bytes[1] & 0x3F));
            return 2;
        }
    } else if ((b0 & 0xF0) == 0xE0) {
        if (IsContinuationByte(bytes[1]) && IsContinuationByte(bytes[2])) {
            units[0] = static_cast<WCHAR>(((b0 & 0x0F) << 12) | ((bytes[1] & 0x3F) << 6) |
                                          (bytes[2] & 0x3F));
            return 3;
        }
    } else if ((b0 & 0xF8) == 0xF0) {
        if (IsContinuationByte(bytes[1]) && IsContinuationByte(bytes[2]) &&
            IsContinuationByte(bytes[3])) {
            uint32_t cp = ((b0 & 0x07) << 18) | ((bytes[1] & 0x3FU) << 12) |
                          ((bytes[2] & 0x3FU) << 6) | (bytes[3] & 0x3FU);
            SplitPair(cp, units);
            return 4;
        }
    }
    refused();
    units[0] = static_cast<WCHAR>(kReplacementChar);
    return 1;
}

inline uint32_t DecodeUtf8Char(const uint8_t* bytes, WCHAR* units) {
    return DecodeUtf8Char(bytes, units, [] {});
}

// Whether the character DecodeUtf8Char read from `bytes` in `consumed` bytes is a "?" (the
// plain byte or a longer form of it); the "?" it gives for bytes it cannot read is none.
inline bool IsUtf8Question(const uint8_t* bytes, uint32_t consumed, const WCHAR* units) {
    return units[0] == kReplacementChar && (consumed != 1 || bytes[0] == kReplacementChar);
}

// Whether the first unit DecodeUtf8Char gave from `consumed` bytes is half a surrogate pair
// standing alone, which no character is: a surrogate written in three bytes, or the low unit
// that begins a four-byte form above the planes. The high unit of a four-byte pair is a character.
inline bool IsLoneSurrogateRead(WCHAR first, uint32_t consumed) {
    return IsSurrogate(first) && !(consumed == 4 && IsHighSurrogate(first));
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
