// The hooks through which tests, the fuzzer and the benchmarks reach inside the conversion, each
// declared here and nowhere else. No option, setting or stored file leads to them: the program
// never sets one, so a user always runs with the defaults given below. (The platform's own hook
// is in platform/test_hooks.h.)
#pragma once

#include <cstdint>

#include "src/platform/platform.h"
#include "src/transcode/kernels/route_kernels.h"  // KernelLevel

// Plain routes only. Set by the route tests and the route benchmark to run the per-character
// routes of transcode/plain/ (and plain byte order turning), the reference that the fast routes
// must match byte for byte and flush for flush. Read by TranscodeBuffer and the flush writer.
// False in the program.
extern bool usePlainRoutes;

// The flush observer. Set by the route tests, their work block and the conversion fuzzer to see
// the pieces the output is written in; FlushOutputFrom calls it with each piece just before the
// piece is written. Null in the program.
extern void (*flushObserver)(const uint8_t* bytes, DWORD count);

// The kernel level. Chosen by the kernel tests and the route benchmark to run every level this
// processor has, or the portable one; read by ActiveKernels. The program never chooses, and its
// routes use BestKernelLevel().
void UseKernelLevel(KernelLevel level);
