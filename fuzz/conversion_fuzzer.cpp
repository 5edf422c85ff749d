// The conversion core on any input: the input is loaded by the real loader (from an in-memory
// file), recognised, and converted in place by the real routes, with the output caught at the
// flush. Byte 0 of the fuzz data picks the source, byte 1 the target, the rest is the input.
//
// Checked besides the sanitizers' own findings:
// - the block is laid out as the loader promises, and its unused bytes and the slack behind
//   the four zero bytes are poisoned, so any read or write there is reported, not only one past
//   the allocation;
// - the four zero bytes are never changed, and the flushed bytes add up to outputByteCount;
// - every flush but the last writes at least the head room less the margin (the write position
//   kept its distance), and a plain copy is written in one piece;
// - the output and the counts of characters replaced by "?" or by similar ones equal those of
//   the reference model
//   (tests/reference). A write position that overtook the read position would have converted
//   overwritten input and differ from it;
// - the plain routes, the portable kernels and every vector level this processor has give the
//   same bytes in the same pieces with the same counts.
#include <sanitizer/allocator_interface.h>
#include <sanitizer/asan_interface.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "src/input/convert_file.h"
#include "src/input/load_input.h"
#include "src/platform/posix/wide_text.h"
#include "src/state/run_state.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/kernels/route_kernels.h"
#include "src/transcode/route_hooks.h"
#include "src/transcode/transcode_buffer.h"
#include "tests/reference/reference_conversion.h"

