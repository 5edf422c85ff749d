#include "src/transcode/output_step.h"

#include <cstdlib>

RunStatus WriteOutputFile() {
    runState.status = kStatusOutputFailed;
    std::free(runState.workBuffer.block);
    runState.workBuffer = WorkBuffer{nullptr, nullptr, nullptr, nullptr};
    return runState.status;
}
