// The conversion routes as they run: long stretches through the kernels, and character by
// character only where the flush rule may come into play or a kernel leaves a character over.
//
// The flush rule, applied in bulk: before each character the route would compare the read and
// write positions. Each route's output gains on its input by at most a known fraction of the
// bytes read (a UTF-8 byte becomes at most two UTF-16 bytes, a gain of one byte per byte). So
// while the positions are `gap` bytes apart, every character that starts within
// (gap - kBulkMargin) / gain bytes still finds them at least kBulkMargin apart: no test there
// can fire, and the kernel may skip them all. Where a test might fire, the character goes the
// plain way, test first. The flushes therefore come exactly where the per-character routes
// make them, with the same bytes.
#include <cstddef>

#include "src/run/run_state.h"
#include "src/transcode/code_page_tables.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/route_kernels.h"
#include "src/transcode/route_steps.h"
#include "src/transcode/routes.h"

namespace {

// Below this many bytes a kernel call is not worth making.
constexpr size_t kMinBulk = 64;

// The most the output gains on the input, in bytes per byte read: num / den.
struct Gain {
    size_t num;
    size_t den;
};

template <typename Step>
void RunRoute(RouteKernel kernel, Gain gain, Step step) {
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    uint64_t replaced = 0;
    while (read != end) {
        size_t gap = static_cast<size_t>(read - write);
        size_t left = static_cast<size_t>(end - read);
        if (gap >= kBulkMargin) {
            size_t room = gain.num == 0 ? left : (gap - kBulkMargin) / gain.num * gain.den;
            if (room >= kMinBulk || room >= left) {
                const uint8_t* limit = read + (room < left ? room : left);
                const uint8_t* next = kernel(read, limit, end, &write, &replaced);
                if (next != read) {
                    read = next;
                    continue;
                }
            }
        }
        write = KeepFlushMargin(read, write);
        step(read, end, write, replaced);
    }
    runState.replacedCount += replaced;
    FlushOutput(write);
}

// A trailing partial unit of a UTF-16 or UTF-32 source: one "?", and the route ends at readEnd.
template <typename Store>
bool EndsInPartialUnit(const uint8_t*& read, const uint8_t* end, uint8_t*& write, size_t unit,
                       Store store, uint64_t& replaced) {
    if (static_cast<size_t>(end - read) >= unit) {
        return false;
    }
    write = store(write, kReplacementChar);
    replaced += 1;
    read = end;
    return true;
}

void LoadPages(bool source, bool target) {
    if (target) {
        LoadTargetPage(static_cast<UINT>(runState.targetCp));
        targetKeepsAscii = TargetKeepsAscii();
    }
    if (source) {
        LoadSourcePage(static_cast<UINT>(runState.sourceCp), target);
        sourceKeepsAscii = SourceKeepsAscii();
    }
}

}  // namespace

void Utf8ToUtf16() {
    RunRoute(ActiveKernels().utf8ToUtf16, Gain{1, 1},
             [](const uint8_t*& read, const uint8_t*, uint8_t*& write, uint64_t& replaced) {
                 StepUtf8ToUtf16(read, write, replaced);
             });
}

void Utf8ToUtf32() {
    RunRoute(ActiveKernels().utf8ToUtf32, Gain{3, 1},
             [](const uint8_t*& read, const uint8_t*, uint8_t*& write, uint64_t& replaced) {
                 StepUtf8ToUtf32(read, write, replaced);
             });
}

void Utf8ToCodePage() {
    LoadPages(false, true);
    RunRoute(ActiveKernels().utf8ToCodePage, Gain{2, 1},
             [](const uint8_t*& read, const uint8_t*, uint8_t*& write, uint64_t& replaced) {
                 if (StepUtf8ToCodePage(read, write, replaced)) {
                     return;
                 }
                 // A unit of four bytes or more: asked of the platform, as the plain route
                 // does; a size that could break the flush margin is refused.
                 WCHAR units[2];
                 uint32_t consumed = DecodeUtf8Char(read, units);
                 const UINT target = static_cast<UINT>(runState.targetCp);
                 int size = WideCharToMultiByte(target, 0, units, 1, nullptr, 0, nullptr, nullptr);
                 if (size > 0 && size < static_cast<int>(kFlushMargin)) {
                     WideCharToMultiByte(target, 0, units, 1, reinterpret_cast<LPSTR>(write), size,
                                         nullptr, nullptr);
                 } else {
                     size = 1;
                     StoreByte(write, kReplacementChar);
                 }
                 if (size == 1) {
                     if (write[0] == kReplacementChar) [[unlikely]] {
                         replaced += !IsUtf8Question(read, consumed, units);
                     }
                 }
                 write += size;
                 read += consumed;
             });
}

