// The one frame the levels rewrite line ends in (the lineEnds entry of route_kernels.h), but for
// AVX-512, which compresses or spreads each chunk whole (avx512_kernels.cpp). A level
// brings what is its own, written with its instructions: `copy(at, w)`, which stores the kChunk
// bytes at `at` to `w`, and for each unit width `match(at)`, which says which units of that chunk
// are CRs and which are LFs. The frame copies a chunk whole, finds the units that are line ends
// and rebuilds the chunk around them: the chunk is already stored, so at a line end that gains or
// loses a unit it puts the unit in and stores the rest of the chunk again, one unit further on or
// back, straight from the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "src/transcode/kernels/route_kernels.h"

// Which units of a chunk are CRs and which are LFs, bit i for unit i. A unit whose bytes hold a
// CR's or an LF's value without being one (U+0D0A) is neither.
struct ChunkUnits {
    uint64_t cr;
    uint64_t lf;
};

// The lowest bit set in `bits`, which has one.
template <typename Mask>
[[gnu::always_inline]] inline uint32_t LowestBit(Mask bits) {
    if constexpr (sizeof(Mask) == 8) {
        return static_cast<uint32_t>(__builtin_ctzll(bits));
    } else {
        return static_cast<uint32_t>(__builtin_ctz(bits));
    }
}

// Puts a CR or an LF as a little-endian unit of kWidth bytes.
template <uint32_t kWidth>
[[gnu::always_inline]] inline void PutLineEndUnit(uint8_t* w, uint8_t value) {
    w[0] = value;
    for (uint32_t i = 1; i < kWidth; ++i) {
        w[i] = 0;
    }
}

// The output a flush hands on was written long before and has left the caches, and the processor
// fetches a stream that runs this fast too late of itself: so each chunk asks for the input this
// far ahead. (The hint never faults, wherever its address lies.)
constexpr uintptr_t kLineEndReadAhead = 4096;

// How many whole chunks a kernel takes before it looks at the room again: all but the last of
// the input's (the rest of a chunk stored again may reach into the next), and as many as surely
// fit in the room left (a chunk of LFs doubles).
template <uint32_t kChunk>
[[gnu::always_inline]] inline ptrdiff_t ChunksThatFit(const uint8_t* read, const uint8_t* end,
                                                      const uint8_t* w, const uint8_t* writeEnd) {
    ptrdiff_t chunks = (end - read) / static_cast<ptrdiff_t>(kChunk) - 1;
    ptrdiff_t fit = (writeEnd - w) / static_cast<ptrdiff_t>(2 * kChunk);
    return chunks < fit ? chunks : fit;
}

