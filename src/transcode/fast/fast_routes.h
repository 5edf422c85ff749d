// The conversion routes as they run: long stretches through the kernels (kernels/), and
// character by character only where the flush rule may come into play or a kernel leaves a
// character over. Every byte, every flush and every count is that of the plain routes
// (plain/plain_routes.h).
//
// The flush rule, applied in bulk: before each character a plain route compares the read and
// write positions. Each route's output gains on its input by at most a known fraction of the
// bytes read (a UTF-8 byte becomes at most two UTF-16 bytes, a gain of one byte per byte). So
// while the positions are `gap` bytes apart, every character that starts within
// (gap - kBulkMargin) / gain bytes still finds them at least kBulkMargin apart: no test there
// can fire, and the kernel may skip them all. Where a test might fire, the character goes the
// plain way, test first. The flushes therefore come exactly where the plain routes make them; so
// do the hand-overs of rewritten line ends (flush_output.h), since no kernel runs past the next.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/state/run_state.h"
#include "src/state/work_buffer.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/kernels/route_kernels.h"
#include "src/transcode/plain/character_steps.h"

// Below this many bytes a kernel call is not worth making.
constexpr size_t kMinBulk = 64;

// Converts the whole text from readCursor to readEnd with `kernel` and, where it may not run,
// `character`; writes it from writeBase on, flushes (and hands over) where the plain route does and
// at its end, and adds what it replaced to runState.replacements. The route's output gains at most
// kGainNum / kGainDen bytes per byte read.
template <RouteCharacter character, size_t kGainNum, size_t kGainDen>
void RunFastRoute(RouteKernel kernel) {
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    Replacements counts{};
    const uint8_t* handOver = NextHandOver(read, end);
    while (read != end) {
        write = KeepHandOver(read, write, &handOver, end);
        size_t gap = static_cast<size_t>(read - write);
        // A kernel stops at the next hand-over, so that it falls where the plain route makes it.
        size_t left = static_cast<size_t>(handOver - read);
        if (gap >= kBulkMargin) {
            size_t room = kGainNum == 0 ? left : (gap - kBulkMargin) / kGainNum * kGainDen;
            if (room >= kMinBulk || room >= left) {
                const uint8_t* limit = read + (room < left ? room : left);
                const uint8_t* next = kernel(read, limit, end, &write, &counts);
                if (next != read) {
                    read = next;
                    continue;
                }
            }
        }
        write = KeepFlushMargin(read, write);
        character(read, end, write, counts);
    }
    AddReplacements(runState.replacements, counts);
    FlushOutput(write);
}

// Byte for byte, for a source and target of one family (or the same byte code page). The output
// is the input itself, so it is flushed once, straight from where the input lies.
void CopyBytes();
