#include "tests/input/input_run.h"

void StartRun(const std::string& name, CodePageId sourceCp, CodePageId targetCp) {
    runState = RunState{};
    runState.inputName = WideString(name.begin(), name.end());
    runState.sourceCp = sourceCp;
    runState.targetCp = targetCp;
}

long BlockOffset(const uint8_t* at) {
    return static_cast<long>(at - runState.workBuffer.block);
}
