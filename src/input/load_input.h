// Reading the whole input into the one block the conversion works in.
#pragma once

#include <cstdint>

#include "src/run/run_state.h"

// Output starts this far behind the input, so that it never overtakes what is still unread.
constexpr uint32_t kHeadRoomBytes = 4096;
// Bytes of the block in front of the input: 8 unused, then the head room.
constexpr uint32_t kBlockOverhead = 8 + kHeadRoomBytes;

// What the one read asks for: the size plus at least 26 bytes, a multiple of 8. The slack
// holds the four zero bytes after the data.
constexpr uint64_t ReadRequestFor(uint32_t size) {
    return (static_cast<uint64_t>(size) + 33) & ~static_cast<uint64_t>(7);
}

// The block's size for an input of `size` bytes, or 0 when it would not fit in 32 bits.
constexpr uint32_t BlockBytesFor(uint32_t size) {
    uint64_t bytes = ReadRequestFor(size) + kBlockOverhead;
    return bytes > UINT32_MAX ? 0 : static_cast<uint32_t>(bytes);
}

// Reads runState.inputName whole into a new runState.workBuffer and sets inputSize and
// inputByteCount, with readCursor at the first byte and four zero bytes at readEnd. On any
// failure (no regular file, too large, no memory, read error, empty) nothing stays allocated or
// open, status is kStatusInputFailed and the result is false.
bool LoadInput();

// Gives the block back and forgets its cursors; harmless when there is none.
void ReleaseWorkBuffer();
