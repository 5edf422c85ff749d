// The AVX2 kernels, chosen at run time where the processor has AVX2 (and not the AVX-512 that
// the widest level needs). Thirty-two input bytes are taken at once: ASCII, units that widen and
// narrow plainly, UTF-8 of one- to three-byte characters decoded whole (into UTF-16, UTF-32 or a
// code page's table lookups), and UTF-16 units that are no surrogate encoded whole. A block that
// holds anything else goes through the SSSE3 blocks, here compiled for AVX2, and what those
// refuse character by character through the steps of plain/character_steps.h. Byte code pages
// keep the table loops of the levels below (looked up eight bytes at a time with gathers, they ran
// slower than those), but for runs of ASCII, copied, widened or narrowed whole on every route
// to or from a page.
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

AVX2 inline uint32_t Mask32(__m256i v) {
    return static_cast<uint32_t>(_mm256_movemask_epi8(v));
}
AVX2 inline __m256i ByteClass32(__m256i v, int mask, int value) {
    return _mm256_cmpeq_epi8(_mm256_and_si256(v, _mm256_set1_epi8(static_cast<char>(mask))),
                             _mm256_set1_epi8(static_cast<char>(value)));
}

// Sixteen bytes from `at` on, each in a 16-bit lane as the lead byte there would decode with the
// bytes behind it (what a continuation lane holds does not matter, it is not kept). The two
// following bytes are read from memory one and two places on, which stays inside the zero bytes
// at the end of the input.
AVX2 inline __m256i DecodeLanes16(const uint8_t* at) {
    const __m256i low6 = _mm256_set1_epi16(0x3F);
    __m256i b = _mm256_cvtepu8_epi16(Load(at));
    __m256i second = _mm256_and_si256(_mm256_cvtepu8_epi16(Load(at + 1)), low6);
    __m256i third = _mm256_and_si256(_mm256_cvtepu8_epi16(Load(at + 2)), low6);
    __m256i asTwo =
        _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(b, _mm256_set1_epi16(0x1F)), 6), second);
    // Shifting a 16-bit lane by 12 keeps exactly the lead byte's low four bits.
    __m256i asThree = _mm256_or_si256(
        _mm256_or_si256(_mm256_slli_epi16(b, 12), _mm256_slli_epi16(second, 6)), third);
    __m256i two = _mm256_cmpgt_epi16(b, _mm256_set1_epi16(0x7F));
    __m256i three = _mm256_cmpgt_epi16(b, _mm256_set1_epi16(0xDF));
    return _mm256_blendv_epi8(_mm256_blendv_epi8(b, asTwo, two), asThree, three);
}

// The lanes of DecodeLanes16 where a character starts (`keep`, one bit a lane), gathered at the
// front of each half and stored one half after the other as units of kUnit bytes.
template <int kUnit>
AVX2 inline uint8_t* StoreKeptLanes(uint8_t* w, __m256i lanes, unsigned keep) {
    unsigned keepLo = keep & 0xFF;
    unsigned keepHi = (keep >> 8) & 0xFF;
    __m256i shuffle =
        _mm256_inserti128_si256(_mm256_castsi128_si256(Load(kGatherLanes.shuffle[keepLo])),
                                Load(kGatherLanes.shuffle[keepHi]), 1);
    __m256i gathered = _mm256_shuffle_epi8(lanes, shuffle);
    __m128i lo = _mm256_castsi256_si128(gathered);
    __m128i hi = _mm256_extracti128_si256(gathered, 1);
    if (kUnit == 2) {
        Store(w, lo);
        w += 2 * kGatherLanes.count[keepLo];
        Store(w, hi);
        return w + 2 * kGatherLanes.count[keepHi];
    }
    Store32(w, _mm256_cvtepu16_epi32(lo));
    w += 4 * kGatherLanes.count[keepLo];
    Store32(w, _mm256_cvtepu16_epi32(hi));
    return w + 4 * kGatherLanes.count[keepHi];
}

