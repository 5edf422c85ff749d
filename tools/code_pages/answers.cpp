// Asks Windows' own code page calls, as codeshift makes them (flags 0, one byte or one UTF-16 unit
// at a time, no default character of its own), about every byte and every unit of every byte
// code page in the encoding table, and writes the answers in the form the Linux build turns into
// its tables (src/platform/posix/code_pages.txt). Built for Windows (the code_page_answers
// target of the windows-x64 preset); scripts/code-pages.sh runs it under Wine.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "src/cmdline/name_table.h"

namespace {

// Where the answers come from: Wine names its version, Windows its build.
std::string Origin() {
    typedef const char*(__cdecl * WineVersion)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto wine = reinterpret_cast<WineVersion>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    if (wine != nullptr) {
        return std::string("Wine ") + wine();
    }
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&info);
    char text[64];
    std::snprintf(text, sizeof(text), "Windows %lu.%lu.%lu", info.dwMajorVersion,
                  info.dwMinorVersion, info.dwBuildNumber);
    return text;
}

bool WritePage(UINT page) {
    if (!IsValidCodePage(page)) {
        std::fprintf(stderr, "code page %u is not available here\n", page);
        return false;
    }
    std::printf("page %u\n", page);
    int inverse[65536];
    for (int& byte : inverse) {
        byte = -1;
    }
    for (int b = 0; b < 256; ++b) {
        char byte = static_cast<char>(b);
        WCHAR units[2] = {0, 0};
        int n = MultiByteToWideChar(page, 0, &byte, 1, units, 2);
        // Every byte of a single-byte page is a character; the tables hold nothing else.
        if (n != 1) {
            std::fprintf(stderr, "code page %u: byte %02X gives %d units\n", page, b, n);
            return false;
        }
        std::printf("%04X%c", units[0], b % 16 == 15 ? '\n' : ' ');
        if (inverse[units[0]] < 0) {
            inverse[units[0]] = b;
        }
    }
    int shown = 0;
    for (int u = 0; u < 65536; ++u) {
        WCHAR unit = static_cast<WCHAR>(u);
        int size = WideCharToMultiByte(page, 0, &unit, 1, nullptr, 0, nullptr, nullptr);
        char bytes[4] = {0, 0, 0, 0};
        int written = WideCharToMultiByte(page, 0, &unit, 1, bytes, 1, nullptr, nullptr);
        if (size != 1 || written != 1) {
            std::fprintf(stderr, "code page %u: unit %04X takes %d bytes\n", page, u, size);
            return false;
        }
        int byte = static_cast<unsigned char>(bytes[0]);
        int plain = inverse[u] < 0 ? '?' : inverse[u];
        if (byte != plain) {
            std::printf("%s%04X:%02X", shown % 12 == 0 ? "=" : " ", u, byte);
            if (++shown % 12 == 0) {
                std::printf("\n");
            }
        }
    }
    if (shown % 12 != 0) {
        std::printf("\n");
    }
    return true;
}

}  // namespace

int main() {
    // Line feeds as they are, on every system.
    _setmode(_fileno(stdout), _O_BINARY);
    std::printf(
        "# What Windows' MultiByteToWideChar and WideCharToMultiByte answer, with flags 0 and no\n"
        "# default character of the caller's, for each byte and each UTF-16 unit of every byte\n"
        "# code page of codeshift's encoding table; the Linux program converts with these tables.\n"
        "# Made by tools/code_pages/answers.cpp (the code_page_answers target of the windows-x64\n"
        "# preset) on %s, whose tables stand in for Windows' own. Remake it, or check it\n"
        "# against a fresh run, with: bash scripts/code-pages.sh [--check]\n"
        "# Each page: \"page N\"; 16 lines with the unit each byte 00 to FF becomes; then\n"
        "# lines of \"=\" and UNIT:BYTE pairs for every unit not written as the plain inverse,\n"
        "# which is the lowest byte that becomes the unit, or 3F (\"?\") when none does.\n",
        Origin().c_str());
    for (const Encoding& e : kEncodings) {
        if (IsOwnBytePage(e.id) && !WritePage(static_cast<UINT>(e.id))) {
            return 1;
        }
    }
    return 0;
}
