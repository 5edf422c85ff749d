// Code page services for the Linux build: the Windows calls (IsValidCodePage,
// MultiByteToWideChar, WideCharToMultiByte) and the project's own ResolveCodePage and
// ReadCodePageUnits. UTF-8 is converted here; the byte code pages answer from the Windows calls'
// own tables, asked under Wine and committed (code_pages.txt), so both programs convert alike and
// no page can be missing at run time.
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "src/platform/platform.h"

namespace {

struct LocalePages {
    const char* language;
    UINT ansi;
    UINT oem;
    UINT mac;
};

// Windows' defaults for a system locale of each language; anything else is Western.
constexpr LocalePages kLocalePages[] = {
    {"ru", 1251, 866, 10007}, {"uk", 1251, 866, 10017}, {"be", 1251, 866, 10007},
    {"bg", 1251, 866, 10007}, {"mk", 1251, 866, 10007}, {"sr", 1251, 855, 10007},
    {"kk", 1251, 866, 10007}, {"pl", 1250, 852, 10029}, {"cs", 1250, 852, 10029},
    {"sk", 1250, 852, 10029}, {"hu", 1250, 852, 10029}, {"hr", 1250, 852, 10082},
    {"sl", 1250, 852, 10029}, {"ro", 1250, 852, 10010}, {"sq", 1250, 852, 10029},
    {"el", 1253, 737, 10006}, {"tr", 1254, 857, 10081}, {"he", 1255, 862, 10005},
    {"ar", 1256, 720, 10004}, {"fa", 1256, 720, 10004}, {"et", 1257, 775, 10029},
    {"lv", 1257, 775, 10029}, {"lt", 1257, 775, 10029}, {"vi", 1258, 1258, 10000},
    {"en", 1252, 437, 10000},
};
constexpr LocalePages kWesternPages = {"", 1252, 850, 10000};
constexpr LocalePages kCPages = {"", 1252, 437, 10000};

const LocalePages& CurrentLocalePages() {
    static const LocalePages* pages = nullptr;
    if (pages != nullptr) {
        return *pages;
    }
    const char* name = nullptr;
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != 0) {
            name = value;
            break;
        }
    }
    pages = &kCPages;
    if (name != nullptr && std::strcmp(name, "C") != 0 && std::strncmp(name, "C.", 2) != 0 &&
        std::strcmp(name, "POSIX") != 0) {
        pages = &kWesternPages;
        for (const LocalePages& entry : kLocalePages) {
            size_t n = std::strlen(entry.language);
            if (std::strncmp(name, entry.language, n) == 0 &&
                (name[n] == 0 || name[n] == '_' || name[n] == '.' || name[n] == '@')) {
                pages = &entry;
                break;
            }
        }
    }
    return *pages;
}

UINT ResolvePage(UINT codePage) {
    switch (codePage) {
        case CP_ACP:
            return CurrentLocalePages().ansi;
        case CP_OEMCP:
            return CurrentLocalePages().oem;
        case CP_MACCP:
            return CurrentLocalePages().mac;
        default:
            return codePage;
    }
}

// A page's answers, as the Windows calls gave them (code_pages.txt): the unit of each byte, and
// the units a page writes otherwise than as the lowest byte that becomes them (best-fit
// letters, and the units that two bytes share), or as "?" when no byte does.
struct CodePageUnitByte {
    uint16_t unit;
    uint8_t byte;
};
struct CodePageData {
    UINT page;
    const uint16_t* units;
    int firstUnitByte;
    int unitByteCount;
};
#include "code_page_data.inc"

constexpr int kPageCount = static_cast<int>(std::size(kPageData));

constexpr bool HasTables(UINT page) {
    for (const CodePageData& data : kPageData) {
        if (data.page == page) {
            return true;
        }
    }
    return false;
}

