// The choice of the kernel level the routes use: the widest this processor runs, unless a test
// or the benchmark chose another.
#include "src/transcode/kernels/route_kernels.h"
#include "src/transcode/test_hooks.h"

namespace {

const RouteKernels* PortableKernels() {
    return &kPortableKernels;
}

KernelLevel chosenLevel = kKernelLevels;  // not yet chosen

}  // namespace

const KernelLevelEntry kKernelLevelTable[kKernelLevels] = {
    {"portable", PortableKernels}, {"sse2", Sse2Kernels},     {"ssse3", Ssse3Kernels},
    {"avx2", Avx2Kernels},         {"avx512", Avx512Kernels},
};

bool KernelLevelRuns(KernelLevel level) {
    return kKernelLevelTable[level].kernels() != nullptr;
}

KernelLevel BestKernelLevel() {
    int level = kKernelLevels - 1;
    while (level > kKernelPortable && !KernelLevelRuns(static_cast<KernelLevel>(level))) {
        --level;
    }
    return static_cast<KernelLevel>(level);
}

const RouteKernels& KernelsAt(KernelLevel level) {
    const RouteKernels* kernels = kKernelLevelTable[level].kernels();
    return kernels != nullptr ? *kernels : kPortableKernels;
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
