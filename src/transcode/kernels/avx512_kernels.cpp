// The AVX-512 kernels, chosen at run time where the processor has AVX-512 with its byte
// instructions (F, BW, VL, VBMI, VBMI2). Sixty-four input bytes are taken at once: a block of
// one- to three-byte UTF-8 characters is decoded in every byte's lane and the lanes where a
// character starts are compressed together; UTF-16 units are encoded in 32-bit lanes whose
// bytes are compressed the same way; a byte code page is looked up 64 bytes at once in tables
// of 256 bytes held in four registers. The byte order is turned as the AVX2 level turns it,
// which ran faster here. Anything else goes character by character through the
// steps of plain/character_steps.h. Every store is masked to the bytes produced.
#include "src/transcode/kernels/route_kernels.h"

#if defined(__i386__) || defined(__x86_64__)

#include "src/transcode/kernels/block_frame.h"
#include "src/transcode/kernels/x86_vectors.h"
#include "src/transcode/plain/character_steps.h"

// GCC takes the undefined register some of these intrinsics start from for a read of an
// uninitialised variable.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,popcnt")))

namespace {

constexpr uint64_t LowBits(uint32_t n) {
    return n >= 64 ? ~0ull : (1ull << n) - 1;
}

uint32_t CountBits(uint64_t bits) {
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

// Byte indexes that gather lanes of four bytes from 16 bytes of input: in quarter q, bytes 4i to
// 4i + 3 take byte 16q + i (kSpread), or of two tables byte 16q + i of the first and of the second
// (kPair); kRepeat repeats the lowest byte of each 32-bit lane, kPosition numbers the bytes of
// each lane.
struct Indexes {
    uint8_t spread[4][64];
    uint8_t pair[4][64];
    uint8_t repeat[64];
    uint8_t position[64];
    uint8_t interleave[2][64];
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
    }
    return x;
}

alignas(64) constexpr Indexes kIndexes = MakeIndexes();

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

// The output goes to lines of the block that were read long before and have left the nearest
// caches, and a store that has to fetch its line first holds up the ones behind it. So before
// each block the lines some way ahead are asked for: `kLines` lines of output for writing, as
// many as one block's output may fill, and the input's line at the same distance. On 4 MiB of
// ASCII this took UTF-8 to UTF-16 from about 7 to 11 GB/s here. (The hints never fault, wherever
// their addresses lie.)
constexpr uintptr_t kAskAhead = 1024;

template <int kLines>
inline void AskForLinesAhead(const uint8_t* read, const uint8_t* w) {
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(read) + kAskAhead),
                       0, 3);
    uintptr_t at = reinterpret_cast<uintptr_t>(w) + kAskAhead;
    for (int i = 0; i < kLines; ++i) {
        __builtin_prefetch(reinterpret_cast<const void*>(at + 64 * i), 1, 3);
    }
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

AVX512 inline bool Utf8ToUtf16Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m512i v = Load64(read);
    if (_mm512_movepi8_mask(v) == 0) {
        Store64(w, _mm512_cvtepu8_epi16(_mm512_castsi512_si256(v)));
        Store64(w + 64, _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(v, 1)));
        read += 64;
        w += 128;
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
        Store64(w, _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 0)));
        Store64(w + 64, _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 1)));
        Store64(w + 128, _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 2)));
        Store64(w + 192, _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 3)));
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

