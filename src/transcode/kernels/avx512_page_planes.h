// The AVX-512 blocks to and from a byte code page, whose tables are held in registers: from a
// page, each of the source page's tables as 256-byte planes, looked up 64 bytes at once in four
// registers; to a page from UTF-8, a window of 128 units of the target page's table, looked up 64
// units at once, and the table itself through gathers.
#pragma once

#if defined(__i386__) || defined(__x86_64__)

#include "src/transcode/kernels/avx512_utf_blocks.h"
#include "src/transcode/kernels/avx512_vectors.h"
#include "src/transcode/plain/character_steps.h"

// --- To a byte code page ---------------------------------------------------------------------

// Up to 32 units through the target page's table, each as the bytes its entry holds. False, with
// some output written, where an entry takes the rare path: the caller takes the block slowly.
AVX512 inline bool StoreThroughTarget(uint8_t*& w, __m512i units, uint32_t count) {
    for (uint32_t q = 0; q < 2 && count > 16 * q; ++q) {
        __m512i u = WidenHalf(units, static_cast<int>(q));
        __mmask16 valid = static_cast<__mmask16>(LowBits(count - 16 * q));
        __m512i entries =
            _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), valid, u, targetPage.multiByte, 4);
        if (_mm512_mask_cmplt_epu32_mask(valid, entries, Words(kFirstSizedEntry)) != 0) {
            return false;
        }
        __m512i counts =
            _mm512_shuffle_epi8(_mm512_srli_epi32(entries, 24), Index(kIndexes.repeat));
        w = StoreCounted(w, entries, counts);
    }
    return true;
}

// The target page's bytes for one window of 128 units (those that share all bits but the low
// seven), held in two registers and looked up 64 units at once: the window of the first unit
// beyond ASCII that a long stretch of text meets. `single` is nonzero where the page writes the
// unit as one byte of its table; any other unit in the window sends its block to the gathers.
struct TargetWindow {
    uint8_t bytes[128];
    uint8_t single[128];
    uint32_t first;  // the window's first unit, or kNoWindow
};

constexpr uint32_t kNoWindow = ~0u;
// A window is worth its 128 units only for a long stretch of text.
constexpr ptrdiff_t kWindowStretch = 4096;

alignas(64) inline TargetWindow window;

// Asks the platform, in as few calls as there are gaps, about the units of the window around
// `unit` not asked before, and fills the window.
inline void OpenWindow(uint32_t unit) {
    uint32_t first = unit & ~0x7Fu;
    for (uint32_t u = first; u < first + 128;) {
        uint32_t end = u;
        while (end < first + 128 && !targetPage.asked[end]) {
            ++end;
        }
        if (end > u) {
            FillTargetUnits(u, end - u);
        }
        u = end + 1;
    }
    for (uint32_t i = 0; i < 128; ++i) {
        uint32_t entry = targetPage.multiByte[first + i];
        window.bytes[i] = static_cast<uint8_t>(entry);
        window.single[i] = entry >= kFirstSizedEntry && (entry >> 24) == 1;
    }
    window.first = first;
}

// Opens the window of the first unit beyond ASCII among the decoded units, if there is one.
AVX512 inline bool OpenWindowFor(const __m512i* units, const uint32_t* counts) {
    for (int h = 0; h < 2; ++h) {
        __mmask32 beyond = _mm512_mask_cmpge_epu16_mask(static_cast<__mmask32>(LowBits(counts[h])),
                                                        units[h], Halves(0x80));
        if (beyond != 0) {
            alignas(64) uint16_t lanes[32];
            _mm512_store_si512(lanes, units[h]);
            OpenWindow(lanes[__builtin_ctz(beyond)]);
            return true;
        }
    }
    return false;
}

