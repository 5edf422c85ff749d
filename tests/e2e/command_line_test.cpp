// The command line each build reads: on Linux "/" begins a name and "--" ends the options; the
// Windows programs keep "-" and "/" as options, exactly as before.
#include <gtest/gtest.h>

#include "tests/e2e/cases.h"
#include "tests/support/test_files.h"

namespace {

const std::string kWindows = "win64,win32";
// Cyrillic text in Windows-1251 bytes, and the same text in UTF-8.
const std::string kCp1251 = Bytes({0xC3, 0xF0, 0xFC, 0xDF});
const std::string kUtf8 = Bytes({0xD0, 0x93, 0xD1, 0x80, 0xD1, 0x8C, 0xD0, 0xAF});

class CommandLine : public ::testing::TestWithParam<E2eCase> {};

TEST_P(CommandLine, Runs) {
    RunE2eCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Linux, CommandLine,
    ::testing::Values(
        // Once taken for an option, the absolute name let victim.txt move up to be the input,
        // converted in place: now the named file is converted into victim.txt.
        E2eCase{"DoubleEncodingExampleConvertsTheNamedFile",
                {"-A1251", "-U8-", "{folder}/ru.txt", "victim.txt", "-r"},
                {{"ru.txt", kCp1251}, {"victim.txt", "old text"}},
                0,
                {{"ru.txt", kCp1251}, {"victim.txt", kUtf8}},
                {},
                {},
                "native"},
        E2eCase{"AbsoluteInputOutputAndDetachedLog",
                {"-o", "{folder}/run.log", "-A1251", "-U8-", "{folder}/ru.txt", "{folder}/out.txt"},
                {{"ru.txt", kCp1251}},
                0,
                {{"out.txt", kUtf8}},
                {},
                {"", std::string(52, '-'), "{time}", "*", "*", " \xE2\x80\xA2 Input  File:  /*",
                 " \xE2\x80\xA2 Output File:  /*", " \xE2\x80\xA2    CodePage:  A1251 ==>> UTF-8n",
                 " \xE2\x80\xA2        Size:  4 ==>> 8", " \xE2\x80\xA2 Return Code:  0 (0x00)  "},
                "native"},
        E2eCase{"DoubleDashBeforeADashName",
                {"-A1251", "-u8n", "--", "-odd-name.txt", "out.txt"},
                {{"-odd-name.txt", kCp1251}},
                0,
                {{"out.txt", kUtf8}},
                {"dd-name.txt"},
                {},
                "native"},
        // "/r" is a name: the root folder's "r", which does not exist.
        E2eCase{"SlashRIsAFileName", {"/r"}, {}, 21, {}, {}, {}, "native"},
        E2eCase{"SlashOptionSpellingIsAFileName",
                {"/A1251", "/U8-", "in.txt", "out.txt"},
                {{"in.txt", kCp1251}},
                21,
                {{"in.txt", kCp1251}},
                {"out.txt"},
                {},
                "native"}),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Windows, CommandLine,
    ::testing::Values(E2eCase{"SlashOptionsAsAlways",
                              {"/A1251", "/U8-", "in.txt", "out.txt"},
                              {{"in.txt", kCp1251}},
                              0,
                              {{"out.txt", kUtf8}},
                              {},
                              {},
                              kWindows},
                      E2eCase{"SlashRReplaces",
                              {"/A1251", "/U8-", "/r", "in.txt"},
                              {{"in.txt", kCp1251}},
                              0,
                              {{"in.txt", kUtf8}},
                              {},
                              {},
                              kWindows},
                      // "--" is an option like any other, not found in the name table.
                      E2eCase{"DoubleDashIsAnUnknownOption",
                              {"--", "in.txt", "out.txt"},
                              {{"in.txt", kCp1251}},
                              20,
                              {},
                              {"out.txt"},
                              {},
                              kWindows}),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

}  // namespace
