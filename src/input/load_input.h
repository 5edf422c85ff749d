// Reading the whole input into the one block the conversion works in.
#pragma once

#include "src/input/work_buffer.h"
#include "src/run/run_state.h"

// Reads runState.inputName whole into a new runState.workBuffer and sets inputSize and
// inputByteCount, with readCursor at the first byte and four zero bytes at readEnd. On any
// failure (no regular file, too large, no memory, read error, empty) nothing stays allocated or
// open, status is kStatusInputFailed and the result is false.
bool LoadInput();

// Gives the block back and forgets its cursors; harmless when there is none.
void ReleaseWorkBuffer();
