#include "tests/e2e/program.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <thread>

#include "tests/support/test_files.h"

extern char** environ;

static std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string Flavor() {
    std::string flavor = Variable("CODESHIFT_FLAVOR");
    return flavor.empty() ? "native" : flavor;
}

// A file of the test's own for what the program prints; -1 when none can be made.
static int CaptureFile(std::string* path) {
    std::string pattern = (std::filesystem::temp_directory_path() / "codeshift-output-XXXXXX");
    int fd = mkstemp(pattern.data());
    *path = pattern;
    return fd;
}

static std::string TakeCapture(int fd, const std::string& path) {
    close(fd);
    std::string text = ReadBytes(path);
    unlink(path.c_str());
    return text;
}

static bool SetLimit(int resource, long long value) {
    if (value < 0) {
        return true;
    }
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(value);
    return setrlimit(resource, &limit) == 0;
}

// Setting an extended attribute fails with EPERM, as a sandbox's seccomp filter makes it.
static bool LockAttributes() {
    struct sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_setxattr, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_lsetxattr, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fsetxattr, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
    };
    struct sock_fprog program {
        static_cast<unsigned short>(sizeof(filter) / sizeof(filter[0])), filter
    };
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// In the child, before the program starts: what a shell, unshare and setpriv would have done.
static bool SetUp(const Surroundings& s) {
    if (!s.hiddenFolder.empty() &&
        (unshare(CLONE_NEWNS) != 0 ||
         mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
         mount("tmpfs", s.hiddenFolder.c_str(), "tmpfs", 0, nullptr) != 0)) {
        return false;
    }
    if (s.group >= 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(s.group)) != 0)) {
        return false;
    }
    if (s.user >= 0 && setuid(static_cast<uid_t>(s.user)) != 0) {
        return false;
    }
    if (s.openFileLimit >= 0) {
        close_range(3, ~0u, 0);
    }
    if (s.attributesLocked && !LockAttributes()) {
        return false;
    }
    return SetLimit(RLIMIT_FSIZE, s.fileSizeLimit) && SetLimit(RLIMIT_NOFILE, s.openFileLimit);
}

// Makes `fd` the child's descriptor `target`, or closes `target` for kStreamClosed.
static void PlaceStream(int fd, int target) {
    if (fd == kStreamClosed) {
        close(target);
    } else {
        dup2(fd, target);
    }
}

// Starts the program in `folder` with `out` and `err` as its standard output and error, and
// `in` as its input (none: /dev/null); the process id, or -1.
static pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& folder, const Surroundings& surroundings, bool debugStrings,
                   int out, int err, int in = kNoStream) {
    std::vector<std::string> command;
    std::string launcher = Variable("CODESHIFT_LAUNCHER");
    if (!launcher.empty()) {
        command.push_back(launcher);
    }
    command.push_back(program);
    command.insert(command.end(), arguments.begin(), arguments.end());

    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "WAYLAND_DISPLAY=", 16) != 0 &&
            std::strncmp(*e, "CODESHIFT_SHELL_TRACE=", 22) != 0 &&
            std::strncmp(*e, "LC_ALL=", 7) != 0 &&
            !(debugStrings && std::strncmp(*e, "WINEDEBUG=", 10) == 0)) {
            environment.push_back(*e);
        }
    }
    if (debugStrings) {
        // Wine 8 traces each OutputDebugStringA/W call as a warning of its "seh" channel.
        environment.push_back("WINEDEBUG=warn+seh");
    }
    environment.push_back("CODESHIFT_SHELL_TRACE=" + folder + "/shell.trace");
    // The locale picks the ANSI, OEM and Mac code pages; every build gets the same one (the Wine
    // harness sets the same for its programs).
    environment.push_back("LC_ALL=" +
                          (surroundings.locale.empty() ? "C.UTF-8" : surroundings.locale));

    std::vector<char*> argv;
    for (std::string& a : command) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    // posix_spawn has no portable way to set the child's folder, so the child is forked.
    pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        // Nothing may wait on the test's input.
        int devNull = open("/dev/null", O_RDONLY);
        PlaceStream(in == kNoStream ? devNull : in, 0);
        PlaceStream(out, 1);
        PlaceStream(err, 2);
        // As a shell starts a program: every signal as the system sets it.
        signal(SIGPIPE, SIG_DFL);
        if (!SetUp(surroundings)) {
            _exit(kSurroundingsRefused);
        }
        execve(argv[0], argv.data(), envp.data());
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return child;
}

int StartProgram(const std::vector<std::string>& arguments, const std::string& folder) {
    int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t child = Spawn(Variable("CODESHIFT_PROGRAM"), arguments, folder, Surroundings{}, false,
                        devNull, devNull);
    close(devNull);
    return child;
}

int StartProgramThrough(const std::vector<std::string>& wrapper,
                        const std::vector<std::string>& arguments, const std::string& folder,
                        int err) {
    std::vector<std::string> command(wrapper.begin() + 1, wrapper.end());
    command.push_back(Variable("CODESHIFT_PROGRAM"));
    command.insert(command.end(), arguments.begin(), arguments.end());
    int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t child = Spawn(wrapper[0], command, folder, Surroundings{}, false, devNull,
                        err >= 0 ? err : devNull);
    close(devNull);
    return child;
}

int StartProgramWithStreams(const std::vector<std::string>& arguments, const std::string& folder,
                            const Streams& streams) {
    return Spawn(Variable("CODESHIFT_PROGRAM"), arguments, folder, Surroundings{}, false,
                 streams.out, streams.err, streams.in);
}

