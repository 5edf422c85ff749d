// The AVX-512 UTF blocks, 64 input bytes at once: a block of one- to three-byte UTF-8
// characters is decoded in every byte's lane and the lanes where a character starts are
// compressed together; UTF-16 units and UTF-32 values are encoded in 32-bit lanes whose bytes are
// compressed the same way. Anything else is left to the steps of plain/character_steps.h.
#pragma once

#if defined(__i386__) || defined(__x86_64__)

#include "src/transcode/kernels/avx512_vectors.h"
#include "src/transcode/plain/character_steps.h"

// --- From UTF-8 ------------------------------------------------------------------------------

// Where the characters of 64 UTF-8 bytes start and which kind each is, when the block holds only
// characters of one to three bytes (each the shortest form of a character that is no surrogate),
// each read as the plain decoder reads it. A character the
// block cuts off is left for the next block; `taken` says how many bytes the block keeps.
struct Utf8Shape {
    uint64_t leads2;
    uint64_t leads3;
    uint64_t starts;
    uint32_t taken;
};

AVX512 inline bool ShapeUtf8Block(const uint8_t* read, __m512i v, Utf8Shape* shape) {
    uint64_t high = _mm512_movepi8_mask(v);
    uint64_t conts = _mm512_cmpeq_epi8_mask(_mm512_and_si512(v, Bytes(0xC0)), Bytes(0x80));
    // Two-byte leads from C2 on: C0 and C1 lead only overlong forms, which are no character.
    uint64_t leads2 = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, Bytes(0xC2)), Bytes(0xE0 - 0xC2));
    uint64_t leads3 = _mm512_cmpeq_epi8_mask(_mm512_and_si512(v, Bytes(0xF0)), Bytes(0xE0));
    // Nothing above EF: four-byte leads and bytes that lead nothing or no character go the plain
    // way.
    if ((conts | leads2 | leads3) != high) {
        return false;
    }
    // Read from the last two bytes themselves, so that the next block's address waits on two
    // byte loads and not on the whole block's masks: a three-byte lead at byte 62, or any lead
    // at byte 63 (a byte above EF fails the block anyway).
    uint32_t last = read[63];
    uint32_t taken = read[62] >= 0xE0 ? 62 : last >= 0xC0 ? 63 : 64;
    uint64_t inside = LowBits(taken);
    leads2 &= inside;
    leads3 &= inside;
    // Every lead followed by as many continuations as it needs, and no other continuation: then
    // each sequence is exactly one character.
    uint64_t expected = (leads2 << 1) | (leads3 << 1) | (leads3 << 2);
    if ((expected & ~inside) != 0 || (conts & inside) != expected) {
        return false;
    }
    // Three-byte sequences that are no character go the plain way: those led by E0 with a second
    // byte below A0 (overlong), or by ED with one from A0 on (a surrogate). Text without them
    // (Latin, Greek, Cyrillic, ...) does not pay for the test.
    if (leads3 != 0) {
        __mmask64 upperNext = _mm512_cmpge_epu8_mask(Load64(read + 1), Bytes(0xA0));
        __m512i noCharacterLead = _mm512_mask_blend_epi8(upperNext, Bytes(0xE0), Bytes(0xED));
        if (_mm512_mask_cmpeq_epi8_mask(leads3, v, noCharacterLead) != 0) {
            return false;
        }
    }
    shape->leads2 = leads2;
    shape->leads3 = leads3;
    shape->starts = ~conts & inside;
    shape->taken = taken;
    return true;
}

// The block's characters as UTF-16 units: the first counts[0] lanes of units[0], then the first
// counts[1] of units[1]. Reads two bytes past the block.
AVX512 inline bool DecodeUtf8Block(const uint8_t* read, __m512i v, __m512i* units, uint32_t* counts,
                                   uint32_t* length) {
    Utf8Shape shape;
    if (!ShapeUtf8Block(read, v, &shape)) {
        return false;
    }
    uint64_t leads2 = shape.leads2;
    uint64_t leads3 = shape.leads3;
    uint64_t starts = shape.starts;
    const __m512i low6 = Halves(0x3F);
    for (int h = 0; h < 2; ++h) {
        const uint8_t* at = read + 32 * h;
        __m512i b = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)));
        __m512i n1 =
            _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1)));
        __m512i n2 =
            _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 2)));
        __m512i second = _mm512_and_si512(n1, low6);
        __m512i asTwo =
            _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(b, Halves(0x1F)), 6), second);
        // Shifting a 16-bit lane by 12 keeps exactly the lead byte's low four bits.
        __m512i asThree =
            _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi16(b, 12), _mm512_slli_epi16(second, 6)),
                            _mm512_and_si512(n2, low6));
        __m512i lanes = _mm512_mask_mov_epi16(b, static_cast<__mmask32>(leads2 >> (32 * h)), asTwo);
        lanes = _mm512_mask_mov_epi16(lanes, static_cast<__mmask32>(leads3 >> (32 * h)), asThree);
        __mmask32 keep = static_cast<__mmask32>(starts >> (32 * h));
        units[h] = _mm512_maskz_compress_epi16(keep, lanes);
        counts[h] = CountBits(keep);
    }
    *length = shape.taken;
    return true;
}

