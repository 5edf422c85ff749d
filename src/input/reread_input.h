// The input's text read once more, for a step that needs it as it was after the conversion has
// written over the block in place.
#pragma once

#include <cstdint>
#include <vector>

// Reads runState.inputName anew into `text`: the bytes behind the mark the loader skipped
// (inputByteCount of them), then four zero bytes. False when the file cannot be read or no
// longer holds as many bytes as were loaded.
bool ReadInputAgain(std::vector<uint8_t>* text);
