// The vector kernels for x86 processors, compiled for SSE2 and SSSE3 whatever the build's own
// baseline and chosen at run time. Sixteen input bytes are taken at once: a block of ASCII is
// widened or narrowed whole, a block of one- and two-byte UTF-8 characters (Latin, Greek,
// Cyrillic, Hebrew, Arabic text) is decoded whole and its characters gathered with a byte
// shuffle; any other block goes character by character through the plain steps.
#include "src/transcode/route_kernels.h"

#if defined(__i386__) || defined(__x86_64__)

#include <immintrin.h>

#include "src/transcode/route_steps.h"

// The 32-bit Windows stack is only 4-byte aligned; vector spills need 16.
#if defined(__i386__)
#define KERNEL_ENTRY __attribute__((force_align_arg_pointer))
#else
#define KERNEL_ENTRY
#endif
#define SSE2 __attribute__((target("sse2")))
#define SSSE3 __attribute__((target("ssse3")))

namespace {

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

alignas(16) constexpr Gather kGatherLanes = MakeGather(2);
alignas(16) constexpr Gather kGatherBytes = MakeGather(1);

SSE2 inline __m128i Load(const uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
SSE2 inline void Store(uint8_t* at, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
}
SSE2 inline unsigned Mask(__m128i v) {
    return static_cast<unsigned>(_mm_movemask_epi8(v));
}

// --- SSE2: whole blocks of ASCII ------------------------------------------------------------

SSE2 inline void WidenTo16(uint8_t* w, __m128i v) {
    __m128i zero = _mm_setzero_si128();
    Store(w, _mm_unpacklo_epi8(v, zero));
    Store(w + 16, _mm_unpackhi_epi8(v, zero));
}

SSE2 inline void WidenTo32(uint8_t* w, __m128i v) {
    __m128i zero = _mm_setzero_si128();
    __m128i lo = _mm_unpacklo_epi8(v, zero);
    __m128i hi = _mm_unpackhi_epi8(v, zero);
    Store(w, _mm_unpacklo_epi16(lo, zero));
    Store(w + 16, _mm_unpackhi_epi16(lo, zero));
    Store(w + 32, _mm_unpacklo_epi16(hi, zero));
    Store(w + 48, _mm_unpackhi_epi16(hi, zero));
}

KERNEL_ENTRY SSE2 const uint8_t* Utf8ToUtf16Sse2(const uint8_t* read, const uint8_t* limit,
                                                 const uint8_t*, uint8_t** write,
                                                 uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        if (limit - read >= 16) {
            __m128i v = Load(read);
            if (Mask(v) == 0) {
                WidenTo16(w, v);
                read += 16;
                w += 32;
                continue;
            }
            for (const uint8_t* stop = read + 16; read < stop;) {
                StepUtf8ToUtf16(read, w, r);
            }
            continue;
        }
        StepUtf8ToUtf16(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

KERNEL_ENTRY SSE2 const uint8_t* Utf8ToUtf32Sse2(const uint8_t* read, const uint8_t* limit,
                                                 const uint8_t*, uint8_t** write,
                                                 uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        if (limit - read >= 16) {
            __m128i v = Load(read);
            if (Mask(v) == 0) {
                WidenTo32(w, v);
                read += 16;
                w += 64;
                continue;
            }
            for (const uint8_t* stop = read + 16; read < stop;) {
                StepUtf8ToUtf32(read, w, r);
            }
            continue;
        }
        StepUtf8ToUtf32(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

KERNEL_ENTRY SSE2 const uint8_t* Utf8ToCodePageSse2(const uint8_t* read, const uint8_t* limit,
                                                    const uint8_t*, uint8_t** write,
                                                    uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        __m128i v;
        if (targetKeepsAscii && limit - read >= 16 && Mask(v = Load(read)) == 0) {
            // A run of ASCII blocks in a loop of its own, which stays tight.
            do {
                Store(w, v);
                read += 16;
                w += 16;
            } while (limit - read >= 16 && Mask(v = Load(read)) == 0);
            continue;
        }
        if (!StepUtf8ToCodePage(read, w, r)) {
            break;
        }
    }
    *write = w;
    *replaced += r;
    return read;
}

// Eight UTF-16 units below 0x80.
SSE2 inline bool IsAsciiUnits(__m128i v) {
    return Mask(_mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))),
                                _mm_setzero_si128())) == 0xFFFF;
}

KERNEL_ENTRY SSE2 const uint8_t* Utf16ToUtf8Sse2(const uint8_t* read, const uint8_t* limit,
                                                 const uint8_t* end, uint8_t** write,
                                                 uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit && end - read >= 2) {
        if (limit - read >= 16) {
            __m128i v = Load(read);
            if (IsAsciiUnits(v)) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(w), _mm_packus_epi16(v, v));
                read += 16;
                w += 8;
                continue;
            }
        }
        StepUtf16ToUtf8(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

KERNEL_ENTRY SSE2 const uint8_t* Utf16ToUtf32Sse2(const uint8_t* read, const uint8_t* limit,
                                                  const uint8_t* end, uint8_t** write,
                                                  uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    const __m128i surrogateBits = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
    while (read < limit && end - read >= 2) {
        if (limit - read >= 16) {
            __m128i v = Load(read);
            if (Mask(_mm_cmpeq_epi16(_mm_and_si128(v, surrogateBits), surrogate)) == 0) {
                __m128i zero = _mm_setzero_si128();
                Store(w, _mm_unpacklo_epi16(v, zero));
                Store(w + 16, _mm_unpackhi_epi16(v, zero));
                read += 16;
                w += 32;
                continue;
            }
        }
        StepUtf16ToUtf32(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

KERNEL_ENTRY SSE2 const uint8_t* Utf32ToUtf8Sse2(const uint8_t* read, const uint8_t* limit,
                                                 const uint8_t* end, uint8_t** write,
                                                 uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    const __m128i notAscii = _mm_set1_epi32(static_cast<int>(0xFFFFFF80u));
    while (read < limit && end - read >= 4) {
        if (limit - read >= 16) {
            __m128i v = Load(read);
            if (Mask(_mm_cmpeq_epi32(_mm_and_si128(v, notAscii), _mm_setzero_si128())) == 0xFFFF) {
                __m128i units = _mm_packs_epi32(v, v);
                __m128i bytes = _mm_packus_epi16(units, units);
                int four = _mm_cvtsi128_si32(bytes);
                __builtin_memcpy(w, &four, 4);
                read += 16;
                w += 4;
                continue;
            }
        }
        StepUtf32ToUtf8(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

KERNEL_ENTRY SSE2 const uint8_t* Utf32ToUtf16Sse2(const uint8_t* read, const uint8_t* limit,
                                                  const uint8_t* end, uint8_t** write,
                                                  uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    const __m128i bias = _mm_set1_epi32(0x8000);
    const __m128i biasUnits = _mm_set1_epi16(static_cast<short>(0x8000));
    while (read < limit && end - read >= 4) {
        if (limit - read >= 32) {
            __m128i a = Load(read);
            __m128i b = Load(read + 16);
            // Values up to FFFF (surrogate values included) are one unit each.
            __m128i high = _mm_or_si128(_mm_srli_epi32(a, 16), _mm_srli_epi32(b, 16));
            if (Mask(_mm_cmpeq_epi32(high, _mm_setzero_si128())) == 0xFFFF) {
                // Signed packing keeps values exact once they are moved to be signed 16-bit.
                __m128i packed = _mm_packs_epi32(_mm_sub_epi32(a, bias), _mm_sub_epi32(b, bias));
                Store(w, _mm_xor_si128(packed, biasUnits));
                read += 32;
                w += 16;
                continue;
            }
        }
        StepUtf32ToUtf16(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

KERNEL_ENTRY SSE2 const uint8_t* CodePageToUtf8Sse2(const uint8_t* read, const uint8_t* limit,
                                                    const uint8_t*, uint8_t** write,
                                                    uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        if (sourceKeepsAscii && limit - read >= 16) {
            __m128i v = Load(read);
            if (Mask(v) == 0) {
                Store(w, v);
                read += 16;
                w += 16;
                continue;
            }
            for (const uint8_t* stop = read + 16; read < stop;) {
                StepCodePageToUtf8(read, w, r);
            }
            continue;
        }
        StepCodePageToUtf8(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

KERNEL_ENTRY SSE2 void SwapUnits16Sse2(uint8_t* bytes, size_t count) {
    size_t i = 0;
    for (; count - i >= 16; i += 16) {
        __m128i v = Load(bytes + i);
        Store(bytes + i, _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)));
    }
    kPortableKernels.swapUnits16(bytes + i, count - i);
}

KERNEL_ENTRY SSE2 void SwapUnits32Sse2(uint8_t* bytes, size_t count) {
    size_t i = 0;
    for (; count - i >= 16; i += 16) {
        __m128i v = Load(bytes + i);
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
        v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
        Store(bytes + i, v);
    }
    kPortableKernels.swapUnits32(bytes + i, count - i);
}

// --- SSSE3: blocks of one- and two-byte characters ------------------------------------------

// A block of sixteen UTF-8 bytes holding only characters of one to three bytes, decoded into
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
    __m128i lead2 = ByteClass(v, 0xE0, 0xC0);
    __m128i lead3 = ByteClass(v, 0xF0, 0xE0);
    unsigned conts = Mask(ByteClass(v, 0xC0, 0x80));
    unsigned leads2 = Mask(lead2);
    unsigned leads3 = Mask(lead3);
    // Nothing above EF: four-byte leads and bytes that lead nothing go the plain way.
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
    unsigned starts = ~conts & inside;
    __m128i zero = _mm_setzero_si128();
    __m128i n1 = _mm_srli_si128(v, 1);
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

KERNEL_ENTRY SSSE3 const uint8_t* Utf8ToUtf16Ssse3(const uint8_t* read, const uint8_t* limit,
                                                   const uint8_t*, uint8_t** write,
                                                   uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        if (limit - read >= 16) {
            __m128i v = Load(read);
            if (Mask(v) == 0) {
                WidenTo16(w, v);
                read += 16;
                w += 32;
                continue;
            }
            BmpBlock block;
            if (DecodeBmpBlock(v, &block)) {
                Store(w, GatherLanes(block.lo, block.keepLo));
                w += 2 * kGatherLanes.count[block.keepLo];
                Store(w, GatherLanes(block.hi, block.keepHi));
                w += 2 * kGatherLanes.count[block.keepHi];
                read += block.length;
                continue;
            }
            for (const uint8_t* stop = read + 16; read < stop;) {
                StepUtf8ToUtf16(read, w, r);
            }
            continue;
        }
        StepUtf8ToUtf16(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

// The lanes as 32-bit code points. A lane holding a surrogate came from a three-byte form, which
// stands alone and so becomes "?", as CombineSurrogates makes it.
// Each such "?" replaces a character, and is counted in `replaced`.
SSSE3 inline uint8_t* StoreLanesAs32(uint8_t* w, __m128i lanes, unsigned keep, uint64_t& replaced) {
    __m128i gathered = GatherLanes(lanes, keep);
    __m128i surrogate =
        _mm_cmpeq_epi16(_mm_and_si128(gathered, _mm_set1_epi16(static_cast<short>(0xF800))),
                        _mm_set1_epi16(static_cast<short>(0xD800)));
    // The lanes past the kept ones are zero, no surrogate; each lane gives two mask bits.
    unsigned surrogateBits = Mask(surrogate);
    if (surrogateBits != 0) {
        replaced += static_cast<uint64_t>(__builtin_popcount(surrogateBits) / 2);
    }
    gathered = _mm_or_si128(_mm_andnot_si128(surrogate, gathered),
                            _mm_and_si128(surrogate, _mm_set1_epi16(kReplacementChar)));
    __m128i zero = _mm_setzero_si128();
    Store(w, _mm_unpacklo_epi16(gathered, zero));
    Store(w + 16, _mm_unpackhi_epi16(gathered, zero));
    return w + 4 * kGatherLanes.count[keep];
}

KERNEL_ENTRY SSSE3 const uint8_t* Utf8ToUtf32Ssse3(const uint8_t* read, const uint8_t* limit,
                                                   const uint8_t*, uint8_t** write,
                                                   uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        if (limit - read >= 16) {
            __m128i v = Load(read);
            if (Mask(v) == 0) {
                WidenTo32(w, v);
                read += 16;
                w += 64;
                continue;
            }
            BmpBlock block;
            if (DecodeBmpBlock(v, &block)) {
                w = StoreLanesAs32(w, block.lo, block.keepLo, r);
                w = StoreLanesAs32(w, block.hi, block.keepHi, r);
                read += block.length;
                continue;
            }
            for (const uint8_t* stop = read + 16; read < stop;) {
                StepUtf8ToUtf32(read, w, r);
            }
            continue;
        }
        StepUtf8ToUtf32(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

KERNEL_ENTRY SSSE3 const uint8_t* Utf8ToCodePageSsse3(const uint8_t* read, const uint8_t* limit,
                                                      const uint8_t*, uint8_t** write,
                                                      uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        if (limit - read >= 16) {
            __m128i v = Load(read);
            if (targetKeepsAscii && Mask(v) == 0) {
                do {
                    Store(w, v);
                    read += 16;
                    w += 16;
                } while (limit - read >= 16 && Mask(v = Load(read)) == 0);
                continue;
            }
            BmpBlock block;
            if (DecodeBmpBlock(v, &block)) {
                alignas(16) WCHAR units[24];
                uint32_t countLo = kGatherLanes.count[block.keepLo];
                uint32_t count = countLo + kGatherLanes.count[block.keepHi];
                Store(reinterpret_cast<uint8_t*>(units), GatherLanes(block.lo, block.keepLo));
                Store(reinterpret_cast<uint8_t*>(units + countLo),
                      GatherLanes(block.hi, block.keepHi));
                uint8_t* start = w;
                uint64_t blockReplaced = 0;
                uint32_t i = 0;
                for (; i < count; ++i) {
                    // Every unit here was read whole, so only a "?" unit stands for a "?".
                    WCHAR unit = units[i];
                    if (targetPage.oneByte[unit >> 8]) {
                        uint8_t byte = static_cast<uint8_t>(targetPage.multiByte[unit]);
                        *w++ = byte;
                        if (byte == kReplacementChar) [[unlikely]] {
                            blockReplaced += unit != kReplacementChar;
                        }
                        continue;
                    }
                    uint32_t entry = TargetUnitBytes(unit);
                    if (entry == kUnitNeedsCall) {
                        break;
                    }
                    StoreUnit32(w, entry);
                    w += entry >> 24;
                    if (entry == kReplacementEntry) [[unlikely]] {
                        blockReplaced += unit != kReplacementChar;
                    }
                }
                if (i == count) {
                    read += block.length;
                    r += blockReplaced;
                    continue;
                }
                w = start;  // a unit the platform must convert itself: take the block slowly
            }
            const uint8_t* stop = read + 16;
            while (read < stop && StepUtf8ToCodePage(read, w, r)) {
            }
            if (read < stop) {
                break;
            }
            continue;
        }
        if (!StepUtf8ToCodePage(read, w, r)) {
            break;
        }
    }
    *write = w;
    *replaced += r;
    return read;
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
    unsigned keep = 0x1111 | (~Mask(ascii) & 0x2222) | (Mask(three) & 0x4444);
    unsigned keepLo = keep & 0xFF;
    unsigned keepHi = keep >> 8;
    Store(w, _mm_shuffle_epi8(bytes, Load(kGatherBytes.shuffle[keepLo])));
    w += kGatherBytes.count[keepLo];
    Store(w, _mm_shuffle_epi8(_mm_srli_si128(bytes, 8), Load(kGatherBytes.shuffle[keepHi])));
    return w + kGatherBytes.count[keepHi];
}

KERNEL_ENTRY SSSE3 const uint8_t* Utf16ToUtf8Ssse3(const uint8_t* read, const uint8_t* limit,
                                                   const uint8_t* end, uint8_t** write,
                                                   uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i above7F = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i above7FF = _mm_set1_epi16(static_cast<short>(0xF800));
    while (read < limit && end - read >= 2) {
        if (limit - read >= 16) {
            __m128i v = Load(read);
            __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, above7F), zero);
            unsigned asciiBytes = Mask(ascii);
            if (asciiBytes == 0xFFFF) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(w), _mm_packus_epi16(v, v));
                read += 16;
                w += 8;
                continue;
            }
            if (Mask(_mm_cmpeq_epi16(_mm_and_si128(v, above7FF), zero)) == 0xFFFF) {
                // Each unit as the byte pair it takes (an ASCII unit keeps only its first byte).
                __m128i lead = _mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0xC0));
                __m128i first =
                    _mm_or_si128(_mm_and_si128(ascii, v), _mm_andnot_si128(ascii, lead));
                __m128i second =
                    _mm_or_si128(_mm_and_si128(v, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80));
                __m128i pairs = _mm_or_si128(first, _mm_slli_epi16(second, 8));
                unsigned keep = 0x5555 | (~asciiBytes & 0xAAAA);
                unsigned keepLo = keep & 0xFF;
                unsigned keepHi = keep >> 8;
                Store(w, _mm_shuffle_epi8(pairs, Load(kGatherBytes.shuffle[keepLo])));
                w += kGatherBytes.count[keepLo];
                Store(w, _mm_shuffle_epi8(_mm_srli_si128(pairs, 8),
                                          Load(kGatherBytes.shuffle[keepHi])));
                w += kGatherBytes.count[keepHi];
                read += 16;
                continue;
            }
            if (Mask(_mm_cmpeq_epi16(_mm_and_si128(v, above7FF),
                                     _mm_set1_epi16(static_cast<short>(0xD800)))) == 0) {
                w = EncodeFourUnits(w, _mm_unpacklo_epi16(v, zero));
                w = EncodeFourUnits(w, _mm_unpackhi_epi16(v, zero));
                read += 16;
                continue;
            }
            for (const uint8_t* stop = read + 16; read < stop;) {
                StepUtf16ToUtf8(read, w, r);
            }
            continue;
        }
        StepUtf16ToUtf8(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

const RouteKernels kSse2Kernels = {
    Utf8ToUtf16Sse2,
    Utf8ToUtf32Sse2,
    Utf8ToCodePageSse2,
    Utf16ToUtf8Sse2,
    Utf16ToUtf32Sse2,
    kPortableKernels.utf16ToCodePage,
    Utf32ToUtf8Sse2,
    Utf32ToUtf16Sse2,
    kPortableKernels.utf32ToCodePage,
    CodePageToUtf8Sse2,
    kPortableKernels.codePageToUtf16,
    kPortableKernels.codePageToUtf32,
    kPortableKernels.codePageToCodePage,
    SwapUnits16Sse2,
    SwapUnits32Sse2,
};

const RouteKernels kSsse3Kernels = {
    Utf8ToUtf16Ssse3,
    Utf8ToUtf32Ssse3,
    Utf8ToCodePageSsse3,
    Utf16ToUtf8Ssse3,
    Utf16ToUtf32Sse2,
    kPortableKernels.utf16ToCodePage,
    Utf32ToUtf8Sse2,
    Utf32ToUtf16Sse2,
    kPortableKernels.utf32ToCodePage,
    CodePageToUtf8Sse2,
    kPortableKernels.codePageToUtf16,
    kPortableKernels.codePageToUtf32,
    kPortableKernels.codePageToCodePage,
    SwapUnits16Sse2,
    SwapUnits32Sse2,
};

}  // namespace

const RouteKernels* Sse2Kernels() {
    return __builtin_cpu_supports("sse2") ? &kSse2Kernels : nullptr;
}

const RouteKernels* Ssse3Kernels() {
    return __builtin_cpu_supports("ssse3") ? &kSsse3Kernels : nullptr;
}

#else  // no vector kernels for this processor

const RouteKernels* Sse2Kernels() {
    return nullptr;
}

const RouteKernels* Ssse3Kernels() {
    return nullptr;
}

#endif
