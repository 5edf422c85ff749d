// The names offered for an unknown option: what a user typed for a page, and what they meant.
#include "src/cmdline/name_suggestions.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct SuggestionCase {
    const char* name;
    const WCHAR* typed;
    std::vector<WideString> offered;
};

void PrintTo(const SuggestionCase& c, std::ostream* out) {
    *out << c.name;
}

class Suggestions : public ::testing::TestWithParam<SuggestionCase> {};

TEST_P(Suggestions, OfferTheMeantNames) {
    std::vector<WideString> offered;
    for (LPCWSTR name : SuggestEncodingNames(GetParam().typed)) {
        offered.emplace_back(name);
    }
    EXPECT_EQ(offered, GetParam().offered);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, Suggestions,
    ::testing::Values(
        // Slips: the swapped digits come before the changed one.
        SuggestionCase{"SwappedDigits", WSTR("A1215"), {WSTR("A1251"), WSTR("A1255")}},
        SuggestionCase{"ChangedDigit", WSTR("u9"), {WSTR("U8")}},
        SuggestionCase{"AtMostThree", WSTR("A125"), {WSTR("A1250"), WSTR("A1251"), WSTR("A1252")}},
        // Spellings of a page by its number, whatever letters come first.
        SuggestionCase{"CodePageNumber", WSTR("CP1251"), {WSTR("A1251")}},
        SuggestionCase{"WindowsPage", WSTR("windows-1251"), {WSTR("A1251")}},
        SuggestionCase{"DosPage", WSTR("ibm866"), {WSTR("CP866")}},
        SuggestionCase{"UnicodeByNumber", WSTR("cp65001"), {WSTR("UTF8")}},
        // Spellings of a name with other separators, or more of it.
        SuggestionCase{"IsoPart", WSTR("iso-8859-5"), {WSTR("ISO5")}},
        SuggestionCase{"Koi", WSTR("koi8-r"), {WSTR("KOI8R")}},
        SuggestionCase{"UnicodeWithHyphen", WSTR("utf-16"), {WSTR("UTF16")}},
        SuggestionCase{"LittleEndianSaidOfAShortName", WSTR("U32LE"), {WSTR("U32")}},
        SuggestionCase{"NoMarkAsHyphen", WSTR("utf8-"), {WSTR("UTF-8n")}},
        SuggestionCase{"MacPageWithUnderscore", WSTR("mac_cyrillic"), {WSTR("MACCYRILLIC")}},
        SuggestionCase{"DosPageWithHyphen", WSTR("IBM-850"), {WSTR("IBM850")}},
        SuggestionCase{"ThaiPageRunTogether", WSTR("windows874"), {WSTR("WINDOWS-874")}},
        SuggestionCase{"AsciiByNumber", WSTR("windows-20127"), {WSTR("ASCII")}},
        // Nothing close: no guess.
        SuggestionCase{"OneLetter", WSTR("0"), {}},
        SuggestionCase{"FarFromEveryName", WSTR("xyz"), {}},
        // A number that is no page but a pseudo identifier of the table.
        SuggestionCase{"PseudoIdentifier", WSTR("cp308"), {}},
        // "-O..." is the log option: the OEM page is never offered.
        SuggestionCase{"NeverTheUntypeableName", WSTR("EOM"), {}}),
    [](const ::testing::TestParamInfo<SuggestionCase>& info) { return info.param.name; });

}  // namespace
