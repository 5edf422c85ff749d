// How the Linux program meets signals. A file size limit (ulimit -f) makes a write fail, as a
// full disk does, instead of ending the process; any other signal that would end it (SIGINT,
// SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGUSR1, SIGALRM, SIGXCPU, a fault...) removes the run's
// temporaries and then ends the process as the signal would have.
#pragma once

#include <sys/types.h>

#include "src/platform/platform.h"

// The program's first step.
void SetUpProcessSignals();

// The temporaries an interruption removes: the private one through which a file is created
// already locked (CREATE_NEW), and the outputs', one slot each for as many as a group of
// replacements keeps waiting for their commits (the first serves a run of one file).
enum TemporarySlot : int {
    kCreationTemporary,
    kOutputTemporary,
    kTemporarySlots = kOutputTemporary + kReplacementGroupFiles
};

// openat() of a temporary that this call creates (O_CREAT | O_EXCL in `flags`) at `path` in the
// folder open as `folder` (AT_FDCWD: the current one), which must stay open as long as the
// temporary is kept: from the moment it exists until ForgetTemporary, an interruption removes it
// from that folder. Signals wait while the two happen, so that none falls in between.
int CreateTemporary(int slot, int folder, const char* path, int flags, mode_t mode);

// write(2) with SIGPIPE held back: a reader that went away makes it fail with EPIPE instead of
// ending the process, also when it left during the write, which then returns a short count. A
// SIGPIPE somebody sent, waiting already, still ends the run afterwards.
ssize_t WriteHoldingPipeSignal(int fd, const void* bytes, size_t count);

// The temporary was renamed or removed: an interruption leaves its name alone.
void ForgetTemporary(int slot);

// The same for whichever slot holds `path`, made in the current folder, if any.
void ForgetTemporaryNamed(const char* path);
