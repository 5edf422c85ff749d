// The AVX-512 kernels, chosen at run time where the processor has AVX-512 with its byte
// instructions (F, BW, VL, VBMI, VBMI2) and BMI2: the UTF blocks of avx512_utf_blocks.h and the
// page blocks of avx512_page_planes.h, each taking 64 input bytes at once. The byte order is turned
// as the AVX2 level turns it, which ran faster here. Anything else goes character by character
// through the steps of plain/character_steps.h.
#include "src/transcode/kernels/route_kernels.h"

#if defined(__i386__) || defined(__x86_64__)

#include <cstring>

#include "src/transcode/kernels/avx512_page_planes.h"
#include "src/transcode/kernels/avx512_utf_blocks.h"
#include "src/transcode/kernels/avx512_vectors.h"
#include "src/transcode/kernels/line_end_chunks.h"
#include "src/transcode/plain/character_steps.h"

namespace {

// Line ends, sixty-four bytes a chunk.
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

// Line ends are this level's own, in place of the common frame: LF lines move a chunk's units past
// the units left out all at once (compress), so that a chunk costs the same however many line ends
// it holds; CR LF lines spread a chunk around the one unit it gains (expand). (Spreading around
// any number of units, the places worked out by bit deposit and extract, ran at half the frame's
// speed here: only the chunk with one CR to put in goes that way, and that is nearly every chunk.)

template <uint32_t kWidth>
AVX512 inline __m512i UnitsOf(int value) {
    if constexpr (kWidth == 1) {
        return Bytes(value);
    } else if constexpr (kWidth == 2) {
        return Halves(value);
    } else {
        return Words(value);
    }
}

// `v` with the units `mask` marks set to `with`'s.
template <uint32_t kWidth>
AVX512 inline __m512i SetUnits(__m512i v, uint64_t mask, __m512i with) {
    if constexpr (kWidth == 1) {
        return _mm512_mask_mov_epi8(v, mask, with);
    } else if constexpr (kWidth == 2) {
        return _mm512_mask_mov_epi16(v, static_cast<__mmask32>(mask), with);
    } else {
        return _mm512_mask_mov_epi32(v, static_cast<__mmask16>(mask), with);
    }
}

// The units `mask` marks, moved together from the first unit on.
template <uint32_t kWidth>
AVX512 inline __m512i KeepUnits(uint64_t mask, __m512i v) {
    if constexpr (kWidth == 1) {
        return _mm512_maskz_compress_epi8(mask, v);
    } else if constexpr (kWidth == 2) {
        return _mm512_maskz_compress_epi16(static_cast<__mmask32>(mask), v);
    } else {
        return _mm512_maskz_compress_epi32(static_cast<__mmask16>(mask), v);
    }
}

// `v` spread over a whole chunk, a unit of `fill` at each unit `mask` leaves out.
template <uint32_t kWidth>
AVX512 inline __m512i SpreadUnits(__m512i fill, uint64_t mask, __m512i v) {
    if constexpr (kWidth == 1) {
        return _mm512_mask_expand_epi8(fill, mask, v);
    } else if constexpr (kWidth == 2) {
        return _mm512_mask_expand_epi16(fill, static_cast<__mmask32>(mask), v);
    } else {
        return _mm512_mask_expand_epi32(fill, static_cast<__mmask16>(mask), v);
    }
}

// CR LF lines: a CR goes in before each LF that follows no CR, an LF after each CR that no LF
// follows. A chunk with no unit to put in, or one CR, is stored once, spread around the CR, and
// its last unit, pushed out, stored behind. Any other chunk is stored whole and again behind each
// unit put in, from the input, as the frame does.
template <uint32_t kWidth>
AVX512 inline const uint8_t* CrLfChunks(const uint8_t* read, const uint8_t* end, uint8_t** write,
                                        const uint8_t* writeEnd, LineEndRun* run) {
    constexpr uint32_t kUnits = 64 / kWidth;
    const uint8_t* const readFrom = read;
    uint8_t* w = *write;
    uint8_t* const writeFrom = w;
    uint64_t afterCr = run->afterCr ? 1 : 0;
    for (ptrdiff_t chunks; (chunks = ChunksThatFit<64>(read, end, w, writeEnd)) > 0;) {
        for (const uint8_t* stop = read + chunks * 64; read != stop; read += 64) {
            __builtin_prefetch(read + kLineEndReadAhead, 0, 3);
            ChunkUnits units = MatchChunk64<kWidth>(read);
            uint64_t inserts = (units.lf ^ ((units.cr << 1) | afterCr)) & LowBits(kUnits);
            afterCr = units.cr >> (kUnits - 1);
            if ((inserts & ((inserts - 1) | ~units.lf)) == 0) {
                Store64(w, SpreadUnits<kWidth>(UnitsOf<kWidth>(0x0D), ~inserts & LowBits(kUnits),
                                               Load64(read)));
                std::memcpy(w + 64, read + 64 - kWidth, kWidth);
                w += 64 + (inserts != 0 ? kWidth : 0);
            } else {
                Store64(w, Load64(read));
                uint32_t done = 0;
                for (; inserts != 0; inserts &= inserts - 1) {
                    uint32_t unit = LowestBit(inserts);
                    uint32_t at = unit * kWidth;
                    w += at - done;
                    PutLineEndUnit<kWidth>(w, ((units.lf >> unit) & 1) != 0 ? 0x0D : 0x0A);
                    w += kWidth;
                    Store64(w, Load64(read + at));
                    done = at;
                }
                w += 64 - done;
            }
        }
    }
    // Every unit written is one read or one put in.
    run->changed += static_cast<uint64_t>((w - writeFrom) - (read - readFrom)) / kWidth;
    run->afterCr = afterCr != 0;
    *write = w;
    return read;
}

// LF lines: every CR becomes an LF, and an LF right behind a CR is left out. A CR that ends a
// chunk waits: its LF goes in front of the next chunk unless that starts with one.
template <uint32_t kWidth>
AVX512 inline const uint8_t* LfChunks(const uint8_t* read, const uint8_t* end, uint8_t** write,
                                      const uint8_t* writeEnd, LineEndRun* run) {
    constexpr uint32_t kUnits = 64 / kWidth;
    constexpr uint64_t kLast = 1ull << (kUnits - 1);
    uint8_t* w = *write;
    uint64_t waiting = run->afterCr ? 1 : 0;
    uint64_t changed = 0;
    for (ptrdiff_t chunks; (chunks = ChunksThatFit<64>(read, end, w, writeEnd)) > 0;) {
        for (const uint8_t* stop = read + chunks * 64; read != stop; read += 64) {
            // A copy's output is the input, read from memory: asked for ahead, as the frame does.
            __builtin_prefetch(read + kLineEndReadAhead, 0, 3);
            ChunkUnits units = MatchChunk64<kWidth>(read);
            __m512i v = SetUnits<kWidth>(Load64(read), units.cr, UnitsOf<kWidth>(0x0A));
            PutLineEndUnit<kWidth>(w, 0x0A);
            w += (waiting & ~units.lf & 1) * kWidth;
            uint64_t keep = ~((units.lf & (units.cr << 1)) | (units.cr & kLast)) & LowBits(kUnits);
            Store64(w, KeepUnits<kWidth>(keep, v));
            w += static_cast<uint32_t>(__builtin_popcountll(keep)) * kWidth;
            changed += waiting + static_cast<uint64_t>(__builtin_popcountll(units.cr & ~kLast));
            waiting = units.cr >> (kUnits - 1);
        }
    }
    run->afterCr = waiting != 0;
    run->changed += changed;
    *write = w;
    return read;
}

KERNEL_ENTRY AVX512 const uint8_t* LineEndsAvx512(const uint8_t* read, const uint8_t* end,
                                                  uint8_t** write, const uint8_t* writeEnd,
                                                  LineEndRun* run) {
    if (run->crLf) {
        switch (run->width) {
            case 1:
                return CrLfChunks<1>(read, end, write, writeEnd, run);
            case 2:
                return CrLfChunks<2>(read, end, write, writeEnd, run);
            default:
                return CrLfChunks<4>(read, end, write, writeEnd, run);
        }
    }
    switch (run->width) {
        case 1:
            return LfChunks<1>(read, end, write, writeEnd, run);
        case 2:
            return LfChunks<2>(read, end, write, writeEnd, run);
        default:
            return LfChunks<4>(read, end, write, writeEnd, run);
    }
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