// Thirty-two UTF-8 bytes `v` at `read` holding only characters of one to three bytes, each the
// shortest form of a character that is no surrogate. A character the block cuts off is left for
// the next block, so a block takes 30 to 32 bytes; one that holds anything else is refused whole.
// The bytes where a character starts (`starts`) and the bytes the block takes, or 0 where it
// holds anything else.
AVX2 inline int ReadBmp32(const uint8_t* read, __m256i v, uint32_t* starts) {
    uint32_t high = Mask32(v);
    // Two-byte leads from C2 on (signed, above C1 and below E0): C0 and C1 lead only overlong
    // forms, which are no character.
    uint32_t leads2 =
        Mask32(_mm256_and_si256(_mm256_cmpgt_epi8(v, _mm256_set1_epi8(static_cast<char>(0xC1))),
                                _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(0xE0)), v)));
    uint32_t leads3 = Mask32(ByteClass32(v, 0xF0, 0xE0));
    uint32_t conts = Mask32(ByteClass32(v, 0xC0, 0x80));
    // Nothing above EF: four-byte leads and bytes that lead nothing or no character go the
    // narrower way.
    if ((conts | leads2 | leads3) != high) {
        return 0;
    }
    // A sequence that does not fit in the block starts the next one: the block ends below the
    // first such lead.
    uint32_t cut = (leads2 & 0x80000000u) | (leads3 & 0xC0000000u);
    uint32_t inside = (cut & (0u - cut)) - 1u;
    leads2 &= inside;
    leads3 &= inside;
    // Every lead followed by as many continuations as it needs, and no other continuation: then
    // each sequence is exactly one character, decoded as the plain decoder would.
    uint32_t expected = (leads2 << 1) | (leads3 << 1) | (leads3 << 2);
    if ((conts & inside) != expected) {
        return 0;
    }
    // Three-byte sequences that are no character: led by E0 with a second byte below A0
    // (overlong), or by ED with one from A0 on (a surrogate). Each lead's second byte is a
    // continuation byte, which is A0 or more when above 9F (signed); the lead that reads no
    // character before it is then ED, else E0.
    if (leads3 != 0) {
        __m256i n1 = Load32(read + 1);
        __m256i n1Upper = _mm256_cmpgt_epi8(n1, _mm256_set1_epi8(static_cast<char>(0x9F)));
        __m256i noCharacterLead =
            _mm256_xor_si256(_mm256_set1_epi8(static_cast<char>(0xE0)),
                             _mm256_and_si256(n1Upper, _mm256_set1_epi8(0x0D)));
        if ((Mask32(_mm256_cmpeq_epi8(v, noCharacterLead)) & leads3) != 0) {
            return 0;
        }
    }
    *starts = ~conts & inside;
    return cut != 0 ? __builtin_ctz(cut) : 32;
}

// Thirty-two UTF-8 bytes of one- to three-byte characters decoded as ReadBmp32 reads them, into
// units of kUnit bytes (a code point below 10000 is one unit in both forms).
template <int kUnit>
AVX2 inline bool DecodeBmp32(const uint8_t*& read, uint8_t*& w, __m256i v) {
    uint32_t starts;
    int length = ReadBmp32(read, v, &starts);
    if (length == 0) {
        return false;
    }
    w = StoreKeptLanes<kUnit>(w, DecodeLanes16(read), starts & 0xFFFF);
    w = StoreKeptLanes<kUnit>(w, DecodeLanes16(read + 16), starts >> 16);
    read += length;
    return true;
}

