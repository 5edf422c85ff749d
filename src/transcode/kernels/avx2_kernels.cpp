// The AVX2 kernels, chosen at run time where the processor has AVX2 (and not the AVX-512 that
// the widest level needs). Thirty-two input bytes are taken at once where they are ASCII or units
// that widen and narrow plainly; a UTF-8 or UTF-16 block with other characters goes through the
// SSSE3 blocks, here compiled for AVX2, and what those refuse character by character through the
// steps of plain/character_steps.h. Byte code pages keep the table loops of the levels below:
// looked up eight bytes at a time with gathers, they ran slower than those.
#include "src/transcode/kernels/route_kernels.h"

#if defined(__i386__) || defined(__x86_64__)

#include "src/transcode/kernels/block_frame.h"
#include "src/transcode/kernels/line_end_chunks.h"
#include "src/transcode/kernels/ssse3_blocks.h"
#include "src/transcode/kernels/x86_vectors.h"
#include "src/transcode/plain/character_steps.h"

#define AVX2 __attribute__((target("avx2")))

namespace {

AVX2 inline __m256i Load32(const uint8_t* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}
AVX2 inline void Store32(uint8_t* at, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), v);
}
AVX2 inline bool IsAscii(__m256i v) {
    return _mm256_movemask_epi8(v) == 0;
}
AVX2 inline bool HasSurrogate(__m256i units) {
    __m256i top = _mm256_and_si256(units, _mm256_set1_epi16(static_cast<short>(0xF800)));
    return !_mm256_testz_si256(
        _mm256_cmpeq_epi16(top, _mm256_set1_epi16(static_cast<short>(0xD800))),
        _mm256_set1_epi8(-1));
}

// From UTF-8: 32 bytes of ASCII widened into units of kUnit bytes, or 16 bytes of one- to three-
// byte characters through the SSSE3 block.
template <int kUnit>
AVX2 inline bool Utf8Block(const uint8_t*& read, uint8_t*& w, Replacements& counts) {
    __m256i v = Load32(read);
    if (!IsAscii(v)) {
        return kUnit == 2 ? DecodeUtf8<WidenTo16, 32, StoreLanesAs16>(read, w, counts)
                          : DecodeUtf8<WidenTo32, 64, StoreLanesAs32>(read, w, counts);
    }
    __m128i low = _mm256_castsi256_si128(v);
    __m128i high = _mm256_extracti128_si256(v, 1);
    if (kUnit == 2) {
        Store32(w, _mm256_cvtepu8_epi16(low));
        Store32(w + 32, _mm256_cvtepu8_epi16(high));
    } else {
        Store32(w, _mm256_cvtepu8_epi32(low));
        Store32(w + 32, _mm256_cvtepu8_epi32(_mm_srli_si128(low, 8)));
        Store32(w + 64, _mm256_cvtepu8_epi32(high));
        Store32(w + 96, _mm256_cvtepu8_epi32(_mm_srli_si128(high, 8)));
    }
    read += 32;
    w += 32 * kUnit;
    return true;
}

// Sixteen UTF-16 units of ASCII narrowed, or eight others through the SSSE3 block.
AVX2 inline bool Utf16ToUtf8Block(const uint8_t*& read, uint8_t*& w, Replacements& counts) {
    __m256i v = Load32(read);
    if (!_mm256_testz_si256(v, _mm256_set1_epi16(static_cast<short>(0xFF80)))) {
        return EncodeUnits(read, w, counts);
    }
    __m128i packed = _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w), packed);
    read += 32;
    w += 16;
    return true;
}

// Sixteen UTF-16 units, none a surrogate.
AVX2 inline bool Utf16ToUtf32Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m256i v = Load32(read);
    if (HasSurrogate(v)) {
        return false;
    }
    Store32(w, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(v)));
    Store32(w + 32, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(v, 1)));
    read += 32;
    w += 64;
    return true;
}

// Sixteen UTF-32 values up to FFFF, none a surrogate, one unit each.
AVX2 inline bool Utf32ToUtf16Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m256i a = Load32(read);
    __m256i b = Load32(read + 32);
    if (!_mm256_testz_si256(_mm256_or_si256(a, b),
                            _mm256_set1_epi32(static_cast<int>(0xFFFF0000u)))) {
        return false;
    }
    // packus works within each 128-bit half; the quarters are then put back in order.
    __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
    if (HasSurrogate(packed)) {
        return false;
    }
    Store32(w, packed);
    read += 64;
    w += 32;
    return true;
}

// Eight UTF-32 values of ASCII.
AVX2 inline bool Utf32ToUtf8Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m256i v = Load32(read);
    if (!_mm256_testz_si256(v, _mm256_set1_epi32(static_cast<int>(0xFFFFFF80u)))) {
        return false;
    }
    __m128i units = _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(w), _mm_packus_epi16(units, units));
    read += 32;
    w += 8;
    return true;
}