// Up to 32 units through the target page's table, each as the bytes its entry holds. False, with
// some output written, where an entry takes the rare path: the caller takes the block slowly.
AVX512 inline bool StoreThroughTarget(uint8_t*& w, __m512i units, uint32_t count) {
    for (uint32_t q = 0; q < 2 && count > 16 * q; ++q) {
        __m512i u = _mm512_cvtepu16_epi32(q == 0 ? _mm512_castsi512_si256(units)
                                                 : _mm512_extracti64x4_epi64(units, 1));
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

alignas(64) TargetWindow window;

// Asks the platform, in as few calls as there are gaps, about the units of the window around
// `unit` not asked before, and fills the window.
void OpenWindow(uint32_t unit) {
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

// The last n bytes before a run's limit, fewer than a block, when they are all ASCII: widened
// whole into units of kUnit bytes (1: copied where the target page keeps ASCII). A short stretch
// of ASCII would otherwise go a character at a time.
template <int kUnit>
AVX512 inline void AsciiTail(const uint8_t*& read, uint32_t n, uint8_t*& w) {
    __m512i v = _mm512_maskz_loadu_epi8(LowBits(n), read);
    if (_mm512_movepi8_mask(v) != 0 || (kUnit == 1 && !targetPage.keepsAscii)) {
        return;
    }
    if (kUnit == 1) {
        StoreFirst(w, v, n);
    } else if (kUnit == 2) {
        __m512i row[2] = {_mm512_cvtepu8_epi16(_mm512_castsi512_si256(v)),
                          _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(v, 1))};
        StoreRow(w, row, 2, 2 * n);
    } else {
        __m512i row[4] = {_mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 0)),
                          _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 1)),
                          _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 2)),
                          _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(v, 3))};
        StoreRow(w, row, 4, 4 * n);
    }
    read += n;
    w += kUnit * n;
}

KERNEL_ENTRY AVX512 const uint8_t* Utf8ToCodePageAvx512(const uint8_t* read, const uint8_t* limit,
                                                        const uint8_t*, uint8_t** write,
                                                        Replacements* counted) {
    uint8_t* w = *write;
    Replacements r{};
    __m512i held[4] = {Load64(window.bytes), Load64(window.bytes + 64), Load64(window.single),
                       Load64(window.single + 64)};
    while (read < limit) {
        if (limit - read >= 64) {
            __m512i v = Load64(read);
            if (targetPage.keepsAscii && _mm512_movepi8_mask(v) == 0) {
                Store64(w, v);
                read += 64;
                w += 64;
                continue;
            }
            __m512i units[2];
            uint32_t counts[2];
            uint32_t length;
            uint8_t* start = w;
            // Every unit here was read whole, so only an entry of the rare path can make a "?"
            // or a similar character that counts, and such an entry sends the block the slow
            // way.
            if (DecodeUtf8Block(read, v, units, counts, &length)) {
                if (window.first == kNoWindow && limit - read >= kWindowStretch &&
                    OpenWindowFor(units, counts)) {
                    held[0] = Load64(window.bytes);
                    held[1] = Load64(window.bytes + 64);
                    held[2] = Load64(window.single);
                    held[3] = Load64(window.single + 64);
                }
                if (StoreUnitsInPage(w, units[0], counts[0], held) &&
                    StoreUnitsInPage(w, units[1], counts[1], held)) {
                    read += length;
                    continue;
                }
            }
            w = start;
            const uint8_t* stop = read + 64;
            while (read < stop && StepUtf8ToCodePage(read, w, r)) {
            }
            if (read < stop) {
                break;
            }
            continue;
        }
        AsciiTail<1>(read, static_cast<uint32_t>(limit - read), w);
        if (read < limit && !StepUtf8ToCodePage(read, w, r)) {
            break;
        }
    }
    *write = w;
    AddReplacements(*counted, r);
    return read;
}

// --- From UTF-16 and UTF-32 ------------------------------------------------------------------

// Sixteen values up to FFFF, none a surrogate, in 32-bit lanes: each as the one to three bytes
// EncodeUtf8Char makes of it.
AVX512 inline uint8_t* EncodeLanes(uint8_t* w, __m512i u) {
    __mmask16 ascii = _mm512_cmplt_epu32_mask(u, Words(0x80));
    __mmask16 three = _mm512_cmpge_epu32_mask(u, Words(0x800));
    const __m512i low6 = Words(0x3F);
    const __m512i continuation = Words(0x80);
    __m512i last = _mm512_or_si512(_mm512_and_si512(u, low6), continuation);
    __m512i middle = _mm512_or_si512(_mm512_and_si512(_mm512_srli_epi32(u, 6), low6), continuation);
    __m512i first = _mm512_or_si512(_mm512_srli_epi32(u, 6), Words(0xC0));
    first =
        _mm512_mask_mov_epi32(first, three, _mm512_or_si512(_mm512_srli_epi32(u, 12), Words(0xE0)));
    first = _mm512_mask_mov_epi32(first, ascii, u);
    __m512i second = _mm512_mask_mov_epi32(last, three, middle);
    __m512i bytes = _mm512_or_si512(_mm512_or_si512(first, _mm512_slli_epi32(second, 8)),
                                    _mm512_slli_epi32(last, 16));
    __m512i counts = _mm512_mask_add_epi32(Words(2), ascii, Words(1), Words(0));
    counts = _mm512_mask_add_epi32(counts, three, counts, Words(1));
    return StoreCounted(w, bytes, _mm512_shuffle_epi8(counts, Index(kIndexes.repeat)));
}

