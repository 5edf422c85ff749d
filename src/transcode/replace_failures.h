// How a replacement that failed ends the run.
#pragma once

#include "src/platform/platform.h"
#include "src/state/run_state.h"

// Which step of the replacement failed: the creation of the temporary, or its commit.
enum ReplaceStep : uint8_t { kCreatingTemporary, kCommitting };

// The failure the run is told by, the system's error the message gives with it, and the status
// the run ends with.
struct ReplaceFailure {
    RunFailure failure;
    DWORD error;
    RunStatus status;
};

// The failure for `result`, which must be one of a step that did not succeed.
ReplaceFailure FailureOfReplacement(ReplaceStep step, ReplaceResult result);
