#include "src/transcode/flush_output.h"

#include <utility>

void (*flushObserver)(const uint8_t* bytes, DWORD count) = nullptr;

// Big-endian text exists only in the files: units are turned just before they are written.
// Only whole units are turned; a trailing partial unit (a copied source that was no whole
// number of units) is written as it stands.
static void TurnBigEndian(uint8_t* bytes, DWORD count) {
    if (runState.targetCp == CP_UTF16BE) {
        for (DWORD i = 0; count - i >= 2; i += 2) {
            std::swap(bytes[i], bytes[i + 1]);
        }
    } else if (runState.targetCp == CP_UTF32BE) {
        for (DWORD i = 0; count - i >= 4; i += 4) {
            std::swap(bytes[i], bytes[i + 3]);
            std::swap(bytes[i + 1], bytes[i + 2]);
        }
    }
}

void FlushOutput(uint8_t* writePos) {
    uint8_t* base = runState.workBuffer.writeBase;
    DWORD count = static_cast<DWORD>(writePos - base);
    if (count == 0) {
        return;
    }
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
    }
}
