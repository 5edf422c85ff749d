// The SSSE3 kernels, chosen at run time where the processor has SSSE3. Besides blocks of ASCII,
// a block of one- and two-byte UTF-8 characters (Latin, Greek, Cyrillic, Hebrew, Arabic text) is
// decoded whole and its characters gathered with a byte shuffle; any other block goes character
// by character through the steps of plain/character_steps.h.
#include "src/transcode/kernels/route_kernels.h"

#if defined(__i386__) || defined(__x86_64__)

#include "src/transcode/kernels/block_frame.h"
#include "src/transcode/kernels/ssse3_blocks.h"
#include "src/transcode/kernels/x86_vectors.h"
#include "src/transcode/plain/character_steps.h"

namespace {

// A run of SSSE3 blocks of 16 bytes (block_frame.h), compiled for SSSE3.
template <auto block, auto hold>
KERNEL_ENTRY SSSE3 bool RunSsse3(const uint8_t*& read, const uint8_t* limit, uint8_t*& w,
                                 Replacements& counts) {
    return RunOfBlocks<16, block, nullptr, 0, hold>(read, limit, w, counts);
}

template <uint32_t kWidth, auto block, auto step>
constexpr RouteKernel BlocksSsse3 = RunBlocks<kWidth, 16, RunSsse3<block, nullptr>, step, true>;

// From UTF-8 to a code page: a block of ASCII copied where the target page keeps it, else a
// block of one- to three-byte characters decoded whole and each unit looked up in the target
// page's table. At a unit the platform must convert itself, the units before it are done and the
// block stops where it starts (false): the step refuses it too, and the route asks.
SSSE3 inline bool Utf8ToCodePageBlock(const uint8_t*& read, uint8_t*& w, Replacements& r,
                                      bool keepsAscii) {
    __m128i v = Load(read);
    if (keepsAscii && Mask(v) == 0) {
        Store(w, v);
        read += 16;
        w += 16;
        return true;
    }
    BmpBlock block;
    if (!DecodeBmpBlock(v, &block)) {
        return false;
    }
    alignas(16) WCHAR units[24];
    uint32_t countLo = kGatherLanes.count[block.keepLo];
    uint32_t count = countLo + kGatherLanes.count[block.keepHi];
    Store(reinterpret_cast<uint8_t*>(units), GatherLanes(block.lo, block.keepLo));
    Store(reinterpret_cast<uint8_t*>(units + countLo), GatherLanes(block.hi, block.keepHi));
    uint32_t i = 0;
    for (; i < count; ++i) {
        // Every unit here is a character read whole, so only the table's entry can make a "?"
        // (the page lacks it) or a similar character that counts, and such an entry takes the
        // rare path.
        WCHAR unit = units[i];
        uint32_t entry = targetPage.multiByte[unit];
        if (entry < kFirstSizedEntry) [[unlikely]] {
            if (!StoreRareTargetEntry(unit, w, r, [] { return false; })) {
                break;
            }
            continue;
        }
        StoreUnit32(w, entry);
        w += entry >> 24;
    }
    if (i == count) {
        read += block.length;
        return true;
    }
    unsigned starts = block.keepLo | (block.keepHi << 8);
    for (uint32_t done = 0; done < i; ++done) {
        starts &= starts - 1;
    }
    read += __builtin_ctz(starts);
    return false;
}

}  // namespace

bool Ssse3Runs() {
    return __builtin_cpu_supports("ssse3");
}

// What SSSE3 adds: the UTF-8 blocks of one- to three-byte characters, and UTF-16 to UTF-8.
void AddSsse3Kernels(RouteKernels& k) {
    k.utf8ToUtf16 = BlocksSsse3<1, DecodeUtf8<WidenTo16, 32, StoreLanesAs16>, StepUtf8ToUtf16>;
    k.utf8ToUtf32 = BlocksSsse3<1, DecodeUtf8<WidenTo32, 64, StoreLanesAs32>, StepUtf8ToUtf32>;
    // A run of ASCII in a loop of its own, which stays tight; then a run of the blocks of any
    // characters.
    k.utf8ToCodePage = RunBlocks<1, 16,
                                 EitherRun<RunSsse3<CopyAsciiToTarget, TargetKeepsAscii>,
                                           RunSsse3<Utf8ToCodePageBlock, TargetKeepsAscii>>,
                                 StepUtf8ToCodePage, true>;
    k.utf16ToUtf8 = BlocksSsse3<2, EncodeUnits, StepUtf16ToUtf8>;
}

#else  // no vector kernels for this processor

bool Ssse3Runs() {
    return false;
}

void AddSsse3Kernels(RouteKernels&) {}

#endif
