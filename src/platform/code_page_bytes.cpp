// Byte code pages in bulk, for every program: the call the routes would make for each byte on
// its own, made once per byte through the platform's MultiByteToWideChar.
#include "src/platform/platform.h"

void ReadCodePageBytes(UINT codePage, CodePageByte* table) {
    for (int b = 0; b < 256; ++b) {
        char byte = static_cast<char>(b);
        WCHAR unit = 0;
        table[b].result = MultiByteToWideChar(codePage, 0, &byte, 1, &unit, 1) > 0 ? 1 : 0;
        table[b].unit = unit;
    }
}