// The block's characters as UTF-16 units split in two planes of bytes (for UTF-32; the 16-bit
// lanes above ran faster for UTF-16 on CJK text), each character's low and
// high byte at its place among the first `count`: worked out in the byte lanes where the
// characters start, then compressed together. Reads two bytes past the block.
struct Utf8Units {
    __m512i low;
    __m512i high;
    uint32_t count;
    uint32_t taken;
};

// A byte shift inside 16-bit lanes, after a mask that keeps every bit inside its own byte.
AVX512 inline __m512i BytePart(__m512i v, int mask, int left, int right) {
    __m512i kept = _mm512_and_si512(v, Bytes(mask));
    return right > 0 ? _mm512_srli_epi16(kept, static_cast<unsigned>(right))
                     : _mm512_slli_epi16(kept, static_cast<unsigned>(left));
}

AVX512 inline bool DecodeUtf8Planes(const uint8_t* read, __m512i b, Utf8Units* units) {
    Utf8Shape shape;
    if (!ShapeUtf8Block(read, b, &shape)) {
        return false;
    }
    __m512i n1 = Load64(read + 1);
    __m512i n2 = Load64(read + 2);
    // Two bytes: 110a aabb 10cc dddd gives 00000aaa bbccdddd.
    __m512i high2 = BytePart(b, 0x1C, 0, 2);
    __m512i low2 = _mm512_or_si512(BytePart(b, 0x03, 6, 0), _mm512_and_si512(n1, Bytes(0x3F)));
    // Three bytes: 1110 aaaa 10bb bbcc 10dd eeee gives aaaabbbb ccddeeee.
    __m512i high3 = _mm512_or_si512(BytePart(b, 0x0F, 4, 0), BytePart(n1, 0x3C, 0, 2));
    __m512i low3 = _mm512_or_si512(BytePart(n1, 0x03, 6, 0), _mm512_and_si512(n2, Bytes(0x3F)));
    __m512i high = _mm512_maskz_mov_epi8(shape.leads2, high2);
    high = _mm512_mask_mov_epi8(high, shape.leads3, high3);
    __m512i low = _mm512_mask_mov_epi8(b, shape.leads2, low2);
    low = _mm512_mask_mov_epi8(low, shape.leads3, low3);
    units->low = _mm512_maskz_compress_epi8(shape.starts, low);
    units->high = _mm512_maskz_compress_epi8(shape.starts, high);
    units->count = CountBits(shape.starts);
    units->taken = shape.taken;
    return true;
}

AVX512 inline bool Utf8ToUtf16Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m512i v = Load64(read);
    if (_mm512_movepi8_mask(v) == 0) {
        __m512i row[2];
        WidenBytes<2>(v, row);
        Store64(w, row[0]);
        Store64(w + 64, row[1]);
        read += 64;
        w += 128;
        return true;
    }
    __m512i units[2];
    uint32_t counts[2];
    uint32_t length;
    if (!DecodeUtf8Block(read, v, units, counts, &length)) {
        return false;
    }
    for (int h = 0; h < 2; ++h) {
        _mm512_mask_storeu_epi16(w, static_cast<__mmask32>(LowBits(counts[h])), units[h]);
        w += 2 * counts[h];
    }
    read += length;
    return true;
}

AVX512 inline bool Utf8ToUtf32Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m512i v = Load64(read);
    if (_mm512_movepi8_mask(v) == 0) {
        __m512i row[4];
        WidenBytes<4>(v, row);
        for (int q = 0; q < 4; ++q) {
            Store64(w + 64 * q, row[q]);
        }
        read += 64;
        w += 256;
        return true;
    }
    Utf8Units units;
    if (!DecodeUtf8Planes(read, v, &units)) {
        return false;
    }
    __m512i row[4];
    for (int q = 0; q < 4; ++q) {
        row[q] = _mm512_maskz_permutex2var_epi8(0x3333333333333333ull, units.low,
                                                Index(kIndexes.pair[q]), units.high);
    }
    StoreRow(w, row, 4, 4 * units.count);
    w += 4 * units.count;
    read += units.taken;
    return true;
}

