// Routes from a byte code page: every byte is one character, handed to the platform alone.
#include "src/run/run_state.h"
#include "src/transcode/buffer_units.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/plain_routes.h"
#include "src/transcode/utf8_char.h"

// The unit one source byte stands for, or "?" when the platform cannot convert it.
static WCHAR UnitOfByte(UINT source, const uint8_t* byte) {
    WCHAR unit;
    if (MultiByteToWideChar(source, 0, reinterpret_cast<LPCSTR>(byte), 1, &unit, 1) > 0) {
        return unit;
    }
    return static_cast<WCHAR>(kReplacementChar);
}

void PlainCodePageToUtf8() {
    const UINT source = static_cast<UINT>(runState.sourceCp);
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        WCHAR units[2] = {UnitOfByte(source, read), 0};
        write += EncodeUtf8Char(units, write);
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
        write = StoreUnit16(write, UnitOfByte(source, read));
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
        WCHAR units[2] = {UnitOfByte(source, read), 0};
        uint32_t codePoint;
        CombineSurrogates(units, &codePoint);
        write = StoreUnit32(write, codePoint);
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
        WCHAR unit = UnitOfByte(source, read);
        write = StoreUnitAsOneByte(write, target, unit);
        read += 1;
    }
    FlushOutput(write);
}
