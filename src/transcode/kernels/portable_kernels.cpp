// The portable kernels, plain C++ that any processor runs (the 32-bit build without SSE2 among
// them). Runs of ASCII are found eight bytes at a time in ordinary 64-bit words; everything else
// goes character by character through the steps of plain/character_steps.h.
#include <cstring>

#include "src/transcode/kernels/block_frame.h"
#include "src/transcode/kernels/line_end_chunks.h"
#include "src/transcode/kernels/route_kernels.h"
#include "src/transcode/plain/character_steps.h"

namespace {

uint64_t Load64(const uint8_t* at) {
    uint64_t word;
    std::memcpy(&word, at, 8);
    return word;
}

// Eight bytes below 0x80, eight bytes on from `read`, of which `mask` has the high bits.
bool IsAscii(const uint8_t* read, const uint8_t* limit, uint64_t mask) {
    return limit - read >= 8 && (Load64(read) & mask) == 0;
}

constexpr uint64_t kAsciiBytes = 0x8080808080808080ull;

// Whether a run of ASCII bytes starts at `read`. The first byte alone turns away most characters
// of other scripts, which then go to their step without the word test.
bool StartsAsciiRun(const uint8_t* read, const uint8_t* limit) {
    return read[0] < 0x80 && IsAscii(read, limit, kAsciiBytes);
}
// Four UTF-16 units below 0x80 are four bytes, two UTF-32 values two bytes.
constexpr uint64_t kAsciiUnits16 = 0xFF80FF80FF80FF80ull;
constexpr uint64_t kAsciiUnits32 = 0xFFFFFF80FFFFFF80ull;

// Each converts a run of ASCII at `read`, eight input bytes at a time, and says whether there
// was one. A run is converted in a loop of its own, which stays tight.
bool CopyAscii(const uint8_t*& read, const uint8_t* limit, uint8_t*& w, Replacements&) {
    if (!StartsAsciiRun(read, limit)) {
        return false;
    }
    do {
        std::memcpy(w, read, 8);
        read += 8;
        w += 8;
    } while (IsAscii(read, limit, kAsciiBytes));
    return true;
}

// Eight ASCII bytes, each widened by `store` into a unit of kUnit bytes. The first test stands
// apart from the loop's, so that a character that is no ASCII costs that test alone.
template <int kUnit, uint8_t* (*store)(uint8_t*, uint32_t)>
bool WidenAscii(const uint8_t*& read, const uint8_t* limit, uint8_t*& w, Replacements&) {
    if (!StartsAsciiRun(read, limit)) {
        return false;
    }
    do {
        for (int i = 0; i < 8; ++i) {
            store(w + kUnit * i, read[i]);
        }
        read += 8;
        w += 8 * kUnit;
    } while (IsAscii(read, limit, kAsciiBytes));
    return true;
}

// Eight bytes of ASCII units of kUnit bytes (`mask` has their high bits), one byte each.
template <int kUnit, uint64_t kMask>
bool NarrowAscii(const uint8_t*& read, const uint8_t* limit, uint8_t*& w, Replacements&) {
    if (!IsAscii(read, limit, kMask)) {
        return false;
    }
    do {
        for (int i = 0; i < 8 / kUnit; ++i) {
            w[i] = read[kUnit * i];
        }
        read += 8;
        w += 8 / kUnit;
    } while (IsAscii(read, limit, kMask));
    return true;
}

// Text whose pages do not keep ASCII goes character by character.
bool CopyAsciiToTarget(const uint8_t*& read, const uint8_t* limit, uint8_t*& w, Replacements& r) {
    return targetPage.keepsAscii && CopyAscii(read, limit, w, r);
}

bool CopyAsciiFromSource(const uint8_t*& read, const uint8_t* limit, uint8_t*& w, Replacements& r) {
    return sourcePage.keepsAscii && CopyAscii(read, limit, w, r);
}

bool NoRun(const uint8_t*&, const uint8_t*, uint8_t*&, Replacements&) {
    return false;
}

// Runs of ASCII through `run`, all else through `step`, while a whole source unit of kWidth
// bytes is left.
template <uint32_t kWidth, BlockRun run, auto step>
constexpr RouteKernel Kernel = RunBlocks<kWidth, 8, run, step, false>;

// Sixteen bytes a round, through the one table.
const uint8_t* CodePageToCodePage(const uint8_t* read, const uint8_t* limit, const uint8_t*,
                                  uint8_t** write, Replacements* counts) {
    uint8_t* w = *write;
    Replacements r{};
    while (limit - read >= kFlagsSummed) {
        TargetBytesRound(read, w, r);
        read += kFlagsSummed;
        w += kFlagsSummed;
    }
    while (read < limit) {
        StepCodePageToCodePage(read, w, r);
    }
    *write = w;
    AddReplacements(*counts, r);
    return read;
}

void SwapUnits16(uint8_t* bytes, size_t count) {
    for (size_t i = 0; count - i >= 2; i += 2) {
        uint8_t first = bytes[i];
        bytes[i] = bytes[i + 1];
        bytes[i + 1] = first;
    }
}

void NoPages() {}

void SwapUnits32(uint8_t* bytes, size_t count) {
    for (size_t i = 0; count - i >= 4; i += 4) {
        uint8_t b0 = bytes[i];
        uint8_t b1 = bytes[i + 1];
        bytes[i] = bytes[i + 3];
        bytes[i + 1] = bytes[i + 2];
        bytes[i + 2] = b1;
        bytes[i + 3] = b0;
    }
}

// Line ends, eight bytes a chunk in an ordinary 64-bit word.
constexpr uint64_t kHighBits = 0x8080808080808080ull;

// Bit i set where byte i of `word` is zero, exactly.
uint32_t ZeroBytes(uint64_t word) {
    uint64_t high = ~(((word & ~kHighBits) + ~kHighBits) | word | ~kHighBits);
    // Each byte's flag, moved to its own bit of the top byte.
    return static_cast<uint32_t>(((high >> 7) * 0x0102040810204080ull) >> 56);
}

// Bit i set where unit i of kWidth bytes in `word` is `value`.
template <uint32_t kWidth>
uint64_t UnitsEqual(uint64_t word, uint64_t value) {
    constexpr uint64_t kRepeat = kWidth == 1   ? 0x0101010101010101ull
                                 : kWidth == 2 ? 0x0001000100010001ull
                                               : 0x0000000100000001ull;
    constexpr uint32_t kWhole = (1u << kWidth) - 1;
    uint32_t bytes = ZeroBytes(word ^ (value * kRepeat));
    uint64_t units = 0;
    for (uint32_t i = 0; i < 8 / kWidth; ++i) {
        units |= static_cast<uint64_t>(((bytes >> (kWidth * i)) & kWhole) == kWhole) << i;
    }
    return units;
}

void CopyChunk8(const uint8_t* at, uint8_t* w) {
    std::memcpy(w, at, 8);
}

template <uint32_t kWidth>
ChunkUnits MatchChunk8(const uint8_t* at) {
    uint64_t word = Load64(at);
    return {UnitsEqual<kWidth>(word, 0x0D), UnitsEqual<kWidth>(word, 0x0A)};
}

const uint8_t* LineEnds8(const uint8_t* read, const uint8_t* end, uint8_t** write,
                         const uint8_t* writeEnd, LineEndRun* run) {
    return LineEndChunks<8, CopyChunk8, MatchChunk8<1>, MatchChunk8<2>, MatchChunk8<4>>(
        read, end, write, writeEnd, run);
}

}  // namespace

constinit const RouteKernels kPortableKernels = {
    Kernel<1, WidenAscii<2, StoreUnit16>, StepUtf8ToUtf16>,
    Kernel<1, WidenAscii<4, StoreUnit32>, StepUtf8ToUtf32>,
    Kernel<1, CopyAsciiToTarget, StepUtf8ToCodePage>,
    Kernel<2, NarrowAscii<2, kAsciiUnits16>, StepUtf16ToUtf8>,
    Kernel<2, NoRun, StepUtf16ToUtf32>,
    Kernel<2, NoRun, StepUtf16ToCodePage>,
    Kernel<4, NarrowAscii<4, kAsciiUnits32>, StepUtf32ToUtf8>,
    Kernel<4, NoRun, StepUtf32ToUtf16>,
    Kernel<4, NoRun, StepUtf32ToCodePage>,
    Kernel<1, CopyAsciiFromSource, StepCodePageToUtf8>,
    Kernel<1, NoRun, StepCodePageToUtf16>,
    Kernel<1, NoRun, StepCodePageToUtf32>,
    CodePageToCodePage,
    SwapUnits16,
    SwapUnits32,
    LineEnds8,
    NoPages,
};
