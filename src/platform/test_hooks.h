// The hook through which the tests reach inside the platform layer; the conversion's own hooks
// are in src/transcode/test_hooks.h. No option, setting or stored file leads to it: the program
// never sets it, so a user always runs with the default given below.
#pragma once

// The shell trace, an environment variable read by the Linux program's ShellExecuteW
// (posix/process.cpp): when it names a file, the request is appended there as one line
// ("open <path>") instead of starting a viewer. Set by the end-to-end tests and the install
// check, which see that the guide was asked for without a window opening. Nothing tells users
// of it, and its name carries the program's own prefix, which no desktop sets.
constexpr char kShellTraceVariable[] = "CODESHIFT_SHELL_TRACE";
