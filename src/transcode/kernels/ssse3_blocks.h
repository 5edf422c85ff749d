// The SSSE3 blocks: UTF-8 of one- to three-byte characters decoded 16 bytes at once (into UTF-16,
// UTF-32, or units looked up in a code page's table), and UTF-16 units encoded to UTF-8 eight at
// once, their lanes gathered with byte shuffles. The SSSE3 kernels are built from them, and so are
// those of the wider levels, which compile them with their own instructions for the blocks they
// have no wider version of, and fall back on them where a wider block refuses.
#pragma once

#if defined(__i386__) || defined(__x86_64__)

#include "src/transcode/kernels/x86_vectors.h"
#include "src/transcode/plain/character_steps.h"

// Shuffle masks that gather the chosen lanes of a register at its front: for every 8-bit choice
// of 16-bit lanes (eight lanes) or of bytes (the low eight), and how many were chosen.
struct Gather {
    uint8_t shuffle[256][16];
    uint8_t count[256];
};

constexpr Gather MakeGather(int laneBytes) {
    Gather g{};
    for (int key = 0; key < 256; ++key) {
        int taken = 0;
        for (int lane = 0; lane < 8; ++lane) {
            if ((key >> lane) & 1) {
                for (int b = 0; b < laneBytes; ++b) {
                    g.shuffle[key][taken * laneBytes + b] =
                        static_cast<uint8_t>(lane * laneBytes + b);
                }
                ++taken;
            }
        }
        for (int i = taken * laneBytes; i < 16; ++i) {
            g.shuffle[key][i] = 0x80;  // pshufb writes zero
        }
        g.count[key] = static_cast<uint8_t>(taken);
    }
    return g;
}

alignas(16) inline constexpr Gather kGatherLanes = MakeGather(2);
alignas(16) inline constexpr Gather kGatherBytes = MakeGather(1);

// A block of sixteen UTF-8 bytes holding only characters of one to three bytes (each the
// shortest form of a character that is no surrogate), decoded into
// sixteen 16-bit lanes, of which those where a character starts are to be kept. A character
// that the block cuts off is left for the next block.
struct BmpBlock {
    __m128i lo;  // lanes for bytes 0 to 7
    __m128i hi;  // lanes for bytes 8 to 15
    unsigned keepLo;
    unsigned keepHi;
    int length;  // bytes consumed: 14 to 16
};

SSSE3 inline __m128i ByteClass(__m128i v, int mask, int value) {
    return _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(mask))),
                          _mm_set1_epi8(static_cast<char>(value)));
}

// The decoder's result for one half of the block: each lane as the lead byte at that place would
// decode (what a continuation lane holds does not matter, it is not kept).
SSSE3 inline __m128i DecodeLanes(__m128i b, __m128i n1, __m128i n2, __m128i two, __m128i three) {
    const __m128i low6 = _mm_set1_epi16(0x3F);
    __m128i second = _mm_and_si128(n1, low6);
    __m128i asTwo = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(b, _mm_set1_epi16(0x1F)), 6), second);
    // Shifting a 16-bit lane by 12 keeps exactly the lead byte's low four bits.
    __m128i asThree = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(b, 12), _mm_slli_epi16(second, 6)),
                                   _mm_and_si128(n2, low6));
    __m128i lanes = _mm_or_si128(_mm_and_si128(two, asTwo), _mm_andnot_si128(two, b));
    return _mm_or_si128(_mm_and_si128(three, asThree), _mm_andnot_si128(three, lanes));
}