// Thirty-two bytes of UTF-8 that are ASCII, widened to UTF-16 or UTF-32 units of kUnit bytes.
template <int kUnit>
AVX2 inline bool WidenUtf8Ascii(const uint8_t*& read, uint8_t*& w, Replacements&) {
    __m256i v = Load32(read);
    if (!IsAscii(v)) {
        return false;
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

// From UTF-8: 32 bytes of ASCII widened into units of kUnit bytes, or 30 to 32 bytes of one- to
// three-byte characters decoded whole; else 16 bytes through the SSSE3 block, which may take the
// characters in front of what the wider one refused.
template <int kUnit>
AVX2 inline bool Utf8Block(const uint8_t*& read, uint8_t*& w, Replacements& counts) {
    __m256i v = Load32(read);
    if (!IsAscii(v)) {
        if (DecodeBmp32<kUnit>(read, w, v)) {
            return true;
        }
        return kUnit == 2 ? DecodeUtf8<WidenTo16, 32, StoreLanesAs16>(read, w, counts)
                          : DecodeUtf8<WidenTo32, 64, StoreLanesAs32>(read, w, counts);
    }
    return WidenUtf8Ascii<kUnit>(read, w, counts);
}

// Thirty-two bytes of ASCII, copied where the page keeps ASCII (the page's flag, which the run
// holds).
AVX2 inline bool CopyAscii32(const uint8_t*& read, uint8_t*& w, Replacements&, bool keepsAscii) {
    __m256i v = Load32(read);
    if (!keepsAscii || !IsAscii(v)) {
        return false;
    }
    Store32(w, v);
    read += 32;
    w += 32;
    return true;
}

// The n bytes (fewer than a block) left before the limit behind a run of ASCII copies, when they
// are ASCII: sixteen at `read`, and what is left as the last sixteen before the limit, whose first
// bytes the run has copied already, to the same bytes. A short stretch would otherwise go a
// character at a time, and a route whose output may grow calls its kernel every few thousand
// bytes.
AVX2 inline void CopyAsciiTail(const uint8_t*& read, uint32_t n, uint8_t*& w, Replacements&,
                               bool keepsAscii) {
    if (!keepsAscii) {
        return;
    }
    if (n > 16) {
        __m128i v = Load(read);
        if (Mask(v) != 0) {
            return;
        }
        Store(w, v);
        read += 16;
        w += 16;
        n -= 16;
    }
    __m128i v = Load(read + n - 16);
    if ((Mask(v) >> (16 - n)) != 0) {
        return;
    }
    Store(w + n - 16, v);
    read += n;
    w += n;
}

// Sixteen bytes of ASCII, copied where the page keeps ASCII: from a page to UTF-8, where blocks of
// 32 left more of the short stretches of ASCII in other scripts to the steps.
AVX2 inline bool CopyAsciiToTarget16(const uint8_t*& read, uint8_t*& w, Replacements& r,
                                     bool keepsAscii) {
    return CopyAsciiToTarget(read, w, r, keepsAscii);
}

inline bool SourceKeepsAscii(const uint8_t*, const uint8_t*) {
    return sourcePage.keepsAscii;
}

// From a code page to UTF-16 or UTF-32 (units of kUnit bytes): kBytes bytes of ASCII (16 or 32)
// widened where the source page keeps ASCII.
template <int kUnit, int kBytes>
AVX2 inline bool WidenPageAscii(const uint8_t*& read, uint8_t*& w, Replacements&, bool keepsAscii) {
    __m128i v[2] = {Load(read), kBytes == 32 ? Load(read + 16) : _mm_setzero_si128()};
    if (!keepsAscii || Mask(_mm_or_si128(v[0], v[1])) != 0) {
        return false;
    }
    for (int i = 0; i < kBytes / 16; ++i) {
        if (kUnit == 2) {
            Store32(w + 32 * i, _mm256_cvtepu8_epi16(v[i]));
        } else {
            Store32(w + 64 * i, _mm256_cvtepu8_epi32(v[i]));
            Store32(w + 64 * i + 32, _mm256_cvtepu8_epi32(_mm_srli_si128(v[i], 8)));
        }
    }
    read += kBytes;
    w += kBytes * kUnit;
    return true;
}

// From UTF-16 or UTF-32 (units of kUnit bytes) to a code page: sixteen ASCII units narrowed where
// the target page keeps ASCII (of UTF-32, sixteen rather than eight: the steps of another script
// then test a block half as often).
template <int kUnit>
AVX2 inline bool NarrowAsciiToPage(const uint8_t*& read, uint8_t*& w, Replacements&,
                                   bool keepsAscii) {
    if (!keepsAscii) {
        return false;
    }
    __m256i units = Load32(read);
    if (kUnit == 4) {
        __m256i more = Load32(read + 32);
        if (!_mm256_testz_si256(_mm256_or_si256(units, more),
                                _mm256_set1_epi32(static_cast<int>(0xFFFFFF80u)))) {
            return false;
        }
        // packus works within each 128-bit half; the quarters are then put back in order.
        units = _mm256_permute4x64_epi64(_mm256_packus_epi32(units, more), 0xD8);
    } else if (!_mm256_testz_si256(units, _mm256_set1_epi16(static_cast<short>(0xFF80)))) {
        return false;
    }
    Store(w, _mm_packus_epi16(_mm256_castsi256_si128(units), _mm256_extracti128_si256(units, 1)));
    read += 16 * kUnit;
    w += 16;
    return true;
}

// What a run between two code pages holds: whether ASCII passes through unchanged, as it does
// where both pages keep it.
inline bool PagesKeepAscii(const uint8_t*, const uint8_t*) {
    return sourcePage.keepsAscii && targetPage.keepsAscii;
}

// Between two code pages: thirty-two bytes through the table, two rounds of the portable loop's,
// but for a block of ASCII where both pages keep it, which is left to the run of copies.
AVX2 inline bool PageToPage32(const uint8_t*& read, uint8_t*& w, Replacements& r, bool keepsAscii) {
    if (keepsAscii && IsAscii(Load32(read))) {
        return false;
    }
    TargetBytesRound(read, w, r);
    TargetBytesRound(read + 16, w + 16, r);
    read += 32;
    w += 32;
    return true;
}

// From UTF-8 to a code page: 30 to 32 bytes of one- to three-byte characters decoded whole and
// each unit looked up in the target page's table, else 16 bytes through the SSSE3 block. At a
// unit the platform must convert itself, the units before it are done and the block stops where
// it starts (false): the step refuses it too, and the route asks.
AVX2 inline bool Utf8ToCodePage32(const uint8_t*& read, uint8_t*& w, Replacements& r,
                                  bool keepsAscii) {
    __m256i v = Load32(read);
    if (keepsAscii && IsAscii(v)) {
        Store32(w, v);
        read += 32;
        w += 32;
        return true;
    }
    uint32_t starts;
    int length = ReadBmp32(read, v, &starts);
    if (length == 0) {
        return Utf8ToCodePageBlock(read, w, r, keepsAscii);
    }
    // Each half's store may write 16 bytes past its units.
    alignas(32) WCHAR units[40];
    uint8_t* end =
        StoreKeptLanes<2>(reinterpret_cast<uint8_t*>(units), DecodeLanes16(read), starts & 0xFFFF);
    end = StoreKeptLanes<2>(end, DecodeLanes16(read + 16), starts >> 16);
    uint32_t count = static_cast<uint32_t>(end - reinterpret_cast<uint8_t*>(units)) / 2;
    return StoreUnitsThroughPage(units, count, starts, length, read, w, r);
}

// Eight units, none a surrogate, in 32-bit lanes: each lane as the one to three bytes
// EncodeUtf8Char makes of it, gathered two lanes at a time.
AVX2 inline uint8_t* EncodeEightUnits(uint8_t* w, __m256i units) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i low6 = _mm256_set1_epi32(0x3F);
    const __m256i continuation = _mm256_set1_epi32(0x80);
    __m256i ascii = _mm256_cmpeq_epi32(_mm256_and_si256(units, _mm256_set1_epi32(0xFF80)), zero);
    __m256i two = _mm256_cmpeq_epi32(_mm256_and_si256(units, _mm256_set1_epi32(0xF800)), zero);
    __m256i asTwo = _mm256_or_si256(_mm256_srli_epi32(units, 6), _mm256_set1_epi32(0xC0));
    __m256i asThree = _mm256_or_si256(_mm256_srli_epi32(units, 12), _mm256_set1_epi32(0xE0));
    __m256i first = _mm256_blendv_epi8(_mm256_blendv_epi8(asThree, asTwo, two), units, ascii);
    __m256i last = _mm256_or_si256(_mm256_and_si256(units, low6), continuation);
    __m256i middle =
        _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(units, 6), low6), continuation);
    __m256i second = _mm256_blendv_epi8(middle, last, two);
    __m256i bytes = _mm256_or_si256(_mm256_or_si256(first, _mm256_slli_epi32(second, 8)),
                                    _mm256_slli_epi32(last, 16));
    uint32_t keep = 0x11111111u | (~Mask32(ascii) & 0x22222222u) | (~Mask32(two) & 0x44444444u);
    __m128i halves[2] = {_mm256_castsi256_si128(bytes), _mm256_extracti128_si256(bytes, 1)};
    w = StoreKeptBytes(w, halves[0], keep & 0xFFFF);
    return StoreKeptBytes(w, halves[1], keep >> 16);
}