// Thirty-two UTF-16 units, none a surrogate.
AVX512 inline bool Utf16ToUtf8Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m512i v = Load64(read);
    if (_mm512_cmpge_epu16_mask(v, Halves(0x80)) == 0) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(w), _mm512_cvtepi16_epi8(v));
        read += 64;
        w += 32;
        return true;
    }
    if (_mm512_cmpeq_epi16_mask(_mm512_and_si512(v, Halves(0xF800)), Halves(0xD800)) != 0) {
        return false;
    }
    w = EncodeLanes(w, _mm512_cvtepu16_epi32(_mm512_castsi512_si256(v)));
    w = EncodeLanes(w, _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(v, 1)));
    read += 64;
    return true;
}

AVX512 inline bool Utf16ToUtf32Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m512i v = Load64(read);
    if (_mm512_cmpeq_epi16_mask(_mm512_and_si512(v, Halves(0xF800)), Halves(0xD800)) != 0) {
        return false;
    }
    Store64(w, _mm512_cvtepu16_epi32(_mm512_castsi512_si256(v)));
    Store64(w + 64, _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(v, 1)));
    read += 64;
    w += 128;
    return true;
}

// Sixteen UTF-32 values up to FFFF, none a surrogate.
AVX512 inline bool Utf32ToUtf8Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m512i v = Load64(read);
    if (_mm512_cmpge_epu32_mask(v, Words(0x10000)) != 0 ||
        _mm512_cmpeq_epi32_mask(_mm512_and_si512(v, Words(0xFFFFF800)), Words(0xD800)) != 0) {
        return false;
    }
    w = EncodeLanes(w, v);
    read += 64;
    return true;
}