void Utf16ToUtf8() {
    RunRoute(ActiveKernels().utf16ToUtf8, Gain{1, 2},
             [](const uint8_t*& read, const uint8_t* end, uint8_t*& write, uint64_t& replaced) {
                 if (!EndsInPartialUnit(read, end, write, 2, StoreByte, replaced)) {
                     StepUtf16ToUtf8(read, write, replaced);
                 }
             });
}

void Utf16ToUtf32() {
    RunRoute(ActiveKernels().utf16ToUtf32, Gain{1, 1},
             [](const uint8_t*& read, const uint8_t* end, uint8_t*& write, uint64_t& replaced) {
                 if (!EndsInPartialUnit(read, end, write, 2, StoreUnit32, replaced)) {
                     StepUtf16ToUtf32(read, write, replaced);
                 }
             });
}

void Utf16ToCodePage() {
    LoadPages(false, true);
    RunRoute(ActiveKernels().utf16ToCodePage, Gain{0, 1},
             [](const uint8_t*& read, const uint8_t* end, uint8_t*& write, uint64_t& replaced) {
                 if (!EndsInPartialUnit(read, end, write, 2, StoreByte, replaced)) {
                     StepUtf16ToCodePage(read, write, replaced);
                 }
             });
}

void Utf32ToUtf8() {
    RunRoute(ActiveKernels().utf32ToUtf8, Gain{0, 1},
             [](const uint8_t*& read, const uint8_t* end, uint8_t*& write, uint64_t& replaced) {
                 if (!EndsInPartialUnit(read, end, write, 4, StoreByte, replaced)) {
                     StepUtf32ToUtf8(read, write, replaced);
                 }
             });
}

void Utf32ToUtf16() {
    RunRoute(ActiveKernels().utf32ToUtf16, Gain{0, 1},
             [](const uint8_t*& read, const uint8_t* end, uint8_t*& write, uint64_t& replaced) {
                 if (!EndsInPartialUnit(read, end, write, 4, StoreUnit16, replaced)) {
                     StepUtf32ToUtf16(read, write, replaced);
                 }
             });
}

void Utf32ToCodePage() {
    LoadPages(false, true);
    RunRoute(ActiveKernels().utf32ToCodePage, Gain{0, 1},
             [](const uint8_t*& read, const uint8_t* end, uint8_t*& write, uint64_t& replaced) {
                 if (!EndsInPartialUnit(read, end, write, 4, StoreByte, replaced)) {
                     StepUtf32ToCodePage(read, write, replaced);
                 }
             });
}

void CodePageToUtf8() {
    LoadPages(true, false);
    RunRoute(ActiveKernels().codePageToUtf8, Gain{2, 1},
             [](const uint8_t*& read, const uint8_t*, uint8_t*& write, uint64_t& replaced) {
                 StepCodePageToUtf8(read, write, replaced);
             });
}

void CodePageToUtf16() {
    LoadPages(true, false);
    RunRoute(ActiveKernels().codePageToUtf16, Gain{1, 1},
             [](const uint8_t*& read, const uint8_t*, uint8_t*& write, uint64_t& replaced) {
                 StepCodePageToUtf16(read, write, replaced);
             });
}

void CodePageToUtf32() {
    LoadPages(true, false);
    RunRoute(ActiveKernels().codePageToUtf32, Gain{3, 1},
             [](const uint8_t*& read, const uint8_t*, uint8_t*& write, uint64_t& replaced) {
                 StepCodePageToUtf32(read, write, replaced);
             });
}

void CodePageToCodePage() {
    LoadPages(true, true);
    RunRoute(ActiveKernels().codePageToCodePage, Gain{0, 1},
             [](const uint8_t*& read, const uint8_t*, uint8_t*& write, uint64_t& replaced) {
                 StepCodePageToCodePage(read, write, replaced);
             });
}

void CopyBytes() {
    FlushOutputFrom(runState.workBuffer.readCursor, runState.workBuffer.readEnd);
}