// Sixteen units below 800, each as the one or two bytes EncodeUtf8Char makes of it, gathered four
// units at a time.
AVX2 inline uint8_t* EncodeTwoByteUnits(uint8_t* w, __m256i v) {
    __m256i ascii = _mm256_cmpeq_epi16(
        _mm256_and_si256(v, _mm256_set1_epi16(static_cast<short>(0xFF80))), _mm256_setzero_si256());
    __m256i lead = _mm256_or_si256(_mm256_srli_epi16(v, 6), _mm256_set1_epi16(0xC0));
    __m256i first = _mm256_blendv_epi8(lead, v, ascii);
    __m256i second =
        _mm256_or_si256(_mm256_and_si256(v, _mm256_set1_epi16(0x3F)), _mm256_set1_epi16(0x80));
    __m256i pairs = _mm256_or_si256(first, _mm256_slli_epi16(second, 8));
    uint32_t keep = 0x55555555u | (~Mask32(ascii) & 0xAAAAAAAAu);
    __m128i halves[2] = {_mm256_castsi256_si128(pairs), _mm256_extracti128_si256(pairs, 1)};
    w = StoreKeptBytes(w, halves[0], keep & 0xFFFF);
    return StoreKeptBytes(w, halves[1], keep >> 16);
}

// Sixteen UTF-16 units of ASCII narrowed, or sixteen that are no surrogate each encoded as one to
// three bytes, or eight through the SSSE3 block.
AVX2 inline bool Utf16ToUtf8Block(const uint8_t*& read, uint8_t*& w, Replacements& counts) {
    __m256i v = Load32(read);
    if (_mm256_testz_si256(v, _mm256_set1_epi16(static_cast<short>(0xFF80)))) {
        __m128i packed =
            _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w), packed);
        read += 32;
        w += 16;
        return true;
    }
    if (_mm256_testz_si256(v, _mm256_set1_epi16(static_cast<short>(0xF800)))) {
        w = EncodeTwoByteUnits(w, v);
        read += 32;
        return true;
    }
    if (HasSurrogate(v)) {
        return EncodeUnits(read, w, counts);
    }
    w = EncodeEightUnits(w, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(v)));
    w = EncodeEightUnits(w, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(v, 1)));
    read += 32;
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

