// The four character codecs, example by example.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "src/transcode/codecs/utf8_char.h"
#include "tests/support/test_files.h"

namespace {

std::string Units(const std::vector<uint32_t>& units) {
    std::string text;
    char piece[8];
    for (uint32_t u : units) {
        std::snprintf(piece, sizeof(piece), "%04X ", u);
        text += piece;
    }
    return text;
}

// --- DecodeUtf8Char -----------------------------------------------------------------------

struct DecodeCase {
    const char* name;
    std::string bytes;  // followed by four zero bytes, as behind the input
    std::vector<uint32_t> units;
    uint32_t consumed;
};

void PrintTo(const DecodeCase& c, std::ostream* out) {
    *out << c.name;
}

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, GivesUnitsAndConsumedCount) {
    const DecodeCase& c = GetParam();
    std::string padded = c.bytes + std::string(4, '\0');
    WCHAR units[2] = {0x1111, 0x2222};
    int unreadable = 0;
    uint32_t consumed = DecodeUtf8Char(reinterpret_cast<const uint8_t*>(padded.data()), units,
                                       [&] { ++unreadable; });
    EXPECT_EQ(consumed, c.consumed);
    std::vector<uint32_t> got = {units[0]};
    if (IsHighSurrogate(units[0])) {
        got.push_back(units[1]);
    } else {
        EXPECT_EQ(units[1], 0x2222) << "the second unit is written only for a pair";
    }
    EXPECT_EQ(Units(got), Units(c.units));
    // Every "?" but that of the byte "?" stands for bytes that are no character.
    EXPECT_EQ(unreadable, c.units[0] == 0x3F && c.bytes[0] != '?' ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Decode,
    ::testing::Values(DecodeCase{"Ascii", "A", {0x41}, 1},
                      DecodeCase{"Zero", Bytes({0x00}), {0x0000}, 1},
                      DecodeCase{"TwoBytes", Bytes({0xC3, 0xA9}), {0x00E9}, 2},
                      DecodeCase{"Euro", Bytes({0xE2, 0x82, 0xAC}), {0x20AC}, 3},
                      DecodeCase{"Astral", Bytes({0xF0, 0x9F, 0x98, 0x80}), {0xD83D, 0xDE00}, 4},
                      DecodeCase{"BadContinuation", Bytes({0xC3, 0x28}), {0x3F}, 1},
                      DecodeCase{"StrayContinuation", Bytes({0x80}), {0x3F}, 1},
                      DecodeCase{"FiveByteLead", Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), {0x3F}, 1},
                      DecodeCase{"LeadFF", Bytes({0xFF}), {0x3F}, 1},
                      DecodeCase{"CutOffByTheEnd", Bytes({0xE2, 0x82}), {0x3F}, 1},
                      DecodeCase{"ThirdByteMissing", Bytes({0xE2, 0x82, 0x41}), {0x3F}, 1},
                      DecodeCase{"FourthByteMissing", Bytes({0xF0, 0x9F, 0x98, 0x41}), {0x3F}, 1},
                      DecodeCase{"Mark", Bytes({0xEF, 0xBB, 0xBF}), {0xFEFF}, 3},
                      DecodeCase{"Question", "?", {0x3F}, 1},
                      // Sequences that are no character, each consumed whole as one "?", beside the
                      // nearest characters of their length.
                      DecodeCase{"OverlongZero", Bytes({0xC0, 0x80}), {0x3F}, 2},
                      DecodeCase{"OverlongLessThan", Bytes({0xC0, 0xBC}), {0x3F}, 2},
                      DecodeCase{"OverlongQuestion", Bytes({0xC0, 0xBF}), {0x3F}, 2},
                      DecodeCase{"Overlong7F", Bytes({0xC1, 0xBF}), {0x3F}, 2},
                      DecodeCase{"Smallest2", Bytes({0xC2, 0x80}), {0x0080}, 2},
                      DecodeCase{"OverlongThree", Bytes({0xE0, 0x80, 0x80}), {0x3F}, 3},
                      DecodeCase{"OverlongThree7FF", Bytes({0xE0, 0x9F, 0xBF}), {0x3F}, 3},
                      DecodeCase{"Smallest3", Bytes({0xE0, 0xA0, 0x80}), {0x0800}, 3},
                      DecodeCase{"BelowSurrogates", Bytes({0xED, 0x9F, 0xBF}), {0xD7FF}, 3},
                      DecodeCase{"EncodedSurrogate", Bytes({0xED, 0xA0, 0x80}), {0x3F}, 3},
                      DecodeCase{"EncodedLowSurrogate", Bytes({0xED, 0xBF, 0xBF}), {0x3F}, 3},
                      DecodeCase{"AboveSurrogates", Bytes({0xEE, 0x80, 0x80}), {0xE000}, 3},
                      DecodeCase{"FourByteZero", Bytes({0xF0, 0x80, 0x80, 0x80}), {0x3F}, 4},
                      DecodeCase{"OverlongFourFFFF", Bytes({0xF0, 0x8F, 0xBF, 0xBF}), {0x3F}, 4},
                      DecodeCase{"Smallest4", Bytes({0xF0, 0x90, 0x80, 0x80}), {0xD800, 0xDC00}, 4},
                      DecodeCase{"Largest", Bytes({0xF4, 0x8F, 0xBF, 0xBF}), {0xDBFF, 0xDFFF}, 4},
                      DecodeCase{"AboveThePlanes", Bytes({0xF4, 0x90, 0x80, 0x80}), {0x3F}, 4},
                      DecodeCase{"LeadF5", Bytes({0xF5, 0x80, 0x80, 0x80}), {0x3F}, 4},
                      DecodeCase{"LargestFourByteForm", Bytes({0xF7, 0xBF, 0xBF, 0xBF}), {0x3F}, 4},
                      DecodeCase{"OverlongCutShort", Bytes({0xE0, 0x80, 0x41}), {0x3F}, 1}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

TEST(Decode, FiveByteFormGivesFiveQuestionMarks) {
    std::string padded = Bytes({0xF8, 0x88, 0x80, 0x80, 0x80, 0, 0, 0, 0});
    const uint8_t* at = reinterpret_cast<const uint8_t*>(padded.data());
    for (int i = 0; i < 5; ++i) {
        WCHAR units[2];
        ASSERT_EQ(DecodeUtf8Char(at, units), 1u) << i;
        EXPECT_EQ(units[0], 0x3F) << i;
        at += 1;
    }
}

// --- EncodeUtf8Char -----------------------------------------------------------------------

struct EncodeCase {
    const char* name;
    WCHAR first;
    WCHAR second;
    std::string bytes;
};

void PrintTo(const EncodeCase& c, std::ostream* out) {
    *out << c.name;
}

class Encode : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Encode, GivesBytes) {
    const EncodeCase& c = GetParam();
    WCHAR units[2] = {c.first, c.second};
    uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    uint32_t count = EncodeUtf8Char(units, out);
    ASSERT_LE(count, 4u);
    EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(out), count)), Hex(c.bytes));
    if (count < 4) {
        EXPECT_EQ(out[count], 0xAA) << "wrote more bytes than it returned";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Encode,
    ::testing::Values(EncodeCase{"Ascii", 0x0041, 0, "A"},
                      EncodeCase{"Zero", 0x0000, 0, Bytes({0x00})},
                      EncodeCase{"Largest1", 0x007F, 0, Bytes({0x7F})},
                      EncodeCase{"Smallest2", 0x0080, 0, Bytes({0xC2, 0x80})},
                      EncodeCase{"EAcute", 0x00E9, 0, Bytes({0xC3, 0xA9})},
                      EncodeCase{"Largest2", 0x07FF, 0, Bytes({0xDF, 0xBF})},
                      EncodeCase{"Smallest3", 0x0800, 0, Bytes({0xE0, 0xA0, 0x80})},
                      EncodeCase{"Euro", 0x20AC, 0, Bytes({0xE2, 0x82, 0xAC})},
                      EncodeCase{"BelowSurrogates", 0xD7FF, 0xDC00, Bytes({0xED, 0x9F, 0xBF})},
                      EncodeCase{"AboveSurrogates", 0xE000, 0, Bytes({0xEE, 0x80, 0x80})},
                      EncodeCase{"FFFF", 0xFFFF, 0, Bytes({0xEF, 0xBF, 0xBF})},
                      EncodeCase{"Pair", 0xD83D, 0xDE00, Bytes({0xF0, 0x9F, 0x98, 0x80})},
                      EncodeCase{"LargestPair", 0xDBFF, 0xDFFF, Bytes({0xF4, 0x8F, 0xBF, 0xBF})},
                      EncodeCase{"HighThenLetter", 0xD800, 0x0041, "?"},
                      EncodeCase{"HighThenHigh", 0xD800, 0xD800, "?"},
                      EncodeCase{"HighThenZero", 0xDBFF, 0x0000, "?"},
                      EncodeCase{"LoneLow", 0xDC00, 0xDC00, "?"}),
    [](const ::testing::TestParamInfo<EncodeCase>& info) { return info.param.name; });

