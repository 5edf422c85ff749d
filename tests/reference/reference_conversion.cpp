#include "tests/reference/reference_conversion.h"

#include <cstdint>
#include <vector>

namespace {

enum Family { kUtf8, kUtf16, kUtf32, kCodePage };

Family FamilyOf(CodePageId cp) {
    if (cp == static_cast<CodePageId>(CP_UTF8)) {
        return kUtf8;
    }
    if (cp == CP_UTF16LE || cp == CP_UTF16BE) {
        return kUtf16;
    }
    if (cp == CP_UTF32LE || cp == CP_UTF32BE) {
        return kUtf32;
    }
    return kCodePage;
}

constexpr uint32_t kQuestion = 0x3F;

bool IsHigh(uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLow(uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}
bool IsContinuation(uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// Split of a character into one or two 16-bit units.
std::vector<uint32_t> Split(uint32_t cp) {
    if (cp <= 0xFFFF) {
        return {cp};
    }
    uint32_t v = cp - 0x10000;
    return {(0xD800 + (v >> 10)) & 0xFFFF, (0xDC00 + (v & 0x3FF)) & 0xFFFF};
}

uint32_t Combine(uint32_t hi, uint32_t lo) {
    return (hi - 0xD800) * 1024 + (lo - 0xDC00) + 0x10000;
}

// One UTF-8 character at `at` (four readable bytes): the units, the bytes consumed, and whether
// the bytes were a character (else the units are one "?").
struct Decoded {
    std::vector<uint32_t> units;
    size_t consumed;
    bool character;
};

Replacements counted{};

// Whether the output written for one character, from `before` on, begins with "?" in the
// target's form.
bool WroteQuestion(const std::string& out, size_t before, Family target) {
    static const char kForms[3][4] = {{'?'}, {'?', 0}, {'?', 0, 0, 0}};
    size_t width = target == kUtf16 ? 2 : target == kUtf32 ? 4 : 1;
    const char* form = kForms[width == 1 ? 0 : width == 2 ? 1 : 2];
    return out.size() - before >= width && out.compare(before, width, form, width) == 0;
}

// A character written as "?" that was no "?" of the input: unreadable when the input there was
// no character (`noCharacter`), else missing from the target.
void CountReplaced(const std::string& out, size_t before, Family target, bool readQuestion,
                   bool noCharacter) {
    if (!readQuestion && WroteQuestion(out, before, target)) {
        ++(noCharacter ? counted.unreadable : counted.missing);
    }
}

// A unit handed to the target page that came out, other than as "?", as bytes that the page
// reads back as anything but that unit alone.
void CountSimilar(const std::string& out, size_t before, CodePageId targetCp, uint32_t unit) {
    std::string bytes = out.substr(before);
    if (bytes == "?") {
        return;
    }
    WCHAR back[4] = {};
    int n = MultiByteToWideChar(static_cast<UINT>(targetCp), 0, bytes.data(),
                                static_cast<int>(bytes.size()), back, 4);
    if (n != 1 || back[0] != unit) {
        ++counted.similar;
    }
}

bool IsSurrogateUnit(uint32_t u) {
    return u >= 0xD800 && u <= 0xDFFF;
}

// The lead byte says the length and the smallest code point of that length; the whole length is
// consumed when its continuation bytes follow, and gives a character only for a code point from
// that smallest one to U+10FFFF that is no surrogate.
Decoded Decode(const uint8_t* b) {
    if (b[0] < 0x80) {
        return {{b[0]}, 1, true};
    }
    size_t length = b[0] < 0xC0 ? 0 : b[0] < 0xE0 ? 2 : b[0] < 0xF0 ? 3 : b[0] < 0xF8 ? 4 : 0;
    const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    uint32_t cp = b[0] & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if (!IsContinuation(b[i])) {
            length = 0;
            break;
        }
        cp = (cp << 6) | (b[i] & 0x3F);
    }
    if (length == 0) {
        return {{kQuestion}, 1, false};
    }
    if (cp < kSmallest[length] || cp > 0x10FFFF || IsSurrogateUnit(cp)) {
        return {{kQuestion}, length, false};
    }
    return {Split(cp), length, true};
}

// UTF-8 bytes of the unit u (u2 the unit after it); the count of units used is 2 only for a
// proper pair.
std::string Encode(uint32_t u, uint32_t u2) {
    std::string out;
    auto put = [&out](uint32_t b) { out.push_back(static_cast<char>(b)); };
    if (u < 0x80) {
        put(u);
    } else if (u < 0x800) {
        put(0xC0 | (u >> 6));
        put(0x80 | (u & 0x3F));
    } else if (u < 0xD800 || u > 0xDFFF) {
        put(0xE0 | (u >> 12));
        put(0x80 | ((u >> 6) & 0x3F));
        put(0x80 | (u & 0x3F));
    } else if (IsHigh(u) && IsLow(u2)) {
        uint32_t cp = Combine(u, u2);
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(kQuestion);
    }
    return out;
}

// The code point of u (u2 the unit after it), and the units used.
uint32_t CombineOrQuestion(uint32_t u, uint32_t u2, size_t* used) {
    *used = 1;
    if (u < 0xD800 || u > 0xDFFF) {
        return u;
    }
    if (IsHigh(u) && IsLow(u2)) {
        *used = 2;
        return Combine(u, u2);
    }
    return kQuestion;
}

void PutUnit16(std::string* out, uint32_t u) {
    out->push_back(static_cast<char>(u & 0xFF));
    out->push_back(static_cast<char>((u >> 8) & 0xFF));
}

void PutUnit32(std::string* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

// "?" in the target's own form.
void PutQuestion(std::string* out, Family target) {
    if (target == kUtf16) {
        PutUnit16(out, kQuestion);
    } else if (target == kUtf32) {
        PutUnit32(out, kQuestion);
    } else {
        out->push_back(static_cast<char>(kQuestion));
    }
}

// One UTF-16 unit into a byte code page through the one-byte call; "?" when it gives nothing.
void PutUnitAsByte(std::string* out, uint32_t u, CodePageId target) {
    WCHAR unit = static_cast<WCHAR>(u);
    char byte = 0;
    int n = WideCharToMultiByte(static_cast<UINT>(target), 0, &unit, 1, &byte, 1, nullptr, nullptr);
    if (n == 0) {
        out->push_back(static_cast<char>(kQuestion));
    } else {
        out->append(&byte, static_cast<size_t>(n));
    }
}

uint32_t Unit16At(const std::string& s, size_t i) {
    return static_cast<uint8_t>(s[i]) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[i + 1])) << 8);
}

