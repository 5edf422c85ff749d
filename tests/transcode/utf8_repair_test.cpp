// UTF-8 into UTF-8 for a text read as UTF-8 but for stray bytes: characters pass as they stand,
// each sequence that is no character becomes one "?" and is counted, a "?" of the input is none.
#include "src/transcode/plain/utf8_repair.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct RepairCase {
    const char* name;
    std::string text;
    std::string output;
    uint64_t unreadable;
};

void PrintTo(const RepairCase& c, std::ostream* out) {
    *out << c.name;
}

class Utf8Repair : public ::testing::TestWithParam<RepairCase> {};

TEST_P(Utf8Repair, WritesQuestionMarksForStrayBytes) {
    const RepairCase& c = GetParam();
    std::vector<uint8_t> text(c.text.begin(), c.text.end());
    text.insert(text.end(), 4, 0);
    std::vector<uint8_t> out(c.text.size() + 4);
    const uint8_t* read = text.data();
    const uint8_t* end = text.data() + c.text.size();
    uint8_t* write = out.data();
    Replacements counts{};
    while (read != end) {
        StepUtf8ToUtf8(read, write, counts);
    }
    EXPECT_EQ(std::string(out.data(), write), c.output);
    EXPECT_EQ(counts.unreadable, c.unreadable);
    EXPECT_EQ(counts.missing + counts.similar, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8Repair,
    ::testing::Values(RepairCase{"Characters", "a\xc3\xa9\xe2\x9c\x93\xf0\x9f\x98\x80?",
                                 "a\xc3\xa9\xe2\x9c\x93\xf0\x9f\x98\x80?", 0},
                      RepairCase{"StrayByte", "na\xefve", "na?ve", 1},
                      RepairCase{"OverlongIsOne", "\xc0\xbc!", "?!", 1},
                      RepairCase{"CutOffAtTheEnd", "ok\xe2\x9c", "ok??", 2}),
    [](const ::testing::TestParamInfo<RepairCase>& info) { return info.param.name; });

}  // namespace
