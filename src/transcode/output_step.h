#pragma once

#include "src/state/run_state.h"

// The second half of ConvertFile: creates the output, writes the target's byte order mark,
// converts and flushes the text, replaces the target and releases the WorkBuffer. Stores 0 or
// kStatusOutputFailed in runState.status and returns it.
RunStatus WriteOutputFile();

// Commits the temporary that WriteOutputFile left for later (runState.commitLater), if it left
// one: the target is replaced, or the run ends as the failed commit says and the temporary is
// taken back. Returns runState.status.
RunStatus CommitLeftOutput();