// --- CombineSurrogates and SplitCodePoint -------------------------------------------------

struct CombineCase {
    const char* name;
    WCHAR first;
    WCHAR second;
    uint32_t codePoint;
    uint32_t consumed;
};

void PrintTo(const CombineCase& c, std::ostream* out) {
    *out << c.name;
}

class Combine : public ::testing::TestWithParam<CombineCase> {};

TEST_P(Combine, GivesCodePoint) {
    const CombineCase& c = GetParam();
    WCHAR units[2] = {c.first, c.second};
    uint32_t codePoint = 0;
    EXPECT_EQ(CombineSurrogates(units, &codePoint), c.consumed);
    EXPECT_EQ(codePoint, c.codePoint);
}

INSTANTIATE_TEST_SUITE_P(Examples, Combine,
                         ::testing::Values(CombineCase{"Largest", 0xDBFF, 0xDFFF, 0x10FFFF, 2},
                                           CombineCase{"Smallest", 0xD800, 0xDC00, 0x10000, 2},
                                           CombineCase{"HighThenLetter", 0xD800, 0x0041, 0x3F, 1},
                                           CombineCase{"LetterThenLow", 0x0041, 0xDC00, 0x41, 1},
                                           CombineCase{"LoneLow", 0xDC00, 0xDC00, 0x3F, 1},
                                           CombineCase{"JustBelow", 0xD7FF, 0xDC00, 0xD7FF, 1},
                                           CombineCase{"FFFF", 0xFFFF, 0, 0xFFFF, 1}),
                         [](const ::testing::TestParamInfo<CombineCase>& info) {
                             return info.param.name;
                         });

