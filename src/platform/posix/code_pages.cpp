// Code page services for the Linux build: the Windows calls (IsValidCodePage,
// MultiByteToWideChar, WideCharToMultiByte) and the project's own ResolveCodePage and
// ReadCodePageUnits, which read the same kept answers. UTF-8 is converted here; the byte code
// pages go through the C library's iconv, one byte or one UTF-16 unit at a time, and each answer
// is kept so that a page costs iconv at most once per byte and once per unit. A page's two
// converters are opened once and kept for the process: once IsValidCodePage has said yes, no
// later conversion can fail for want of a descriptor or of the C library's converter modules.
#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "src/platform/platform.h"
#include "src/platform/posix/wide_text.h"

namespace {

struct LocalePages {
    const char* language;
    UINT ansi;
    UINT oem;
    UINT mac;
};

// Windows' defaults for a system locale of each language; anything else is Western.
const LocalePages kLocalePages[] = {
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
const LocalePages kWesternPages = {"", 1252, 850, 10000};
const LocalePages kCPages = {"", 1252, 437, 10000};

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

// The iconv name of a single-byte page, or nullptr for a page this layer does not know.
std::string IconvName(UINT page) {
    if ((page >= 1250 && page <= 1258) || page == 437 || page == 720 || page == 737 ||
        page == 775 || page == 850 || page == 852 || page == 855 || page == 857 || page == 862 ||
        page == 866) {
        return "CP" + std::to_string(page);
    }
    if (page >= 28591 && page <= 28599) {
        return "ISO-8859-" + std::to_string(page - 28590);
    }
    switch (page) {
        case 28603:
            return "ISO-8859-13";
        case 28605:
            return "ISO-8859-15";
        case 20866:
            return "KOI8-R";
        case 21866:
            return "KOI8-U";
        case 10000:
            return "MACINTOSH";
        case 10007:
            return "MAC-CYRILLIC";
        case 10017:
            return "MACUKRAINIAN";
        case 10029:
            return "MAC-CENTRALEUROPE";
        default:
            return std::string();
    }
}

// What one byte or one unit becomes: up to 4 output items, count 0 when it cannot be converted.
struct Mapping {
    uint8_t count;
    uint8_t bytes[4];
};

// A unit's answer as it is kept: `done` once the converter was asked, so that the table can
// come from memory the system hands out cleared, with nothing to fill in first.
struct KeptMapping {
    Mapping mapping;
    bool done;
};

struct PageTables {
    bool known;
    iconv_t toUnicode;    // page to UTF-16LE; nullptr until it could be opened
    iconv_t fromUnicode;  // UTF-16LE to the page
    // Whether the converter may hold state from a conversion that failed part-way; a converter
    // that finished cleanly is in its initial state and needs no reset before the next one.
    bool toUnicodeMidway;
    bool fromUnicodeMidway;
    // The bytes of each group of kBytesAtOnce were asked about together (AskBytesAtOnce), and
    // the ASCII units (AskAsciiUnitsAtOnce).
    bool bytesTried[256 / 32];
    bool asciiUnitsTried;
    Mapping toUnits[256];  // items are UTF-16LE byte pairs
    bool toUnitsDone[256];
    KeptMapping* fromUnits;  // 65536 entries, allocated on first use
};

// The page's converter in one direction, opened on first use and then kept. nullptr (errno
// set) while it cannot be opened; nothing is remembered then, so a later call tries again.
iconv_t Converter(PageTables* t, UINT page, bool toUnicode) {
    iconv_t& kept = toUnicode ? t->toUnicode : t->fromUnicode;
    if (kept == nullptr) {
        std::string name = IconvName(page);
        iconv_t opened =
            toUnicode ? iconv_open("UTF-16LE", name.c_str()) : iconv_open(name.c_str(), "UTF-16LE");
        if (opened == reinterpret_cast<iconv_t>(-1)) {
            return nullptr;
        }
        kept = opened;
    }
    return kept;
}

// One conversion of `length` bytes from the initial state, flushed, so a page that holds a
// letter back until it sees what follows still hands it over, and nothing of an earlier
// conversion carries over. Only a page's decoder ever holds a letter back (the pages that
// combine a letter with the marks after it); UTF-16 into a page gives each unit's bytes at once,
// so that direction skips the flush (`flush` false). A conversion that went through leaves the
// converter in its initial state, so the reset is needed only after one that failed (`midway`):
// a page's table costs one or two calls per character instead of three.
size_t ConvertOnce(iconv_t cd, bool* midway, bool flush, const char* in, size_t length, char* out,
                   size_t room) {
    if (*midway) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        *midway = false;
    }
    char* input = const_cast<char*>(in);
    char* output = out;
    size_t inputLeft = length;
    size_t outputLeft = room;
    if (iconv(cd, &input, &inputLeft, &output, &outputLeft) != static_cast<size_t>(-1) &&
        inputLeft == 0 &&
        (!flush || iconv(cd, nullptr, nullptr, &output, &outputLeft) != static_cast<size_t>(-1))) {
        return room - outputLeft;
    }
    *midway = true;
    return 0;
}

PageTables* TablesFor(UINT page) {
    // Kept for the whole process and never destroyed, so the tables stay reachable to the end
    // (a leak checker at exit sees them in use, not lost).
    static std::map<UINT, PageTables*>& tables = *new std::map<UINT, PageTables*>;
    auto found = tables.find(page);
    if (found != tables.end()) {
        return found->second;
    }
    PageTables* t = static_cast<PageTables*>(std::calloc(1, sizeof(PageTables)));
    if (t == nullptr) {
        return nullptr;
    }
    t->known = !IconvName(page).empty();
    tables[page] = t;
    return t;
}

// Several bytes asked about in one conversion: `count` bytes from `first` on, each followed by a
// line feed. When the page turns each byte into one unit and every line feed into a line feed,
// the answers are those of single conversions: each byte starts from a state like the initial
// one (behind a line feed, which nothing combines with), and the line feed behind it hands over
// a letter a page may hold back to combine with what follows. Any other outcome (a byte that
// cannot be converted, one that gives two units, anything combined) keeps nothing, and the
// group is asked about in two halves, down to single bytes, which are left to the single ask.
constexpr int kBytesAtOnce = 32;

bool AskBytesTogether(PageTables* t, iconv_t cd, int first, int count) {
    char in[2 * kBytesAtOnce];
    char out[4 * kBytesAtOnce + 8];
    for (int i = 0; i < count; ++i) {
        in[2 * i] = static_cast<char>(first + i);
        in[2 * i + 1] = '\n';
    }
    size_t n = ConvertOnce(cd, &t->toUnicodeMidway, true, in, static_cast<size_t>(2 * count), out,
                           sizeof(out));
    if (n != static_cast<size_t>(4 * count)) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (out[4 * i + 2] != '\n' || out[4 * i + 3] != 0) {
            return false;
        }
    }
    for (int i = 0; i < count; ++i) {
        Mapping& m = t->toUnits[first + i];
        m = Mapping{};
        m.count = 1;
        std::memcpy(m.bytes, out + 4 * i, 2);
        t->toUnitsDone[first + i] = true;
    }
    return true;
}