// A run of AVX2 blocks of kBlock bytes (block_frame.h), compiled for AVX2.
template <ptrdiff_t kBlock, Block block>
KERNEL_ENTRY AVX2 bool RunAvx2(const uint8_t*& read, const uint8_t* limit, uint8_t*& w,
                               Replacements& counts) {
    return RunOfBlocks<kBlock, block>(read, limit, w, counts);
}

template <uint32_t kWidth, ptrdiff_t kBlock, Block block, auto step>
constexpr RouteKernel BlocksAvx2 =
    RunBlocks<kWidth, kBlock, RunAvx2<kBlock, block>, step, kWidth == 1>;

template <int kWidth>
KERNEL_ENTRY AVX2 void SwapUnitsAvx2(uint8_t* bytes, size_t count) {
    const __m256i swap =
        kWidth == 2 ? _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14, 1, 0,
                                       3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14)
                    : _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3, 2,
                                       1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
    size_t i = 0;
    for (; count - i >= 32; i += 32) {
        Store32(bytes + i, _mm256_shuffle_epi8(Load32(bytes + i), swap));
    }
    if (kWidth == 2) {
        kPortableKernels.swapUnits16(bytes + i, count - i);
    } else {
        kPortableKernels.swapUnits32(bytes + i, count - i);
    }
}

// Line ends, sixty-four bytes a chunk in two registers (as the SSE2 level takes them).
AVX2 inline void CopyChunk64(const uint8_t* at, uint8_t* w) {
    __m256i v0 = Load32(at), v1 = Load32(at + 32);
    Store32(w, v0);
    Store32(w + 32, v1);
}

// Bit i set where unit i of kWidth bytes in the two registers is `value`.
template <uint32_t kWidth>
AVX2 inline uint64_t UnitsEqual(__m256i v0, __m256i v1, int value) {
    if constexpr (kWidth == 1) {
        __m256i units = _mm256_set1_epi8(static_cast<char>(value));
        uint32_t low = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v0, units)));
        uint32_t high = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v1, units)));
        return low | static_cast<uint64_t>(high) << 32;
    } else if constexpr (kWidth == 2) {
        __m256i units = _mm256_set1_epi16(static_cast<short>(value));
        // Packed within each half of the register, and the quarters put back in order.
        __m256i packed =
            _mm256_packs_epi16(_mm256_cmpeq_epi16(v0, units), _mm256_cmpeq_epi16(v1, units));
        return static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 2, 0))));
    } else {
        __m256i units = _mm256_set1_epi32(value);
        uint32_t low = static_cast<uint32_t>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(v0, units))));
        uint32_t high = static_cast<uint32_t>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(v1, units))));
        return low | high << 8;
    }
}

template <uint32_t kWidth>
AVX2 inline ChunkUnits MatchChunk64(const uint8_t* at) {
    __m256i v0 = Load32(at), v1 = Load32(at + 32);
    return {UnitsEqual<kWidth>(v0, v1, 0x0D), UnitsEqual<kWidth>(v0, v1, 0x0A)};
}

KERNEL_ENTRY AVX2 const uint8_t* LineEndsAvx2(const uint8_t* read, const uint8_t* end,
                                              uint8_t** write, const uint8_t* writeEnd,
                                              LineEndRun* run) {
    return LineEndChunks<64, CopyChunk64, MatchChunk64<1>, MatchChunk64<2>, MatchChunk64<4>>(
        read, end, write, writeEnd, run);
}

}  // namespace

bool Avx2Runs() {
    return __builtin_cpu_supports("avx2");
}

void AddAvx2Kernels(RouteKernels& k) {
    k.utf8ToUtf16 = BlocksAvx2<1, 32, Utf8Block<2>, StepUtf8ToUtf16>;
    k.utf8ToUtf32 = BlocksAvx2<1, 32, Utf8Block<4>, StepUtf8ToUtf32>;
    k.utf16ToUtf8 = BlocksAvx2<2, 32, Utf16ToUtf8Block, StepUtf16ToUtf8>;
    k.utf16ToUtf32 = BlocksAvx2<2, 32, Utf16ToUtf32Block, StepUtf16ToUtf32>;
    k.utf32ToUtf8 = BlocksAvx2<4, 32, Utf32ToUtf8Block, StepUtf32ToUtf8>;
    k.utf32ToUtf16 = BlocksAvx2<4, 64, Utf32ToUtf16Block, StepUtf32ToUtf16>;
    k.swapUnits16 = SwapUnitsAvx2<2>;
    k.swapUnits32 = SwapUnitsAvx2<4>;
    k.lineEnds = LineEndsAvx2;
}

#else  // no vector kernels for this processor

bool Avx2Runs() {
    return false;
}

void AddAvx2Kernels(RouteKernels&) {}

#endif