// A run of AVX2 blocks of kBlock bytes (block_frame.h), compiled into the kernel that runs it.
template <ptrdiff_t kBlock, auto block, auto tail = nullptr, auto hold = nullptr>
AVX2 inline bool RunAvx2(const uint8_t*& read, const uint8_t* limit, uint8_t*& w,
                         Replacements& counts) {
    return RunOfBlocks<kBlock, block, tail, 0, hold>(read, limit, w, counts);
}

// A kernel compiled for AVX2 whole, its runs and steps with it: a run called from code compiled
// for the build's own baseline costs a call for every block it refuses, which shows where
// the steps take most blocks.
template <RouteKernel kernel>
[[gnu::flatten]] KERNEL_ENTRY AVX2 const uint8_t* KernelAvx2(const uint8_t* read,
                                                             const uint8_t* limit,
                                                             const uint8_t* end, uint8_t** write,
                                                             Replacements* counts) {
    return kernel(read, limit, end, write, counts);
}

template <uint32_t kWidth, ptrdiff_t kBlock, Block block, auto step>
constexpr RouteKernel BlocksAvx2 =
    KernelAvx2<RunBlocks<kWidth, kBlock, RunAvx2<kBlock, block>, step, kWidth == 1>>;

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
    // From UTF-8, to Unicode and to a page alike: a run of ASCII in a loop of its own, which stays
    // tight; then a run of the blocks of any characters.
    k.utf8ToUtf16 = KernelAvx2<
        RunBlocks<1, 32, EitherRun<RunAvx2<32, WidenUtf8Ascii<2>>, RunAvx2<32, Utf8Block<2>>>,
                  StepUtf8ToUtf16, true>>;
    k.utf8ToUtf32 = KernelAvx2<
        RunBlocks<1, 32, EitherRun<RunAvx2<32, WidenUtf8Ascii<4>>, RunAvx2<32, Utf8Block<4>>>,
                  StepUtf8ToUtf32, true>>;
    k.utf8ToCodePage =
        KernelAvx2<RunBlocks<1, 32,
                             EitherRun<RunAvx2<32, CopyAscii32, CopyAsciiTail, TargetKeepsAscii>,
                                       RunAvx2<32, Utf8ToCodePage32, nullptr, TargetKeepsAscii>>,
                             StepUtf8ToCodePage, true>>;
    k.codePageToUtf8 = KernelAvx2<
        RunBlocks<1, 16, RunAvx2<16, CopyAsciiToTarget16, CopyAsciiTail, SourceKeepsAscii>,
                  StepCodePageToUtf8, true>>;
    // ASCII alone: the blocks another script refuses go whole to the steps, which test no block
    // inside them (into UTF-32, blocks of 32 bytes, whose steps then test half as often).
    k.codePageToUtf16 =
        KernelAvx2<RunBlocks<1, 16, RunAvx2<16, WidenPageAscii<2, 16>, nullptr, SourceKeepsAscii>,
                             StepCodePageToUtf16, true>>;
    k.codePageToUtf32 =
        KernelAvx2<RunBlocks<1, 32, RunAvx2<32, WidenPageAscii<4, 32>, nullptr, SourceKeepsAscii>,
                             StepCodePageToUtf32, true>>;
    k.utf16ToCodePage =
        KernelAvx2<RunBlocks<2, 32, RunAvx2<32, NarrowAsciiToPage<2>, nullptr, TargetKeepsAscii>,
                             StepUtf16ToCodePage, true>>;
    k.utf32ToCodePage =
        KernelAvx2<RunBlocks<4, 64, RunAvx2<64, NarrowAsciiToPage<4>, nullptr, TargetKeepsAscii>,
                             StepUtf32ToCodePage, true>>;
    // Runs of ASCII copied in a loop of their own, and a run of the table's blocks between them.
    k.codePageToCodePage =
        KernelAvx2<RunBlocks<1, 32,
                             EitherRun<RunAvx2<32, CopyAscii32, CopyAsciiTail, PagesKeepAscii>,
                                       RunAvx2<32, PageToPage32, nullptr, PagesKeepAscii>>,
                             StepCodePageToCodePage, false>>;
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
