// The conversion routes character by character, exactly as the flush rule reads: the flush test
// before every character, then the route's character. They are the reference that the fast
// routes (fast/fast_routes.h) are tested against, and what those give byte for byte, flush for
// flush, count for count. Tests and the benchmark run them through usePlainRoutes.
#pragma once

#include <cstdint>

#include "src/state/run_state.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/plain/character_steps.h"

// Converts the whole text from readCursor to readEnd, writes it from writeBase on under the
// flush rule (and hands it over as flush_output.h says when line ends are rewritten), flushes at
// its end and adds what it replaced to runState.replacements.
template <RouteCharacter character>
void RunPlainRoute() {
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    Replacements counts{};
    const uint8_t* handOver = NextHandOver(read, end);
    while (read != end) {
        write = KeepHandOver(read, write, &handOver, end);
        write = KeepFlushMargin(read, write);
        character(read, end, write, counts);
    }
    AddReplacements(runState.replacements, counts);
    FlushOutput(write);
}

// Byte for byte, for a source and target of one family (or the same byte code page): the input
// is moved to writeBase and flushed from there once.
void PlainCopyBytes();
