// The kernel levels and their tables, and the choice of the level the routes use: the widest this
// processor runs, unless a test or the benchmark chose another.
#include "src/transcode/kernels/route_kernels.h"
#include "src/transcode/route_hooks.h"

namespace {

bool Always() {
    return true;
}

void AddPortableKernels(RouteKernels& kernels) {
    kernels = kPortableKernels;
}

KernelLevel chosenLevel = kKernelLevels;  // not yet chosen

struct LevelTables {
    RouteKernels table[kKernelLevels];
};

// Each level's table is the one below it with what the level adds written over it.
LevelTables MakeLevelTables() {
    LevelTables tables{};
    RouteKernels kernels{};
    for (int level = 0; level < kKernelLevels; ++level) {
        kKernelLevelTable[level].add(kernels);
        tables.table[level] = kernels;
    }
    return tables;
}

}  // namespace

const KernelLevelEntry kKernelLevelTable[kKernelLevels] = {
    {"portable", Always, AddPortableKernels}, {"sse2", Sse2Runs, AddSse2Kernels},
    {"ssse3", Ssse3Runs, AddSsse3Kernels},    {"avx2", Avx2Runs, AddAvx2Kernels},
    {"avx512", Avx512Runs, AddAvx512Kernels},
};

bool KernelLevelRuns(KernelLevel level) {
    for (int below = 0; below <= level; ++below) {
        if (!kKernelLevelTable[below].runs()) {
            return false;
        }
    }
    return true;
}

KernelLevel BestKernelLevel() {
    int level = kKernelLevels - 1;
    while (level > kKernelPortable && !KernelLevelRuns(static_cast<KernelLevel>(level))) {
        --level;
    }
    return static_cast<KernelLevel>(level);
}

const RouteKernels& KernelsAt(KernelLevel level) {
    // Made on first use: the tables of all levels hold only addresses of functions, which any
    // processor may hold, whether or not it runs them.
    static const LevelTables tables = MakeLevelTables();
    return KernelLevelRuns(level) ? tables.table[level] : kPortableKernels;
}

const RouteKernels& ActiveKernels() {
    if (chosenLevel == kKernelLevels) {
        chosenLevel = BestKernelLevel();
    }
    return KernelsAt(chosenLevel);
}

void UseKernelLevel(KernelLevel level) {
    chosenLevel = level;
}
