#include "src/input/byte_order_marks.h"

#include <cstring>

namespace {

struct ByteOrderMark {
    uint8_t bytes[4];
    uint32_t length;
    // The count must be a multiple of this: an odd count cannot be UTF-16, nor a count of
    // 4k + 2 UTF-32, so FF FE 00 00 there is a UTF-16 mark followed by U+0000.
    uint32_t countMultiple;
    CodePageId sourceCp;
    RunStatus status;
};

// In the order they are tested: the UTF-32 marks before the UTF-16 marks they begin with.
constexpr ByteOrderMark kMarks[] = {
    {{0xEF, 0xBB, 0xBF, 0x00}, 3, 1, static_cast<CodePageId>(CP_UTF8), kStatusFoundUtf8},
    {{0xFF, 0xFE, 0x00, 0x00}, 4, 4, CP_UTF32LE, kStatusFoundUtf32le},
    {{0x00, 0x00, 0xFE, 0xFF}, 4, 4, CP_UTF32BE, kStatusFoundUtf32be},
    {{0xFF, 0xFE, 0x00, 0x00}, 2, 2, CP_UTF16LE, kStatusFoundUtf16le},
    {{0xFE, 0xFF, 0x00, 0x00}, 2, 2, CP_UTF16BE, kStatusFoundUtf16be},
};

}  // namespace

MarkFound FindByteOrderMark(const uint8_t* first, uint32_t count) {
    for (const ByteOrderMark& mark : kMarks) {
        if (count >= mark.length && count % mark.countMultiple == 0 &&
            std::memcmp(first, mark.bytes, mark.length) == 0) {
            return MarkFound{mark.length, mark.sourceCp, mark.status};
        }
    }
    return MarkFound{0, CP_UNSET, kStatusConverted};
}

bool SkipByteOrderMark() {
    MarkFound mark = FindByteOrderMark(runState.workBuffer.readCursor, runState.inputByteCount);
    if (mark.length == 0) {
        return false;
    }
    runState.sourceCp = mark.sourceCp;
    runState.workBuffer.readCursor += mark.length;
    runState.inputByteCount -= mark.length;
    runState.inputHadBom = 1;
    runState.status = mark.status;
    return true;
}
