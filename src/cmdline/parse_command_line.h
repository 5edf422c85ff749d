#pragma once

#include "src/platform/platform.h"

// Reads the process's command line into runState, by this platform's rules. Returns 0 when the
// run may go on (a conversion, or recognition only with targetCp = CP_DETECT_ONLY), 20 on a
// usage error after storing it in runState.status.
int ParseCommandLine();

// The same parse over an argument list already split (argument 0 is the program and skipped),
// by the given platform's rules. A usage error also records what was wrong (usageProblem and
// usageArgument); --help or --version, where the rules know them, return 0 with runState.request
// set and nothing else parsed.
int ParseArguments(int count, LPWSTR* arguments, const CommandLineRules& rules);