// Up to 32 units, each ASCII (where the page keeps it) or in the open window with one byte
// there, written as those bytes. False, with nothing written, for any other unit.
AVX512 inline bool StoreThroughWindow(uint8_t*& w, __m512i units, uint32_t count,
                                      const __m512i* held) {
    __mmask32 valid = static_cast<__mmask32>(LowBits(count));
    __mmask32 ascii =
        targetPage.keepsAscii ? _mm512_mask_cmplt_epu16_mask(valid, units, Halves(0x80)) : 0;
    __mmask32 inside = _mm512_mask_cmpeq_epi16_mask(valid, _mm512_and_si512(units, Halves(0xFF80)),
                                                    Halves(static_cast<int>(window.first)));
    if ((ascii | inside) != valid) {
        return false;
    }
    __m512i index = _mm512_castsi256_si512(_mm512_cvtepi16_epi8(units));
    __m256i bytes = _mm512_castsi512_si256(_mm512_permutex2var_epi8(held[0], index, held[1]));
    __m256i single = _mm512_castsi512_si256(_mm512_permutex2var_epi8(held[2], index, held[3]));
    if ((inside & ~_mm256_test_epi8_mask(single, single)) != 0) {
        return false;
    }
    __m256i out = _mm256_mask_blend_epi8(ascii, bytes, _mm512_castsi512_si256(index));
    _mm256_mask_storeu_epi8(w, valid, out);
    w += count;
    return true;
}

// Up to 32 units through the window where it holds them all, else through the table's gathers.
AVX512 inline bool StoreUnitsInPage(uint8_t*& w, __m512i units, uint32_t count,
                                    const __m512i* held) {
    return StoreThroughWindow(w, units, count, held) || StoreThroughTarget(w, units, count);
}

// The window in registers, loaded once for a run of blocks, and the run's limit.
struct HeldWindow {
    __m512i held[4];  // the window's bytes, then its flags of units written as one byte
    const uint8_t* limit;
    bool keepsAscii;  // the target page's, read once for the run
};

AVX512 inline void LoadWindow(HeldWindow& h) {
    h.held[0] = Load64(window.bytes);
    h.held[1] = Load64(window.bytes + 64);
    h.held[2] = Load64(window.single);
    h.held[3] = Load64(window.single + 64);
}

AVX512 inline HeldWindow HoldWindow(const uint8_t*, const uint8_t* limit) {
    HeldWindow h;
    LoadWindow(h);
    h.limit = limit;
    h.keepsAscii = targetPage.keepsAscii;
    return h;
}

// From UTF-8 to a code page: a block of ASCII copied where the target page keeps it, else a block
// of one- to three-byte characters decoded and its units stored through the window or the table.
// Every unit here was read whole, so only an entry of the rare path can make a "?" or a similar
// character that counts, and such an entry sends the block to the steps, its output undone.
AVX512 inline bool Utf8ToCodePageBlock(const uint8_t*& read, uint8_t*& w, Replacements&,
                                       HeldWindow& h) {
    __m512i v = Load64(read);
    if (h.keepsAscii && _mm512_movepi8_mask(v) == 0) {
        Store64(w, v);
        read += 64;
        w += 64;
        return true;
    }
    __m512i units[2];
    uint32_t counts[2];
    uint32_t length;
    if (!DecodeUtf8Block(read, v, units, counts, &length)) {
        return false;
    }
    if (window.first == kNoWindow && h.limit - read >= kWindowStretch &&
        OpenWindowFor(units, counts)) {
        LoadWindow(h);
    }
    uint8_t* start = w;
    if (StoreUnitsInPage(w, units[0], counts[0], h.held) &&
        StoreUnitsInPage(w, units[1], counts[1], h.held)) {
        read += length;
        return true;
    }
    w = start;
    return false;
}

// --- From a byte code page -------------------------------------------------------------------

// The source page's tables as 256-byte planes, one byte of each entry per plane, looked up with
// the byte itself as index. A byte is one unit, so its code point fits in 16 bits. The flags
// planes hold the tables' counts of unreadable bytes (0 or 1), the UTF-8 length plane in bit 7;
// the target page's flags plane the counts of a copy between pages in bits 0 to 2.
struct PagePlanes {
    uint8_t utf8[3][256];
    uint8_t utf8Length[256];
    uint8_t unitLow[256];
    uint8_t unitHigh[256];
    uint8_t unitUnreadable[256];
    uint8_t pointLow[256];
    uint8_t pointHigh[256];
    uint8_t pointUnreadable[256];
    uint8_t target[256];
    uint8_t targetFlags[256];
};

alignas(64) inline PagePlanes planes;

