// Source bytes that a Unicode target receives as private-use characters, counted apart from the
// routes so that their loops stay as they are.
#pragma once

#include <cstddef>
#include <cstdint>

// How many bytes of `text` the loaded source page reads as private-use characters. Costs
// nothing on a page that has none; one pass over the text otherwise.
uint64_t CountPrivateUseBytes(const uint8_t* text, size_t size);
