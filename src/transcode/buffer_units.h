// UTF-16 and UTF-32 units as they lie in the WorkBuffer: always little-endian, at any address.
#pragma once

#include <cstdint>

#include "src/platform/platform.h"
#include "src/transcode/surrogate_pairs.h"

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

// One UTF-16 unit into at most one byte of a code page, or "?" when the platform cannot give it.
inline uint8_t* StoreUnitAsOneByte(uint8_t* at, UINT codePage, WCHAR unit) {
    if (WideCharToMultiByte(codePage, 0, &unit, 1, reinterpret_cast<LPSTR>(at), 1, nullptr,
                            nullptr) > 0) {
        return at + 1;
    }
    return StoreByte(at, kReplacementChar);
}
