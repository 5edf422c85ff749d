// Process services for the Linux build: the program's path, the current directory, the clock
// and the desktop's opener.
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "src/platform/platform.h"
#include "src/platform/posix/wide_text.h"
#include "src/platform/test_hooks.h"

// Copies `text` into a caller's buffer of `size` units the way the Windows calls do: the length
// without terminator when it fits, else the size needed (with terminator) and nothing copied.
static DWORD CopyOut(const WideString& text, LPWSTR buffer, DWORD size, bool truncate) {
    if (text.size() < size) {
        std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
        return static_cast<DWORD>(text.size());
    }
    if (truncate && size > 0) {
        std::memcpy(buffer, text.c_str(), (size - 1) * sizeof(WCHAR));
        buffer[size - 1] = 0;
        return size;
    }
    return static_cast<DWORD>(text.size() + 1);
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR buffer, DWORD size) {
    std::vector<char> path(4096);
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size()) {
        return 0;
    }
    return CopyOut(WideFromBytes(std::string(path.data(), length)), buffer, size, true);
}

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
    std::vector<char> path(4096);
    while (getcwd(path.data(), path.size()) == nullptr) {
        if (errno != ERANGE || path.size() > (1u << 20)) {
            return 0;
        }
        path.resize(path.size() * 2);
    }
    return CopyOut(WideFromBytes(path.data()), buffer, size, false);
}

void GetLocalTime(SYSTEMTIME* time) {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    time_t seconds = now.tv_sec;
    struct tm local {};
    localtime_r(&seconds, &local);
    time->wYear = static_cast<uint16_t>(local.tm_year + 1900);
    time->wMonth = static_cast<uint16_t>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<uint16_t>(local.tm_wday);
    time->wDay = static_cast<uint16_t>(local.tm_mday);
    time->wHour = static_cast<uint16_t>(local.tm_hour);
    time->wMinute = static_cast<uint16_t>(local.tm_min);
    time->wSecond = static_cast<uint16_t>(local.tm_sec);
    time->wMilliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
}

void Sleep(DWORD milliseconds) {
    struct timespec pause {};
    pause.tv_sec = milliseconds / 1000;
    pause.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// The shell trace of test_hooks.h: the request goes to the file it names, not to a viewer.
static bool TraceShellRequest(LPCWSTR verb, LPCWSTR file) {
    const char* trace = std::getenv(kShellTraceVariable);
    if (trace == nullptr || trace[0] == 0) {
        return false;
    }
    FILE* out = std::fopen(trace, "a");
    if (out != nullptr) {
        std::fprintf(out, "%s %s\n", BytesFromWide(verb).c_str(), BytesFromWide(file).c_str());
        std::fclose(out);
    }
    return true;
}

static bool HasGraphicalSession() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x != nullptr && x[0] != 0) || (wayland != nullptr && wayland[0] != 0);
}

// Starts the opener in a grandchild of its own session with no terminal attached, and reaps the
// short-lived child at once, so nothing is left waiting and the run never blocks on a viewer.
static void StartDetached(const std::string& path) {
    pid_t child = fork();
    if (child < 0) {
        return;
    }
    if (child == 0) {
        setsid();
        if (fork() != 0) {
            _exit(0);
        }
        int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, 0);
            dup2(devNull, 1);
            dup2(devNull, 2);
        }
        execlp("xdg-open", "xdg-open", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int ignored = 0;
    waitpid(child, &ignored, 0);
}

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, int) {
    if (TraceShellRequest(verb, file)) {
        return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(33));
    }
    if (!HasGraphicalSession()) {
        return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(2));
    }
    StartDetached(BytesFromWide(file));
    return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(33));
}
