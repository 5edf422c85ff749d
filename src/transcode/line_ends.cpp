#include "src/transcode/line_ends.h"

#include <cstring>

#include "src/transcode/codecs/output_marks.h"

constexpr uint32_t kCr = 0x0D;
constexpr uint32_t kLf = 0x0A;

// Where the rebuilt stretches are gathered.
static uint8_t piece[kLineEndPieceBytes];

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

// Where the next unit of value `value` (a CR or an LF) lies, from `from` on: `end` when there is
// none. The search runs over bytes; a byte of that value inside another unit (the high byte of
// U+0D0A, the low byte of U+040A in UTF-16) is passed over.
static uint32_t NextUnitOf(const uint8_t* bytes, uint32_t from, uint32_t end, uint32_t width,
                           uint8_t value) {
    while (from < end) {
        const void* found = std::memchr(bytes + from, value, end - from);
        if (found == nullptr) {
            return end;
        }
        uint32_t at = static_cast<uint32_t>(static_cast<const uint8_t*>(found) - bytes);
        uint32_t offset = at % width;
        if (offset == 0 && UnitAt(bytes + at, width) == value) {
            return at;
        }
        from = at - offset + width;
    }
    return end;
}

// Below this many bytes, a stretch that passes unchanged is copied into the piece being built
// rather than written on its own: a line per write would cost more than the copy.
constexpr uint32_t kStraightWriteBytes = 1u << 14;

// The piece being built and what has been written of the caller's bytes.
struct LineEndOutput {
    uint8_t* bytes;
    void (*write)(uint8_t*, uint32_t);
    uint32_t filled;
};

static void WriteFilled(LineEndOutput* out) {
    if (out->filled > 0) {
        out->write(piece, out->filled);
        out->filled = 0;
    }
}

// Hands on the caller's bytes from `from` to `to`, which pass unchanged: a long stretch (or the
// last one, with nothing built before it) straight from where it lies, a short one copied.
static void PassOn(LineEndOutput* out, uint32_t from, uint32_t to, bool last) {
    uint32_t length = to - from;
    if (length >= kStraightWriteBytes || (last && out->filled == 0 && length > 0)) {
        WriteFilled(out);
        out->write(out->bytes + from, length);
        return;
    }
    while (length > 0) {
        uint32_t room = kLineEndPieceBytes - out->filled;
        uint32_t step = length < room ? length : room;
        std::memcpy(piece + out->filled, out->bytes + from, step);
        out->filled += step;
        from += step;
        length -= step;
        if (out->filled == kLineEndPieceBytes) {
            WriteFilled(out);
        }
    }
    if (last) {
        WriteFilled(out);
    }
}

// Adds a line end unit the text did not have there.
static void Insert(LineEndOutput* out, uint32_t unit, uint32_t width) {
    if (out->filled + width > kLineEndPieceBytes) {
        WriteFilled(out);
    }
    PutUnit(unit, width, &out->filled);
    runState.lineEndsChanged += 1;
}

void RewriteLineEnds(uint8_t* bytes, uint32_t count, void (*write)(uint8_t*, uint32_t)) {
    uint32_t width = UnitBytes();
    bool crLf = runState.lineEnds == kLineEndsCrLf;
    // A partial unit at the very end of a copied text is written as it stands.
    uint32_t end = count - count % width;
    LineEndOutput out{bytes, write, 0};
    // The text goes on unchanged from `kept` on; only the units around line ends are looked at,
    // found by a byte search. The next CR and the next LF found are kept until passed; in LF
    // mode an LF matters only right after a CR, which the step after the CR looks at anyway.
    uint32_t kept = 0;
    uint32_t nextCr = 0;
    uint32_t nextLf = crLf ? 0 : end;
    bool searched = false;
    uint32_t at = 0;
    while (at < end) {
        if (!runState.lineEndAfterCr) {
            if (!searched || nextCr < at) {
                nextCr = NextUnitOf(bytes, at, end, width, kCr);
            }
            if (crLf && (!searched || nextLf < at)) {
                nextLf = NextUnitOf(bytes, at, end, width, kLf);
            }
            searched = true;
            at = nextCr < nextLf ? nextCr : nextLf;
            if (at == end) {
                break;
            }
        }
        uint32_t unit = UnitAt(bytes + at, width);
        bool afterCr = runState.lineEndAfterCr;
        runState.lineEndAfterCr = unit == kCr;
        if (afterCr && unit != kLf) {
            // The CR before this unit stood alone: it ends its line.
            PassOn(&out, kept, at, false);
            Insert(&out, kLf, width);
            kept = at;
        }
        if (unit == kLf && crLf && !afterCr) {
            PassOn(&out, kept, at, false);
            Insert(&out, kCr, width);
            kept = at;
        } else if (unit == kLf && afterCr && !crLf) {
            // The CR before it was left out: the LF alone stands for the pair.
            runState.lineEndsChanged += 1;
        } else if (unit == kCr && !crLf) {
            // A CR waits for what follows it: in LF mode it is left out, and the LF it becomes
            // comes with the next unit.
            PassOn(&out, kept, at, false);
            kept = at + width;
        }
        at += width;
    }
    PassOn(&out, kept, count, true);
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
