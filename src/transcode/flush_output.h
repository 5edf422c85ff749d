// The only way converted text leaves the WorkBuffer for the output file.
#pragma once

#include <cstdint>

#include "src/state/run_state.h"
#include "src/state/work_buffer.h"

// Writes the bytes from writeBase up to writePos to the output file, in the target's byte order,
// and adds their count to outputByteCount. A write that fails or falls short sets
// outputWriteFailed; after that nothing more is written. The caller continues at writeBase.
void FlushOutput(uint8_t* writePos);
// The same for output that lies elsewhere in the block: the plain copy's output is the input
// itself, and it is written from where it lies instead of being moved to writeBase first.
void FlushOutputFrom(uint8_t* base, uint8_t* writePos);

// Writes what the output still owes at its end (a line end held back); after the last flush.
void FinishOutput();

// The flush rule, tested before each character: returns where the next character is written.
inline uint8_t* KeepFlushMargin(const uint8_t* readPos, uint8_t* writePos) {
    if (static_cast<uintptr_t>(readPos - writePos) < kFlushMargin) {
        FlushOutput(writePos);
        return runState.workBuffer.writeBase;
    }
    return writePos;
}