void AskBytesInHalves(PageTables* t, iconv_t cd, int first, int count) {
    if (count > 1 && !AskBytesTogether(t, cd, first, count)) {
        AskBytesInHalves(t, cd, first, count / 2);
        AskBytesInHalves(t, cd, first + count / 2, count - count / 2);
    }
}

// The group of kBytesAtOnce bytes that holds `byte`, asked about once: a table of the whole page
// costs a few conversions instead of 256.
void AskBytesAtOnce(PageTables* t, UINT page, unsigned char byte) {
    bool& tried = t->bytesTried[byte / kBytesAtOnce];
    if (tried) {
        return;
    }
    tried = true;
    iconv_t cd = Converter(t, page, true);
    if (cd != nullptr) {
        AskBytesInHalves(t, cd, byte / kBytesAtOnce * kBytesAtOnce, kBytesAtOnce);
    }
}

// The 128 ASCII units asked about in one conversion into the page. When the page writes them as
// exactly the same 128 bytes (the usual pages), those are the answers of single conversions:
// each unit gives its bytes at once, from a state like the initial one, and a converter that
// wrote anything of its own or held anything back would not have given the bytes one for one.
// Otherwise nothing is kept and each unit is asked about alone.
void AskAsciiUnitsAtOnce(PageTables* t, UINT page) {
    if (t->asciiUnitsTried) {
        return;
    }
    t->asciiUnitsTried = true;
    iconv_t cd = Converter(t, page, false);
    if (cd == nullptr) {
        return;
    }
    char units[256];
    char bytes[128];
    for (int c = 0; c < 128; ++c) {
        units[2 * c] = static_cast<char>(c);
        units[2 * c + 1] = 0;
        bytes[c] = static_cast<char>(c);
    }
    char out[512];
    size_t n =
        ConvertOnce(cd, &t->fromUnicodeMidway, false, units, sizeof(units), out, sizeof(out));
    if (n != sizeof(bytes) || std::memcmp(out, bytes, sizeof(bytes)) != 0) {
        return;
    }
    for (int c = 0; c < 128; ++c) {
        Mapping& m = t->fromUnits[c].mapping;
        m = Mapping{};
        m.count = 1;
        m.bytes[0] = static_cast<uint8_t>(c);
        t->fromUnits[c].done = true;
    }
}

