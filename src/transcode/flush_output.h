// The only way converted text leaves the WorkBuffer for the output file.
#pragma once

#include <cstdint>

#include "src/state/run_state.h"
#include "src/state/work_buffer.h"
#include "src/transcode/line_ends.h"

// Writes the bytes from writeBase up to writePos to the output file, in the target's byte order,
// and adds their count to outputByteCount. A write that fails or falls short sets
// outputWriteFailed; after that nothing more is written. The caller continues at writeBase.
void FlushOutput(uint8_t* writePos);
// The same for output that lies elsewhere in the block: the plain copy's output is the input
// itself, and it is written from where it lies instead of being moved to writeBase first.
void FlushOutputFrom(uint8_t* base, uint8_t* writePos);

// Writes what the output still owes at its end (rewritten output and a line end held back); after
// the last flush.
void FinishOutput();

// The flush rule, tested before each character: returns where the next character is written.
inline uint8_t* KeepFlushMargin(const uint8_t* readPos, uint8_t* writePos) {
    if (static_cast<uintptr_t>(readPos - writePos) < kFlushMargin) {
        FlushOutput(writePos);
        return runState.workBuffer.writeBase;
    }
    return writePos;
}

// With line ends rewritten, the output is also handed on every kHandOverBytes of input, so that
// the rewrite reads it while it is still in the cache and the block's output region stays small.
// Like the flush rule, this is tested before each character, and the routes do it at the same
// characters. With line ends kept no hand-over falls before the end of the input. It is a quarter
// of the rewrite's piece: the output of a hand-over, its rewrite and the piece then all fit in the
// second-level cache, while the piece is large enough that its writes cost little.
constexpr uint32_t kHandOverBytes = kLineEndPieceBytes / 4;

// Where the next hand-over falls for a route reading at `readPos`: kHandOverBytes on, or at the
// end of the input when that comes first or the line ends are kept.
inline const uint8_t* NextHandOver(const uint8_t* readPos, const uint8_t* end) {
    if (runState.lineEnds == kLineEndsKept ||
        static_cast<size_t>(end - readPos) <= kHandOverBytes) {
        return end;
    }
    return readPos + kHandOverBytes;
}

// The hand-over, tested before each character: returns where the next character is written.
inline uint8_t* KeepHandOver(const uint8_t* readPos, uint8_t* writePos, const uint8_t** handOver,
                             const uint8_t* end) {
    if (readPos >= *handOver) {
        FlushOutput(writePos);
        *handOver = NextHandOver(readPos, end);
        return runState.workBuffer.writeBase;
    }
    return writePos;
}