uint32_t Unit32At(const std::string& s, size_t i) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) {
        v = (v << 8) | static_cast<uint8_t>(s[i + static_cast<size_t>(k)]);
    }
    return v;
}

void TurnWholeUnits(std::string* s, size_t unit) {
    for (size_t i = 0; i + unit <= s->size(); i += unit) {
        for (size_t a = i, b = i + unit - 1; a < b; ++a, --b) {
            std::swap((*s)[a], (*s)[b]);
        }
    }
}

std::string FromUtf8(const std::string& text, Family target, CodePageId targetCp) {
    std::string padded = text + std::string(4, '\0');
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(padded.data());
    std::string out;
    for (size_t i = 0; i < text.size();) {
        Decoded d = Decode(bytes + i);
        bool readQuestion = d.character && d.units[0] == kQuestion;
        size_t before = out.size();
        i += d.consumed;
        uint32_t u2 = d.units.size() == 2 ? d.units[1] : 0;
        if (target == kUtf16) {
            for (uint32_t u : d.units) {
                PutUnit16(&out, u);
            }
        } else if (target == kUtf32) {
            size_t used = 0;
            PutUnit32(&out, CombineOrQuestion(d.units[0], u2, &used));
        } else {
            // The size is asked first, so one character may take several bytes.
            WCHAR unit = static_cast<WCHAR>(d.units[0]);
            int n = WideCharToMultiByte(static_cast<UINT>(targetCp), 0, &unit, 1, nullptr, 0,
                                        nullptr, nullptr);
            if (n <= 0) {
                out.push_back(static_cast<char>(kQuestion));
            } else {
                std::string bytesOut(static_cast<size_t>(n), '\0');
                WideCharToMultiByte(static_cast<UINT>(targetCp), 0, &unit, 1, bytesOut.data(), n,
                                    nullptr, nullptr);
                out += bytesOut;
            }
            CountSimilar(out, before, targetCp, d.units[0]);
        }
        CountReplaced(out, before, target, readQuestion, !d.character);
    }
    return out;
}