// The byte's answer from the page's tables `t` (nullptr for a page this layer cannot convert),
// asked once.
const Mapping* ByteToUnitsIn(PageTables* t, UINT page, unsigned char byte) {
    if (t == nullptr || !t->known) {
        return nullptr;
    }
    if (!t->toUnitsDone[byte]) {
        AskBytesAtOnce(t, page, byte);
    }
    if (!t->toUnitsDone[byte]) {
        iconv_t cd = Converter(t, page, true);
        if (cd == nullptr) {
            return nullptr;
        }
        Mapping& m = t->toUnits[byte];
        char in = static_cast<char>(byte);
        char out[8];
        size_t n = ConvertOnce(cd, &t->toUnicodeMidway, true, &in, 1, out, sizeof(out));
        m.count = (n == 2 || n == 4) ? static_cast<uint8_t>(n / 2) : 0;
        std::memcpy(m.bytes, out, m.count * 2);
        t->toUnitsDone[byte] = true;
    }
    return &t->toUnits[byte];
}

// The unit's answer from the page's tables `t`, asked once.
const Mapping* UnitToBytesIn(PageTables* t, UINT page, WCHAR unit) {
    if (t->fromUnits == nullptr) {
        // 384 KiB, taken from the system already cleared: only the parts a run asks about are
        // ever touched.
        t->fromUnits = static_cast<KeptMapping*>(std::calloc(65536, sizeof(KeptMapping)));
        if (t->fromUnits == nullptr) {
            return nullptr;
        }
    }
    KeptMapping& kept = t->fromUnits[unit];
    if (unit < 0x80 && !kept.done) {
        AskAsciiUnitsAtOnce(t, page);
    }
    if (!kept.done) {
        iconv_t cd = Converter(t, page, false);
        if (cd == nullptr) {
            return nullptr;
        }
        Mapping& m = kept.mapping;
        char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        char out[8];
        size_t n = ConvertOnce(cd, &t->fromUnicodeMidway, false, in, 2, out, sizeof(out));
        m.count = n <= 4 ? static_cast<uint8_t>(n) : 0;
        std::memcpy(m.bytes, out, m.count);
        kept.done = true;
    }
    return &kept.mapping;
}

const Mapping* UnitToBytes(UINT page, WCHAR unit) {
    PageTables* t = TablesFor(page);
    if (t == nullptr || !t->known) {
        return nullptr;
    }
    return UnitToBytesIn(t, page, unit);
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
// A byte page is valid when both its converters open and convert a letter each way.
BOOL IsValidCodePage(UINT codePage) {
    if (codePage == CP_UTF8) {
        return TRUE;
    }
    PageTables* t = TablesFor(codePage);
    if (t == nullptr || !t->known) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (bool toUnicode : {true, false}) {
        iconv_t cd = Converter(t, codePage, toUnicode);
        if (cd == nullptr) {
            SetLastError(ErrorFromErrno(errno));
            return FALSE;
        }
        const char letter[2] = {'A', 0};  // one byte, or one UTF-16LE unit
        char out[8];
        bool* midway = toUnicode ? &t->toUnicodeMidway : &t->fromUnicodeMidway;
        if (ConvertOnce(cd, midway, toUnicode, letter, toUnicode ? 1 : 2, out, sizeof(out)) == 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    return TRUE;
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
    UINT page = ResolvePage(codePage);
    // The page is looked up once for all the bytes.
    PageTables* t = TablesFor(page);
    int needed = 0;
    for (int i = 0; i < byteCount; ++i) {
        const Mapping* m = ByteToUnitsIn(t, page, s[i]);
        if (m == nullptr || m->count == 0) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
        needed += m->count;
    }
    if (unitCount == 0 || needed > unitCount) {
        return Finish(needed, unitCount);
    }
    int at = 0;
    for (int i = 0; i < byteCount; ++i) {
        const Mapping* m = ByteToUnitsIn(t, page, s[i]);
        for (int k = 0; k < m->count; ++k) {
            units[at++] = static_cast<WCHAR>(m->bytes[2 * k] | (m->bytes[2 * k + 1] << 8));
        }
    }
    return needed;
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
    UINT page = ResolvePage(codePage);
    int needed = 0;
    for (int i = 0; i < unitCount; ++i) {
        const Mapping* m = UnitToBytes(page, units[i]);
        if (m == nullptr || m->count == 0) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
        needed += m->count;
    }
    if (byteCount == 0 || needed > byteCount) {
        return Finish(needed, byteCount);
    }
    int at = 0;
    for (int i = 0; i < unitCount; ++i) {
        const Mapping* m = UnitToBytes(page, units[i]);
        std::memcpy(bytes + at, m->bytes, m->count);
        at += m->count;
    }
    return needed;
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

// Straight from the kept answers: the same results as one call per unit, without looking the
// page up again for each.
void ReadCodePageUnits(UINT codePage, WCHAR first, int count, CodePageUnit* table) {
    UINT page = ResolvePage(codePage);
    // The page is looked up once for all its units.
    PageTables* t = codePage == CP_UTF8 ? nullptr : TablesFor(page);
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
            continue;
        }
        const Mapping* m = t == nullptr || !t->known ? nullptr : UnitToBytesIn(t, page, unit);
        if (m == nullptr || m->count == 0) {
            continue;
        }
        entry.size = m->count;
        std::memcpy(entry.bytes, m->bytes, m->count);
        if (m->count == 1) {
            entry.single = 1;
            entry.byte = m->bytes[0];
        }
    }
}
