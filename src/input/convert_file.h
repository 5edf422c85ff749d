#pragma once

#include "src/state/run_state.h"

// Loads and recognises the input, then (unless only recognition was asked for) writes the
// output. Stores the outcome in runState.status on every path and returns it.
RunStatus ConvertFile();

// The first half's work up to the recognition-only test: keeps the command line's source in
// requestedSourceCp, loads the input and settles sourceCp by its byte order mark or, when the
// source was left open, by sniffing. False (status kStatusInputFailed) when loading failed.
bool RecognizeInput();
