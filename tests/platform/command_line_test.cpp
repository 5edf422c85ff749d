// The Linux build's command line must split back into exactly the arguments it was made from.
#include "src/platform/posix/command_line.h"

#include <gtest/gtest.h>

#include "src/platform/posix/wide_text.h"
#include "tests/support/split_command_line.h"

namespace {

class QuotingRoundTrip : public ::testing::TestWithParam<std::vector<WideString>> {};

TEST_P(QuotingRoundTrip, SplitGivesTheArgumentsBack) {
    std::vector<WideString> arguments = {WSTR("/usr/bin/codeshift")};
    for (const WideString& a : GetParam()) {
        arguments.push_back(a);
    }
    WideString line = QuoteCommandLine(arguments);
    std::vector<WideString> split = SplitCommandLine(line.c_str());
    ASSERT_EQ(split.size(), arguments.size()) << BytesFromWide(line.c_str());
    for (size_t i = 0; i < arguments.size(); ++i) {
        EXPECT_TRUE(split[i] == arguments[i]) << i << ": " << BytesFromWide(split[i].c_str())
                                              << " from " << BytesFromWide(line.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Awkward, QuotingRoundTrip,
    ::testing::Values(std::vector<WideString>{},
                      std::vector<WideString>{WSTR("plain"), WSTR("-A1251")},
                      std::vector<WideString>{WSTR("")},
                      std::vector<WideString>{WSTR(""), WSTR(""), WSTR("x")},
                      std::vector<WideString>{WSTR("with space"), WSTR("tab\there")},
                      std::vector<WideString>{WSTR("new\nline"), WSTR("vertical\vtab")},
                      std::vector<WideString>{WSTR("say \"hi\""), WSTR("\"")},
                      std::vector<WideString>{WSTR("back\\slash"), WSTR("end\\")},
                      std::vector<WideString>{WSTR("sp end\\"), WSTR("sp end\\\\")},
                      std::vector<WideString>{WSTR("a\\\"b"), WSTR("a\\\\\"b c")},
                      std::vector<WideString>{WSTR("\\\\server\\share\\x y")},
                      std::vector<WideString>{WSTR("\xD0\x9F")}));

TEST(CommandLineQuoting, ExactText) {
    std::vector<WideString> arguments = {WSTR("prog"), WSTR("a b"),   WSTR(""),
                                         WSTR("c\\"),  WSTR("d e\\"), WSTR("q\"")};
    EXPECT_TRUE(QuoteCommandLine(arguments) == WSTR("prog \"a b\" \"\" c\\ \"d e\\\\\" \"q\\\"\""));
}

TEST(WideNames, InvalidBytesRoundTrip) {
    const std::string names[] = {"plain",       "caf\xC3\xA9",  "bad\xFF\xFE",     "\x80",
                                 "cut\xE2\x82", "\xED\xA0\x80", "\xF0\x9F\x98\x80"};
    for (const std::string& name : names) {
        WideString wide = WideFromBytes(name);
        EXPECT_EQ(BytesFromWide(wide.c_str()), name);
    }
    EXPECT_TRUE(WideFromBytes("a\xFF") == WSTR("a\xDCFF"));
}

}  // namespace
