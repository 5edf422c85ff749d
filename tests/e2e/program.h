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

// What a user's shell or container may have set up around a run: the program has to cope with
// it by itself. Only what a case names is changed.
struct Surroundings {
    long long fileSizeLimit = -1;  // bytes any written file may reach (ulimit -f); -1: none
    // Descriptors the process may hold (ulimit -n); -1: none. The run then starts with the
    // standard three alone, as from a shell, not with whatever the test runner left open.
    long long openFileLimit = -1;
    // Covered by an empty file system in a mount namespace of the run's own (unshare -m), as
    // parts of the system are missing in a minimal container.
    std::string hiddenFolder;
    // Run as this user and group with no others (setpriv --reuid --regid --clear-groups).
    int user = -1;
    int group = -1;
    // A sandbox (a seccomp filter) that refuses every change of a file's extended attributes.
    bool attributesLocked = false;
    // Standard error on /dev/null (2> /dev/null): no file or pipe to read the messages from,
    // which under Wine is what a program started from the desktop has.
    bool errorsDiscarded = false;
    // The locale the run is started in (LC_ALL), which picks the system's ANSI, OEM and Mac
    // pages; empty: C.UTF-8, the same for every build.
    std::string locale;
};

inline Surroundings FileSizeLimit(long long bytes) {
    Surroundings s;
    s.fileSizeLimit = bytes;
    return s;
}
inline Surroundings OpenFileLimit(long long descriptors) {
    Surroundings s;
    s.openFileLimit = descriptors;
    return s;
}
inline Surroundings HiddenFolder(const std::string& folder) {
    Surroundings s;
    s.hiddenFolder = folder;
    return s;
}
inline Surroundings ErrorsDiscarded() {
    Surroundings s;
    s.errorsDiscarded = true;
    return s;
}
inline Surroundings RunAs(int user, int group) {
    Surroundings s;
    s.user = user;
    s.group = group;
    return s;
}

// RunProgramIn's result when the surroundings could not be set up (a mount namespace or a
// change of user not permitted here): the program did not run.
constexpr int kSurroundingsRefused = 125;

int RunProgramIn(const Surroundings& surroundings, const std::vector<std::string>& arguments,
                 const std::string& folder);

// The same with another copy of the program under test, at `program`.
int RunProgramAt(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& folder, const Surroundings& surroundings = {});

// The standard streams a run starts with, as a shell would set them up: a descriptor of the
// test's own for each, kStreamClosed for one the caller closed (2>&-), or for the input
// kNoStream (/dev/null, as for every other run).
constexpr int kStreamClosed = -1;
constexpr int kNoStream = -2;
struct Streams {
    int in = kNoStream;
    int out = kStreamClosed;
    int err = kStreamClosed;
};

// Runs the program with those streams and waits: its wait status (exit code or signal), as
// waitpid gives it, or -1 when it could not be started.
int RunProgramWithStreams(const std::vector<std::string>& arguments, const std::string& folder,
                          const Streams& streams);

// The same without waiting: the process id, or -1.
int StartProgramWithStreams(const std::vector<std::string>& arguments, const std::string& folder,
                            const Streams& streams);

// Starts the program without waiting for it; the process id, or -1.
int StartProgram(const std::vector<std::string>& arguments, const std::string& folder);
// The same through `wrapper` (a tool and its options, such as strace slowing a call down): the
// tool is started with its options, the program's path and `arguments`; its standard error goes
// to `err` when that is a descriptor.
int StartProgramThrough(const std::vector<std::string>& wrapper,
                        const std::vector<std::string>& arguments, const std::string& folder,
                        int err = kStreamClosed);
// Waits for a started program: its wait status (exit code or signal), as waitpid gives it, or
// -1 when it was reaped already.
int WaitForProgram(int process);

// The same, keeping what it printed. With `debugStrings`, a Windows program's debug output
// (OutputDebugStringW) is shown by Wine on its standard error (WINEDEBUG=+debugstr), as a
// debugger would see it; see DebugStrings.
// In `surroundings`, the exit code is kSurroundingsRefused when they could not be set up.
RunOutput RunProgramCapturing(const std::vector<std::string>& arguments, const std::string& folder,
                              bool debugStrings = false, const Surroundings& surroundings = {});

// The lines a Windows program sent to OutputDebugStringW, decoded from Wine's trace in `err`.
std::string DebugStrings(const std::string& err);

// What a Windows program wrote to its standard error itself: `err` without Wine's trace lines.
std::string OwnErrorLines(const std::string& err);

// The requests recorded in folder/shell.trace, one "open <path>" line each, alike for every build.
std::string ShellRequests(const std::string& folder);

// The path of a file as a Windows program started by the suite sees it: under Wine, drive Z:
// with backslashes; for the native build, the path itself.
std::string PlatformPath(const std::string& path);

// The Windows file helper of the flavor under test (tests/wine/file_helper.cpp), named by
// CODESHIFT_HELPER; empty when there is none.
std::string FileHelper();

// How the program under test (or the copy at `program`) names the readme beside itself
// ("Z:\..." under Wine); a symbolic link in the path may or may not be resolved, so every
// spelling is given.
std::vector<std::string> ReadmePaths(const std::string& program = "");
