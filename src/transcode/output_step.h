#pragma once

#include "src/state/run_state.h"

// The second half of ConvertFile: creates the output, writes the target's byte order mark,
// converts and flushes the text, replaces the target and releases the WorkBuffer. Stores 0 or
// kStatusOutputFailed in runState.status and returns it.
RunStatus WriteOutputFile();
