#include "src/transcode/line_ends.h"

#include <cstring>

#include "src/transcode/codecs/output_marks.h"
#include "src/transcode/kernels/route_kernels.h"
#include "src/transcode/route_hooks.h"

constexpr uint32_t kCr = 0x0D;
constexpr uint32_t kLf = 0x0A;

// Where the rewritten text is gathered, with room behind it for a kernel's scratch: the start of
// the one whole huge page the room holds wherever it lies. A small page at a time, a piece costs
// a fault on each of its pages the first time round, and the pages' misses in the address cache
// after every write; an output of many pieces has its piece backed by one huge page instead.
// Only the pages a run touches are ever backed, so the room costs a small run nothing.
constexpr uintptr_t kHugePageBytes = 2u << 20;
constexpr uint32_t kHugePieceInputBytes = static_cast<uint32_t>(4 * kHugePageBytes);
static_assert(kLineEndPieceBytes + kLineEndChunkBytes <= kHugePageBytes);
static uint8_t pieceRoom[2 * kHugePageBytes];
static uint8_t* const piece =
    pieceRoom +
    (kHugePageBytes - reinterpret_cast<uintptr_t>(pieceRoom) % kHugePageBytes) % kHugePageBytes;
static const uint8_t* const pieceEnd = piece + kLineEndPieceBytes;
static bool pieceHuge = false;

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

static void PutUnit(uint32_t unit, uint32_t width, uint8_t** w) {
    for (uint32_t i = 0; i < width; ++i) {
        (*w)[i] = static_cast<uint8_t>(unit >> (8 * i));
    }
    *w += width;
}

// Hands on the piece when fewer than `room` bytes of it are left, and always when `room` is
// the whole piece.
static void MakeRoom(uint8_t** w, uint32_t room, void (*write)(uint8_t*, uint32_t)) {
    if (*w > piece && static_cast<uint32_t>(pieceEnd - *w) < room) {
        write(piece, static_cast<uint32_t>(*w - piece));
        *w = piece;
    }
}

// One unit of the text, after what run->afterCr says of the unit before it.
static void RewriteUnit(uint32_t unit, uint8_t** w, LineEndRun* run) {
    bool afterCr = run->afterCr;
    run->afterCr = unit == kCr;
    if (afterCr && unit != kLf) {
        // The CR before this unit stood alone: it ends its line.
        PutUnit(kLf, run->width, w);
        run->changed += 1;
    } else if (unit == kLf && !afterCr && run->crLf) {
        PutUnit(kCr, run->width, w);
        run->changed += 1;
    } else if (unit == kLf && afterCr && !run->crLf) {
        // The CR before it was left out: the LF alone stands for the pair.
        run->changed += 1;
    }
    // In LF lines a CR is left out, and the LF it becomes comes with the unit after it.
    if (unit != kCr || run->crLf) {
        PutUnit(unit, run->width, w);
    }
}

void RewriteLineEnds(uint8_t* bytes, uint32_t count, void (*write)(uint8_t*, uint32_t)) {
    if (!pieceHuge && runState.inputSize >= kHugePieceInputBytes) {
        pieceHuge = true;
        PrepareLargeBlock(pieceRoom, sizeof pieceRoom);
    }
    const RouteKernels& kernels = usePlainRoutes ? kPortableKernels : ActiveKernels();
    LineEndRun run{UnitBytes(), runState.lineEnds == kLineEndsCrLf, runState.lineEndAfterCr, 0};
    const uint8_t* read = bytes;
    // A partial unit at the very end of a copied text is written as it stands.
    const uint8_t* end = bytes + (count - count % run.width);
    uint8_t* w = piece + runState.lineEndHeldBytes;
    // The whole chunks, the piece handed on each time the kernel finds it full.
    for (;;) {
        read = kernels.lineEnds(read, end, &w, pieceEnd, &run);
        if (pieceEnd - w >= 2 * static_cast<ptrdiff_t>(kLineEndChunkBytes)) {
            break;
        }
        MakeRoom(&w, kLineEndPieceBytes, write);
    }
    // The units behind the last whole chunk, one at a time.
    for (; read < end; read += run.width) {
        MakeRoom(&w, 2 * run.width, write);
        RewriteUnit(UnitAt(read, run.width), &w, &run);
    }
    MakeRoom(&w, run.width, write);
    uint32_t partial = count % run.width;
    std::memcpy(w, end, partial);
    w += partial;
    runState.lineEndHeldBytes = static_cast<uint32_t>(w - piece);
    runState.lineEndAfterCr = run.afterCr;
    runState.lineEndsChanged += run.changed;
}

void FinishLineEnds(void (*write)(uint8_t*, uint32_t)) {
    if (runState.lineEnds == kLineEndsKept) {
        return;
    }
    uint8_t* w = piece + runState.lineEndHeldBytes;
    runState.lineEndHeldBytes = 0;
    if (runState.lineEndAfterCr) {
        runState.lineEndAfterCr = false;
        uint32_t width = UnitBytes();
        MakeRoom(&w, width, write);
        PutUnit(kLf, width, &w);
        runState.lineEndsChanged += 1;
    }
    MakeRoom(&w, kLineEndPieceBytes, write);
}
