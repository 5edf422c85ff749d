// Routes from UTF-32 (little-endian by now). Values are not range-checked: each is split into
// UTF-16 units by the pair arithmetic and those are treated like any others.
#include "src/run/run_state.h"
#include "src/transcode/buffer_units.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/plain_routes.h"
#include "src/transcode/utf8_char.h"

static bool IsPartialUnit(const uint8_t* read, const uint8_t* end) {
    return end - read < 4;
}

void PlainUtf32ToUtf8() {
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        if (IsPartialUnit(read, end)) {
            write = StoreByte(write, kReplacementChar);
            read = end;
            continue;
        }
        WCHAR units[2];
        if (SplitCodePoint(LoadUnit32(read), units) == 1) {
            units[1] = 0;
        }
        write += EncodeUtf8Char(units, write);
        read += 4;
    }
    FlushOutput(write);
}

void PlainUtf32ToUtf16() {
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        if (IsPartialUnit(read, end)) {
            write = StoreUnit16(write, kReplacementChar);
            read = end;
            continue;
        }
        WCHAR units[2];
        uint32_t count = SplitCodePoint(LoadUnit32(read), units);
        write = StoreUnit16(write, units[0]);
        if (count == 2) {
            write = StoreUnit16(write, units[1]);
        }
        read += 4;
    }
    FlushOutput(write);
}

void PlainUtf32ToCodePage() {
    const UINT target = static_cast<UINT>(runState.targetCp);
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        if (IsPartialUnit(read, end)) {
            write = StoreByte(write, kReplacementChar);
            read = end;
            continue;
        }
        WCHAR units[2];
        SplitCodePoint(LoadUnit32(read), units);
        write = StoreUnitAsOneByte(write, target, units[0]);
        read += 4;
    }
    FlushOutput(write);
}