// Sixteen UTF-32 values up to FFFF, none a surrogate, one unit each.
AVX512 inline bool Utf32ToUtf16Block(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m512i v = Load64(read);
    if (_mm512_cmpge_epu32_mask(v, Words(0x10000)) != 0 ||
        _mm512_cmpeq_epi32_mask(_mm512_and_si512(v, Words(0xFFFFF800)), Words(0xD800)) != 0) {
        return false;
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(w), _mm512_cvtepi32_epi16(v));
    read += 64;
    w += 32;
    return true;
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

alignas(64) PagePlanes planes;

void LoadPlanes() {
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

// A new run's tables: no window open yet, and the source page's planes.
void LoadWindowAndPlanes() {
    window.first = kNoWindow;
    LoadPlanes();
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

// Every byte before `limit` goes through `block` 64 at a time, the last few bytes too, with the
// planes the route looks its bytes up in: a byte code page has no byte a block refuses.
template <int kPlanes, PageBlock block, int kLines>
KERNEL_ENTRY AVX512 bool RunPlanes(const uint8_t*& read, const uint8_t* limit, uint8_t*& w,
                                   Replacements& counts, const uint8_t* const* sources) {
    Plane p[kPlanes];
    for (int i = 0; i < kPlanes; ++i) {
        p[i] = LoadPlane(sources[i]);
    }
    do {
        AskForLinesAhead<kLines>(read, w);
        block(Load64(read), 64, p, w, counts);
        read += 64;
    } while (limit - read >= 64);
    uint32_t n = static_cast<uint32_t>(limit - read);
    if (n != 0) {
        block(_mm512_maskz_loadu_epi8(LowBits(n), read), n, p, w, counts);
        read += n;
    }
    return true;
}

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

const uint8_t* const kUtf8Planes[] = {planes.utf8[0], planes.utf8[1], planes.utf8[2],
                                      planes.utf8Length};
const uint8_t* const kUnitPlanes[] = {planes.unitLow, planes.unitHigh, planes.unitUnreadable};
const uint8_t* const kPointPlanes[] = {planes.pointLow, planes.pointHigh, planes.pointUnreadable};
const uint8_t* const kTargetPlanes[] = {planes.target, planes.targetFlags};

template <int kPlanes, PageBlock block, const uint8_t* const* sources, int kLines>
bool PageRun(const uint8_t*& read, const uint8_t* limit, uint8_t*& w, Replacements& counts) {
    return RunPlanes<kPlanes, block, kLines>(read, limit, w, counts, sources);
}

// --- The frame -------------------------------------------------------------------------------

AVX512 inline void NoTail(const uint8_t*&, uint32_t, uint8_t*&) {}

// A run of AVX-512 blocks of 64 bytes, in a loop of its own, which stays tight, and then `tail`
// on what is left before `limit`.
template <Block block, void (*tail)(const uint8_t*&, uint32_t, uint8_t*&), int kLines>
KERNEL_ENTRY AVX512 bool RunAvx512(const uint8_t*& read, const uint8_t* limit, uint8_t*& w,
                                   Replacements& counts) {
    AskForLinesAhead<kLines>(read, w);
    if (!block(read, w, counts)) {
        return false;
    }
    while (limit - read >= 64) {
        AskForLinesAhead<kLines>(read, w);
        if (!block(read, w, counts)) {
            break;
        }
    }
    if (limit - read < 64 && read < limit) {
        tail(read, static_cast<uint32_t>(limit - read), w);
    }
    return true;
}

// `kLines`: the most lines of output a block of 64 input bytes writes.
template <uint32_t kWidth, int kLines, Block block, Step step,
          void (*tail)(const uint8_t*&, uint32_t, uint8_t*&) = NoTail>
constexpr RouteKernel BlocksAvx512 =
    RunBlocks<kWidth, 64, RunAvx512<block, tail, kLines>, step, kWidth == 1>;

}  // namespace

bool Avx512Runs() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
           __builtin_cpu_supports("avx512vbmi2");
}

void AddAvx512Kernels(RouteKernels& k) {
    k.utf8ToUtf16 = BlocksAvx512<1, 2, Utf8ToUtf16Block, StepUtf8ToUtf16, AsciiTail<2>>;
    k.utf8ToUtf32 = BlocksAvx512<1, 4, Utf8ToUtf32Block, StepUtf8ToUtf32, AsciiTail<4>>;
    k.utf8ToCodePage = Utf8ToCodePageAvx512;
    k.utf16ToUtf8 = BlocksAvx512<2, 2, Utf16ToUtf8Block, StepUtf16ToUtf8>;
    k.utf16ToUtf32 = BlocksAvx512<2, 2, Utf16ToUtf32Block, StepUtf16ToUtf32>;
    k.utf32ToUtf8 = BlocksAvx512<4, 1, Utf32ToUtf8Block, StepUtf32ToUtf8>;
    k.utf32ToUtf16 = BlocksAvx512<4, 1, Utf32ToUtf16Block, StepUtf32ToUtf16>;
    k.codePageToUtf8 = RunBlocks<1, 64, PageRun<4, CodePageToUtf8Block, kUtf8Planes, 3>,
                                 StepCodePageToUtf8, false>;
    k.codePageToUtf16 = RunBlocks<1, 64, PageRun<3, CodePageToUtf16Block, kUnitPlanes, 2>,
                                  StepCodePageToUtf16, false>;
    k.codePageToUtf32 = RunBlocks<1, 64, PageRun<3, CodePageToUtf32Block, kPointPlanes, 4>,
                                  StepCodePageToUtf32, false>;
    k.codePageToCodePage = RunBlocks<1, 64, PageRun<2, CodePageToCodePageBlock, kTargetPlanes, 1>,
                                     StepCodePageToCodePage, false>;
    k.loadPages = LoadWindowAndPlanes;
}

#else  // no vector kernels for this processor

bool Avx512Runs() {
    return false;
}

void AddAvx512Kernels(RouteKernels&) {}

#endif
