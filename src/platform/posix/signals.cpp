#include "src/platform/posix/signals.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Written only while the slot is not armed, read by the handler only while it is: the handler
// never sees half a name. A name too long for the buffer is not kept (no such temporary can be
// made on the usual file systems anyway).
constexpr size_t kPathBytes = 8192;
char keptPaths[kTemporarySlots][kPathBytes];
volatile sig_atomic_t armed[kTemporarySlots];

// Only calls that are safe in a signal handler: unlink, sigaction, raise, pthread_sigmask.
extern "C" void EndInterruptedRun(int signal) {
    for (int slot = 0; slot < kTemporarySlots; ++slot) {
        if (armed[slot] != 0) {
            unlink(keptPaths[slot]);
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
    return set;
}

}  // namespace

void SetUpProcessSignals() {
    // A write past the limit then fails with EFBIG, and the run reports it like any failed write.
    signal(SIGXFSZ, SIG_IGN);
    struct sigaction handler {};
    handler.sa_handler = EndInterruptedRun;
    handler.sa_mask = EndingSignals();
    for (int s : kEndingSignals) {
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        struct sigaction inherited {};
        if (sigaction(s, nullptr, &inherited) == 0 && inherited.sa_handler != SIG_IGN) {
            sigaction(s, &handler, nullptr);
        }
    }
}

int CreateTemporary(TemporarySlot slot, const char* path, int flags, mode_t mode) {
    sigset_t ending = EndingSignals();
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &ending, &before);
    armed[slot] = 0;
    int fd = open(path, flags, mode);
    int error = errno;
    size_t length = std::strlen(path);
    if (fd >= 0 && length < kPathBytes) {
        std::memcpy(keptPaths[slot], path, length + 1);
        armed[slot] = 1;
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return fd;
}

void ForgetTemporary(TemporarySlot slot) {
    armed[slot] = 0;
}

void ForgetTemporaryNamed(const char* path) {
    for (int slot = 0; slot < kTemporarySlots; ++slot) {
        if (armed[slot] != 0 && std::strcmp(keptPaths[slot], path) == 0) {
            armed[slot] = 0;
        }
    }
}
