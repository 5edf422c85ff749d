// The command line each build reads: on Linux "/" begins a name, "--" ends the options, and
// whatever could be read two ways is refused; the Windows programs take "-" and "/" alike as
// options and ignore what they do not need.
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
                {"/A1251", "/U8-"},
                {{"in.txt", kCp1251}},
                21,
                {{"in.txt", kCp1251}},
                {},
                {},
                "native"}),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

// A command line that could mean two things ends with 20 before any file is touched.
const std::vector<FileBytes> kThree = {{"f1.txt", kCp1251}, {"f2.txt", "two"}, {"f3.txt", "3"}};

E2eCase Misread(const std::string& name, const std::vector<std::string>& arguments) {
    return E2eCase{name, arguments, kThree, 20, kThree, {}, {}, "native"};
}

INSTANTIATE_TEST_SUITE_P(
    Misread, CommandLine,
    ::testing::Values(
        // Three names without -r: f2.txt would have received f1.txt's text.
        Misread("ThreeNamesWithoutReplace", {"-A1251", "-U8-", "f1.txt", "f2.txt", "f3.txt"}),
        // -r beside a second name, and nothing to convert: an input and an output, or two files?
        Misread("ReplaceBesideAnOutput", {"{folder}/f1.txt", "f2.txt", "-r"}),
        // A zero typed for -o: f2.txt would have become the output.
        Misread("ZeroForTheLetterO", {"-A1251", "-U8-", "-r", "f1.txt", "-0", "f2.txt"}),
        Misread("UnknownOptionAfterBothEncodings", {"-A1251", "-U8-", "-x", "f1.txt", "f2.txt"}),
        Misread("ThirdEncoding", {"-A1251", "-U8-", "-U16", "f1.txt", "f2.txt"}),
        Misread("LogOptionLeftWithoutName", {"-A1251", "-U8-", "f1.txt", "f2.txt", "-o"}),
        Misread("OptionWhereTheLogNameBelongs", {"-o", "-A1251", "-U8-", "f1.txt", "f2.txt"}),
        Misread("ReplaceSpelledOut", {"-A1251", "-U8-", "-Replace", "f1.txt"})),
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
                      // What the Linux program refuses, the Windows programs ignore: the
                      // third name, and -r beside an output name.
                      E2eCase{"ThirdNameAndReplaceIgnored",
                              {"/A1251", "/U8-", "-r", "in.txt", "out.txt", "more.txt"},
                              {{"in.txt", kCp1251}},
                              0,
                              {{"in.txt", kCp1251}, {"out.txt", kUtf8}},
                              {"more.txt"},
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
