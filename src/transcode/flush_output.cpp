#include "src/transcode/flush_output.h"

#include "src/transcode/kernels/route_kernels.h"
#include "src/transcode/line_ends.h"
#include "src/transcode/route_hooks.h"
#include "src/transcode/transcode_buffer.h"

void (*flushObserver)(const uint8_t* bytes, DWORD count) = nullptr;

// Big-endian text exists only in the files: units are turned just before they are written.
// Only whole units are turned; a trailing partial unit (a copied source that was no whole
// number of units) is written as it stands.
static void TurnBigEndian(uint8_t* bytes, DWORD count) {
    const RouteKernels& kernels = usePlainRoutes ? kPortableKernels : ActiveKernels();
    CodePageId target = OutputCp(runState);
    if (target == CP_UTF16BE) {
        kernels.swapUnits16(bytes, count);
    } else if (target == CP_UTF32BE) {
        kernels.swapUnits32(bytes, count);
    }
}

static void WritePiece(uint8_t* base, uint32_t count);

void FlushOutput(uint8_t* writePos) {
    FlushOutputFrom(runState.workBuffer.writeBase, writePos);
}

void FlushOutputFrom(uint8_t* base, uint8_t* writePos) {
    DWORD count = static_cast<DWORD>(writePos - base);
    if (count == 0) {
        return;
    }
    if (runState.lineEnds != kLineEndsKept) {
        RewriteLineEnds(base, count, WritePiece);
    } else {
        WritePiece(base, count);
    }
}

void FinishOutput() {
    FinishLineEnds(WritePiece);
}

static void WritePiece(uint8_t* base, uint32_t count) {
    runState.outputByteCount += count;
    TurnBigEndian(base, count);
    if (flushObserver != nullptr) {
        flushObserver(base, count);
    }
    if (runState.outputWriteFailed) {
        return;
    }
    DWORD written = 0;
    if (!WriteFile(runState.outputFile, base, count, &written, nullptr) || written != count) {
        runState.outputWriteFailed = true;
        NoteFailure(kFailureOutputWrite, GetLastError());
    }
}