// Rewrites whole chunks, units of kWidth bytes, as line_ends.h says for LF (kCrLf false) or CR LF
// lines, while two chunks of input are left (the rest of a chunk stored again may reach into the
// next) and two chunks' room of output (a chunk of LFs doubles). Lines are longer than a chunk
// as a rule, and whether a chunk holds a line end is as good as random: so the first line end of
// a chunk is taken without a branch, and only a second one goes round a loop.
template <uint32_t kChunk, uint32_t kWidth, bool kCrLf, auto copy, auto match>
[[gnu::always_inline]] inline const uint8_t* RewriteChunks(const uint8_t* read, const uint8_t* end,
                                                           uint8_t** write, const uint8_t* writeEnd,
                                                           LineEndRun* run) {
    constexpr uint32_t kUnits = kChunk / kWidth;
    using Mask = std::conditional_t<(kUnits > 32), uint64_t, uint32_t>;
    constexpr Mask kAllUnits =
        static_cast<Mask>(kUnits == 8 * sizeof(Mask) ? ~0ull : (1ull << kUnits) - 1);
    // A chunk without a line end takes its last unit for one that changes nothing: the rest of
    // the chunk from there is stored again where it already lies.
    constexpr Mask kLastUnit = static_cast<Mask>(1ull << (kUnits - 1));
    static_assert(kChunk <= kLineEndChunkBytes && kChunk % 4 == 0);
    uint8_t* w = *write;
    Mask afterCr = run->afterCr ? 1 : 0;
    uint64_t changed = 0;
    for (;;) {
        // As many chunks as surely fit, then as many as fit in what room is left, and so on.
        ptrdiff_t chunks = ChunksThatFit<kChunk>(read, end, w, writeEnd);
        if (chunks <= 0) {
            break;
        }
        for (const uint8_t* stop = read + chunks * static_cast<ptrdiff_t>(kChunk); read != stop;
             read += kChunk) {
            __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(read) +
                                                             kLineEndReadAhead),
                               0, 3);
            ChunkUnits units = match(read);
            copy(read, w);
            Mask cr = static_cast<Mask>(units.cr);
            Mask lf = static_cast<Mask>(units.lf);
            // The units that follow a CR, and the one that follows this chunk's last unit.
            Mask afterCrUnits = ((cr << 1) | afterCr) & kAllUnits;
            Mask afterLast = cr >> (kUnits - 1);
            // A unit gets a line end unit before it: a CR before an LF that follows no CR, and an
            // LF after a CR that no LF follows. In LF lines every CR is left out, and the LF it
            // becomes comes with the unit after it. In CR LF lines each unit put in is a line end
            // changed; in LF lines each CR is, counted where the unit after it is seen.
            Mask inserts = kCrLf ? (lf ^ afterCrUnits) : (afterCrUnits & ~lf);
            Mask drops = kCrLf ? 0 : cr;
            if (!kCrLf) {
                changed += afterCr;
                changed -= afterLast;
            }
            afterCr = afterLast;
            // The bytes up to a line end stay where the chunk was stored; the unit put in goes
            // there, and the rest of the chunk is stored again behind it.
            Mask events = inserts | drops;
            uint32_t at = LowestBit(events | kLastUnit);
            Mask atBit = events & (0 - events);
            Mask insert = (inserts & atBit) != 0;
            Mask drop = (drops & atBit) != 0;
            w += at * kWidth;
            PutLineEndUnit<kWidth>(w, kCrLf && (lf & atBit) != 0 ? 0x0D : 0x0A);
            w += insert * kWidth;
            uint32_t done = (at + drop) * kWidth;
            changed += kCrLf ? insert : drop;
            copy(read + done, w);
            events &= events - 1;
            while (events != 0) {
                at = LowestBit(events);
                atBit = events & (0 - events);
                events &= events - 1;
                w += at * kWidth - done;
                done = at * kWidth;
                if ((inserts & atBit) != 0) {
                    PutLineEndUnit<kWidth>(w, kCrLf && (lf & atBit) != 0 ? 0x0D : 0x0A);
                    w += kWidth;
                    changed += kCrLf ? 1 : 0;
                }
                if ((drops & atBit) != 0) {
                    done += kWidth;
                    changed += 1;
                }
                copy(read + done, w);
            }
            w += kChunk - done;
        }
    }
    run->afterCr = afterCr != 0;
    run->changed += changed;
    *write = w;
    return read;
}

// A level's line end kernel: the frame for the run's unit width and line ends, compiled into the
// level's own function; `match1`, `match2` and `match4` find the units of each width.
template <uint32_t kChunk, auto copy, auto match1, auto match2, auto match4>
[[gnu::always_inline]] inline const uint8_t* LineEndChunks(const uint8_t* read, const uint8_t* end,
                                                           uint8_t** write, const uint8_t* writeEnd,
                                                           LineEndRun* run) {
    switch (run->width * 2 + (run->crLf ? 1 : 0)) {
        case 2:
            return RewriteChunks<kChunk, 1, false, copy, match1>(read, end, write, writeEnd, run);
        case 3:
            return RewriteChunks<kChunk, 1, true, copy, match1>(read, end, write, writeEnd, run);
        case 4:
            return RewriteChunks<kChunk, 2, false, copy, match2>(read, end, write, writeEnd, run);
        case 5:
            return RewriteChunks<kChunk, 2, true, copy, match2>(read, end, write, writeEnd, run);
        case 8:
            return RewriteChunks<kChunk, 4, false, copy, match4>(read, end, write, writeEnd, run);
        default:
            return RewriteChunks<kChunk, 4, true, copy, match4>(read, end, write, writeEnd, run);
    }
}
