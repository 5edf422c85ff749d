// Routes from a byte code page: every byte is one character, handed to the platform alone.
#include "src/run/run_state.h"
#include "src/transcode/buffer_units.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/plain_routes.h"
#include "src/transcode/utf8_char.h"

// The unit one source byte stands for, or "?" when the platform cannot convert it; then
// *readable is false.
static WCHAR UnitOfByte(UINT source, const uint8_t* byte, bool* readable) {
    WCHAR unit;
    *readable = MultiByteToWideChar(source, 0, reinterpret_cast<LPCSTR>(byte), 1, &unit, 1) > 0;
    return *readable ? unit : static_cast<WCHAR>(kReplacementChar);
}

// Whether a byte that gave `unit` stands for "?" itself.
static bool ReadsQuestion(WCHAR unit, bool readable) {
    return readable && unit == kReplacementChar;
}

void PlainCodePageToUtf8() {
    const UINT source = static_cast<UINT>(runState.sourceCp);
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        bool readable;
        WCHAR units[2] = {UnitOfByte(source, read, &readable), 0};
        uint32_t count = EncodeUtf8Char(units, write);
        runState.replacedCount += ReplacedBy(write[0], ReadsQuestion(units[0], readable));
        write += count;
        read += 1;
    }
    FlushOutput(write);
}

void PlainCodePageToUtf16() {
    const UINT source = static_cast<UINT>(runState.sourceCp);
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        bool readable;
        WCHAR unit = UnitOfByte(source, read, &readable);
        write = StoreUnit16(write, unit);
        runState.replacedCount += ReplacedBy(unit, ReadsQuestion(unit, readable));
        read += 1;
    }
    FlushOutput(write);
}

void PlainCodePageToUtf32() {
    const UINT source = static_cast<UINT>(runState.sourceCp);
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        bool readable;
        WCHAR units[2] = {UnitOfByte(source, read, &readable), 0};
        uint32_t codePoint;
        CombineSurrogates(units, &codePoint);
        write = StoreUnit32(write, codePoint);
        runState.replacedCount += ReplacedBy(codePoint, ReadsQuestion(units[0], readable));
        read += 1;
    }
    FlushOutput(write);
}

void PlainCodePageToCodePage() {
    const UINT source = static_cast<UINT>(runState.sourceCp);
    const UINT target = static_cast<UINT>(runState.targetCp);
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        bool readable;
        WCHAR unit = UnitOfByte(source, read, &readable);
        write = StoreUnitAsOneByte(write, target, unit);
        runState.replacedCount += ReplacedBy(write[-1], ReadsQuestion(unit, readable));
        read += 1;
    }
    FlushOutput(write);
}