// The last n bytes before a run's limit, fewer than a block, when they are all ASCII: widened
// whole into units of kUnit bytes (1: copied where the target page keeps ASCII). A short stretch
// of ASCII would otherwise go a character at a time.
template <int kUnit>
AVX512 inline void AsciiTail(const uint8_t*& read, uint32_t n, uint8_t*& w, Replacements&) {
    __m512i v = _mm512_maskz_loadu_epi8(LowBits(n), read);
    if (_mm512_movepi8_mask(v) != 0 || (kUnit == 1 && !targetPage.keepsAscii)) {
        return;
    }
    if constexpr (kUnit == 1) {
        StoreFirst(w, v, n);
    } else {
        __m512i row[kUnit];
        WidenBytes<kUnit>(v, row);
        StoreRow(w, row, kUnit, kUnit * n);
    }
    read += n;
    w += kUnit * n;
}

// --- From UTF-16 and UTF-32 ------------------------------------------------------------------

// Sixteen values up to FFFF, none a surrogate, in 32-bit lanes: each as the one to three bytes
// EncodeUtf8Char makes of it.
AVX512 inline uint8_t* EncodeLanes(uint8_t* w, __m512i u) {
    __mmask16 ascii = _mm512_cmplt_epu32_mask(u, Words(0x80));
    __mmask16 three = _mm512_cmpge_epu32_mask(u, Words(0x800));
    const __m512i low6 = Words(0x3F);
    const __m512i continuation = Words(0x80);
    __m512i last = _mm512_or_si512(_mm512_and_si512(u, low6), continuation);
    __m512i middle = _mm512_or_si512(_mm512_and_si512(_mm512_srli_epi32(u, 6), low6), continuation);
    __m512i first = _mm512_or_si512(_mm512_srli_epi32(u, 6), Words(0xC0));
    first =
        _mm512_mask_mov_epi32(first, three, _mm512_or_si512(_mm512_srli_epi32(u, 12), Words(0xE0)));
    first = _mm512_mask_mov_epi32(first, ascii, u);
    __m512i second = _mm512_mask_mov_epi32(last, three, middle);
    __m512i bytes = _mm512_or_si512(_mm512_or_si512(first, _mm512_slli_epi32(second, 8)),
                                    _mm512_slli_epi32(last, 16));
    __m512i counts = _mm512_mask_add_epi32(Words(2), ascii, Words(1), Words(0));
    counts = _mm512_mask_add_epi32(counts, three, counts, Words(1));
    return StoreCounted(w, bytes, _mm512_shuffle_epi8(counts, Index(kIndexes.repeat)));
}

// Thirty-two UTF-16 units, none a surrogate.
AVX512 inline bool Utf16ToUtf8Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m512i v = Load64(read);
    if (_mm512_cmpge_epu16_mask(v, Halves(0x80)) == 0) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(w), _mm512_cvtepi16_epi8(v));
        read += 64;
        w += 32;
        return true;
    }
    if (Surrogates(v) != 0) {
        return false;
    }
    w = EncodeLanes(w, WidenHalf(v, 0));
    w = EncodeLanes(w, WidenHalf(v, 1));
    read += 64;
    return true;
}

AVX512 inline bool Utf16ToUtf32Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m512i v = Load64(read);
    if (Surrogates(v) != 0) {
        return false;
    }
    Store64(w, WidenHalf(v, 0));
    Store64(w + 64, WidenHalf(v, 1));
    read += 64;
    w += 128;
    return true;
}

// Sixteen UTF-32 values up to FFFF, none a surrogate.
AVX512 inline bool Utf32ToUtf8Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m512i v = Load64(read);
    if (!AllOneUnit(v)) {
        return false;
    }
    w = EncodeLanes(w, v);
    read += 64;
    return true;
}

// Sixteen UTF-32 values up to FFFF, none a surrogate, one unit each.
AVX512 inline bool Utf32ToUtf16Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m512i v = Load64(read);
    if (!AllOneUnit(v)) {
        return false;
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(w), _mm512_cvtepi32_epi16(v));
    read += 64;
    w += 32;
    return true;
}

#endif