int RunProgramWithStreams(const std::vector<std::string>& arguments, const std::string& folder,
                          const Streams& streams) {
    pid_t child = StartProgramWithStreams(arguments, folder, streams);
    return child < 0 ? -1 : WaitForProgram(child);
}

int WaitForProgram(int process) {
    int status = 0;
    while (waitpid(process, &status, 0) < 0) {
        // A process reaped already (by a WNOHANG poll) has no status left to wait for.
        if (errno != EINTR) {
            return -1;
        }
    }
    return status;
}

static RunOutput Run(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& folder, const Surroundings& surroundings,
                     bool debugStrings) {
    std::string launcher = Variable("CODESHIFT_LAUNCHER");
    std::string outPath;
    std::string errPath;
    int out = CaptureFile(&outPath);
    int err = CaptureFile(&errPath);
    RunOutput result{-1, "", ""};
    if (out < 0 || err < 0) {
        return result;
    }
    int discard = surroundings.errorsDiscarded ? open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
    pid_t child = Spawn(program, arguments, folder, surroundings, debugStrings, out,
                        discard >= 0 ? discard : err);
    if (discard >= 0) {
        close(discard);
    }
    if (child < 0) {
        TakeCapture(out, outPath);
        TakeCapture(err, errPath);
        return result;
    }
    int status = WaitForProgram(child);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (result.exitCode == 20 && !launcher.empty()) {
        // Wine's shell starts the viewer after the program has gone; give it time to record.
        for (int i = 0; i < 200 && ShellRequests(folder).empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    result.out = TakeCapture(out, outPath);
    result.err = TakeCapture(err, errPath);
    return result;
}

int RunProgram(const std::vector<std::string>& arguments, const std::string& folder) {
    return Run(Variable("CODESHIFT_PROGRAM"), arguments, folder, Surroundings{}, false).exitCode;
}

int RunProgramAt(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& folder, const Surroundings& surroundings) {
    return Run(program, arguments, folder, surroundings, false).exitCode;
}

int RunProgramIn(const Surroundings& surroundings, const std::vector<std::string>& arguments,
                 const std::string& folder) {
    return Run(Variable("CODESHIFT_PROGRAM"), arguments, folder, surroundings, false).exitCode;
}

RunOutput RunProgramCapturing(const std::vector<std::string>& arguments, const std::string& folder,
                              bool debugStrings, const Surroundings& surroundings) {
    return Run(Variable("CODESHIFT_PROGRAM"), arguments, folder, surroundings, debugStrings);
}

static int HexDigit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

std::string DebugStrings(const std::string& err) {
    // One trace line per call: 0123:warn:seh:OutputDebugStringA "text", escaped C-like.
    static const std::string kMark = ":warn:seh:OutputDebugStringA \"";
    std::string strings;
    size_t at = 0;
    while ((at = err.find(kMark, at)) != std::string::npos) {
        at += kMark.size();
        while (at < err.size() && err[at] != '"' && err[at] != '\n') {
            char c = err[at++];
            if (c != '\\' || at >= err.size()) {
                strings.push_back(c);
                continue;
            }
            char e = err[at++];
            if (e == 'n') {
                strings.push_back('\n');
            } else if (e == 'r') {
                strings.push_back('\r');
            } else if (e == 't') {
                strings.push_back('\t');
            } else if (e == 'x' && at + 1 < err.size()) {
                strings.push_back(
                    static_cast<char>(HexDigit(err[at]) * 16 + HexDigit(err[at + 1])));
                at += 2;
            } else {
                strings.push_back(e);
            }
        }
    }
    return strings;
}

std::string OwnErrorLines(const std::string& err) {
    // Wine's trace lines begin with the thread's number: 0123:warn:seh:...
    static const std::regex kTrace("^[0-9a-f]{4}:(warn|err|fixme|trace):");
    std::string own;
    size_t at = 0;
    while (at < err.size()) {
        size_t end = err.find('\n', at);
        end = end == std::string::npos ? err.size() : end + 1;
        std::string line = err.substr(at, end - at);
        if (!std::regex_search(line, kTrace)) {
            own.append(line);
        }
        at = end;
    }
    return own;
}

std::string ShellRequests(const std::string& folder) {
    // The Wine viewer writes through cmd.exe: the path in quotes, lines ended by CR LF.
    std::string requests;
    for (char c : ReadBytes(folder + "/shell.trace")) {
        if (c != '"' && c != '\r') {
            requests.push_back(c);
        }
    }
    size_t end = requests.rfind('\n');
    return end == std::string::npos ? std::string() : requests.substr(0, end + 1);
}

std::string PlatformPath(const std::string& path) {
    if (Variable("CODESHIFT_LAUNCHER").empty()) {
        return path;
    }
    std::string windows = "Z:" + std::filesystem::absolute(path).string();
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

std::string FileHelper() {
    return Variable("CODESHIFT_HELPER");
}

std::vector<std::string> ReadmePaths(const std::string& copy) {
    namespace fs = std::filesystem;
    fs::path program = fs::absolute(copy.empty() ? Variable("CODESHIFT_PROGRAM") : copy);
    std::error_code error;
    fs::path resolved = fs::canonical(program, error);
    std::vector<std::string> paths;
    for (const fs::path& p : {program, resolved}) {
        if (!p.empty()) {
            paths.push_back(PlatformPath((p.parent_path() / "readme.html").string()));
        }
    }
    return paths;
}
