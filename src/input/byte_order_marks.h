// Byte order marks at the start of the loaded input.
#pragma once

#include <cstdint>

#include "src/state/run_state.h"

// What a mark says: its length (0 when there is none), the source and the recognition status.
struct MarkFound {
    uint32_t length;
    CodePageId sourceCp;
    RunStatus status;
};

// The mark at `first` of an input of `count` bytes, first match wins; at least four bytes must
// be readable there (zero bytes behind a shorter input).
MarkFound FindByteOrderMark(const uint8_t* first, uint32_t count);

// Tests the loaded input for a mark. A match decides the source whatever the command line named:
// sourceCp, inputHadBom and status are set and the mark is skipped (readCursor and
// inputByteCount). Returns whether a mark was found.
bool SkipByteOrderMark();
