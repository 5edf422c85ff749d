// A replacement in place that would write "?" or a similar character for anything: the Linux
// program leaves the file as it is and ends with 22, unless --lossy accepts the loss; each file
// of several decides for itself; a conversion into another file stays lenient; the Windows
// programs replace the file all the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

const std::string kBroken = "ok\nab\xff\xfe c\n";  // two bytes no UTF-8 character begins with
const std::string kBrokenIn1251 = "ok\nab?? c\n";
const std::string kCyrillic = "\xd0\x96\n";  // U+0416, in 1251 but not in 1252
const std::string kClean = "caf\xc3\xa9\n";
const std::string kStray = "caf\xc3\xa9 na\xefve \xc3\xa9t\xc3\xa9 \xc3\xa0 la plage\n";
const std::string kStrayAsked = "caf\xc3\xa9 na?ve \xc3\xa9t\xc3\xa9 \xc3\xa0 la plage\n";

struct LossyCase {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<FileBytes> given;
    int exitCode;
    std::vector<FileBytes> after;  // the files afterwards, on Linux
    std::string linuxMessages;
    bool windowsReplaces;  // a Windows program converts where Linux refuses
};

void PrintTo(const LossyCase& c, std::ostream* out) {
    *out << c.name;
}

class LossyReplace : public ::testing::TestWithParam<LossyCase> {};

TEST_P(LossyReplace, KeepsTheTextUnlessTold) {
    const LossyCase& c = GetParam();
    bool linux = Flavor() == "native";
    if (!linux && !c.windowsReplaces) {
        GTEST_SKIP() << "--lossy is an option of the Linux program";
    }
    std::string folder = MakeTempDir();
    for (const FileBytes& f : c.given) {
        WriteBytes(folder + "/" + f.name, f.bytes);
    }
    RunOutput run = RunProgramCapturing(c.arguments, folder, !linux);
    if (linux) {
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.err, c.linuxMessages);
        for (const FileBytes& f : c.after) {
            EXPECT_EQ(Hex(ReadBytes(folder + "/" + f.name)), Hex(f.bytes)) << f.name;
        }
    } else {
        EXPECT_EQ(run.exitCode, 0) << "the Windows programs replace the file all the same";
        EXPECT_EQ(Hex(ReadBytes(folder + "/v.txt")), Hex(kBrokenIn1251));
    }
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files += entry.is_regular_file();
    }
    EXPECT_EQ(files, std::max(c.given.size(), c.after.size())) << "no temporary left";
    RemoveTree(folder);
}

const std::string kRefused =
    "codeshift: cannot replace input \"v.txt\": 2 characters would be written as \"?\" or as a "
    "similar one, the first at line 2, column 3; it was left as it is (--lossy accepts the loss)\n";

INSTANTIATE_TEST_SUITE_P(
    Runs, LossyReplace,
    ::testing::Values(
        LossyCase{"Refused",
                  {"-u8", "-a1251", "-r", "v.txt"},
                  {{"v.txt", kBroken}},
                  22,
                  {{"v.txt", kBroken}},
                  kRefused,
                  true},
        LossyCase{"SameNameTwiceRefused",
                  {"-u8", "-a1251", "v.txt", "v.txt"},
                  {{"v.txt", kBroken}},
                  22,
                  {{"v.txt", kBroken}},
                  kRefused,
                  true},
        LossyCase{"LossyAccepts",
                  {"-u8", "-a1251", "--lossy", "-r", "v.txt"},
                  {{"v.txt", kBroken}},
                  0,
                  {{"v.txt", kBrokenIn1251}},
                  "codeshift: 2 characters could not be read as UTF-8 and were written as \"?\"\n",
                  false},
        LossyCase{"MissingAndOneCharacter",
                  {"-u8", "-a1252", "-r", "c.txt"},
                  {{"c.txt", kCyrillic}},
                  22,
                  {{"c.txt", kCyrillic}},
                  "codeshift: cannot replace input \"c.txt\": 1 character would be written as "
                  "\"?\" or as a similar one, at line 1, column 1; it was left as it is "
                  "(--lossy accepts the loss)\n",
                  false},
        LossyCase{"NewFileStaysLenient",
                  {"-u8", "-a1252", "c.txt", "out.txt"},
                  {{"c.txt", kCyrillic}},
                  0,
                  {{"c.txt", kCyrillic}, {"out.txt", "?\n"}},
                  "codeshift: 1 character is not in A1252 and was written as \"?\"\n",
                  false},
        // UTF-8 but for a stray byte, into UTF-8: the byte is no text there either.
        LossyCase{"StrayByteIntoUtf8",
                  {"-T", "-U8-", "s.txt", "out.txt"},
                  {{"s.txt", kStray}},
                  0,
                  {{"s.txt", kStray}, {"out.txt", kStrayAsked}},
                  "codeshift: read as -U8- (UTF-8 but for 1 stray byte)\n"
                  "codeshift: 1 character could not be read as UTF-8 and was written as \"?\"\n",
                  false},
        LossyCase{"StrayByteRefusedInPlace",
                  {"-T", "-U8-", "-r", "s.txt"},
                  {{"s.txt", kStray}},
                  22,
                  {{"s.txt", kStray}},
                  "codeshift: cannot replace input \"s.txt\": 1 character would be written as "
                  "\"?\" or as a similar one, at line 1, column 8; it was left as it is "
                  "(--lossy accepts the loss)\n",
                  false},
        LossyCase{"EachFileForItself",
                  {"-u8", "-a1252", "-r", "e.txt", "c.txt"},
                  {{"e.txt", kClean}, {"c.txt", kCyrillic}},
                  22,
                  {{"e.txt", "caf\xe9\n"}, {"c.txt", kCyrillic}},
                  "codeshift: cannot replace input \"c.txt\": 1 character would be written as "
                  "\"?\" or as a similar one, at line 1, column 1; it was left as it is "
                  "(--lossy accepts the loss)\n",
                  false}),
    [](const ::testing::TestParamInfo<LossyCase>& info) { return info.param.name; });

}  // namespace
