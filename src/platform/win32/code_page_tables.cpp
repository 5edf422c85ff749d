// Byte code pages in bulk on Windows: the same calls the routes would make, made once per entry.
#include "src/platform/platform.h"

void ReadCodePageBytes(UINT codePage, CodePageByte* table) {
    for (int b = 0; b < 256; ++b) {
        char byte = static_cast<char>(b);
        WCHAR unit = 0;
        int result = MultiByteToWideChar(codePage, 0, &byte, 1, &unit, 1);
        table[b].result = result > 0 ? 1 : 0;
        table[b].unit = unit;
    }
}

void ReadCodePageUnits(UINT codePage, WCHAR first, int count, CodePageUnit* table) {
    for (int i = 0; i < count; ++i) {
        WCHAR unit = static_cast<WCHAR>(first + i);
        CodePageUnit& entry = table[i];
        entry = CodePageUnit{};
        int size = WideCharToMultiByte(codePage, 0, &unit, 1, nullptr, 0, nullptr, nullptr);
        entry.size = static_cast<uint8_t>(size < 0 ? 0 : size > 255 ? 255 : size);
        if (size > 0 && size <= 4) {
            WideCharToMultiByte(codePage, 0, &unit, 1, reinterpret_cast<LPSTR>(entry.bytes), size,
                                nullptr, nullptr);
        }
        char byte = 0;
        int single = WideCharToMultiByte(codePage, 0, &unit, 1, &byte, 1, nullptr, nullptr);
        entry.single = single > 0 ? 1 : 0;
        entry.byte = static_cast<uint8_t>(byte);
    }
}
