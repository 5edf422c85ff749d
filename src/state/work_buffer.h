// The one block a run converts in: its layout, and every margin the conversion keeps inside it.
// The loader lays the block out and the routes write their output into it behind the read
// position; tests, the fuzzer and the benchmark lay out their blocks with these same numbers.
#pragma once

#include <cstdint>

// One block holds, in order: the unused bytes, the head room where output starts, the input as
// read, the zero bytes and a little slack. Output is written behind the read position.
struct WorkBuffer {
    uint8_t* block;       // the allocation, given back by ReleaseWorkBuffer
    uint8_t* writeBase;   // where the output region begins, kUnusedBytes into the block
    uint8_t* readCursor;  // the first input byte still to convert (behind a byte order mark)
    uint8_t* readEnd;     // one past the last input byte: the zero bytes start here
};

// In front of the output, read and written by nothing; tests poison them to catch a stray write.
constexpr uint32_t kUnusedBytes = 8;
// Output starts this far behind the input, so that it never overtakes what is still unread; so
// every flush but the last writes at least this much, less the flush margin.
constexpr uint32_t kHeadRoomBytes = 4096;
// Bytes of the block in front of the input.
constexpr uint32_t kBlockOverhead = kUnusedBytes + kHeadRoomBytes;
// Zero bytes behind the input: the mark test and the decoders read up to four bytes from where
// they stand and stop at a zero byte, and turning the byte order stops short of a partial unit.
constexpr uint32_t kZeroBytes = 4;
// The one read asks for the size plus this, rounded down to a multiple of 8: 26 to 33 bytes more
// than the file holds, so the zero bytes fit, and a read that returns more shows the file grew.
constexpr uint32_t kReadSlack = 33;

// A route converts the next character without flushing only while its read position is at
// least this many bytes ahead of its write position: no character adds as many bytes.
constexpr uint32_t kFlushMargin = 16;
// A kernel may store up to this many bytes of scratch behind the output it produced: its vector
// stores are whole registers, wider than what the last characters gave.
constexpr uint32_t kKernelOvershoot = 32;
// Kernels run only while the read position is this far ahead of the write position, so that no
// flush test could fire and their scratch stays clear of unread input.
constexpr uint32_t kBulkMargin = kFlushMargin + kKernelOvershoot;

// What the one read asks for, for a file of `size` bytes.
constexpr uint64_t ReadRequestFor(uint32_t size) {
    return (static_cast<uint64_t>(size) + kReadSlack) & ~static_cast<uint64_t>(7);
}

// The block's size for an input of `size` bytes, or 0 when it would not fit in 32 bits.
constexpr uint32_t BlockBytesFor(uint32_t size) {
    uint64_t bytes = ReadRequestFor(size) + kBlockOverhead;
    return bytes > UINT32_MAX ? 0 : static_cast<uint32_t>(bytes);
}

// The largest input a run can hold: one byte more and its block would not fit 32 bits.
constexpr uint32_t kLargestInputBytes = ((UINT32_MAX - kBlockOverhead) & ~7u) + 7 - kReadSlack;
static_assert(BlockBytesFor(kLargestInputBytes) != 0 && BlockBytesFor(kLargestInputBytes + 1) == 0);