constexpr bool EveryLocalePageHasTables() {
    for (const LocalePages& pages : kLocalePages) {
        if (!HasTables(pages.ansi) || !HasTables(pages.oem) || !HasTables(pages.mac)) {
            return false;
        }
    }
    return HasTables(kWesternPages.ansi) && HasTables(kWesternPages.oem) &&
           HasTables(kWesternPages.mac) && HasTables(kCPages.ansi) && HasTables(kCPages.oem) &&
           HasTables(kCPages.mac);
}
// Whatever the locale, the ANSI, OEM and Mac choices reach pages the program carries.
static_assert(EveryLocalePageHasTables(),
              "a page of the locale table is not in the encoding table");

// The index of `page` in kPageData, or -1. A run asks about one or two pages, many times each.
int PageIndex(UINT page) {
    static int last = 0;
    if (kPageData[last].page == page) {
        return last;
    }
    for (int i = 0; i < kPageCount; ++i) {
        if (kPageData[i].page == page) {
            last = i;
            return i;
        }
    }
    return -1;
}

// The byte each unit is written as in page `index`, made on the first question about the page.
// Kept in zeroed static memory, which the system maps only for the pages a run writes (64 KiB
// each): no allocation that could fail.
const uint8_t* UnitBytes(int index) {
    static uint8_t bytes[kPageCount][65536];
    static bool made[kPageCount];
    if (!made[index]) {
        const CodePageData& data = kPageData[index];
        uint8_t* table = bytes[index];
        std::memset(table, '?', 65536);
        for (int b = 255; b >= 0; --b) {
            table[data.units[b]] = static_cast<uint8_t>(b);
        }
        for (int i = 0; i < data.unitByteCount; ++i) {
            const CodePageUnitByte& entry = kUnitBytes[data.firstUnitByte + i];
            table[entry.unit] = entry.byte;
        }
        made[index] = true;
    }
    return bytes[index];
}

