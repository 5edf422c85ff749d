#include "src/cmdline/name_suggestions.h"

#include <algorithm>
#include <string>

static WCHAR UpperAscii(WCHAR c) {
    return c >= 'a' && c <= 'z' ? static_cast<WCHAR>(c - 'a' + 'A') : c;
}

static WideString Upper(LPCWSTR text) {
    WideString upper;
    for (const WCHAR* c = text; *c != 0; ++c) {
        upper.push_back(UpperAscii(*c));
    }
    return upper;
}

// A name the way people vary its spelling: upper case, without hyphens, underscores, dots or
// spaces. A final hyphen stays, since there it means "without a byte order mark".
static WideString Normalised(LPCWSTR text) {
    WideString normal;
    for (const WCHAR* c = text; *c != 0; ++c) {
        bool separator = *c == '-' || *c == '_' || *c == '.' || *c == ' ';
        if (!separator || (*c == '-' && c[1] == 0)) {
            normal.push_back(UpperAscii(*c));
        }
    }
    return normal;
}

// An option beginning with "o" or "O" is always the log option, so "OEM" cannot be typed.
static bool Typeable(LPCWSTR name) {
    return name != nullptr && UpperAscii(name[0]) != 'O';
}

static LPCWSTR ShownName(const Encoding& e) {
    return e.names[e.shown >= 0 ? e.shown : 0];
}

// The page a spelling names by its number alone, letters in front ("CP1251", "windows-1251",
// "ibm866", "cp65001"); a real page of the table only, never a pseudo identifier.
static LPCWSTR NameByNumber(const WideString& typed) {
    size_t digits = typed.find_first_of(WSTR("0123456789"));
    if (digits == WideString::npos || typed.size() - digits > 5) {
        return nullptr;
    }
    CodePageId number = 0;
    for (size_t i = 0; i < typed.size(); ++i) {
        bool digit = typed[i] >= '0' && typed[i] <= '9';
        bool letter = typed[i] >= 'A' && typed[i] <= 'Z';
        if (i < digits ? !letter : !digit) {
            return nullptr;
        }
        if (digit) {
            number = number * 10 + (typed[i] - '0');
        }
    }
    for (const Encoding& e : kEncodings) {
        if (e.id == number && (IsUnicodeForm(e.id) || IsOwnBytePage(e.id)) &&
            Typeable(e.names[0])) {
            return ShownName(e);
        }
    }
    return nullptr;
}

// The table's name for a common spelling of it: the name written with other separators
// ("koi8-r", "utf-16"), the short Unicode names with the "LE" they leave out ("U16LE"), a final
// "-" where the name has "n" ("utf8-"), a part of ISO 8859 by its part number ("iso-8859-5" is
// ISO5), or a page by its number.
static LPCWSTR SpelledName(LPCWSTR text) {
    const WideString typed = Normalised(text);
    std::vector<WideString> forms = {typed};
    if (typed.size() > 2 && typed.ends_with(WSTR("LE"))) {
        forms.push_back(typed.substr(0, typed.size() - 2));
    }
    // A final "-" and a final "n" both say "without a byte order mark".
    if (typed.size() > 1 && typed.back() == '-') {
        forms.push_back(typed.substr(0, typed.size() - 1) + WSTR("N"));
    }
    WideString part = typed.starts_with(WSTR("ISO")) ? typed.substr(3) : typed;
    if (part.size() > 4 && part.starts_with(WSTR("8859"))) {
        forms.push_back(WSTR("ISO") + part.substr(4));
    }
    for (const WideString& form : forms) {
        for (const Encoding& e : kEncodings) {
            for (LPCWSTR name : e.names) {
                if (Typeable(name) && Normalised(name) == form) {
                    return name;
                }
            }
        }
    }
    return NameByNumber(typed);
}

// Letters changed, left out, added, or two neighbours swapped: each counts as one slip.
static size_t Slips(const WideString& a, const WideString& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) {
        for (size_t j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

static bool SameLetters(WideString a, WideString b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

struct NearName {
    LPCWSTR name;
    size_t slips;
    bool swapped;  // the same letters in another order: the likeliest slip of all
    int row;
};

std::vector<LPCWSTR> SuggestEncodingNames(LPCWSTR text) {
    LPCWSTR spelled = SpelledName(text);
    if (spelled != nullptr) {
        return {spelled};
    }
    // A slip in every third letter or so; a name of one letter has no room for any.
    const WideString typed = Upper(text);
    const size_t allowed = (typed.size() + 1) / 3;
    std::vector<NearName> candidates;
    for (int row = 0; row < kEncodingCount; ++row) {
        NearName best = {nullptr, allowed + 1, false, row};
        for (LPCWSTR name : kEncodings[row].names) {
            if (Typeable(name)) {
                size_t slips = Slips(typed, Upper(name));
                if (slips < best.slips) {
                    best = {name, slips, SameLetters(typed, Upper(name)), row};
                }
            }
        }
        if (best.name != nullptr) {
            candidates.push_back(best);
        }
    }
    std::sort(candidates.begin(), candidates.end(), [](const NearName& a, const NearName& b) {
        if (a.slips != b.slips) {
            return a.slips < b.slips;
        }
        return a.swapped != b.swapped ? a.swapped : a.row < b.row;
    });
    std::vector<LPCWSTR> names;
    for (const NearName& n : candidates) {
        if (n.slips == candidates.front().slips && names.size() < kMostSuggestions) {
            names.push_back(n.name);
        }
    }
    return names;
}
