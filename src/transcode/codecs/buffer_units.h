// UTF-16 and UTF-32 units as they lie in the WorkBuffer: always little-endian, at any address.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/platform/platform.h"
#include "src/transcode/codecs/surrogate_pairs.h"

inline WCHAR LoadUnit16(const uint8_t* at) {
    return static_cast<WCHAR>(at[0] | (at[1] << 8));
}

inline uint32_t LoadUnit32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

// Each store returns the position behind what it wrote.
inline uint8_t* StoreUnit16(uint8_t* at, uint32_t unit) {
    at[0] = static_cast<uint8_t>(unit);
    at[1] = static_cast<uint8_t>(unit >> 8);
    return at + 2;
}

inline uint8_t* StoreUnit32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
    return at + 4;
}

inline uint8_t* StoreByte(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    return at + 1;
}

// Whether a whole unit of `width` bytes lies between `read` and `end`; a UTF-16 or UTF-32
// source named with an odd size ends in a partial unit, which no route reads as a unit.
inline bool HoldsWholeUnit(const uint8_t* read, const uint8_t* end, uint32_t width) {
    return static_cast<size_t>(end - read) >= width;
}