struct SplitCase {
    const char* name;
    uint32_t codePoint;
    std::vector<uint32_t> units;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << c.name;
}

class Split : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Split, GivesUnits) {
    const SplitCase& c = GetParam();
    WCHAR units[2] = {0x1111, 0x2222};
    uint32_t count = SplitCodePoint(c.codePoint, units);
    ASSERT_TRUE(count == 1 || count == 2);
    std::vector<uint32_t> got(units, units + count);
    EXPECT_EQ(Units(got), Units(c.units));
}

INSTANTIATE_TEST_SUITE_P(Examples, Split,
                         ::testing::Values(SplitCase{"Smallest", 0x10000, {0xD800, 0xDC00}},
                                           SplitCase{"Largest", 0x10FFFF, {0xDBFF, 0xDFFF}},
                                           SplitCase{"SurrogateValue", 0xD800, {0xD800}},
                                           SplitCase{"FFFF", 0xFFFF, {0xFFFF}},
                                           SplitCase{"Zero", 0, {0x0000}},
                                           SplitCase{"AboveThePlanes", 0x110000, {0xDC00, 0xDC00}},
                                           SplitCase{"WrapsPastFFFF", 0xA10000, {0x0000, 0xDC00}},
                                           SplitCase{"Largest32Bit", 0xFFFFFFFF, {0xD7BF, 0xDFFF}}),
                         [](const ::testing::TestParamInfo<SplitCase>& info) {
                             return info.param.name;
                         });

}  // namespace
