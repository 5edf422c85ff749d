// Routes from UTF-16 (little-endian by now). The unit after the current one is looked at for a
// low surrogate; at the end of the text it is made of the zero bytes behind the input, and
// behind a trailing partial unit its high byte is zero, so it never completes a pair there.
#include "src/run/run_state.h"
#include "src/transcode/buffer_units.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/plain_routes.h"
#include "src/transcode/utf8_char.h"

static bool IsPartialUnit(const uint8_t* read, const uint8_t* end) {
    return end - read < 2;
}

void PlainUtf16ToUtf8() {
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
        WCHAR units[2] = {LoadUnit16(read), LoadUnit16(read + 2)};
        uint32_t count = EncodeUtf8Char(units, write);
        runState.replacedCount += ReplacedBy(write[0], units[0] == kReplacementChar);
        write += count;
        read += count == 4 ? 4 : 2;
    }
    FlushOutput(write);
}

void PlainUtf16ToUtf32() {
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        if (IsPartialUnit(read, end)) {
            write = StoreUnit32(write, kReplacementChar);
            runState.replacedCount += 1;
            read = end;
            continue;
        }
        WCHAR units[2] = {LoadUnit16(read), LoadUnit16(read + 2)};
        uint32_t codePoint;
        read += 2 * CombineSurrogates(units, &codePoint);
        write = StoreUnit32(write, codePoint);
        runState.replacedCount += ReplacedBy(codePoint, units[0] == kReplacementChar);
    }
    FlushOutput(write);
}

// Only the first unit of a pair reaches the code page; its low surrogate is stepped over.
void PlainUtf16ToCodePage() {
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
        WCHAR unit = LoadUnit16(read);
        bool pair = IsHighSurrogate(unit) && IsLowSurrogate(LoadUnit16(read + 2));
        write = StoreUnitAsOneByte(write, target, unit);
        runState.replacedCount += ReplacedBy(write[-1], unit == kReplacementChar);
        read += pair ? 4 : 2;
    }
    FlushOutput(write);
}
