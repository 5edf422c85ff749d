#pragma once

#include "src/platform/platform.h"

// Reads the process's command line into runState. Returns 0 when the run may go on (a
// conversion, or recognition only with targetCp = CP_DETECT_ONLY), 20 on a usage error after
// storing it in runState.status.
int ParseCommandLine();

// The same parse over an argument list already split (argument 0 is the program and skipped).
int ParseArguments(int count, LPWSTR* arguments);
