// Code page services of codeshift's own on Windows, over the system's code page calls.
#include "src/platform/platform.h"

// The system's own pages behind the pseudo identifiers, as the code page calls resolve them.
UINT ResolveCodePage(UINT codePage) {
    switch (codePage) {
        case CP_ACP:
            return GetACP();
        case CP_OEMCP:
            return GetOEMCP();
        case CP_MACCP: {
            CPINFOEXW info{};
            return GetCPInfoExW(CP_MACCP, 0, &info) ? info.CodePage : codePage;
        }
        default:
            return codePage;
    }
}

// Units in bulk: the same calls the routes would make, made once per entry.
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
            WCHAR back[4] = {};
            int count = MultiByteToWideChar(codePage, 0, reinterpret_cast<LPCSTR>(entry.bytes),
                                            size, back, 4);
            entry.backCount = static_cast<uint8_t>(count > 0 ? count : 0);
            entry.back = back[0];
        }
        char byte = 0;
        int single = WideCharToMultiByte(codePage, 0, &unit, 1, &byte, 1, nullptr, nullptr);
        entry.single = single > 0 ? 1 : 0;
        entry.byte = static_cast<uint8_t>(byte);
    }
}
