// Routes from UTF-8. A sequence cut off by the end of the text is refused at the first zero
// byte behind it, so the read position never passes readEnd.
#include "src/run/run_state.h"
#include "src/transcode/buffer_units.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/plain_routes.h"
#include "src/transcode/utf8_char.h"

void PlainUtf8ToUtf16() {
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        WCHAR units[2];
        uint32_t consumed = DecodeUtf8Char(read, units);
        write = StoreUnit16(write, units[0]);
        if (consumed == 4) {
            write = StoreUnit16(write, units[1]);
        }
        runState.replacedCount += ReplacedBy(units[0], IsUtf8Question(read, consumed, units));
        read += consumed;
    }
    FlushOutput(write);
}

void PlainUtf8ToUtf32() {
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        WCHAR units[2];
        uint32_t consumed = DecodeUtf8Char(read, units);
        if (consumed != 4) {
            units[1] = 0;
        }
        uint32_t codePoint;
        CombineSurrogates(units, &codePoint);
        write = StoreUnit32(write, codePoint);
        runState.replacedCount += ReplacedBy(codePoint, IsUtf8Question(read, consumed, units));
        read += consumed;
    }
    FlushOutput(write);
}

void PlainUtf8ToCodePage() {
    const UINT target = static_cast<UINT>(runState.targetCp);
    const uint8_t* read = runState.workBuffer.readCursor;
    const uint8_t* end = runState.workBuffer.readEnd;
    uint8_t* write = runState.workBuffer.writeBase;
    while (read != end) {
        write = KeepFlushMargin(read, write);
        WCHAR units[2];
        uint32_t consumed = DecodeUtf8Char(read, units);
        // The size is asked first: a character may take several bytes in the target page. A
        // size that could break the flush margin is refused like an unconvertible character.
        int size = WideCharToMultiByte(target, 0, units, 1, nullptr, 0, nullptr, nullptr);
        if (size > 0 && size < static_cast<int>(kFlushMargin)) {
            WideCharToMultiByte(target, 0, units, 1, reinterpret_cast<LPSTR>(write), size, nullptr,
                                nullptr);
        } else {
            size = 1;
            StoreByte(write, kReplacementChar);
        }
        if (size == 1) {
            runState.replacedCount += ReplacedBy(write[0], IsUtf8Question(read, consumed, units));
        }
        write += size;
        read += consumed;
    }
    FlushOutput(write);
}
