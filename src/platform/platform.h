// The one header through which the rest of codeshift reaches the operating system, in two parts:
// windows_api.h, the Windows services the system calls, under their Windows names, and
// own_services.h, the project's own services (replacement files, busy-file waits, code page
// tables, large blocks, the command-line conventions, messages). The hooks that only tests turn
// are apart, in test_hooks.h (and the conversion's in src/transcode/route_hooks.h).
#pragma once

#include "src/platform/own_services.h"
#include "src/platform/windows_api.h"
