// The one frame every kernel level runs in. A level brings what is its own: a block, which
// converts a whole block at `read` where it qualifies and says whether it did, written with the
// level's instructions; RunOfBlocks runs the blocks, one after the other, for as long as they
// qualify; and RunBlocks hands the route's step (plain/character_steps.h) all else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "src/state/replacements.h"
#include "src/transcode/codecs/buffer_units.h"

// Converts one character, as a step of plain/character_steps.h does. Most steps always convert
// it; the step from UTF-8 to a code page says false, having done nothing, at a unit the tables do
// not hold, and the kernel stops there, leaving the unit to the route.
template <auto step>
inline bool TakeStep(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    if constexpr (std::is_void_v<decltype(step(read, write, counts))>) {
        step(read, write, counts);
        return true;
    } else {
        return step(read, write, counts);
    }
}

typedef bool (*BlockRun)(const uint8_t*& read, const uint8_t* limit, uint8_t*& write,
                         Replacements& counts);

// Blocks of kBlock input bytes go through `run`, which converts whole blocks for as long as they
// qualify and says whether it took any. What a run refuses goes through `step`: to the end of the
// block when kWholeBlock (a UTF-8 block, whose characters a block may cut; a run may also have
// stopped inside that block), else one character; so does what is left behind the last whole
// block, while a whole source unit of kWidth bytes is left. The kernel ends where a step stops.
template <uint32_t kWidth, ptrdiff_t kBlock, BlockRun run, auto step, bool kWholeBlock>
const uint8_t* RunBlocks(const uint8_t* read, const uint8_t* limit, const uint8_t* end,
                         uint8_t** write, Replacements* counts) {
    uint8_t* w = *write;
    Replacements r{};
    while (read < limit && (kWidth == 1 || HoldsWholeUnit(read, end, kWidth))) {
        if (limit - read >= kBlock) {
            const uint8_t* blockEnd = read + kBlock;
            if (run(read, limit, w, r)) {
                continue;
            }
            if (kWholeBlock) {
                while (read < blockEnd && TakeStep<step>(read, w, r)) {
                }
                if (read < blockEnd) {
                    break;
                }
                continue;
            }
        }
        if (!TakeStep<step>(read, w, r)) {
            break;
        }
    }
    *write = w;
    AddReplacements(*counts, r);
    return read;
}

// The first of two runs that takes any blocks: a run of the commonest blocks alone, whose loop
// stays tighter than one that may take any, before the run that may.
template <BlockRun first, BlockRun second>
bool EitherRun(const uint8_t*& read, const uint8_t* limit, uint8_t*& write, Replacements& counts) {
    return first(read, limit, write, counts) || second(read, limit, write, counts);
}

// The output goes to lines of the block that were read long before and have left the nearest
// caches, and a store that has to fetch its line first holds up the ones behind it. So a level
// whose blocks write whole lines asks, before each block, for the lines some way ahead: `kLines`
// lines of output for writing, as many as one block's output may fill, and the input's line at
// the same distance. (The hints never fault, wherever their addresses lie.)
constexpr uintptr_t kAskAhead = 1024;

template <int kLines>
inline void AskForLinesAhead(const uint8_t* read, const uint8_t* w) {
    if constexpr (kLines > 0) {
        __builtin_prefetch(
            reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(read) + kAskAhead), 0, 3);
        uintptr_t at = reinterpret_cast<uintptr_t>(w) + kAskAhead;
        for (int i = 0; i < kLines; ++i) {
            __builtin_prefetch(reinterpret_cast<const void*>(at + 64 * i), 1, 3);
        }
    }
}

// What a run holds: nothing (null), or what `hold` makes.
template <auto hold>
[[gnu::always_inline]] inline auto Hold(const uint8_t* read, const uint8_t* limit) {
    if constexpr (std::is_null_pointer_v<decltype(hold)>) {
        return nullptr;
    } else {
        return hold(read, limit);
    }
}

// Calls a block or a tail, with what its run holds where it takes it.
template <auto f, typename Held, typename... Args>
[[gnu::always_inline]] inline auto WithHeld(Held& held, Args&&... args) {
    if constexpr (std::is_invocable_v<decltype(f), Args..., Held&>) {
        return f(args..., held);
    } else {
        return f(args...);
    }
}

// A run of blocks of kBlock bytes, at least one block before `limit`, in a loop of its own, which
// stays tight: true when it took any. Each level calls it from a function of its own compiled
// with its instructions, into which the blocks are then compiled. What a level may add:
// `hold(read, limit)` makes what the run's blocks keep in registers from one to the next (the
// tables of a page, say), passed to the blocks and the tail that take it as their last argument;
// `tail(read, n, w, counts)` converts the n bytes left before `limit` once fewer than a block are
// left; and `kLines`, the lines of output asked for before each block.
template <ptrdiff_t kBlock, auto block, auto tail = nullptr, int kLines = 0, auto hold = nullptr>
[[gnu::always_inline]] inline bool RunOfBlocks(const uint8_t*& read, const uint8_t* limit,
                                               uint8_t*& w, Replacements& counts) {
    // The positions in registers: a block compiled into the loop then moves them there, and only
    // the end of the run writes them back.
    const uint8_t* at = read;
    uint8_t* out = w;
    auto held = Hold<hold>(at, limit);
    // One call of the block, so that it is compiled into the loop.
    bool took = false;
    do {
        AskForLinesAhead<kLines>(at, out);
        if (!WithHeld<block>(held, at, out, counts)) {
            break;
        }
        took = true;
    } while (limit - at >= kBlock);
    if constexpr (!std::is_null_pointer_v<decltype(tail)>) {
        if (took && limit - at < kBlock && at < limit) {
            WithHeld<tail>(held, at, static_cast<uint32_t>(limit - at), out, counts);
        }
    }
    read = at;
    w = out;
    return took;
}