SSSE3 inline bool DecodeBmpBlock(__m128i v, BmpBlock* block) {
    unsigned high = Mask(v);
    // Two-byte leads from C2 on (signed, above C1 and below E0): C0 and C1 lead only overlong
    // forms, which are no character.
    __m128i lead2 = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(0xC1))),
                                  _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(0xE0))));
    __m128i lead3 = ByteClass(v, 0xF0, 0xE0);
    unsigned conts = Mask(ByteClass(v, 0xC0, 0x80));
    unsigned leads2 = Mask(lead2);
    unsigned leads3 = Mask(lead3);
    // Nothing above EF: four-byte leads and bytes that lead nothing or no character go the plain
    // way.
    if ((conts | leads2 | leads3) != high) {
        return false;
    }
    // A sequence that does not fit in the block starts the next one.
    unsigned cut = (leads2 & 0x8000) | (leads3 & 0xC000);
    block->length = cut != 0 ? __builtin_ctz(cut) : 16;
    unsigned inside = (1u << block->length) - 1;
    leads2 &= inside;
    leads3 &= inside;
    // Every lead followed by as many continuations as it needs, and no other continuation:
    // then each sequence is exactly one character, decoded as the plain decoder would.
    unsigned expected = (leads2 << 1) | (leads3 << 1) | (leads3 << 2);
    if ((expected & ~inside) != 0 || (conts & inside) != expected) {
        return false;
    }
    // Three-byte sequences that are no character go the plain way: those led by E0 with a second
    // byte below A0 (overlong), or by ED with one from A0 on (a surrogate). Each lead's second
    // byte is a continuation byte, which is A0 or more when above 9F (signed); the lead that reads
    // no character before it is then ED, else E0. Text without three-byte leads skips the test.
    __m128i n1 = _mm_srli_si128(v, 1);
    if (leads3 != 0) {
        __m128i n1Upper = _mm_cmpgt_epi8(n1, _mm_set1_epi8(static_cast<char>(0x9F)));
        __m128i noCharacterLead = _mm_xor_si128(_mm_set1_epi8(static_cast<char>(0xE0)),
                                                _mm_and_si128(n1Upper, _mm_set1_epi8(0x0D)));
        if ((Mask(_mm_cmpeq_epi8(v, noCharacterLead)) & leads3) != 0) {
            return false;
        }
    }
    unsigned starts = ~conts & inside;
    __m128i zero = _mm_setzero_si128();
    __m128i n2 = _mm_srli_si128(v, 2);
    block->lo = DecodeLanes(_mm_unpacklo_epi8(v, zero), _mm_unpacklo_epi8(n1, zero),
                            _mm_unpacklo_epi8(n2, zero), _mm_unpacklo_epi8(lead2, lead2),
                            _mm_unpacklo_epi8(lead3, lead3));
    block->hi = DecodeLanes(_mm_unpackhi_epi8(v, zero), _mm_unpackhi_epi8(n1, zero),
                            _mm_unpackhi_epi8(n2, zero), _mm_unpackhi_epi8(lead2, lead2),
                            _mm_unpackhi_epi8(lead3, lead3));
    block->keepLo = starts & 0xFF;
    block->keepHi = starts >> 8;
    return true;
}

SSSE3 inline __m128i GatherLanes(__m128i v, unsigned keep) {
    return _mm_shuffle_epi8(v, Load(kGatherLanes.shuffle[keep]));
}

// The lanes as 16-bit units, all of them as decoded.
SSSE3 inline uint8_t* StoreLanesAs16(uint8_t* w, __m128i lanes, unsigned keep, Replacements&) {
    Store(w, GatherLanes(lanes, keep));
    return w + 2 * kGatherLanes.count[keep];
}

// The lanes as 32-bit code points (a block holds no surrogate).
SSSE3 inline uint8_t* StoreLanesAs32(uint8_t* w, __m128i lanes, unsigned keep, Replacements&) {
    __m128i gathered = GatherLanes(lanes, keep);
    __m128i zero = _mm_setzero_si128();
    Store(w, _mm_unpacklo_epi16(gathered, zero));
    Store(w + 16, _mm_unpackhi_epi16(gathered, zero));
    return w + 4 * kGatherLanes.count[keep];
}

// From UTF-8 to UTF-16 or UTF-32: a block of ASCII is widened whole into kOut bytes, a block of
// one- to three-byte characters decoded whole and its lanes stored by `storeLanes`.
template <void (*widen)(uint8_t*, __m128i), int kOut,
          uint8_t* (*storeLanes)(uint8_t*, __m128i, unsigned, Replacements&)>
SSSE3 inline bool DecodeUtf8(const uint8_t*& read, uint8_t*& w, Replacements& counts) {
    __m128i v = Load(read);
    if (Mask(v) == 0) {
        widen(w, v);
        read += 16;
        w += kOut;
        return true;
    }
    BmpBlock block;
    if (!DecodeBmpBlock(v, &block)) {
        return false;
    }
    w = storeLanes(w, block.lo, block.keepLo, counts);
    w = storeLanes(w, block.hi, block.keepHi, counts);
    read += block.length;
    return true;
}

// The bytes of `bytes` that `keep` marks (a bit a byte), stored together at `w`, eight at a
// time.
SSSE3 inline uint8_t* StoreKeptBytes(uint8_t* w, __m128i bytes, unsigned keep) {
    unsigned keepLo = keep & 0xFF;
    unsigned keepHi = (keep >> 8) & 0xFF;
    Store(w, _mm_shuffle_epi8(bytes, Load(kGatherBytes.shuffle[keepLo])));
    w += kGatherBytes.count[keepLo];
    Store(w, _mm_shuffle_epi8(_mm_srli_si128(bytes, 8), Load(kGatherBytes.shuffle[keepHi])));
    return w + kGatherBytes.count[keepHi];
}

SSSE3 inline __m128i Select(__m128i choice, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(choice, yes), _mm_andnot_si128(choice, no));
}

