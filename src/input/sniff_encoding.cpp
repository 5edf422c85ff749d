#include "src/input/sniff_encoding.h"

#include <cstring>

namespace {

struct Guess {
    CodePageId cp;
    RunStatus status;
};

constexpr Guess kUtf8 = {static_cast<CodePageId>(CP_UTF8), kStatusFoundUtf8};
constexpr Guess kAnsi = {static_cast<CodePageId>(CP_ACP), kStatusFoundAnsi};
constexpr Guess kUtf16le = {CP_UTF16LE, kStatusFoundUtf16le};
constexpr Guess kUtf16be = {CP_UTF16BE, kStatusFoundUtf16be};
constexpr Guess kUtf32le = {CP_UTF32LE, kStatusFoundUtf32le};
constexpr Guess kUtf32be = {CP_UTF32BE, kStatusFoundUtf32be};

// A zero pair at an even offset: ASCII in UTF-32 puts it at 2 mod 4 when little-endian and at
// 0 mod 4 when big-endian. Pairs at odd offsets are not looked at.
bool GuessUtf32(const uint8_t* data, uint32_t count, Guess* guess) {
    for (uint32_t i = 0; i + 1 < count; i += 2) {
        if (data[i] == 0 && data[i + 1] == 0) {
            *guess = i % 4 != 0 ? kUtf32le : kUtf32be;
            return true;
        }
    }
    return false;
}

// The first zero byte is the high half of an ASCII character: odd offset little-endian.
bool GuessUtf16(const uint8_t* data, uint32_t count, Guess* guess) {
    const void* zero = std::memchr(data, 0, count);
    if (zero == nullptr) {
        return false;
    }
    uint32_t at = static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - data);
    *guess = at % 2 != 0 ? kUtf16le : kUtf16be;
    return true;
}

// Walks to the first zero byte (at the data's end at the latest, where the terminators are);
// UTF-8 only when a well-formed multi-byte sequence was seen and nothing ill-formed.
Guess WalkUtf8(const uint8_t* at) {
    bool sawSequence = false;
    while (*at != 0) {
        uint8_t lead = *at++;
        int following = 0;
        if (lead < 0x80) {
            continue;
        } else if (lead >= 0xC0 && lead <= 0xDF) {
            following = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            following = 2;
        } else if (lead >= 0xF0 && lead <= 0xF7) {
            following = 3;
        } else {
            return kAnsi;
        }
        for (; following > 0; --following, ++at) {
            if (*at < 0x80 || *at > 0xBF) {
                return kAnsi;
            }
        }
        sawSequence = true;
    }
    return sawSequence ? kUtf8 : kAnsi;
}

Guess Sniff(const uint8_t* first, uint32_t count) {
    Guess guess = kAnsi;
    if (count != 0 && count % 4 == 0 && GuessUtf32(first, count, &guess)) {
        return guess;
    }
    if (count != 0 && count % 2 == 0 && GuessUtf16(first, count, &guess)) {
        return guess;
    }
    return WalkUtf8(first);
}

}  // namespace

CodePageId SniffEncoding(const uint8_t* first) {
    runState.status = kStatusFoundAnsi;
    Guess guess = Sniff(first, runState.inputByteCount);
    runState.status = guess.status;
    return guess.cp;
}
