// The routes in-process, each case one input text and the exact bytes it gives: pages the
// command line cannot name, units handed to a page one by one, and stubs of units, with a check
// that the zero bytes behind the input survive. The end-to-end table holds the other examples.
#include <gtest/gtest.h>

#include "src/transcode/transcode_buffer.h"
#include "tests/support/test_files.h"
#include "tests/transcode/work_block.h"

namespace {

constexpr CodePageId kUtf8 = static_cast<CodePageId>(CP_UTF8);
// A code page number the platform offers no conversion for.
constexpr CodePageId kNoSuchPage = 4242;

struct RouteCase {
    const char* name;
    CodePageId source;
    CodePageId target;
    std::string input;
    std::string output;
    // The "?" written for input that is no character and for characters the target page lacks,
    // and the characters the page wrote as similar ones.
    Replacements counts;
};

Replacements Counts(uint64_t unreadable, uint64_t missing, uint64_t similar) {
    return Replacements{unreadable, missing, similar};
}

void PrintTo(const RouteCase& c, std::ostream* out) {
    *out << c.name;
}

class Route : public ::testing::TestWithParam<RouteCase> {};

TEST_P(Route, GivesExactBytes) {
    const RouteCase& c = GetParam();
    Conversion run = Convert(c.source, c.target, false, c.input);
    // A run stops before it writes anything when a page it converts with is missing: 21 for the
    // source's, 22 for the target's. The route alone still answers "?" for such a page.
    bool converts = c.source != c.target;
    RunStatus status = converts && c.source == kNoSuchPage   ? kStatusInputFailed
                       : converts && c.target == kNoSuchPage ? kStatusOutputFailed
                                                             : kStatusConverted;
    EXPECT_EQ(run.status, status);
    if (status == kStatusConverted) {
        EXPECT_EQ(Hex(run.output), Hex(c.output));
        EXPECT_EQ(run.outputByteCount, c.output.size());
    } else {
        EXPECT_EQ(run.output, "") << "nothing may be written";
        EXPECT_EQ(run.outputByteCount, 0u);
    }
    // The same text once more through the route alone, which also checks that the zero bytes
    // behind the input survive.
    EXPECT_EQ(Hex(TranscodeOnly(c.source, c.target, c.input)), Hex(c.output));
    const Replacements& counted = runState.replacements;
    EXPECT_EQ(counted.unreadable, c.counts.unreadable);
    EXPECT_EQ(counted.missing, c.counts.missing);
    EXPECT_EQ(counted.similar, c.counts.similar);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Route,
    ::testing::Values(
        RouteCase{"Utf8AboveThePlanesToUtf32", kUtf8, CP_UTF32LE, Bytes({0xF4, 0x90, 0x80, 0x80}),
                  Bytes({0x3F, 0, 0, 0}), Counts(1, 0, 0)},
        RouteCase{"Utf8CutOffAtTheEndToUtf16", kUtf8, CP_UTF16LE, Bytes({0x41, 0xE2, 0x82}),
                  Bytes({0x41, 0x00, 0x3F, 0x00, 0x3F, 0x00}), Counts(2, 0, 0)},
        RouteCase{"Utf8AstralToCodePageGivesHighUnitAlone", kUtf8, 1251,
                  Bytes({0x41, 0xF0, 0x9F, 0x98, 0x80, 0x42}), "A?B", Counts(0, 1, 0)},
        RouteCase{"Utf8CyrillicToCodePage", kUtf8, 1251, Bytes({0xD0, 0x96, 0xD1, 0x8F}),
                  Bytes({0xC6, 0xFF}), Counts(0, 0, 0)},
        RouteCase{"Utf8ToUnknownPage", kUtf8, kNoSuchPage, "ab", "??", Counts(0, 2, 0)},
        RouteCase{"Utf16LoneLowToUtf8", CP_UTF16LE, kUtf8, Bytes({0x41, 0x00, 0x00, 0xDC}),
                  Bytes({0x41, 0x3F}), Counts(1, 0, 0)},
        RouteCase{"Utf16LoneLowToUtf32", CP_UTF16LE, CP_UTF32LE, Bytes({0x41, 0x00, 0x00, 0xDC}),
                  Bytes({0x41, 0, 0, 0, 0x3F, 0, 0, 0}), Counts(1, 0, 0)},
        RouteCase{"Utf16UnitsToCodePageOneByOne", CP_UTF16LE, 1251,
                  Bytes({0x41, 0x00, 0x00, 0xDC, 0x16, 0x04}), Bytes({0x41, 0x3F, 0xC6}),
                  Counts(1, 0, 0)},
        RouteCase{"Utf16PairToCodePageStepsOverLow", CP_UTF16LE, 1251,
                  Bytes({0x3D, 0xD8, 0x00, 0xDE, 0x41, 0x00}), "?A", Counts(0, 1, 0)},
        RouteCase{"Utf16EndingInHighToUtf32", CP_UTF16LE, CP_UTF32LE,
                  Bytes({0x41, 0x00, 0x00, 0xD8}), Bytes({0x41, 0, 0, 0, 0x3F, 0, 0, 0}),
                  Counts(1, 0, 0)},
        RouteCase{"Utf16PairToUtf8", CP_UTF16LE, kUtf8, Bytes({0x3D, 0xD8, 0x00, 0xDE}),
                  Bytes({0xF0, 0x9F, 0x98, 0x80}), Counts(0, 0, 0)},
        RouteCase{"Utf16BePairToUtf32", CP_UTF16BE, CP_UTF32LE, Bytes({0xD8, 0x3D, 0xDE, 0x00}),
                  Bytes({0x00, 0xF6, 0x01, 0x00}), Counts(0, 0, 0)},
        RouteCase{"Utf32SurrogateToUtf16", CP_UTF32LE, CP_UTF16LE, Bytes({0x00, 0xD8, 0, 0}),
                  Bytes({0x3F, 0x00}), Counts(1, 0, 0)},
        RouteCase{"Utf32AstralToUtf8", CP_UTF32LE, kUtf8, Bytes({0x00, 0xF6, 0x01, 0x00}),
                  Bytes({0xF0, 0x9F, 0x98, 0x80}), Counts(0, 0, 0)},
        RouteCase{"Utf32BeToUtf16", CP_UTF32BE, CP_UTF16LE, Bytes({0x00, 0x01, 0xF6, 0x00}),
                  Bytes({0x3D, 0xD8, 0x00, 0xDE}), Counts(0, 0, 0)},
        RouteCase{"Utf32AstralToCodePage", CP_UTF32LE, 1251,
                  Bytes({0x00, 0xF6, 0x01, 0x00, 0x16, 0x04, 0, 0}), Bytes({0x3F, 0xC6}),
                  Counts(0, 1, 0)},
        RouteCase{"Utf32BeToBeUnchanged", CP_UTF32BE, CP_UTF32BE, Bytes({0x01, 0x02, 0x03, 0x04}),
                  Bytes({0x01, 0x02, 0x03, 0x04}), Counts(0, 0, 0)},
        RouteCase{"CodePageToUtf8", 1251, kUtf8, Bytes({0x41, 0xC6, 0xB8}),
                  Bytes({0x41, 0xD0, 0x96, 0xD1, 0x91}), Counts(0, 0, 0)},
        RouteCase{"CodePageToUtf16", 1251, CP_UTF16LE, Bytes({0x41, 0xC6}),
                  Bytes({0x41, 0x00, 0x16, 0x04}), Counts(0, 0, 0)},
        RouteCase{"CodePageToUtf16Be", 1251, CP_UTF16BE, Bytes({0x41, 0xC6}),
                  Bytes({0x00, 0x41, 0x04, 0x16}), Counts(0, 0, 0)},
        RouteCase{"CodePageToUtf32", 1251, CP_UTF32LE, Bytes({0x41, 0xC6}),
                  Bytes({0x41, 0, 0, 0, 0x16, 0x04, 0, 0}), Counts(0, 0, 0)},
        RouteCase{"UnknownPageToUtf8", kNoSuchPage, kUtf8, Bytes({0x41, 0xC6}), "??",
                  Counts(2, 0, 0)},
        RouteCase{"UnknownPageToUtf16", kNoSuchPage, CP_UTF16LE, Bytes({0x41, 0xC6}),
                  Bytes({0x3F, 0x00, 0x3F, 0x00}), Counts(2, 0, 0)},
        RouteCase{"UnknownPageToUtf32", kNoSuchPage, CP_UTF32LE, Bytes({0x41}),
                  Bytes({0x3F, 0, 0, 0}), Counts(1, 0, 0)},
        RouteCase{"UnknownPageToItself", kNoSuchPage, kNoSuchPage, Bytes({0x41, 0xC6}),
                  Bytes({0x41, 0xC6}), Counts(0, 0, 0)},
        RouteCase{"CodePageToUnknownPage", 1251, kNoSuchPage, Bytes({0x41}), "?", Counts(0, 1, 0)},
        // A stub of a unit at the end (a source named with an odd size): one "?".
        RouteCase{"PartialUtf16ToUtf8", CP_UTF16LE, kUtf8, Bytes({0x41, 0x00, 0x42}), "A?",
                  Counts(1, 0, 0)},
        RouteCase{"PartialUtf16ToUtf32", CP_UTF16LE, CP_UTF32LE, Bytes({0x41, 0x00, 0x42}),
                  Bytes({0x41, 0, 0, 0, 0x3F, 0, 0, 0}), Counts(1, 0, 0)},
        RouteCase{"PartialUtf16ToCodePage", CP_UTF16LE, 1251, Bytes({0x41, 0x00, 0x42}), "A?",
                  Counts(1, 0, 0)},
        RouteCase{"PartialUtf16AfterHighSurrogate", CP_UTF16LE, kUtf8, Bytes({0x00, 0xD8, 0xDC}),
                  "??", Counts(2, 0, 0)},
        RouteCase{"PartialUtf16OnlyStub", CP_UTF16LE, kUtf8, Bytes({0x41}), "?", Counts(1, 0, 0)},
        RouteCase{"PartialUtf16BeToUtf8", CP_UTF16BE, kUtf8, Bytes({0x00, 0x41, 0x42}), "A?",
                  Counts(1, 0, 0)},
        RouteCase{"PartialUtf16CopiedAsItStands", CP_UTF16LE, CP_UTF16LE, Bytes({0x41, 0x00, 0x42}),
                  Bytes({0x41, 0x00, 0x42}), Counts(0, 0, 0)},
        RouteCase{"PartialUtf16BeCopiedByteForByte", CP_UTF16BE, CP_UTF16BE,
                  Bytes({0x00, 0x41, 0x42}), Bytes({0x00, 0x41, 0x42}), Counts(0, 0, 0)},
        RouteCase{"PartialUtf16LeToBe", CP_UTF16LE, CP_UTF16BE, Bytes({0x41, 0x00, 0x42}),
                  Bytes({0x00, 0x41, 0x42}), Counts(0, 0, 0)},
        RouteCase{"PartialUtf32ToUtf8", CP_UTF32LE, kUtf8, Bytes({0x41, 0, 0, 0, 0x42, 0}), "A?",
                  Counts(1, 0, 0)},
        RouteCase{"PartialUtf32ToUtf16", CP_UTF32LE, CP_UTF16LE, Bytes({0x41, 0, 0, 0, 0x42}),
                  Bytes({0x41, 0x00, 0x3F, 0x00}), Counts(1, 0, 0)},
        RouteCase{"PartialUtf32ToCodePage", CP_UTF32LE, 1251, Bytes({0x41, 0, 0, 0, 0x42, 0, 0}),
                  "A?", Counts(1, 0, 0)},
        RouteCase{"PartialUtf32OnlyStub", CP_UTF32LE, CP_UTF16LE, Bytes({0x41, 0x00, 0x00}),
                  Bytes({0x3F, 0x00}), Counts(1, 0, 0)},
        RouteCase{"PartialUtf32BeToUtf8", CP_UTF32BE, kUtf8, Bytes({0, 0, 0, 0x41, 0, 0x42}), "A?",
                  Counts(1, 0, 0)},
        RouteCase{"PartialUtf32BeCopiedByteForByte", CP_UTF32BE, CP_UTF32BE,
                  Bytes({0, 0, 0, 0x41, 0, 0x42, 0x43}), Bytes({0, 0, 0, 0x41, 0, 0x42, 0x43}),
                  Counts(0, 0, 0)},
        RouteCase{"PartialUtf32LeToBe", CP_UTF32LE, CP_UTF32BE, Bytes({0x41, 0, 0, 0, 0x42, 0x43}),
                  Bytes({0, 0, 0, 0x41, 0x42, 0x43}), Counts(0, 0, 0)},
        // A "?" of the input is no replacement; a longer form of it is no character.
        RouteCase{"QuestionMarksStayUncounted", kUtf8, 1251, "a?b", "a?b", Counts(0, 0, 0)},
        RouteCase{"Utf8LongerFormOfQuestion", kUtf8, CP_UTF32LE, Bytes({0xC0, 0xBF, 0xFF}),
                  Bytes({0x3F, 0, 0, 0, 0x3F, 0, 0, 0}), Counts(2, 0, 0)},
        RouteCase{"Utf16QuestionAndLoneHighToCodePage", CP_UTF16LE, 866,
                  Bytes({0x3F, 0x00, 0x00, 0xD8}), "??", Counts(1, 0, 0)},
        RouteCase{"CodePageQuestionToUtf16", 866, CP_UTF16LE, "?", Bytes({0x3F, 0x00}),
                  Counts(0, 0, 0)},
        // Above the planes, a value whose pair arithmetic would wrap round to "?": one "?".
        RouteCase{"Utf32WrappingToQuestionToUtf16", CP_UTF32LE, CP_UTF16LE,
                  Bytes({0x00, 0xFC, 0xA1, 0x00, 0x3F, 0, 0, 0}), Bytes({0x3F, 0x00, 0x3F, 0x00}),
                  Counts(1, 0, 0)},
        RouteCase{"Utf32WrappingToQuestionToUtf8", CP_UTF32LE, kUtf8,
                  Bytes({0x00, 0xFC, 0xA1, 0x00}), "?", Counts(1, 0, 0)},
        RouteCase{"CodePageCharacterTheTargetLacks", 1251, 866, Bytes({0x88, 0x3F, 0xC6}),
                  Bytes({0x3F, 0x3F, 0x86}), Counts(0, 1, 0)},
        // Whose fault a "?" is: the input's where it held no character, else the target page's;
        // and letters the page writes as their nearest ("À" as "A"), which a "?" never is.
        RouteCase{"Utf8ThreeByteSurrogateToCodePage", kUtf8, 866, Bytes({0xED, 0xA0, 0x80, 0x41}),
                  "?A", Counts(1, 0, 0)},
        RouteCase{"Utf8EachSideToCodePage", kUtf8, 866,
                  Bytes({0xC3, 0x80, 0xE2, 0x9C, 0x93, 0xFF, 0xD0, 0x96}),
                  Bytes({0x41, 0x3F, 0x3F, 0x86}), Counts(1, 1, 1)},
        RouteCase{"Utf16LetterAndCheckMarkToCodePage", CP_UTF16LE, 866,
                  Bytes({0xC0, 0x00, 0x13, 0x27}), "A?", Counts(0, 1, 1)},
        RouteCase{"Utf32AboveThePlanesAndLetterToCodePage", CP_UTF32LE, 866,
                  Bytes({0x00, 0x00, 0x11, 0x00, 0xC0, 0, 0, 0}), "?A", Counts(1, 0, 1)},
        RouteCase{"CodePageLetterAndEuroToCodePage", 1252, 866, Bytes({0xC0, 0x80, 0x41}), "A?A",
                  Counts(0, 1, 1)}),
    [](const ::testing::TestParamInfo<RouteCase>& info) { return info.param.name; });

// Whatever the pair, an empty text (an input that was only a mark) writes nothing.
TEST(Route, EmptyTextWritesNothing) {
    const CodePageId all[] = {kUtf8, CP_UTF16LE, CP_UTF16BE, CP_UTF32LE, CP_UTF32BE, 1251, 866};
    for (CodePageId source : all) {
        for (CodePageId target : all) {
            EXPECT_EQ(TranscodeOnly(source, target, ""), "") << source << " to " << target;
        }
    }
}

TEST(Route, FamiliesChooseTheRoute) {
    EXPECT_EQ(FamilyOf(kUtf8), kFamilyUtf8);
    EXPECT_EQ(FamilyOf(CP_UTF16BE), kFamilyUtf16);
    EXPECT_EQ(FamilyOf(CP_UTF32BE), kFamilyUtf32);
    EXPECT_EQ(FamilyOf(static_cast<CodePageId>(CP_ACP)), kFamilyCodePage);
    EXPECT_EQ(FamilyOf(20866), kFamilyCodePage);
}

}  // namespace