namespace {

const CodePageId kSources[] = {CP_AUTODETECT,
                               static_cast<CodePageId>(CP_UTF8),
                               CP_UTF16LE,
                               CP_UTF16BE,
                               CP_UTF32LE,
                               CP_UTF32BE,
                               static_cast<CodePageId>(CP_ACP),
                               1251,
                               1252,
                               866,
                               20866,
                               28605,
                               9999};  // a code page the platform does not know
const CodePageId kTargets[] = {static_cast<CodePageId>(CP_UTF8),
                               CP_UTF16LE,
                               CP_UTF16BE,
                               CP_UTF32LE,
                               CP_UTF32BE,
                               static_cast<CodePageId>(CP_ACP),
                               1251,
                               866,
                               20866,
                               9999,
                               CP_UNSET};

std::vector<DWORD> flushCounts;
std::string flushed;

void ObserveFlush(const uint8_t* bytes, DWORD count) {
    flushCounts.push_back(count);
    flushed.append(reinterpret_cast<const char*>(bytes), count);
}

// The input as a file the loader can open by name.
WideString InputFileName(const uint8_t* data, size_t size) {
    static int fd = memfd_create("codeshift-fuzz-input", 0);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(ftruncate(fd, 0) == 0);
    FUZZ_CHECK(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
    return WideFromBytes("/proc/self/fd/" + std::to_string(fd));
}

void Poison(uint8_t* from, uint8_t* to) {
    ASAN_POISON_MEMORY_REGION(from, static_cast<size_t>(to - from));
}
void Unpoison(uint8_t* from, uint8_t* to) {
    ASAN_UNPOISON_MEMORY_REGION(from, static_cast<size_t>(to - from));
}

// Runs the conversion on the loaded block with its unused bytes and its slack poisoned.
void Convert(uint8_t* block, uint8_t* blockEnd) {
    const WorkBuffer& buffer = runState.workBuffer;
    Poison(block, buffer.writeBase);
    Poison(buffer.readEnd + kZeroBytes, blockEnd);
    flushCounts.clear();
    flushed.clear();
    flushObserver = ObserveFlush;
    runState.outputFile = INVALID_HANDLE_VALUE;  // the bytes are caught by the observer
    runState.outputByteCount = 0;
    runState.replacements = Replacements{};
    TranscodeBuffer();
    flushObserver = nullptr;
    Unpoison(block, buffer.writeBase);
    Unpoison(buffer.readEnd + kZeroBytes, blockEnd);
}

void CheckOutcome(const std::string& expected, const Replacements& expectedCounts) {
    const WorkBuffer& buffer = runState.workBuffer;
    for (uint32_t i = 0; i < kZeroBytes; ++i) {
        FUZZ_CHECK(buffer.readEnd[i] == 0);
    }
    FUZZ_CHECK(runState.outputByteCount == flushed.size());
    for (size_t i = 0; i < flushCounts.size(); ++i) {
        FUZZ_CHECK(flushCounts[i] > 0);
        if (i + 1 < flushCounts.size()) {
            FUZZ_CHECK(flushCounts[i] > kHeadRoomBytes - kFlushMargin);
        }
    }
    bool copy =
        FamilyOf(runState.sourceCp) == FamilyOf(runState.targetCp) &&
        (FamilyOf(runState.sourceCp) != kFamilyCodePage || runState.sourceCp == runState.targetCp);
    if (copy) {
        FUZZ_CHECK(flushCounts.size() <= 1);
    }
    if (flushed != expected) {
        std::fprintf(stderr, "source %d, target %d: %zu bytes out, the model gives %zu\n",
                     runState.sourceCp, runState.targetCp, flushed.size(), expected.size());
        FUZZ_CHECK(flushed == expected);
    }
    const Replacements& counts = runState.replacements;
    bool same = counts.unreadable == expectedCounts.unreadable &&
                counts.missing == expectedCounts.missing &&
                counts.similar == expectedCounts.similar;
    if (!same) {
        std::fprintf(stderr,
                     "source %d, target %d: %llu unreadable, %llu missing, %llu similar; the "
                     "model counts %llu, %llu, %llu\n",
                     runState.sourceCp, runState.targetCp,
                     static_cast<unsigned long long>(counts.unreadable),
                     static_cast<unsigned long long>(counts.missing),
                     static_cast<unsigned long long>(counts.similar),
                     static_cast<unsigned long long>(expectedCounts.unreadable),
                     static_cast<unsigned long long>(expectedCounts.missing),
                     static_cast<unsigned long long>(expectedCounts.similar));
        FUZZ_CHECK(same);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    CodePageId source = kSources[data[0] % (sizeof(kSources) / sizeof(kSources[0]))];
    CodePageId target = kTargets[data[1] % (sizeof(kTargets) / sizeof(kTargets[0]))];
    const uint8_t* input = data + 2;
    size_t inputSize = size - 2;

    runState = RunState{};
    runState.sourceCp = source;
    runState.targetCp = target;
    runState.inputName = InputFileName(input, inputSize);
    if (!RecognizeInput()) {
        // Nothing to read, or a guessed source met a binary file.
        FUZZ_CHECK((inputSize == 0 || runState.failure == kFailureInputBinary) &&
                   runState.status == kStatusInputFailed);
        FUZZ_CHECK(runState.workBuffer.block == nullptr);
        return 0;
    }

    // The block as the loader lays it out.
    WorkBuffer& buffer = runState.workBuffer;
    uint8_t* block = buffer.block;
    uint8_t* blockEnd = block + __sanitizer_get_allocated_size(block);
    FUZZ_CHECK(__sanitizer_get_allocated_size(block) == BlockBytesFor(inputSize));
    FUZZ_CHECK(buffer.writeBase == block + kUnusedBytes);
    FUZZ_CHECK(buffer.readEnd == block + kBlockOverhead + inputSize);
    FUZZ_CHECK(buffer.readCursor >= buffer.writeBase + kHeadRoomBytes);
    FUZZ_CHECK(buffer.readCursor <= buffer.readEnd);
    FUZZ_CHECK(static_cast<uint32_t>(buffer.readEnd - buffer.readCursor) ==
               runState.inputByteCount);
    FUZZ_CHECK(runState.inputSize == inputSize);
    FUZZ_CHECK(buffer.readEnd + kZeroBytes <= blockEnd);
    for (uint32_t i = 0; i < kZeroBytes; ++i) {
        FUZZ_CHECK(buffer.readEnd[i] == 0);
    }
    FUZZ_CHECK(runState.inputHadBom == 0 || IsUnicodeForm(runState.sourceCp));
    if (runState.inputHadBom == 1 || source == CP_AUTODETECT) {
        // What a mark or sniffing chose comes in whole units.
        if (runState.sourceCp == CP_UTF16LE || runState.sourceCp == CP_UTF16BE) {
            FUZZ_CHECK(runState.inputByteCount % 2 == 0);
        }
        if (runState.sourceCp == CP_UTF32LE || runState.sourceCp == CP_UTF32BE) {
            FUZZ_CHECK(runState.inputByteCount % 4 == 0);
        }
    } else {
        FUZZ_CHECK(runState.sourceCp == source);
    }

    // What the output step settles before it converts.
    if (runState.targetCp == CP_UNSET) {
        runState.targetCp = runState.sourceCp;
    }
    std::string text(reinterpret_cast<const char*>(buffer.readCursor), runState.inputByteCount);
    Replacements expectedCounts{};
    std::string expected =
        ReferenceConversion(text, runState.sourceCp, runState.targetCp, &expectedCounts);
    // A text guessed UTF-8 but for stray bytes is no copy into UTF-8: each sequence that is no
    // character becomes "?", as on its way through UTF-32.
    if (runState.guessStrayBytes > 0 && runState.sourceCp == static_cast<CodePageId>(CP_UTF8) &&
        runState.targetCp == static_cast<CodePageId>(CP_UTF8)) {
        Replacements none{};
        std::string utf32 = ReferenceConversion(text, CP_UTF8, CP_UTF32LE, &expectedCounts);
        expected = ReferenceConversion(utf32, CP_UTF32LE, CP_UTF8, &none);
    }

    // Every way the text can be converted, each on the block as it was loaded (the conversion
    // works in place): the same bytes, the same pieces and the same count from all of them.
    std::vector<uint8_t> loaded(block, blockEnd);
    std::vector<DWORD> firstCounts;
    for (int variant = -1; variant < kKernelLevels; ++variant) {
        if (variant >= 0 && !KernelLevelRuns(static_cast<KernelLevel>(variant))) {
            continue;
        }
        std::memcpy(block, loaded.data(), loaded.size());
        usePlainRoutes = variant < 0;
        UseKernelLevel(variant < 0 ? kKernelPortable : static_cast<KernelLevel>(variant));
        Convert(block, blockEnd);
        CheckOutcome(expected, expectedCounts);
        if (variant < 0) {
            firstCounts = flushCounts;
        } else if (flushCounts != firstCounts) {
            std::fprintf(stderr,
                         "source %d, target %d: kernel level %d flushes %zu pieces, the "
                         "plain route %zu\n",
                         runState.sourceCp, runState.targetCp, variant, flushCounts.size(),
                         firstCounts.size());
            FUZZ_CHECK(flushCounts == firstCounts);
        }
    }
    usePlainRoutes = false;
    UseKernelLevel(BestKernelLevel());
    ReleaseWorkBuffer();
    return 0;
}
