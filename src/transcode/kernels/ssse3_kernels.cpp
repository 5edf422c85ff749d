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

// A run of SSSE3 blocks of 16 bytes, in a loop of its own, which stays tight.
template <Block block>
KERNEL_ENTRY SSSE3 bool RunSsse3(const uint8_t*& read, const uint8_t* limit, uint8_t*& w,
                                 Replacements& counts) {
    if (!block(read, w, counts)) {
        return false;
    }
    while (limit - read >= 16 && block(read, w, counts)) {
    }
    return true;
}

template <uint32_t kWidth, Block block, Step step>
constexpr RouteKernel BlocksSsse3 = RunBlocks<kWidth, 16, RunSsse3<block>, step, true>;

KERNEL_ENTRY SSSE3 const uint8_t* Utf8ToCodePageSsse3(const uint8_t* read, const uint8_t* limit,
                                                      const uint8_t*, uint8_t** write,
                                                      Replacements* counts) {
    uint8_t* w = *write;
    Replacements r{};
    while (read < limit) {
        if (limit - read >= 16) {
            __m128i v = Load(read);
            if (targetPage.keepsAscii && Mask(v) == 0) {
                do {
                    Store(w, v);
                    read += 16;
                    w += 16;
                } while (limit - read >= 16 && Mask(v = Load(read)) == 0);
                continue;
            }
            BmpBlock block;
            if (DecodeBmpBlock(v, &block)) {
                alignas(16) WCHAR units[24];
                uint32_t countLo = kGatherLanes.count[block.keepLo];
                uint32_t count = countLo + kGatherLanes.count[block.keepHi];
                Store(reinterpret_cast<uint8_t*>(units), GatherLanes(block.lo, block.keepLo));
                Store(reinterpret_cast<uint8_t*>(units + countLo),
                      GatherLanes(block.hi, block.keepHi));
                uint32_t i = 0;
                for (; i < count; ++i) {
                    // Every unit here is a character read whole, so only the table's entry can
                    // make a "?" (the page lacks it) or a similar character that counts, and
                    // such an entry takes the rare path.
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
                    continue;
                }
                // A unit the platform must convert itself: the units before it are done, and
                // the kernel stops where it starts, for the route to ask.
                unsigned starts = block.keepLo | (block.keepHi << 8);
                for (uint32_t done = 0; done < i; ++done) {
                    starts &= starts - 1;
                }
                read += __builtin_ctz(starts);
                break;
            }
            const uint8_t* stop = read + 16;
            while (read < stop && StepUtf8ToCodePage(read, w, r)) {
            }
            if (read < stop) {
                break;
            }
            continue;
        }
        if (!StepUtf8ToCodePage(read, w, r)) {
            break;
        }
    }
    *write = w;
    AddReplacements(*counts, r);
    return read;
}

}  // namespace

bool Ssse3Runs() {
    return __builtin_cpu_supports("ssse3");
}

// What SSSE3 adds: the UTF-8 blocks of one- to three-byte characters, and UTF-16 to UTF-8.
void AddSsse3Kernels(RouteKernels& k) {
    k.utf8ToUtf16 = BlocksSsse3<1, DecodeUtf8<WidenTo16, 32, StoreLanesAs16>, StepUtf8ToUtf16>;
    k.utf8ToUtf32 = BlocksSsse3<1, DecodeUtf8<WidenTo32, 64, StoreLanesAs32>, StepUtf8ToUtf32>;
    k.utf8ToCodePage = Utf8ToCodePageSsse3;
    k.utf16ToUtf8 = BlocksSsse3<2, EncodeUnits, StepUtf16ToUtf8>;
}

#else  // no vector kernels for this processor

bool Ssse3Runs() {
    return false;
}

void AddSsse3Kernels(RouteKernels&) {}

#endif
