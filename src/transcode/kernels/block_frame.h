// The one loop every kernel level runs its blocks in. A level brings what is its own: a run, which
// converts whole blocks at `read` for as long as they qualify and says whether it took any, written
// with the level's instructions; and the route's step (plain/character_steps.h) converts all else.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/state/replacements.h"
#include "src/transcode/codecs/buffer_units.h"

typedef void (*Step)(const uint8_t*& read, uint8_t*& write, Replacements& counts);
typedef bool (*BlockRun)(const uint8_t*& read, const uint8_t* limit, uint8_t*& write,
                         Replacements& counts);

// Blocks of kBlock input bytes go through `run`; a block it refuses goes through `step`, to its
// end when kWholeBlock (a UTF-8 block, whose characters a block may cut), else one character; so
// does what is left behind the last whole block, while a whole source unit of kWidth bytes is
// left.
template <uint32_t kWidth, ptrdiff_t kBlock, BlockRun run, Step step, bool kWholeBlock>
const uint8_t* RunBlocks(const uint8_t* read, const uint8_t* limit, const uint8_t* end,
                         uint8_t** write, Replacements* counts) {
    uint8_t* w = *write;
    Replacements r{};
    while (read < limit && (kWidth == 1 || HoldsWholeUnit(read, end, kWidth))) {
        if (limit - read >= kBlock) {
            if (run(read, limit, w, r)) {
                continue;
            }
            if (kWholeBlock) {
                for (const uint8_t* stop = read + kBlock; read < stop;) {
                    step(read, w, r);
                }
                continue;
            }
        }
        step(read, w, r);
    }
    *write = w;
    AddReplacements(*counts, r);
    return read;
}
