// The AVX-512 kernels, chosen at run time where the processor has AVX-512 with its byte
// instructions (F, BW, VL, VBMI, VBMI2) and BMI2: the UTF blocks of avx512_utf_blocks.h and the
// page blocks of avx512_page_planes.h, each taking 64 input bytes at once. The byte order is turned
// as the AVX2 level turns it, which ran faster here. Anything else goes character by character
// through the steps of plain/character_steps.h.
#include "src/transcode/kernels/route_kernels.h"

#if defined(__i386__) || defined(__x86_64__)

#include "src/transcode/kernels/avx512_page_planes.h"
#include "src/transcode/kernels/avx512_utf_blocks.h"
#include "src/transcode/kernels/avx512_vectors.h"
#include "src/transcode/kernels/line_end_chunks.h"
#include "src/transcode/plain/character_steps.h"

namespace {

// Line ends, sixty-four bytes a chunk.
AVX512 inline void CopyChunk64(const uint8_t* at, uint8_t* w) {
    Store64(w, Load64(at));
}

template <uint32_t kWidth>
AVX512 inline ChunkUnits MatchChunk64(const uint8_t* at) {
    __m512i v = Load64(at);
    if constexpr (kWidth == 1) {
        return {_mm512_cmpeq_epi8_mask(v, Bytes(0x0D)), _mm512_cmpeq_epi8_mask(v, Bytes(0x0A))};
    } else if constexpr (kWidth == 2) {
        return {_mm512_cmpeq_epi16_mask(v, Halves(0x0D)), _mm512_cmpeq_epi16_mask(v, Halves(0x0A))};
    } else {
        return {_mm512_cmpeq_epi32_mask(v, Words(0x0D)), _mm512_cmpeq_epi32_mask(v, Words(0x0A))};
    }
}

KERNEL_ENTRY AVX512 const uint8_t* LineEndsAvx512(const uint8_t* read, const uint8_t* end,
                                                  uint8_t** write, const uint8_t* writeEnd,
                                                  LineEndRun* run) {
    return LineEndChunks<64, CopyChunk64, MatchChunk64<1>, MatchChunk64<2>, MatchChunk64<4>>(
        read, end, write, writeEnd, run);
}

}  // namespace

bool Avx512Runs() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
           __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi2");
}

void AddAvx512Kernels(RouteKernels& k) {
    k.utf8ToUtf16 = BlocksAvx512<1, 2, Utf8ToUtf16Block, StepUtf8ToUtf16, AsciiTail<2>, HoldLimit>;
    k.utf8ToUtf32 = BlocksAvx512<1, 4, Utf8ToUtf32Block, StepUtf8ToUtf32, AsciiTail<4>>;
    k.utf8ToCodePage =
        BlocksAvx512<1, 0, Utf8ToCodePageBlock, StepUtf8ToCodePage, AsciiTail<1>, HoldWindow>;
    k.utf16ToUtf8 = BlocksAvx512<2, 2, Utf16ToUtf8Block, StepUtf16ToUtf8, nullptr, HoldLimit>;
    k.utf16ToUtf32 = BlocksAvx512<2, 2, Utf16ToUtf32Block, StepUtf16ToUtf32>;
    k.utf32ToUtf8 = BlocksAvx512<4, 1, Utf32ToUtf8Block, StepUtf32ToUtf8>;
    k.utf32ToUtf16 = BlocksAvx512<4, 1, Utf32ToUtf16Block, StepUtf32ToUtf16>;
    k.codePageToUtf8 = PageBlocksAvx512<4, CodePageToUtf8Block, kUtf8Planes, 3, StepCodePageToUtf8>;
    k.codePageToUtf16 =
        PageBlocksAvx512<3, CodePageToUtf16Block, kUnitPlanes, 2, StepCodePageToUtf16>;
    k.codePageToUtf32 =
        PageBlocksAvx512<3, CodePageToUtf32Block, kPointPlanes, 4, StepCodePageToUtf32>;
    k.codePageToCodePage =
        PageBlocksAvx512<2, CodePageToCodePageBlock, kTargetPlanes, 1, StepCodePageToCodePage>;
    k.lineEnds = LineEndsAvx512;
    k.loadPages = LoadWindowAndPlanes;
}

#else  // no vector kernels for this processor

bool Avx512Runs() {
    return false;
}

void AddAvx512Kernels(RouteKernels&) {}

#endif
