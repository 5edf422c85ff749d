// Guessing the encoding of input that carries no byte order mark.
#pragma once

#include <cstdint>

#include "src/state/run_state.h"

// Guesses the encoding of the inputByteCount bytes at `first` (four zero bytes must follow
// them), stores the matching recognition status and returns the code page. Plain 7-bit text is
// CP_ACP, not UTF-8.
CodePageId SniffEncoding(const uint8_t* first);
