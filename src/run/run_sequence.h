#pragma once

#include "src/platform/platform.h"

// One whole run over runState: parse, then the readme or the conversion, then the log record
// and the closing messages. Returns the exit code.
int RunOnce();

// Asks the platform to open the guide.
void OpenReadme();