inline void LoadPlanes() {
    for (int b = 0; b < 256; ++b) {
        for (int i = 0; i < 3; ++i) {
            planes.utf8[i][b] = static_cast<uint8_t>(sourcePage.utf8[b] >> (8 * i));
        }
        planes.utf8Length[b] =
            static_cast<uint8_t>(sourcePage.utf8Length[b] | (sourcePage.utf8Unreadable[b] << 7));
        planes.unitLow[b] = static_cast<uint8_t>(sourcePage.units[b]);
        planes.unitHigh[b] = static_cast<uint8_t>(sourcePage.units[b] >> 8);
        planes.unitUnreadable[b] = static_cast<uint8_t>(sourcePage.unitUnreadable[b]);
        planes.pointLow[b] = static_cast<uint8_t>(sourcePage.codePoints[b]);
        planes.pointHigh[b] = static_cast<uint8_t>(sourcePage.codePoints[b] >> 8);
        planes.pointUnreadable[b] = static_cast<uint8_t>(sourcePage.codePointUnreadable[b]);
        planes.target[b] = static_cast<uint8_t>(sourcePage.targetBytes[b]);
        uint32_t flags = sourcePage.targetBytes[b];
        planes.targetFlags[b] = static_cast<uint8_t>(((flags >> kUnreadableShift) & 1) |
                                                     (((flags >> kMissingShift) & 1) << 1) |
                                                     (((flags >> kSimilarShift) & 1) << 2));
    }
}

// A plane in four registers, loaded once for a run of blocks.
struct Plane {
    __m512i quarter[4];
};

AVX512 inline Plane LoadPlane(const uint8_t* plane) {
    return Plane{{Load64(plane), Load64(plane + 64), Load64(plane + 128), Load64(plane + 192)}};
}

// Each of the 64 bytes of `v` looked up in a plane: two lookups of 128 entries each, the byte's
// high bit choosing between them.
AVX512 inline __m512i Look(const Plane& plane, __m512i v) {
    __m512i low = _mm512_permutex2var_epi8(plane.quarter[0], v, plane.quarter[1]);
    __m512i high = _mm512_permutex2var_epi8(plane.quarter[2], v, plane.quarter[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), low, high);
}

// The blocks of a byte code page take the first `n` bytes of `v` (64 but at the end of a run)
// and store what those give, and no more.
typedef void (*PageBlock)(__m512i v, uint32_t n, const Plane* planes, uint8_t*& w,
                          Replacements& counts);

// How many of the first `n` bytes of `v` have a flag set in `plane`.
AVX512 inline uint32_t CountFlags(const Plane& plane, __m512i v, uint32_t n) {
    return CountBits(_mm512_test_epi8_mask(Look(plane, v), Bytes(0xFF)) & LowBits(n));
}

AVX512 inline void CodePageToUtf8Block(__m512i v, uint32_t n, const Plane* p, uint8_t*& w,
                                       Replacements& counts) {
    if (sourcePage.keepsAscii && _mm512_movepi8_mask(v) == 0) {
        StoreFirst(w, v, n);
        w += n;
        return;
    }
    __m512i b0 = Look(p[0], v);
    __m512i b1 = Look(p[1], v);
    __m512i b2 = Look(p[2], v);
    __m512i lengths = Look(p[3], v);
    counts.unreadable += CountBits(_mm512_movepi8_mask(lengths) & LowBits(n));
    // Bytes past the first n write nothing.
    lengths = _mm512_maskz_mov_epi8(LowBits(n), _mm512_and_si512(lengths, Bytes(0x7F)));
    for (int q = 0; q < 4; ++q) {
        __m512i spread = Index(kIndexes.spread[q]);
        __m512i lanes = _mm512_permutex2var_epi8(b0, Index(kIndexes.pair[q]), b1);
        lanes = _mm512_mask_permutexvar_epi8(lanes, 0x4444444444444444ull, spread, b2);
        w = StoreCounted(w, lanes, _mm512_permutexvar_epi8(spread, lengths));
    }
}

