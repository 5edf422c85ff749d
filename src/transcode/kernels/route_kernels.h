// The wide paths behind the conversion routes, in a portable form and, where the processor has
// them, with vector instructions chosen at run time.
//
// A kernel converts, from `read` on, every character that starts before `limit`, giving exactly
// the bytes the per-character route gives, but it makes no flush test: its caller has made sure
// that no test would fire before `limit`. It may stop earlier, at a character it leaves to the
// per-character step, and returns where it stopped, with *write moved past its output. It reads
// nothing beyond the zero bytes at `end`, and it may store up to kKernelOvershoot bytes of
// scratch behind the output it produced. It adds to *counts the characters it wrote as "?" that
// were no "?" of the input, and those it wrote as similar ones, as the per-character route
// counts them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/state/replacements.h"
#include "src/state/work_buffer.h"

typedef const uint8_t* (*RouteKernel)(const uint8_t* read, const uint8_t* limit, const uint8_t* end,
                                      uint8_t** write, Replacements* counts);

// What a line end kernel is asked to do, and what it carries from one call to the next: the
// target's unit width, whether lines end CR LF (else LF), whether the last unit it read was a CR,
// and the count of line ends written otherwise than they stood, which it adds to.
struct LineEndRun {
    uint32_t width;
    bool crLf;
    bool afterCr;
    uint64_t changed;
};

// A line end kernel rewrites, from `read` on, whole chunks of output in little-endian units of
// run->width bytes into *write, every line end (LF, CR LF, or a CR alone) written as run->crLf
// asks, exactly as a unit-by-unit rewrite does; a CR whose line end is still open when it stops is
// left in run->afterCr. It stops only where fewer than 2 * kLineEndChunkBytes bytes of input are
// left before `end`, or fewer than that of room before `writeEnd`, and returns where it stopped,
// with *write moved past its output. It reads nothing at or past `end`, and may store up to
// kLineEndChunkBytes bytes of scratch behind `writeEnd`.
typedef const uint8_t* (*LineEndKernel)(const uint8_t* read, const uint8_t* end, uint8_t** write,
                                        const uint8_t* writeEnd, LineEndRun* run);
constexpr uint32_t kLineEndChunkBytes = 64;

struct RouteKernels {
    RouteKernel utf8ToUtf16;
    RouteKernel utf8ToUtf32;
    RouteKernel utf8ToCodePage;
    RouteKernel utf16ToUtf8;
    RouteKernel utf16ToUtf32;
    RouteKernel utf16ToCodePage;
    RouteKernel utf32ToUtf8;
    RouteKernel utf32ToUtf16;
    RouteKernel utf32ToCodePage;
    RouteKernel codePageToUtf8;
    RouteKernel codePageToUtf16;
    RouteKernel codePageToUtf32;
    RouteKernel codePageToCodePage;
    // Reverse the bytes of every whole 2- or 4-byte unit in place; a partial unit at the end
    // stays as it is.
    void (*swapUnits16)(uint8_t* bytes, size_t count);
    void (*swapUnits32)(uint8_t* bytes, size_t count);
    // Line ends rewritten on the way to the file (line_ends.h).
    LineEndKernel lineEnds;
    // Called once the run's code page tables are loaded, before any kernel of a route to or from
    // a byte code page runs: a level may derive its own forms of the tables here.
    void (*loadPages)();
};

// From plain C++ that any processor runs (the 32-bit build without SSE2 among them) to the
// widest vector paths. Every level gives the same bytes.
enum KernelLevel {
    kKernelPortable,
    kKernelSse2,
    kKernelSsse3,
    kKernelAvx2,
    kKernelAvx512,
    kKernelLevels
};

// Every level, in order: its name, whether this processor and build have its instructions, and
// what it adds to the table of the level below (the portable level writes the whole table). Each
// level's table is made on first use, from the portable one up, so no table depends on another
// being made first. The tests, the fuzzer and the route benchmark run each level that is there.
struct KernelLevelEntry {
    const char* name;
    bool (*runs)();
    void (*add)(RouteKernels& kernels);
};
extern const KernelLevelEntry kKernelLevelTable[kKernelLevels];

// Whether this processor runs the level and every level below it.
bool KernelLevelRuns(KernelLevel level);
// The widest level this processor runs.
KernelLevel BestKernelLevel();
// The table of the level, or the portable one where the level does not run.
const RouteKernels& KernelsAt(KernelLevel level);

// The kernels the routes use: the best level, unless a test chose another (route_hooks.h).
const RouteKernels& ActiveKernels();

// The portable table, which the plain routes also use for turning the byte order; its entries
// are constants, so it is whole before anything runs.
extern const RouteKernels kPortableKernels;

// What each level adds, each in the file of its level (sse2_kernels.cpp, ...), and whether this
// processor and build run it.
bool Sse2Runs();
void AddSse2Kernels(RouteKernels& kernels);
bool Ssse3Runs();
void AddSsse3Kernels(RouteKernels& kernels);
bool Avx2Runs();
void AddAvx2Kernels(RouteKernels& kernels);
bool Avx512Runs();
void AddAvx512Kernels(RouteKernels& kernels);
