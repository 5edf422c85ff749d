#pragma once

#include "src/run/run_state.h"

// Loads and recognises the input, then (unless only recognition was asked for) writes the
// output. Stores the outcome in runState.status on every path and returns it.
RunStatus ConvertFile();
