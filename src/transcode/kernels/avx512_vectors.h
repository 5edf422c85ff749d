// What the AVX-512 kernels share: the AVX-512 instructions with their byte instructions (F, BW,
// VL, VBMI, VBMI2) and BMI2, compiled for them whatever the build's own baseline; the helpers that
// load, widen, test and store 64 bytes at once; and the run of AVX-512 blocks. The UTF blocks
// (avx512_utf_blocks.h) and the page planes (avx512_page_planes.h) are built from them. Every
// store is masked to the bytes produced, or lies within the kernel's overshoot.
#pragma once

#if defined(__i386__) || defined(__x86_64__)

#include "src/transcode/kernels/block_frame.h"
#include "src/transcode/kernels/x86_vectors.h"

// GCC takes the undefined register some of these intrinsics start from for a read of an
// uninitialised variable.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define AVX512 \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi2,popcnt")))

constexpr uint64_t LowBits(uint32_t n) {
    return n >= 64 ? ~0ull : (1ull << n) - 1;
}

// LowBits without a branch, where the 64-bit instruction is there.
AVX512 inline uint64_t FirstBits(uint32_t n) {
#if defined(__x86_64__)
    return _bzhi_u64(~0ull, n);
#else
    return LowBits(n);
#endif
}

AVX512 inline uint32_t CountBits(uint64_t bits) {
    return static_cast<uint32_t>(__builtin_popcountll(bits));
}

AVX512 inline __m512i Load64(const uint8_t* at) {
    return _mm512_loadu_si512(at);
}
AVX512 inline void Store64(uint8_t* at, __m512i v) {
    _mm512_storeu_si512(at, v);
}
AVX512 inline __m512i Bytes(int value) {
    return _mm512_set1_epi8(static_cast<char>(value));
}
AVX512 inline __m512i Halves(int value) {
    return _mm512_set1_epi16(static_cast<short>(value));
}
AVX512 inline __m512i Words(int value) {
    return _mm512_set1_epi32(value);
}

// Byte indexes for the byte permutes. In quarter q of `spread`, bytes 4i to 4i + 3 take byte
// 16q + i; `pair` takes, of two tables, byte 16q + i of the second into byte 4i + 1 and of the
// first into the lane's other bytes. `repeat` repeats the lowest byte of each 32-bit lane,
// `position` numbers the bytes of each lane, and half h of `interleave` takes bytes 32h + i of two
// tables in turn.
struct Indexes {
    uint8_t spread[4][64];
    uint8_t pair[4][64];
    uint8_t repeat[64];
    uint8_t position[64];
    uint8_t interleave[2][64];
    uint8_t even[64];
};

constexpr Indexes MakeIndexes() {
    Indexes x{};
    for (int q = 0; q < 4; ++q) {
        for (int i = 0; i < 64; ++i) {
            int source = 16 * q + i / 4;
            x.spread[q][i] = static_cast<uint8_t>(source);
            x.pair[q][i] = static_cast<uint8_t>(i % 4 == 1 ? 64 + source : source);
        }
    }
    for (int i = 0; i < 64; ++i) {
        x.repeat[i] = static_cast<uint8_t>(i % 16 / 4 * 4);
        x.position[i] = static_cast<uint8_t>(i % 4);
        for (int h = 0; h < 2; ++h) {
            x.interleave[h][i] = static_cast<uint8_t>(32 * h + i / 2 + (i % 2 == 1 ? 64 : 0));
        }
        x.even[i] = static_cast<uint8_t>(2 * i);
    }
    return x;
}

alignas(64) inline constexpr Indexes kIndexes = MakeIndexes();

AVX512 inline __m512i Index(const uint8_t* row) {
    return Load64(row);
}

// Stores the bytes of each 32-bit lane of `lanes` that lie below the count its bytes of `counts`
// repeat, one after the other, and nothing else; returns the position behind them.
AVX512 inline uint8_t* StoreCounted(uint8_t* w, __m512i lanes, __m512i counts) {
    __mmask64 keep = _mm512_cmplt_epu8_mask(Index(kIndexes.position), counts);
    uint32_t n = CountBits(keep);
    _mm512_mask_storeu_epi8(w, LowBits(n), _mm512_maskz_compress_epi8(keep, lanes));
    return w + n;
}

// Stores the bytes of `v` that `keep` marks, one after the other, and nothing else; returns the
// position behind them.
AVX512 inline uint8_t* StoreKept(uint8_t* w, __m512i v, uint64_t keep) {
    uint32_t n = CountBits(keep);
    _mm512_mask_storeu_epi8(w, FirstBits(n), _mm512_maskz_compress_epi8(keep, v));
    return w + n;
}

// Stores the first `n` bytes of `v`.
AVX512 inline void StoreFirst(uint8_t* w, __m512i v, uint32_t n) {
    _mm512_mask_storeu_epi8(w, LowBits(n), v);
}

// The first `bytes` bytes of a row of 64-byte stores at `w`.
AVX512 inline void StoreRow(uint8_t* w, const __m512i* row, uint32_t count, uint32_t bytes) {
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t before = 64 * i;
        StoreFirst(w + before, row[i], bytes > before ? bytes - before : 0);
    }
}

// The sixteen 16-bit lanes of half `h` of `v`, each widened to 32 bits.
AVX512 inline __m512i WidenHalf(__m512i v, int h) {
    return _mm512_cvtepu16_epi32(h == 0 ? _mm512_castsi512_si256(v)
                                        : _mm512_extracti64x4_epi64(v, 1));
}

// The 64 bytes of `v` widened into units of kUnit bytes (2 or 4): 64 * kUnit bytes in kUnit
// registers.
template <int kUnit>
AVX512 inline void WidenBytes(__m512i v, __m512i* row) {
    if constexpr (kUnit == 2) {
        row[0] = _mm512_cvtepu8_epi16(_mm512_castsi512_si256(v));
        row[1] = _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(v, 1));
    } else {
        row[0] = _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 0));
        row[1] = _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 1));
        row[2] = _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 2));
        row[3] = _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 3));
    }
}

// The lanes of 16-bit units that are surrogates.
AVX512 inline __mmask32 Surrogates(__m512i units) {
    return _mm512_cmpeq_epi16_mask(_mm512_and_si512(units, Halves(0xF800)), Halves(0xD800));
}

// Whether sixteen 32-bit values are each one UTF-16 unit: up to FFFF, and no surrogate.
AVX512 inline bool AllOneUnit(__m512i values) {
    return _mm512_cmpge_epu32_mask(values, Words(0x10000)) == 0 &&
           _mm512_cmpeq_epi32_mask(_mm512_and_si512(values, Words(0xFFFFF800)), Words(0xD800)) == 0;
}

// A run of AVX-512 blocks of 64 bytes (block_frame.h), compiled for AVX-512: `kLines`, the most
// lines of output a block writes; `tail`, what converts the bytes left before the limit once
// fewer than a block are left; `hold`, what the run's blocks keep in registers.
template <auto block, auto tail, int kLines, auto hold>
KERNEL_ENTRY AVX512 bool RunAvx512(const uint8_t*& read, const uint8_t* limit, uint8_t*& w,
                                   Replacements& counts) {
    return RunOfBlocks<64, block, tail, kLines, hold>(read, limit, w, counts);
}

template <uint32_t kWidth, int kLines, auto block, auto step, auto tail = nullptr,
          auto hold = nullptr>
constexpr RouteKernel BlocksAvx512 =
    RunBlocks<kWidth, 64, RunAvx512<block, tail, kLines, hold>, step, kWidth == 1>;

#endif