std::string FromUtf16(const std::string& text, Family target, CodePageId targetCp) {
    std::string padded = text + std::string(4, '\0');
    size_t whole = text.size() / 2 * 2;
    std::string out;
    for (size_t i = 0; i < whole;) {
        uint32_t u = Unit16At(padded, i);
        uint32_t u2 = Unit16At(padded, i + 2);
        size_t before = out.size();
        if (target == kUtf8) {
            std::string bytes = Encode(u, u2);
            out += bytes;
            i += bytes.size() == 4 ? 4 : 2;
        } else if (target == kUtf32) {
            size_t used = 0;
            PutUnit32(&out, CombineOrQuestion(u, u2, &used));
            i += 2 * used;
        } else {
            PutUnitAsByte(&out, u, targetCp);
            CountSimilar(out, before, targetCp, u);
            i += (IsHigh(u) && IsLow(u2)) ? 4 : 2;
        }
        CountReplaced(out, before, target, u == kQuestion,
                      IsSurrogateUnit(u) && !(IsHigh(u) && IsLow(u2)));
    }
    if (whole != text.size()) {
        PutQuestion(&out, target);
        ++counted.unreadable;
    }
    return out;
}

std::string FromUtf32(const std::string& text, Family target, CodePageId targetCp) {
    size_t whole = text.size() / 4 * 4;
    std::string out;
    for (size_t i = 0; i < whole; i += 4) {
        uint32_t value = Unit32At(text, i);
        // A surrogate, or a value above the planes, is no character: read as "?".
        bool character = value < 0xD800 || (value >= 0xE000 && value <= 0x10FFFF);
        std::vector<uint32_t> units = Split(character ? value : kQuestion);
        size_t before = out.size();
        if (target == kUtf8) {
            out += Encode(units[0], units.size() == 2 ? units[1] : 0);
        } else if (target == kUtf16) {
            for (uint32_t u : units) {
                PutUnit16(&out, u);
            }
        } else {
            PutUnitAsByte(&out, units[0], targetCp);
            CountSimilar(out, before, targetCp, units[0]);
        }
        CountReplaced(out, before, target, value == kQuestion, !character);
    }
    if (whole != text.size()) {
        PutQuestion(&out, target);
        ++counted.unreadable;
    }
    return out;
}

std::string FromCodePage(const std::string& text, CodePageId sourceCp, Family target,
                         CodePageId targetCp) {
    std::string out;
    for (char byte : text) {
        WCHAR unit = 0;
        int n = MultiByteToWideChar(static_cast<UINT>(sourceCp), 0, &byte, 1, &unit, 1);
        size_t before = out.size();
        if (target == kUtf16) {
            PutUnit16(&out, n == 0 ? kQuestion : unit);
        } else if (n == 0) {
            PutQuestion(&out, target);
        } else if (target == kUtf8) {
            out += Encode(unit, 0);
        } else if (target == kUtf32) {
            size_t used = 0;
            PutUnit32(&out, CombineOrQuestion(unit, 0, &used));
        } else {
            PutUnitAsByte(&out, unit, targetCp);
            CountSimilar(out, before, targetCp, unit);
        }
        CountReplaced(out, before, target, n != 0 && unit == kQuestion,
                      n == 0 || IsSurrogateUnit(unit));
    }
    return out;
}

}  // namespace

std::string ReferenceConversion(const std::string& text, CodePageId source, CodePageId target,
                                Replacements* counts) {
    counted = Replacements{};
    std::string input = text;
    if (source == CP_UTF16BE) {
        TurnWholeUnits(&input, 2);
    } else if (source == CP_UTF32BE) {
        TurnWholeUnits(&input, 4);
    }
    Family from = FamilyOf(source);
    Family to = FamilyOf(target);
    std::string out;
    if (from == to && (from != kCodePage || source == target)) {
        out = input;
    } else if (from == kUtf8) {
        out = FromUtf8(input, to, target);
    } else if (from == kUtf16) {
        out = FromUtf16(input, to, target);
    } else if (from == kUtf32) {
        out = FromUtf32(input, to, target);
    } else {
        out = FromCodePage(input, source, to, target);
    }
    if (target == CP_UTF16BE) {
        TurnWholeUnits(&out, 2);
    } else if (target == CP_UTF32BE) {
        TurnWholeUnits(&out, 4);
    }
    *counts = counted;
    return out;
}

std::string ReferenceText(const std::vector<uint32_t>& codePoints, CodePageId form) {
    std::string utf32;
    for (uint32_t cp : codePoints) {
        PutUnit32(&utf32, cp);
    }
    Replacements counts{};
    return ReferenceConversion(utf32, CP_UTF32LE, form, &counts);
}
