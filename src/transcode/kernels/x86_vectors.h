// What the x86 kernels share: the x86 vector helpers, compiled for their instruction set whatever
// the build's own baseline.
#pragma once

#if defined(__i386__) || defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>

#include "src/transcode/kernels/route_kernels.h"

// The 32-bit Windows stack is only 4-byte aligned; vector spills need 16.
#if defined(__i386__)
#define KERNEL_ENTRY __attribute__((force_align_arg_pointer))
#else
#define KERNEL_ENTRY
#endif
#define SSE2 __attribute__((target("sse2")))
#define SSSE3 __attribute__((target("ssse3")))

SSE2 inline __m128i Load(const uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
SSE2 inline void Store(uint8_t* at, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
}
SSE2 inline unsigned Mask(__m128i v) {
    return static_cast<unsigned>(_mm_movemask_epi8(v));
}

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

// A block converts a whole block of input at `read` where it qualifies, and says whether it did.
typedef bool (*Block)(const uint8_t*& read, uint8_t*& write, Replacements& counts);

#endif
