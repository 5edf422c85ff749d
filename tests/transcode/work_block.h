// Conversions in-process: the input laid out in a block exactly as the loader leaves it, the
// output step run on it, and what reached the output file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "src/state/run_state.h"

// Fills runState.workBuffer (and the input fields) as the loader does for an input file holding
// `file`, of which the first `markLength` bytes were recognised as a byte order mark: the unused
// bytes, the head room, the file, the zero bytes, slack (src/state/work_buffer.h). Bytes the loader
// leaves undefined (the unused bytes, the head room, the slack) are filled with `poison`.
void LayOutInput(const std::string& file, uint32_t markLength, uint8_t poison = 0xDC);

struct Conversion {
    RunStatus status;
    std::string output;            // the output file's content afterwards
    std::vector<uint32_t> pieces;  // byte counts of the flushes, in order
    std::string flushed;           // the flushed bytes joined, as handed to the file
    uint32_t outputByteCount;
    Replacements replacements;
};

// Runs the output step for `file` (mark included, `markLength` of it recognised) from `source`
// to `target`, into a fresh folder's out.txt.
Conversion Convert(CodePageId source, CodePageId target, bool writeBom, const std::string& file,
                   uint32_t markLength = 0);

// Runs only TranscodeBuffer on the laid-out input into a scratch file and checks, besides,
// that the four zero bytes behind the input are still zero. Returns the text written.
std::string TranscodeOnly(CodePageId source, CodePageId target, const std::string& text);

// ASCII path as the system's wide text.
WideString WideAscii(const std::string& text);
