// The SSE2 kernels, chosen at run time where the processor has SSE2 (the x86-64 build always
// does, the 32-bit build may not). Sixteen input bytes are taken at once: a block of ASCII is
// widened or narrowed whole, and any other block goes character by character through the steps
// of plain/character_steps.h.
#include "src/transcode/kernels/route_kernels.h"

#if defined(__i386__) || defined(__x86_64__)

#include "src/transcode/kernels/block_frame.h"
#include "src/transcode/kernels/line_end_chunks.h"
#include "src/transcode/kernels/x86_vectors.h"
#include "src/transcode/plain/character_steps.h"

namespace {

// A run of SSE2 blocks of kBlock bytes (block_frame.h), compiled for SSE2.
template <ptrdiff_t kBlock, auto block, auto hold>
KERNEL_ENTRY SSE2 bool RunSse2(const uint8_t*& read, const uint8_t* limit, uint8_t*& w,
                               Replacements& counts) {
    return RunOfBlocks<kBlock, block, nullptr, 0, hold>(read, limit, w, counts);
}

template <uint32_t kWidth, ptrdiff_t kBlock, auto block, auto step, bool kWholeBlock,
          auto hold = nullptr>
constexpr RouteKernel BlocksSse2 =
    RunBlocks<kWidth, kBlock, RunSse2<kBlock, block, hold>, step, kWholeBlock>;

// The blocks: sixteen bytes at `read` (thirty-two for UTF-32 to UTF-16), converted whole where
// they qualify.

template <void (*widen)(uint8_t*, __m128i), int kOut>
SSE2 inline bool WidenAscii(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m128i v = Load(read);
    if (Mask(v) != 0) {
        return false;
    }
    widen(w, v);
    read += 16;
    w += kOut;
    return true;
}

// Text of a source page that does not keep ASCII goes character by character.
SSE2 inline bool CopyAsciiFromSource(const uint8_t*& read, uint8_t*& w, Replacements& counts) {
    return sourcePage.keepsAscii && WidenAscii<Store, 16>(read, w, counts);
}

// Eight UTF-16 units below 0x80.
SSE2 inline bool NarrowAsciiUnits(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m128i v = Load(read);
    if (Mask(_mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))),
                             _mm_setzero_si128())) != 0xFFFF) {
        return false;
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(w), _mm_packus_epi16(v, v));
    read += 16;
    w += 8;
    return true;
}

// Eight UTF-16 units, none a surrogate.
SSE2 inline bool WidenUnits(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m128i v = Load(read);
    if (Mask(_mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xF800))),
                             _mm_set1_epi16(static_cast<short>(0xD800)))) != 0) {
        return false;
    }
    __m128i zero = _mm_setzero_si128();
    Store(w, _mm_unpacklo_epi16(v, zero));
    Store(w + 16, _mm_unpackhi_epi16(v, zero));
    read += 16;
    w += 32;
    return true;
}

// Four UTF-32 values below 0x80.
SSE2 inline bool NarrowAsciiValues(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m128i v = Load(read);
    __m128i notAscii = _mm_set1_epi32(static_cast<int>(0xFFFFFF80u));
    if (Mask(_mm_cmpeq_epi32(_mm_and_si128(v, notAscii), _mm_setzero_si128())) != 0xFFFF) {
        return false;
    }
    __m128i units = _mm_packs_epi32(v, v);
    __m128i bytes = _mm_packus_epi16(units, units);
    int four = _mm_cvtsi128_si32(bytes);
    __builtin_memcpy(w, &four, 4);
    read += 16;
    w += 4;
    return true;
}

// Eight UTF-32 values up to FFFF, none a surrogate, one unit each.
SSE2 inline bool NarrowValues(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m128i a = Load(read);
    __m128i b = Load(read + 16);
    __m128i high = _mm_or_si128(_mm_srli_epi32(a, 16), _mm_srli_epi32(b, 16));
    if (Mask(_mm_cmpeq_epi32(high, _mm_setzero_si128())) != 0xFFFF) {
        return false;
    }
    // Signed packing keeps values exact once they are moved to be signed 16-bit.
    __m128i bias = _mm_set1_epi32(0x8000);
    __m128i packed = _mm_packs_epi32(_mm_sub_epi32(a, bias), _mm_sub_epi32(b, bias));
    __m128i units = _mm_xor_si128(packed, _mm_set1_epi16(static_cast<short>(0x8000)));
    if (Mask(_mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xF800))),
                             _mm_set1_epi16(static_cast<short>(0xD800)))) != 0) {
        return false;
    }
    Store(w, units);
    read += 32;
    w += 16;
    return true;
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

