#pragma once

#include "src/platform/platform.h"

// One whole run over runState: parse, then the readme or the conversion, then the log record
// and the closing messages. Returns the exit code.
int RunOnce();

// Where the guide readme.html is: beside the executable, or where an installed program keeps
// its documents when it is not there. Empty when the executable's path cannot be had.
WideString GuidePath();

// Asks the platform to open the guide.
void OpenReadme();
