// Starting the program under test as a user would: in a folder of its own, with arguments,
// through an optional launcher (Wine for the Windows builds).
#pragma once

#include <string>
#include <vector>

// Which build is under test: "native", "win64" or "win32" (CODESHIFT_FLAVOR).
std::string Flavor();

// What a run printed. The program's standard output and error always go to files of the test's
// own, never to a terminal, as when a script or a pipe calls it.
struct RunOutput {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs the program with `arguments` in `folder`; returns its exit code, or -1 when it could not
// be started or did not exit normally. Requests to open a document are recorded in
// folder/shell.trace instead of starting a viewer: by the native build itself, and under Wine by
// the test prefix's viewer for HTML, which runs after the program; after a usage error (20) the
// run waits for that record.
int RunProgram(const std::vector<std::string>& arguments, const std::string& folder);

// The same with the size any file the program writes may reach limited to `fileSizeLimit` bytes
// (RLIMIT_FSIZE, with SIGXFSZ ignored so that a write past it fails instead of killing it).
int RunProgramWithFileSizeLimit(const std::vector<std::string>& arguments,
                                const std::string& folder, long long fileSizeLimit);

// The same, keeping what it printed. With `debugStrings`, a Windows program's debug output
// (OutputDebugStringW) is shown by Wine on its standard error (WINEDEBUG=+debugstr), as a
// debugger would see it; see DebugStrings.
RunOutput RunProgramCapturing(const std::vector<std::string>& arguments, const std::string& folder,
                              bool debugStrings = false);

// The lines a Windows program sent to OutputDebugStringW, decoded from Wine's trace in `err`.
std::string DebugStrings(const std::string& err);

// The requests recorded in folder/shell.trace, one "open <path>" line each, alike for every build.
std::string ShellRequests(const std::string& folder);

// How the program under test names the readme beside itself ("Z:\..." under Wine); a symbolic
// link in the path may or may not be resolved, so every spelling is given.
std::vector<std::string> ReadmePaths();
