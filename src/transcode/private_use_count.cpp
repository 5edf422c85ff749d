#include "src/transcode/private_use_count.h"

#include <algorithm>

#include "src/transcode/codecs/code_page_tables.h"

// A page with a few such bytes is counted a byte value at a time, which the compiler turns into
// wide compares; one with many through a table, once over the text.
constexpr int kCountedByValue = 4;

uint64_t CountPrivateUseBytes(const uint8_t* text, size_t size) {
    const int count = sourcePage.privateUseCount;
    uint64_t found = 0;
    if (count <= kCountedByValue) {
        for (int i = 0; i < count; ++i) {
            found +=
                static_cast<uint64_t>(std::count(text, text + size, sourcePage.privateUseBytes[i]));
        }
        return found;
    }
    uint8_t isPrivate[256] = {};
    for (int i = 0; i < count; ++i) {
        isPrivate[sourcePage.privateUseBytes[i]] = 1;
    }
    for (size_t i = 0; i < size; ++i) {
        found += isPrivate[text[i]];
    }
    return found;
}