AVX512 inline void CodePageToUtf16Block(__m512i v, uint32_t n, const Plane* p, uint8_t*& w,
                                        Replacements& counts) {
    __m512i low = Look(p[0], v);
    __m512i high = Look(p[1], v);
    counts.unreadable += CountFlags(p[2], v, n);
    __m512i row[2] = {_mm512_permutex2var_epi8(low, Index(kIndexes.interleave[0]), high),
                      _mm512_permutex2var_epi8(low, Index(kIndexes.interleave[1]), high)};
    StoreRow(w, row, 2, 2 * n);
    w += 2 * n;
}

AVX512 inline void CodePageToUtf32Block(__m512i v, uint32_t n, const Plane* p, uint8_t*& w,
                                        Replacements& counts) {
    __m512i low = Look(p[0], v);
    __m512i high = Look(p[1], v);
    counts.unreadable += CountFlags(p[2], v, n);
    __m512i row[4];
    for (int q = 0; q < 4; ++q) {
        row[q] = _mm512_maskz_permutex2var_epi8(0x3333333333333333ull, low, Index(kIndexes.pair[q]),
                                                high);
    }
    StoreRow(w, row, 4, 4 * n);
    w += 4 * n;
}

AVX512 inline void CodePageToCodePageBlock(__m512i v, uint32_t n, const Plane* p, uint8_t*& w,
                                           Replacements& counts) {
    StoreFirst(w, Look(p[0], v), n);
    __m512i flags = Look(p[1], v);
    uint64_t flagged = _mm512_test_epi8_mask(flags, flags) & LowBits(n);
    if (flagged != 0) [[unlikely]] {
        counts.unreadable += CountBits(_mm512_test_epi8_mask(flags, Bytes(1)) & flagged);
        counts.missing += CountBits(_mm512_test_epi8_mask(flags, Bytes(2)) & flagged);
        counts.similar += CountBits(_mm512_test_epi8_mask(flags, Bytes(4)) & flagged);
    }
    w += n;
}

inline const uint8_t* const kUtf8Planes[] = {planes.utf8[0], planes.utf8[1], planes.utf8[2],
                                             planes.utf8Length};
inline const uint8_t* const kUnitPlanes[] = {planes.unitLow, planes.unitHigh,
                                             planes.unitUnreadable};
inline const uint8_t* const kPointPlanes[] = {planes.pointLow, planes.pointHigh,
                                              planes.pointUnreadable};
inline const uint8_t* const kTargetPlanes[] = {planes.target, planes.targetFlags};

// The planes a route looks its bytes up in, in registers, loaded once for a run of blocks.
template <int kPlanes>
struct HeldPlanes {
    Plane plane[kPlanes];
};

template <int kPlanes, const uint8_t* const* sources>
AVX512 inline HeldPlanes<kPlanes> HoldPlanes(const uint8_t*, const uint8_t*) {
    HeldPlanes<kPlanes> held;
    for (int i = 0; i < kPlanes; ++i) {
        held.plane[i] = LoadPlane(sources[i]);
    }
    return held;
}

// A byte code page has no byte a block refuses: every byte before the limit goes through `block`,
// 64 at a time, and the last few bytes too.
template <int kPlanes, PageBlock block>
AVX512 inline bool WholePageBlock(const uint8_t*& read, uint8_t*& w, Replacements& counts,
                                  HeldPlanes<kPlanes>& held) {
    block(Load64(read), 64, held.plane, w, counts);
    read += 64;
    return true;
}

template <int kPlanes, PageBlock block>
AVX512 inline void PageTail(const uint8_t*& read, uint32_t n, uint8_t*& w, Replacements& counts,
                            HeldPlanes<kPlanes>& held) {
    block(_mm512_maskz_loadu_epi8(LowBits(n), read), n, held.plane, w, counts);
    read += n;
}

// From a byte code page through the planes of `sources`, `kLines` the most lines of output a
// block writes.
template <int kPlanes, PageBlock block, const uint8_t* const* sources, int kLines, auto step>
constexpr RouteKernel PageBlocksAvx512 =
    BlocksAvx512<1, kLines, WholePageBlock<kPlanes, block>, step, PageTail<kPlanes, block>,
                 HoldPlanes<kPlanes, sources>>;

// A new run's tables: no window open yet, and the source page's planes.
inline void LoadWindowAndPlanes() {
    window.first = kNoWindow;
    LoadPlanes();
}

#endif
