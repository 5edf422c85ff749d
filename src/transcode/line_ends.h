// Every line end of the output written one way, LF or CR LF, as the text reaches the file: the
// routes convert in place and never make room for a character the text did not have, so the
// line ends are rewritten on the way out, where the output may grow.
#pragma once

#include <cstdint>

#include "src/state/run_state.h"

// Hands `count` bytes of output, in the target's form with little-endian units, to `write`
// with every line end (LF, CR LF, or a CR alone) written as runState.lineEnds asks, in pieces of
// at most kLineEndPieceBytes, through the kernel of the level the routes use (whole chunks, a
// line end kernel of route_kernels.h) and unit by unit behind the last chunk. A piece is handed
// on only when it is full: what is left is held (runState.lineEndHeldBytes) for the next call or
// FinishLineEnds, so that output handed over in many small flushes is written in as few pieces
// as output flushed once. A CR at the end of the bytes is settled the same way. Counts each line
// end written otherwise than it stood in lineEndsChanged.
void RewriteLineEnds(uint8_t* bytes, uint32_t count, void (*write)(uint8_t*, uint32_t));

// Hands on what is held, with the line end a CR at the very end of the output still owes.
void FinishLineEnds(void (*write)(uint8_t*, uint32_t));

constexpr uint32_t kLineEndPieceBytes = 1u << 18;
