// The hook through which tests reach inside the platform layer, declared here and nowhere else.
// No option, setting or stored file leads to it in the Windows programs; the Linux program reads
// it from an environment variable that nothing tells users of. (The conversion's own hooks are in
// transcode/route_hooks.h.)
#pragma once

// The shell trace, an environment variable read by the Linux program's ShellExecuteW
// (posix/process.cpp): when it names a file, the request is appended there as one line
// ("open <path>") instead of starting a viewer. Set by the end-to-end tests and the install
// check, which see that the guide was asked for without a window opening. Nothing tells users
// of it, and its name carries the program's own prefix, which no desktop sets.
constexpr char kShellTraceVariable[] = "CODESHIFT_SHELL_TRACE";
