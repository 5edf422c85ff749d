// Where the guide lies, for the messages that point to it and the run that opens it.
#pragma once

#include "src/platform/platform.h"

// Where the guide readme.html is: beside the executable, or where an installed program keeps
// its documents when it is not there. Empty when the executable's path cannot be had.
WideString GuidePath();
