// What a run tells the person who started it, besides its exit code and its log record.
#pragma once

#include "src/run/report_words.h"
#include "src/state/run_state.h"

// The closing lines of a run: what was wrong with the command line, why the input or the
// output failed, and warnings. A successful conversion or recognition has none. A function of
// the run's state alone (and of the platform's words for an error and its guide).
MessageLines RunReport(const RunState& run);

// Writes the closing lines of runState, once, after the log record.
void ReportRun();
