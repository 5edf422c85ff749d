// Where a conversion first loses a character, in the input's lines and characters: each route
// family, each way of losing (unreadable, missing from the page, similar), every kind of line
// end, characters of several bytes or units counted once, and no loss where nothing is lost.
#include "src/transcode/first_loss.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr CodePageId kUtf8 = static_cast<CodePageId>(CP_UTF8);

struct LossCase {
    const char* name;
    CodePageId source;
    CodePageId target;
    std::string text;  // as the file holds it, after any mark
    bool found;
    uint32_t line;
    uint32_t column;
};

void PrintTo(const LossCase& c, std::ostream* out) {
    *out << c.name;
}

class FirstLoss : public ::testing::TestWithParam<LossCase> {};

TEST_P(FirstLoss, IsFoundAtItsLineAndColumn) {
    const LossCase& c = GetParam();
    std::vector<uint8_t> text(c.text.begin(), c.text.end());
    text.insert(text.end(), 4, 0);
    TextPosition at = {0, 0};
    ASSERT_EQ(
        FindFirstLoss(text.data(), static_cast<uint32_t>(c.text.size()), c.source, c.target, &at),
        c.found);
    if (c.found) {
        EXPECT_EQ(at.line, c.line);
        EXPECT_EQ(at.column, c.column);
    }
}

const std::string kUtf16Be = std::string("\0a\0\n\0b\x27\x13", 8);             // a LF b U+2713
const std::string kUtf16Lone = std::string("\x3d\xd8\x00\xdex\0\x00\xdc", 8);  // pair x lone
const std::string kUtf32Above = std::string("a\0\0\0\0\0\x11\0", 8);           // a U+110000

INSTANTIATE_TEST_SUITE_P(
    Routes, FirstLoss,
    ::testing::Values(
        LossCase{"UnreadableUtf8", kUtf8, CP_UTF16LE, "ok\nab\xff c", true, 2, 3},
        LossCase{"EveryLineEnd", kUtf8, 1252, "a\r\nb\rc\n\xe2\x9c\x93", true, 4, 1},
        LossCase{"SeveralBytesOneColumn", kUtf8, 1252, "\xc3\xa9\xc3\xa9\xe2\x9c\x93", true, 1, 3},
        LossCase{"SimilarInThePage", kUtf8, 866, "ab\n\xc3\x80", true, 2, 1},
        LossCase{"PageToPage", 1251, 1252, "x\n\xc6", true, 2, 1},
        LossCase{"PrivateUseIsNoLoss", 1253, CP_UTF8, "ab\xaa", false, 0, 0},
        LossCase{"BigEndianUnits", CP_UTF16BE, 1252, kUtf16Be, true, 2, 2},
        LossCase{"PairIsOneColumn", CP_UTF16LE, kUtf8, kUtf16Lone, true, 1, 3},
        LossCase{"Utf32AboveUnicode", CP_UTF32LE, CP_UTF16LE, kUtf32Above, true, 1, 2},
        LossCase{"StrayByteInUtf8ToUtf8", kUtf8, kUtf8, "ok\xc3", true, 1, 3},
        LossCase{"NothingLost", kUtf8, 1252, "caf\xc3\xa9?\n", false, 0, 0},
        LossCase{"CopiesLoseNothing", CP_UTF16LE, CP_UTF16BE, kUtf16Lone, false, 0, 0},
        LossCase{"SamePageLosesNothing", 1251, 1251, "\x98", false, 0, 0}),
    [](const ::testing::TestParamInfo<LossCase>& info) { return info.param.name; });

}  // namespace