// Four units, none a surrogate, in 32-bit lanes: each lane as the one to three bytes
// EncodeUtf8Char makes of it, gathered two lanes at a time.
SSSE3 inline uint8_t* EncodeFourUnits(uint8_t* w, __m128i units) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low6 = _mm_set1_epi32(0x3F);
    const __m128i continuation = _mm_set1_epi32(0x80);
    __m128i ascii = _mm_cmpeq_epi32(_mm_and_si128(units, _mm_set1_epi32(0xFF80)), zero);
    __m128i three =
        _mm_xor_si128(_mm_cmpeq_epi32(_mm_and_si128(units, _mm_set1_epi32(0xF800)), zero),
                      _mm_cmpeq_epi32(zero, zero));
    __m128i first =
        Select(ascii, units,
               Select(three, _mm_or_si128(_mm_srli_epi32(units, 12), _mm_set1_epi32(0xE0)),
                      _mm_or_si128(_mm_srli_epi32(units, 6), _mm_set1_epi32(0xC0))));
    __m128i last = _mm_or_si128(_mm_and_si128(units, low6), continuation);
    __m128i middle = _mm_or_si128(_mm_and_si128(_mm_srli_epi32(units, 6), low6), continuation);
    __m128i second = Select(three, middle, last);
    __m128i bytes =
        _mm_or_si128(_mm_or_si128(first, _mm_slli_epi32(second, 8)), _mm_slli_epi32(last, 16));
    return StoreKeptBytes(w, bytes, 0x1111 | (~Mask(ascii) & 0x2222) | (Mask(three) & 0x4444));
}

// Eight UTF-16 units to UTF-8: all ASCII, all below 0x800, or none a surrogate.
SSSE3 inline bool EncodeUnits(const uint8_t*& read, uint8_t*& w, Replacements&) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i above7FF = _mm_set1_epi16(static_cast<short>(0xF800));
    __m128i v = Load(read);
    __m128i ascii =
        _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))), zero);
    unsigned asciiBytes = Mask(ascii);
    if (asciiBytes == 0xFFFF) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(w), _mm_packus_epi16(v, v));
        read += 16;
        w += 8;
        return true;
    }
    if (Mask(_mm_cmpeq_epi16(_mm_and_si128(v, above7FF), zero)) == 0xFFFF) {
        // Each unit as the byte pair it takes (an ASCII unit keeps only its first byte).
        __m128i lead = _mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0xC0));
        __m128i first = _mm_or_si128(_mm_and_si128(ascii, v), _mm_andnot_si128(ascii, lead));
        __m128i second = _mm_or_si128(_mm_and_si128(v, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
        __m128i pairs = _mm_or_si128(first, _mm_slli_epi16(second, 8));
        w = StoreKeptBytes(w, pairs, 0x5555 | (~asciiBytes & 0xAAAA));
        read += 16;
        return true;
    }
    if (Mask(_mm_cmpeq_epi16(_mm_and_si128(v, above7FF),
                             _mm_set1_epi16(static_cast<short>(0xD800)))) != 0) {
        return false;
    }
    w = EncodeFourUnits(w, _mm_unpacklo_epi16(v, zero));
    w = EncodeFourUnits(w, _mm_unpackhi_epi16(v, zero));
    read += 16;
    return true;
}

// The `count` units of a decoded block, each looked up in the target page's table; `starts` marks
// the byte where each unit's character begins and `length` the bytes the block takes. At a unit
// the platform must convert itself, the units before it are done and the block stops where that
// character starts (false).
inline bool StoreUnitsThroughPage(const WCHAR* units, uint32_t count, unsigned starts,
                                  uint32_t length, const uint8_t*& read, uint8_t*& w,
                                  Replacements& r) {
    uint32_t i = 0;
    for (; i < count; ++i) {
        // Every unit here is a character read whole, so only the table's entry can make a "?"
        // (the page lacks it) or a similar character that counts, and such an entry takes the
        // rare path.
        WCHAR unit = units[i];
        uint32_t entry = targetPage.multiByte[unit];
        if (entry < kFirstSizedEntry) [[unlikely]] {
            if (!StoreRareTargetEntry(unit, w, r, [] { return false; })) {
                break;
            }
            continue;
        }
        StoreUnit32(w, entry);
        w += entry >> 24;
    }
    if (i == count) {
        read += length;
        return true;
    }
    for (uint32_t done = 0; done < i; ++done) {
        starts &= starts - 1;
    }
    read += __builtin_ctz(starts);
    return false;
}

// From UTF-8 to a code page: a block of ASCII copied where the target page keeps it, else a
// block of one- to three-byte characters decoded whole and each unit looked up in the target
// page's table. At a unit the platform must convert itself, the units before it are done and the
// block stops where it starts (false): the step refuses it too, and the route asks.
SSSE3 inline bool Utf8ToCodePageBlock(const uint8_t*& read, uint8_t*& w, Replacements& r,
                                      bool keepsAscii) {
    __m128i v = Load(read);
    if (keepsAscii && Mask(v) == 0) {
        Store(w, v);
        read += 16;
        w += 16;
        return true;
    }
    BmpBlock block;
    if (!DecodeBmpBlock(v, &block)) {
        return false;
    }
    alignas(16) WCHAR units[24];
    uint32_t countLo = kGatherLanes.count[block.keepLo];
    uint32_t count = countLo + kGatherLanes.count[block.keepHi];
    Store(reinterpret_cast<uint8_t*>(units), GatherLanes(block.lo, block.keepLo));
    Store(reinterpret_cast<uint8_t*>(units + countLo), GatherLanes(block.hi, block.keepHi));
    return StoreUnitsThroughPage(units, count, block.keepLo | (block.keepHi << 8), block.length,
                                 read, w, r);
}

#endif