// UTF-8 natively, as Windows does it: malformed input and lone surrogates become U+FFFD.
int Utf8ToUnits(const unsigned char* s, int n, LPWSTR units, int room) {
    int produced = 0;
    auto put = [&](uint32_t u) {
        if (room > 0 && produced < room) {
            units[produced] = static_cast<WCHAR>(u);
        }
        ++produced;
    };
    for (int i = 0; i < n;) {
        uint32_t b0 = s[i];
        int length = b0 < 0x80                  ? 1
                     : b0 >= 0xC2 && b0 <= 0xDF ? 2
                     : b0 >= 0xE0 && b0 <= 0xEF ? 3
                     : b0 >= 0xF0 && b0 <= 0xF4 ? 4
                                                : 0;
        uint32_t cp = length == 1   ? b0
                      : length == 2 ? (b0 & 0x1F)
                      : length == 3 ? (b0 & 0x0F)
                                    : (b0 & 0x07);
        bool ok = length > 0 && i + length <= n;
        for (int k = 1; ok && k < length; ++k) {
            ok = (s[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        uint32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : length == 4 ? 0x10000 : 0;
        if (!ok || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            put(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
        i += length;
    }
    return produced;
}

int UnitsToUtf8(LPCWSTR u, int n, LPSTR bytes, int room) {
    int produced = 0;
    auto put = [&](uint32_t b) {
        if (room > 0 && produced < room) {
            bytes[produced] = static_cast<char>(b);
        }
        ++produced;
    };
    for (int i = 0; i < n; ++i) {
        uint32_t cp = u[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            put(cp);
        } else if (cp < 0x800) {
            put(0xC0 | (cp >> 6));
            put(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            put(0xE0 | (cp >> 12));
            put(0x80 | ((cp >> 6) & 0x3F));
            put(0x80 | (cp & 0x3F));
        } else {
            put(0xF0 | (cp >> 18));
            put(0x80 | ((cp >> 12) & 0x3F));
            put(0x80 | ((cp >> 6) & 0x3F));
            put(0x80 | (cp & 0x3F));
        }
    }
    return produced;
}

int Finish(int needed, int room) {
    if (room != 0 && needed > room) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return needed;
}

}  // namespace

// As on Windows: the pseudo pages CP_ACP, CP_OEMCP and CP_MACCP are no code pages of their own.
BOOL IsValidCodePage(UINT codePage) {
    if (codePage == CP_UTF8 || PageIndex(codePage) >= 0) {
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

UINT ResolveCodePage(UINT codePage) {
    return ResolvePage(codePage);
}

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR bytes, int byteCount, LPWSTR units,
                        int unitCount) {
    if (byteCount < 0) {
        byteCount = static_cast<int>(std::strlen(bytes)) + 1;
    }
    const unsigned char* s = reinterpret_cast<const unsigned char*>(bytes);
    if (codePage == CP_UTF8) {
        return Finish(Utf8ToUnits(s, byteCount, units, unitCount), unitCount);
    }
    int index = PageIndex(ResolvePage(codePage));
    if (index < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // One unit for every byte.
    if (unitCount == 0 || byteCount > unitCount) {
        return Finish(byteCount, unitCount);
    }
    const uint16_t* table = kPageData[index].units;
    for (int i = 0; i < byteCount; ++i) {
        units[i] = static_cast<WCHAR>(table[s[i]]);
    }
    return byteCount;
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR units, int unitCount, LPSTR bytes,
                        int byteCount, LPCSTR, BOOL* usedDefaultChar) {
    if (usedDefaultChar != nullptr) {
        *usedDefaultChar = FALSE;
    }
    if (unitCount < 0) {
        unitCount = static_cast<int>(std::char_traits<WCHAR>::length(units)) + 1;
    }
    if (codePage == CP_UTF8) {
        return Finish(UnitsToUtf8(units, unitCount, bytes, byteCount), byteCount);
    }
    int index = PageIndex(ResolvePage(codePage));
    if (index < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // One byte for every unit: one the page has for it, its nearest, or "?".
    if (byteCount == 0 || unitCount > byteCount) {
        return Finish(unitCount, byteCount);
    }
    const uint8_t* table = UnitBytes(index);
    for (int i = 0; i < unitCount; ++i) {
        bytes[i] = static_cast<char>(table[units[i]]);
    }
    return unitCount;
}

int _wcsicmp(LPCWSTR a, LPCWSTR b) {
    for (;; ++a, ++b) {
        WCHAR x = (*a >= 'A' && *a <= 'Z') ? static_cast<WCHAR>(*a + 32) : *a;
        WCHAR y = (*b >= 'A' && *b <= 'Z') ? static_cast<WCHAR>(*b + 32) : *b;
        if (x != y || x == 0) {
            return static_cast<int>(x) - static_cast<int>(y);
        }
    }
}

// Straight from the page's table: the same results as one call per unit, without looking the
// page up again for each.
void ReadCodePageUnits(UINT codePage, WCHAR first, int count, CodePageUnit* table) {
    int index = codePage == CP_UTF8 ? -1 : PageIndex(ResolvePage(codePage));
    const uint8_t* bytes = index < 0 ? nullptr : UnitBytes(index);
    const uint16_t* units = index < 0 ? nullptr : kPageData[index].units;
    for (int i = 0; i < count; ++i) {
        WCHAR unit = static_cast<WCHAR>(first + i);
        CodePageUnit& entry = table[i];
        entry = CodePageUnit{};
        if (codePage == CP_UTF8) {
            int size = WideCharToMultiByte(codePage, 0, &unit, 1, nullptr, 0, nullptr, nullptr);
            entry.size = static_cast<uint8_t>(size);
            WideCharToMultiByte(codePage, 0, &unit, 1, reinterpret_cast<LPSTR>(entry.bytes), size,
                                nullptr, nullptr);
            char byte = 0;
            entry.single = WideCharToMultiByte(codePage, 0, &unit, 1, &byte, 1, nullptr, nullptr);
            entry.byte = static_cast<uint8_t>(byte);
            WCHAR back[4] = {};
            entry.backCount = static_cast<uint8_t>(MultiByteToWideChar(
                codePage, 0, reinterpret_cast<LPCSTR>(entry.bytes), size, back, 4));
            entry.back = back[0];
        } else if (bytes != nullptr) {
            entry.size = 1;
            entry.bytes[0] = bytes[unit];
            entry.single = 1;
            entry.byte = bytes[unit];
            // Every byte of these pages reads as one unit.
            entry.backCount = 1;
            entry.back = static_cast<WCHAR>(units[bytes[unit]]);
        }
    }
}
