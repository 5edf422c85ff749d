// Reading the whole input into the one block the conversion works in.
#pragma once

#include "src/state/run_state.h"
#include "src/state/work_buffer.h"

// Reads runState.inputName whole into a new runState.workBuffer and sets inputSize and
// inputByteCount, with readCursor at the first byte and four zero bytes at readEnd. On any
// failure (no regular file, too large, no memory, read error, empty) nothing stays allocated or
// open, status is kStatusInputFailed and the result is false. The same as OpenInput, then
// ReadInput.
bool LoadInput();

// The first part: opens the input, refuses what cannot be loaded (not a regular file, too large,
// no memory for its block) and reads its first kHeadBytes into the new block, at readCursor. The
// input stays open, and inputByteCount holds the size the file reported (counted, like the text,
// from readCursor).
bool OpenInput();
// The rest: reads the input to its end behind the first bytes, closes it and sets readEnd, the
// zero bytes, inputSize and inputByteCount (from readCursor, which may already stand behind a
// mark). On failure the block is given back too.
bool ReadInput();

// The bytes read before anything else: enough for the longest byte order mark.
constexpr uint32_t kHeadBytes = 4;

// Closes the input if it is still open.
void CloseInput();

// Gives the block back and forgets its cursors; harmless when there is none.
void ReleaseWorkBuffer();
