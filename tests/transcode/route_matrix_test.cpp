// Every cell of the route matrix, both byte orders, with and without marks on either side, on
// texts long enough to be flushed several times. Texts and expected bytes come from the
// reference (tests/reference).
#include <gtest/gtest.h>

#include <vector>

#include "src/transcode/codecs/output_marks.h"
#include "tests/reference/reference_conversion.h"
#include "tests/support/test_files.h"
#include "tests/transcode/work_block.h"

namespace {

constexpr CodePageId kUtf8 = static_cast<CodePageId>(CP_UTF8);

struct Form {
    const char* name;
    CodePageId cp;
};

const Form kForms[] = {{"Utf8", kUtf8},         {"Utf16Le", CP_UTF16LE}, {"Utf16Be", CP_UTF16BE},
                       {"Utf32Le", CP_UTF32LE}, {"Utf32Be", CP_UTF32BE}, {"A1251", 1251}};

// Mostly ASCII, so that the wider targets outgrow the input, with every UTF-8 length and
// surrogate pairs that land across flush boundaries.
std::vector<uint32_t> RichText() {
    const uint32_t pattern[] = {'H',     'e',    'l',    'l',    'o',     ' ',   0xE9,
                                0x416,   ' ',    0x20AC, 0x4E2D, 0x1F600, '\n',  0x10FFFF,
                                0x10000, 'z',    0xFFFD, 0x7F,   0x80,    0x7FF, 0x800,
                                0xD7FF,  0xE000, 0xFFFF, 0};
    std::vector<uint32_t> text;
    for (int i = 0; text.size() < 40000; ++i) {
        text.insert(text.end(), pattern, pattern + sizeof(pattern) / sizeof(pattern[0]));
        text.insert(text.end(), static_cast<size_t>(i % 37), 'a');
    }
    return text;
}

std::vector<uint32_t> CyrillicText() {
    std::vector<uint32_t> text;
    for (int i = 0; text.size() < 40000; ++i) {
        for (uint32_t cp = 0x410; cp <= 0x44F; cp += 1 + static_cast<uint32_t>(i % 3)) {
            text.push_back(cp);
        }
        text.insert(text.end(), {' ', 0x401, 0x451, 'x', '1', '\n'});
    }
    return text;
}

struct Cell {
    std::string name;
    Form source;
    Form target;
    bool sourceMark;
    bool writeBom;
};

void PrintTo(const Cell& c, std::ostream* out) {
    *out << c.name;
}

std::vector<Cell> AllCells() {
    std::vector<Cell> cells;
    for (const Form& source : kForms) {
        for (const Form& target : kForms) {
            for (int sourceMark = 0; sourceMark <= (source.cp == 1251 ? 0 : 1); ++sourceMark) {
                for (int writeBom = 0; writeBom <= 1; ++writeBom) {
                    std::string name = std::string(source.name) + (sourceMark ? "Marked" : "") +
                                       "To" + target.name + (writeBom ? "WithMark" : "");
                    cells.push_back({name, source, target, sourceMark == 1, writeBom == 1});
                }
            }
        }
    }
    return cells;
}

class RouteMatrix : public ::testing::TestWithParam<Cell> {};

TEST_P(RouteMatrix, ConvertsExactly) {
    const Cell& c = GetParam();
    bool codePage = c.source.cp == 1251 || c.target.cp == 1251;
    std::vector<uint32_t> text = codePage ? CyrillicText() : RichText();
    std::string mark;
    if (c.sourceMark) {
        OutputMark m = OutputMarkOf(c.source.cp);
        mark.assign(reinterpret_cast<const char*>(m.bytes), m.length);
    }
    std::string input = ReferenceText(text, c.source.cp);
    std::string expected = ReferenceText(text, c.target.cp);
    std::string expectedMark;
    if (c.writeBom) {
        OutputMark m = OutputMarkOf(c.target.cp);
        expectedMark.assign(reinterpret_cast<const char*>(m.bytes), m.length);
    }

    Conversion run = Convert(c.source.cp, c.target.cp, c.writeBom, mark + input,
                             static_cast<uint32_t>(mark.size()));

    EXPECT_EQ(run.status, kStatusConverted);
    ASSERT_EQ(run.output.size(), expectedMark.size() + expected.size());
    EXPECT_TRUE(run.output == expectedMark + expected) << "content differs";
    EXPECT_TRUE(run.flushed == expected) << "flushed pieces differ from the text";
    EXPECT_EQ(run.outputByteCount, run.output.size());
    EXPECT_EQ(run.replacements.unreadable + run.replacements.missing + run.replacements.similar, 0u)
        << "the text is valid and the target holds all of it exactly";
    if (expected.size() > input.size() + 2 * 4096) {
        EXPECT_GE(run.pieces.size(), 2u) << "the text should have needed several flushes";
    } else if (expected.size() <= input.size()) {
        EXPECT_EQ(run.pieces.size(), 1u) << "output that never outgrows the input is one write";
    }
}

INSTANTIATE_TEST_SUITE_P(Cells, RouteMatrix, ::testing::ValuesIn(AllCells()),
                         [](const ::testing::TestParamInfo<Cell>& info) {
                             return info.param.name;
                         });

}  // namespace
