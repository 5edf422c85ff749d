// The AVX-512 UTF blocks, 64 input bytes at once: a block of one- to three-byte UTF-8
// characters is decoded in every byte's lane and the lanes where a character starts are
// compressed together; UTF-16 units and UTF-32 values are encoded in 32-bit lanes (UTF-16 units
// below 0x800 in their own 16-bit lanes) whose bytes are compressed the same way; ASCII is
// widened and narrowed in loops of their own. Anything else is left to the steps of
// plain/character_steps.h.
#pragma once

#if defined(__i386__) || defined(__x86_64__)

#include "src/transcode/kernels/avx512_vectors.h"
#include "src/transcode/plain/character_steps.h"

// What a run of UTF blocks holds: its limit, up to which a block of ASCII takes the ASCII blocks
// behind it in a loop of its own, two at a time, with no test but for ASCII.
inline const uint8_t* HoldLimit(const uint8_t*, const uint8_t* limit) {
    return limit;
}

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

// Sixty-four bytes of ASCII widened into UTF-16 units.
AVX512 inline void WidenAscii(uint8_t* w, __m512i v) {
    __m512i row[2];
    WidenBytes<2>(v, row);
    Store64(w, row[0]);
    Store64(w + 64, row[1]);
}

AVX512 inline bool Utf8ToUtf16Block(const uint8_t*& read, uint8_t*& w, Replacements&,
                                    const uint8_t* limit) {
    __m512i v = Load64(read);
    if (_mm512_movepi8_mask(v) == 0) {
        WidenAscii(w, v);
        read += 64;
        w += 128;
        // The stores from here on fill whole lines: the first only up to a line's end.
        uint32_t toLine = static_cast<uint32_t>(-reinterpret_cast<uintptr_t>(w) & 63);
        if (toLine != 0 && limit - read >= 64) {
            __m512i a = Load64(read);
            if (_mm512_movepi8_mask(a) != 0) {
                return true;
            }
            uint32_t units = toLine / 2;
            __m512i row[2];
            WidenBytes<2>(a, row);
            StoreFirst(w, row[0], 2 * units);
            read += units;
            w += 2 * units;
        }
        while (limit - read >= 128) {
            __m512i a = Load64(read);
            __m512i b = Load64(read + 64);
            if (_mm512_movepi8_mask(_mm512_or_si512(a, b)) != 0) {
                break;
            }
            WidenAscii(w, a);
            WidenAscii(w + 128, b);
            read += 128;
            w += 256;
        }
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

// The bits of each character's UTF-8 bytes, picked out of its unit by a multishift: in every
// 64-bit lane, each output byte takes the eight bits from the offset its control byte gives.
// Offsets past a unit's sixteen bits pick the zeros above it. For units in 32-bit lanes, the
// three bytes of a unit from 0x800 on (its top four bits, the middle six, the low six) or the two
// of one below (its top five bits, the low six); for units in 16-bit lanes, the two of each.
constexpr int64_t kThreeByteFields = 0x3020262C1000060Cll;
constexpr int64_t kTwoByteFields = 0x3030202610100006ll;
constexpr int64_t kPairFields = 0x3036202610160006ll;

AVX512 inline __m512i PickFields(int64_t fields, __m512i units) {
    return _mm512_multishift_epi64_epi8(_mm512_set1_epi64(fields), units);
}

// The bytes of each picked field kept by `keep` and marked by `mark` ((a & keep) | mark).
AVX512 inline __m512i MarkFields(__m512i fields, __m512i keep, __m512i mark) {
    return _mm512_ternarylogic_epi32(fields, keep, mark, 0xEA);
}

// Sixteen values up to FFFF, none a surrogate, in 32-bit lanes, of which `beyondAscii` are from
// 0x80 on and `threeBytes` from 0x800 on: each as the one to three bytes EncodeUtf8Char makes of
// it, at the start of its lane. A lane's bytes beyond the character are zero and every byte but
// an ASCII one has its high bit set.
AVX512 inline __m512i LaneBytes(__m512i u, __mmask16 beyondAscii, __mmask16 threeBytes) {
    __m512i two = MarkFields(PickFields(kTwoByteFields, u), Words(0x3F1F), Words(0x80C0));
    __m512i three = MarkFields(PickFields(kThreeByteFields, u), Words(0x3F3F0F), Words(0x8080E0));
    __m512i bytes = _mm512_mask_blend_epi32(threeBytes, two, three);
    return _mm512_mask_mov_epi32(u, beyondAscii, bytes);
}

// The bytes of `units` (lanes of `kLane` bytes made as above) that are the characters': each
// lane's first and those with their high bit set. The high bit is set into each lane's first byte
// and the mask taken of the vector, which stays in the mask registers; an OR of a constant mask
// into it would take it through a general register and back, which cost this block a tenth.
template <int kLane>
AVX512 inline __mmask64 CharacterBytes(__m512i units) {
    __m512i first = kLane == 2 ? Halves(0x80) : Words(0x80);
    return _mm512_movepi8_mask(_mm512_or_si512(units, first));
}

// Stores the bytes of `v` that `keep` marks, one after the other, as a whole register, which needs
// no mask made from their count: for a caller whose scratch behind them stays within the kernel's
// overshoot (it keeps at least half the register, or its next store covers the rest).
AVX512 inline uint8_t* StoreKeptWhole(uint8_t* w, __m512i v, __mmask64 keep) {
    Store64(w, _mm512_maskz_compress_epi8(keep, v));
    return w + CountBits(keep);
}

AVX512 inline uint8_t* EncodeLanes(uint8_t* w, __m512i u, __mmask16 beyondAscii,
                                   __mmask16 threeBytes) {
    __m512i bytes = LaneBytes(u, beyondAscii, threeBytes);
    return StoreKept(w, bytes, CharacterBytes<4>(bytes));
}

// Thirty-two units below 0x800 in their own 16-bit lanes, of which `beyondAscii` are from 0x80 on:
// each as the byte pair EncodeUtf8Char makes of it, of which an ASCII unit keeps only the first.
// Each unit keeps at least one byte of its two, so the store may be whole.
AVX512 inline uint8_t* EncodePairs(uint8_t* w, __m512i units, __mmask32 beyondAscii) {
    __m512i pairs = MarkFields(PickFields(kPairFields, units), Halves(0x3F1F), Halves(0x80C0));
    pairs = _mm512_mask_mov_epi16(units, beyondAscii, pairs);
    return StoreKeptWhole(w, pairs, CharacterBytes<2>(pairs));
}

// Thirty-two UTF-16 units at a time: ASCII narrowed, a block below 0x800 (Latin, Greek, Cyrillic,
// Hebrew, Arabic text) as byte pairs in the units' own lanes, any other in two halves of 32-bit
// lanes. The choice costs a text of the last kind one test a block. None may be a surrogate.
AVX512 inline bool Utf16ToUtf8Block(const uint8_t*& read, uint8_t*& w, Replacements&,
                                    const uint8_t* limit) {
    __m512i v = Load64(read);
    __mmask32 beyondAscii = _mm512_test_epi16_mask(v, Halves(0xFF80));
    if (beyondAscii == 0) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(w), _mm512_cvtepi16_epi8(v));
        read += 64;
        w += 32;
        // The loads from here on take whole lines (a load across two reads both): the first
        // block only up to a line's end, in whole units.
        uint32_t toLine = static_cast<uint32_t>(-reinterpret_cast<uintptr_t>(read) & 62);
        if (toLine != 0 && limit - read >= 128) {
            __m512i a = Load64(read);
            if (_mm512_test_epi16_mask(a, Halves(0xFF80)) != 0) {
                return true;
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(w), _mm512_cvtepi16_epi8(a));
            read += toLine;
            w += toLine / 2;
        }
        while (limit - read >= 128) {
            __m512i a = Load64(read);
            __m512i b = Load64(read + 64);
            if (_mm512_test_epi16_mask(_mm512_or_si512(a, b), Halves(0xFF80)) != 0) {
                break;
            }
            Store64(w, _mm512_permutex2var_epi8(a, Index(kIndexes.even), b));
            read += 128;
            w += 64;
        }
        return true;
    }
    __mmask32 threeBytes = _mm512_test_epi16_mask(v, Halves(0xF800));
    if (threeBytes == 0) {
        w = EncodePairs(w, v, beyondAscii);
        read += 64;
        return true;
    }
    if (Surrogates(v) != 0) {
        return false;
    }
    // Each half's sixteen characters make at least sixteen bytes, so the first half's store may
    // be whole: the second's covers what it stored behind its bytes, but for at most 32 bytes.
    __m512i first = LaneBytes(WidenHalf(v, 0), static_cast<__mmask16>(beyondAscii),
                              static_cast<__mmask16>(threeBytes));
    __m512i second = LaneBytes(WidenHalf(v, 1), static_cast<__mmask16>(beyondAscii >> 16),
                               static_cast<__mmask16>(threeBytes >> 16));
    w = StoreKeptWhole(w, first, CharacterBytes<4>(first));
    w = StoreKept(w, second, CharacterBytes<4>(second));
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
    w = EncodeLanes(w, v, _mm512_test_epi32_mask(v, Words(0xFF80)),
                    _mm512_test_epi32_mask(v, Words(0xF800)));
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
