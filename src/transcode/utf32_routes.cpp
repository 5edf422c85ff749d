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
            runState.replacedCount += 1;
            read = end;
            continue;
        }
        WCHAR units[2];
        uint32_t value = LoadUnit32(read);
        if (SplitCodePoint(value, units) == 1) {
            units[1] = 0;
        }
        uint32_t count = EncodeUtf8Char(units, write);
        runState.replacedCount += ReplacedBy(write[0], value == kReplacementChar);
        write += count;
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
            runState.replacedCount += 1;
            read = end;
            continue;
        }
        WCHAR units[2];
        uint32_t value = LoadUnit32(read);
        uint32_t count = SplitCodePoint(value, units);
        write = StoreUnit16(write, units[0]);
        if (count == 2) {
            write = StoreUnit16(write, units[1]);
        }
        runState.replacedCount += ReplacedBy(units[0], value == kReplacementChar);
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
            runState.replacedCount += 1;
            read = end;
            continue;
        }
        WCHAR units[2];
        uint32_t value = LoadUnit32(read);
        SplitCodePoint(value, units);
        write = StoreUnitAsOneByte(write, target, units[0]);
        runState.replacedCount += ReplacedBy(write[-1], value == kReplacementChar);
        read += 4;
    }
    FlushOutput(write);
}
