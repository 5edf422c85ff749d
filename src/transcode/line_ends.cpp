#include "src/transcode/line_ends.h"

#include <cstring>

#include "src/transcode/codecs/output_marks.h"

constexpr uint32_t kCr = 0x0D;
constexpr uint32_t kLf = 0x0A;

// Room for a whole piece and the line end that may follow its last unit.
static uint8_t piece[kLineEndPieceBytes + 8];

static uint32_t UnitBytes() {
    CodePageId target = OutputCp(runState);
    if (target == CP_UTF16LE || target == CP_UTF16BE) {
        return 2;
    }
    return target == CP_UTF32LE || target == CP_UTF32BE ? 4 : 1;
}

static uint32_t UnitAt(const uint8_t* at, uint32_t width) {
    uint32_t unit = at[0];
    for (uint32_t i = 1; i < width; ++i) {
        unit |= static_cast<uint32_t>(at[i]) << (8 * i);
    }
    return unit;
}

static void PutUnit(uint32_t unit, uint32_t width, uint32_t* filled) {
    for (uint32_t i = 0; i < width; ++i) {
        piece[*filled + i] = static_cast<uint8_t>(unit >> (8 * i));
    }
    *filled += width;
}

// Where the first unit lies that is written otherwise than it stands: a CR, in either way of
// writing (it may stand alone), or in CR LF mode an LF with no CR before it. `count` when none.
static uint32_t FirstChange(const uint8_t* bytes, uint32_t count, uint32_t width) {
    bool crLf = runState.lineEnds == kLineEndsCrLf;
    // A CR held back at the end of the last piece is settled by this piece's first unit.
    if (runState.lineEndAfterCr && !crLf) {
        return 0;
    }
    if (width == 1 && !crLf) {
        const void* cr = std::memchr(bytes, kCr, count);
        return cr == nullptr ? count
                             : static_cast<uint32_t>(static_cast<const uint8_t*>(cr) - bytes);
    }
    bool afterCr = runState.lineEndAfterCr;
    for (uint32_t at = 0; at + width <= count; at += width) {
        uint32_t unit = UnitAt(bytes + at, width);
        if ((unit == kCr && !crLf) || (crLf && afterCr != (unit == kLf))) {
            return at;
        }
        afterCr = unit == kCr;
    }
    return count;
}

void RewriteLineEnds(uint8_t* bytes, uint32_t count, void (*write)(uint8_t*, uint32_t)) {
    uint32_t width = UnitBytes();
    bool crLf = runState.lineEnds == kLineEndsCrLf;
    // The untouched stretch in front goes out as it lies; the rest is rebuilt unit by unit.
    uint32_t at = FirstChange(bytes, count, width);
    if (at > 0) {
        write(bytes, at);
        runState.lineEndAfterCr = at >= width && UnitAt(bytes + at - width, width) == kCr;
    }
    uint32_t filled = 0;
    for (; at + width <= count; at += width) {
        uint32_t unit = UnitAt(bytes + at, width);
        bool afterCr = runState.lineEndAfterCr;
        runState.lineEndAfterCr = unit == kCr;
        if (afterCr && unit != kLf) {
            // The CR before this unit stood alone: it ends its line.
            PutUnit(kLf, width, &filled);
            runState.lineEndsChanged += 1;
        }
        if (unit == kLf) {
            if (crLf && !afterCr) {
                PutUnit(kCr, width, &filled);
                runState.lineEndsChanged += 1;
            }
            if (!crLf && afterCr) {
                runState.lineEndsChanged += 1;
            }
            PutUnit(kLf, width, &filled);
        } else if (unit != kCr || crLf) {
            // A CR waits for what follows it: in LF mode it is written as the LF it becomes.
            PutUnit(unit, width, &filled);
        }
        if (filled + 2 * width > kLineEndPieceBytes) {
            write(piece, filled);
            filled = 0;
        }
    }
    // A partial unit at the very end of a copied text is written as it stands.
    for (; at < count; ++at) {
        piece[filled++] = bytes[at];
    }
    if (filled > 0) {
        write(piece, filled);
    }
}

void FinishLineEnds(void (*write)(uint8_t*, uint32_t)) {
    if (runState.lineEnds == kLineEndsKept || !runState.lineEndAfterCr) {
        return;
    }
    runState.lineEndAfterCr = false;
    uint32_t filled = 0;
    PutUnit(kLf, UnitBytes(), &filled);
    runState.lineEndsChanged += 1;
    write(piece, filled);
}
