// Bytes a page reads as private-use characters, counted over a text: each page's own bytes,
// whether few (counted by value) or many (through a table), and none on a page that has none.
#include "src/transcode/private_use_count.h"

#include <gtest/gtest.h>

#include <string>

#include "src/transcode/codecs/code_page_tables.h"

namespace {

struct PrivateUseCase {
    const char* name;
    UINT page;
    std::string text;
    uint64_t count;
};

void PrintTo(const PrivateUseCase& c, std::ostream* out) {
    *out << c.name;
}

class PrivateUseCount : public ::testing::TestWithParam<PrivateUseCase> {};

TEST_P(PrivateUseCount, CountsThePagesOwnBytes) {
    const PrivateUseCase& c = GetParam();
    LoadSourcePage(c.page, false);
    const uint8_t* text = reinterpret_cast<const uint8_t*>(c.text.data());
    EXPECT_EQ(CountPrivateUseBytes(text, c.text.size()), c.count);
}

INSTANTIATE_TEST_SUITE_P(Pages, PrivateUseCount,
                         ::testing::Values(
                             // A4 and A5 are undefined in ISO-8859-7; A3 is the pound sign.
                             PrivateUseCase{"Iso8859_7", 28597, "\xA4 \xA3 \xA5\xA4 \xFF", 4},
                             // Three undefined bytes of Windows-1253; 80 is the euro sign.
                             PrivateUseCase{"Windows1253", 1253, "\xAA\x80\xD2\xFF\xFF", 4},
                             // Many undefined bytes: the table's path. C1 to DA are Arabic letters.
                             PrivateUseCase{"Iso8859_6", 28596, "\xA1\xC1\xDA\xFF\xF3 \xBF", 3},
                             // A character of the page's own with no standard one: F0 of Mac Roman.
                             PrivateUseCase{"MacRoman", 10000, "\xF0\xEF\xF0", 2},
                             PrivateUseCase{"NoneOnThePage", 1252, "\xA4\xF0\xFF\x81", 0},
                             PrivateUseCase{"EmptyText", 28597, "", 0}),
                         [](const ::testing::TestParamInfo<PrivateUseCase>& info) {
                             return info.param.name;
                         });

}  // namespace
