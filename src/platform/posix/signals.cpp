#include "src/platform/posix/signals.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace {

// Every signal whose default action ends the process (besides SIGKILL and SIGSTOP, which cannot
// be caught, and SIGXFSZ, which the run ignores): whatever ends the run removes its temporaries
// first. The faults (SIGSEGV and the like) are among them, so that even a crash leaves no
// hidden file of the target's size behind.
const int kEndingSignals[] = {SIGHUP,    SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                              SIGFPE,    SIGUSR1, SIGSEGV,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
                              SIGSTKFLT, SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS};

// Written only while the slot is not armed, read by the handler only while it is: the handler
// never sees half a name. A slot's buffer is made the first time it is armed, so a run of one
// file holds one. A name too long for the buffer is not kept (no such temporary can be made on
// the usual file systems anyway).
constexpr size_t kPathBytes = 8192;
char* keptPaths[kTemporarySlots];
int keptFolders[kTemporarySlots];
volatile sig_atomic_t armed[kTemporarySlots];

// Only calls that are safe in a signal handler: unlinkat, sigaction, raise, pthread_sigmask.
extern "C" void EndInterruptedRun(int signal) {
    for (int slot = 0; slot < kTemporarySlots; ++slot) {
        if (armed[slot] != 0) {
            unlinkat(keptFolders[slot], keptPaths[slot], 0);
            armed[slot] = 0;
        }
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
    sigset_t just;
    sigemptyset(&just);
    sigaddset(&just, signal);
    pthread_sigmask(SIG_UNBLOCK, &just, nullptr);
}

sigset_t EndingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kEndingSignals) {
        sigaddset(&set, s);
    }
    // The real-time signals end the process too; the C library keeps the first few for itself.
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) {
        sigaddset(&set, s);
    }
    return set;
}

}  // namespace

void SetUpProcessSignals() {
    // A write past the limit then fails with EFBIG, and the run reports it like any failed write.
    signal(SIGXFSZ, SIG_IGN);
    struct sigaction handler {};
    handler.sa_handler = EndInterruptedRun;
    handler.sa_mask = EndingSignals();
    for (int s = 1; s <= SIGRTMAX; ++s) {
        // A signal the caller chose to ignore (nohup, a background job) stays ignored, and one
        // that the process already handles (a sanitizer's fault report) keeps its handler.
        struct sigaction inherited {};
        if (sigismember(&handler.sa_mask, s) == 1 && sigaction(s, nullptr, &inherited) == 0 &&
            (inherited.sa_flags & SA_SIGINFO) == 0 && inherited.sa_handler == SIG_DFL) {
            sigaction(s, &handler, nullptr);
        }
    }
}

int CreateTemporary(int slot, int folder, const char* path, int flags, mode_t mode) {
    sigset_t ending = EndingSignals();
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &ending, &before);
    armed[slot] = 0;
    int fd = openat(folder, path, flags, mode);
    int error = errno;
    size_t length = std::strlen(path);
    if (fd >= 0 && keptPaths[slot] == nullptr) {
        keptPaths[slot] = new (std::nothrow) char[kPathBytes];
    }
    if (fd >= 0 && length < kPathBytes && keptPaths[slot] != nullptr) {
        std::memcpy(keptPaths[slot], path, length + 1);
        keptFolders[slot] = folder;
        armed[slot] = 1;
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return fd;
}

void ForgetTemporary(int slot) {
    armed[slot] = 0;
}

void ForgetTemporaryNamed(const char* path) {
    for (int slot = 0; slot < kTemporarySlots; ++slot) {
        if (armed[slot] != 0 && keptFolders[slot] == AT_FDCWD &&
            std::strcmp(keptPaths[slot], path) == 0) {
            armed[slot] = 0;
        }
    }
}

ssize_t WriteHoldingPipeSignal(int fd, const void* bytes, size_t count) {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    sigset_t pending;
    sigpending(&pending);
    bool waiting = sigismember(&pending, SIGPIPE) == 1;
    ssize_t n = write(fd, bytes, count);
    int error = errno;
    // The kernel raises the signal also when the reader leaves in the middle of a write, which
    // then returns the count it wrote, and only the next write fails: whatever the write
    // returned, a signal it raised is taken back here.
    if (!waiting) {
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1) {
            const timespec now = {0, 0};
            sigtimedwait(&pipeSignal, nullptr, &now);
        }
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return n;
}
