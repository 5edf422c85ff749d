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