// Line ends, sixty-four bytes a chunk: four registers, so that what is done once a chunk (finding
// its line ends, storing its rest again) is done once for as many bytes as the widest level's.
SSE2 inline void CopyChunk64(const uint8_t* at, uint8_t* w) {
    __m128i v0 = Load(at), v1 = Load(at + 16), v2 = Load(at + 32), v3 = Load(at + 48);
    Store(w, v0);
    Store(w + 16, v1);
    Store(w + 32, v2);
    Store(w + 48, v3);
}

// Bit i set where unit i of kWidth bytes in the four registers is `value`.
template <uint32_t kWidth>
SSE2 inline uint64_t UnitsEqual(const __m128i (&v)[4], int value) {
    if constexpr (kWidth == 1) {
        __m128i units = _mm_set1_epi8(static_cast<char>(value));
        uint64_t bits = 0;
        for (int i = 0; i < 4; ++i) {
            bits |= static_cast<uint64_t>(Mask(_mm_cmpeq_epi8(v[i], units))) << (16 * i);
        }
        return bits;
    } else if constexpr (kWidth == 2) {
        __m128i units = _mm_set1_epi16(static_cast<short>(value));
        __m128i low = _mm_packs_epi16(_mm_cmpeq_epi16(v[0], units), _mm_cmpeq_epi16(v[1], units));
        __m128i high = _mm_packs_epi16(_mm_cmpeq_epi16(v[2], units), _mm_cmpeq_epi16(v[3], units));
        return Mask(low) | Mask(high) << 16;
    } else {
        __m128i units = _mm_set1_epi32(value);
        __m128i low = _mm_packs_epi32(_mm_cmpeq_epi32(v[0], units), _mm_cmpeq_epi32(v[1], units));
        __m128i high = _mm_packs_epi32(_mm_cmpeq_epi32(v[2], units), _mm_cmpeq_epi32(v[3], units));
        return Mask(_mm_packs_epi16(low, high));
    }
}

template <uint32_t kWidth>
SSE2 inline ChunkUnits MatchChunk64(const uint8_t* at) {
    const __m128i v[4] = {Load(at), Load(at + 16), Load(at + 32), Load(at + 48)};
    return {UnitsEqual<kWidth>(v, 0x0D), UnitsEqual<kWidth>(v, 0x0A)};
}

KERNEL_ENTRY SSE2 const uint8_t* LineEndsSse2(const uint8_t* read, const uint8_t* end,
                                              uint8_t** write, const uint8_t* writeEnd,
                                              LineEndRun* run) {
    return LineEndChunks<64, CopyChunk64, MatchChunk64<1>, MatchChunk64<2>, MatchChunk64<4>>(
        read, end, write, writeEnd, run);
}

}  // namespace

bool Sse2Runs() {
    return __builtin_cpu_supports("sse2");
}

void AddSse2Kernels(RouteKernels& k) {
    k.utf8ToUtf16 = BlocksSse2<1, 16, WidenAscii<WidenTo16, 32>, StepUtf8ToUtf16, true>;
    k.utf8ToUtf32 = BlocksSse2<1, 16, WidenAscii<WidenTo32, 64>, StepUtf8ToUtf32, true>;
    k.utf8ToCodePage =
        BlocksSse2<1, 16, CopyAsciiToTarget, StepUtf8ToCodePage, false, TargetKeepsAscii>;
    k.utf16ToUtf8 = BlocksSse2<2, 16, NarrowAsciiUnits, StepUtf16ToUtf8, false>;
    k.utf16ToUtf32 = BlocksSse2<2, 16, WidenUnits, StepUtf16ToUtf32, false>;
    k.utf32ToUtf8 = BlocksSse2<4, 16, NarrowAsciiValues, StepUtf32ToUtf8, false>;
    k.utf32ToUtf16 = BlocksSse2<4, 32, NarrowValues, StepUtf32ToUtf16, false>;
    k.codePageToUtf8 = BlocksSse2<1, 16, CopyAsciiFromSource, StepCodePageToUtf8, true>;
    k.swapUnits16 = SwapUnits16Sse2;
    k.swapUnits32 = SwapUnits32Sse2;
    k.lineEnds = LineEndsSse2;
}

#else  // no vector kernels for this processor

bool Sse2Runs() {
    return false;
}

void AddSse2Kernels(RouteKernels&) {}

#endif
