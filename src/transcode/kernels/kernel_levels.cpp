// The choice of the kernel level the routes use: the widest this processor runs, unless a test
// or the benchmark chose another.
#include "src/platform/test_hooks.h"
#include "src/transcode/kernels/route_kernels.h"

namespace {

KernelLevel chosenLevel = kKernelLevels;  // not yet chosen

}  // namespace

KernelLevel BestKernelLevel() {
    if (Ssse3Kernels() != nullptr) {
        return kKernelSsse3;
    }
    if (Sse2Kernels() != nullptr) {
        return kKernelSse2;
    }
    return kKernelPortable;
}

const RouteKernels& KernelsAt(KernelLevel level) {
    const RouteKernels* kernels = nullptr;
    if (level == kKernelSsse3) {
        kernels = Ssse3Kernels();
    } else if (level == kKernelSse2) {
        kernels = Sse2Kernels();
    }
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
