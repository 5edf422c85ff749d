// The run log as users meet it: one record per run, appended or written afresh, whatever the
// run did.
#include <gtest/gtest.h>

#include <filesystem>
#include <latch>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

const std::string kMark = "\xEF\xBB\xBF";
const std::string kBullet = "\xE2\x80\xA2";
const std::string kError =
    "\xC2\xA1"
    "Error!";

// The ten lines of one record; `arguments` is the command line after the program.
std::vector<std::string> Record(const std::string& arguments,
                                const std::vector<std::string>& rest) {
    std::vector<std::string> lines = {"", std::string(52, '-'), "{time}",
                                      " " + kBullet + "  CurrentDir:  *",
                                      " " + kBullet + " CommandLine:  {program} " + arguments};
    lines.insert(lines.end(), rest.begin(), rest.end());
    return lines;
}

std::string Input(const std::string& name) {
    return " " + kBullet + " Input  File:  " + name;
}
std::string Output(const std::string& name) {
    return " " + kBullet + " Output File:  " + name;
}
std::string CodePage(const std::string& labels) {
    return " " + kBullet + "    CodePage:  " + labels;
}
std::string Size(const std::string& sizes) {
    return " " + kBullet + "        Size:  " + sizes;
}
std::string ReturnCode(const std::string& code) {
    return " " + kBullet + " Return Code:  " + code;
}

std::vector<std::string> Join(std::vector<std::string> first,
                              const std::vector<std::string>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

// A record an earlier run left, with its own time.
const std::string kEarlierRecord = kMark + "\n" + std::string(52, '-') + "\n01-02-2020 03:04:05\n" +
                                   " " + kBullet + "  CurrentDir:  C:\\old\n" + " " + kBullet +
                                   " CommandLine:  codeshift -orun.log a\n" + Input("a") + "\n" +
                                   CodePage("TEST") + "\n" + Size("0  ") + "\n" +
                                   ReturnCode("21 (0x15) ") + kError + "\n";

const std::vector<std::string> kEarlierLines = {
    "",
    std::string(52, '-'),
    "01-02-2020 03:04:05",
    " " + kBullet + "  CurrentDir:  C:\\old",
    " " + kBullet + " CommandLine:  codeshift -orun.log a",
    Input("a"),
    CodePage("TEST"),
    Size("0  "),
    ReturnCode("21 (0x15) " + kError)};

class LogCases : public ::testing::TestWithParam<E2eCase> {};

TEST_P(LogCases, Runs) {
    RunE2eCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Records, LogCases,
    ::testing::Values(
        E2eCase{"UsageErrorWithOnlyALog",
                {"-orun.log"},
                {},
                20,
                {},
                {},
                Record("-orun.log", {Input(""), Output(""), CodePage("ANSI :: ? ==>> ?"),
                                     Size("0 ==>> 0"), ReturnCode("20 (0x14) " + kError)}),
                ""},
        E2eCase{"UsageErrorLeavesANoBomSource",
                {"-orun.log", "-u8-", "in.txt"},
                {},
                20,
                {},
                {},
                Record("-orun.log -u8- in.txt",
                       {Input("in.txt"), Output(""), CodePage("ANSI :: UTF-8n ==>> ?"),
                        Size("0 ==>> 0"), ReturnCode("20 (0x14) " + kError)}),
                ""},
        E2eCase{"UsageErrorWithBothEncodings",
                {"-o", "run.log", "-t", "-utf16be", "in.txt", "-x"},
                {},
                20,
                {},
                {},
                Record("-o run.log -t -utf16be in.txt -x",
                       {Input("in.txt"), Output(""), CodePage("ANSI :: TEST ==>> UTF-16BE BOM"),
                        Size("0 ==>> 0"), ReturnCode("20 (0x14) " + kError)}),
                ""},
        E2eCase{"UnreadableInputOfRecognition",
                {"-orun.log", "missing.txt"},
                {},
                21,
                {},
                {"missing.txt"},
                Record("-orun.log missing.txt", {Input("missing.txt"), CodePage("TEST"),
                                                 Size("0  "), ReturnCode("21 (0x15) " + kError)}),
                ""},
        E2eCase{
            "UnreadableInputOfConversion",
            {"-u8", "-u16", "missing.txt", "out.txt", "-orun.log"},
            {},
            21,
            {},
            {"out.txt"},
            Record("-u8 -u16 missing.txt out.txt -orun.log",
                   {Input("missing.txt"), Output("out.txt"), CodePage("UTF-8n ==>> UTF-16LE BOM"),
                    Size("0 ==>> 0"), ReturnCode("21 (0x15) " + kError)}),
            ""},
        E2eCase{
            "QuotedNamesKeepTheirQuotes",
            {"-o", "run.log", "my input.txt"},
            {},
            21,
            {},
            {},
            Record("-o run.log \"my input.txt\"", {Input("my input.txt"), CodePage("TEST"),
                                                   Size("0  "), ReturnCode("21 (0x15) " + kError)}),
            ""},
        E2eCase{"NamesOutsideAscii",
                {"-orun.log", "-u8",
                 "Gr\xC3\xBC\xC3\x9F"
                 "e.txt"},
                {},
                20,
                {},
                {},
                Record("-orun.log -u8 Gr\xC3\xBC\xC3\x9F"
                       "e.txt",
                       {Input("Gr\xC3\xBC\xC3\x9F"
                              "e.txt"),
                        Output(""), CodePage("ANSI :: UTF-8n ==>> ?"), Size("0 ==>> 0"),
                        ReturnCode("20 (0x14) " + kError)}),
                ""},
        E2eCase{"AppendFollowsAnEarlierRecord",
                {"-orun.log", "missing.txt"},
                {{"run.log", kEarlierRecord}},
                21,
                {},
                {},
                Join(kEarlierLines, Record("-orun.log missing.txt",
                                           {Input("missing.txt"), CodePage("TEST"), Size("0  "),
                                            ReturnCode("21 (0x15) " + kError)})),
                ""},
        E2eCase{"OverwriteReplacesAnEarlierRecord",
                {"-Orun.log", "missing.txt"},
                {{"run.log", kEarlierRecord + kEarlierRecord.substr(3)}},
                21,
                {},
                {},
                Record("-Orun.log missing.txt", {Input("missing.txt"), CodePage("TEST"),
                                                 Size("0  "), ReturnCode("21 (0x15) " + kError)}),
                ""}),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

// A recognition-only run of in.txt holding `bytes`, logged.
E2eCase Recognised(const std::string& name, const std::string& bytes, int exitCode,
                   const std::string& label, const std::string& size, const std::string& code) {
    return E2eCase{name,
                   {"-orun.log", "in.txt"},
                   {{"in.txt", bytes}},
                   exitCode,
                   {{"in.txt", bytes}},
                   {},
                   Record("-orun.log in.txt",
                          {Input("in.txt"), CodePage(label), Size(size), ReturnCode(code)}),
                   ""};
}

// Names that try to write lines of their own into the record, or to steer the terminal of
// whoever reads it: line feed, escape, C1 and, on Linux, bytes that are no UTF-8.
INSTANTIATE_TEST_SUITE_P(
    ForgingNames, LogCases,
    ::testing::Values(
        E2eCase{"LineFeedEscapeAndC1",
                {"gone\n \xE2\x80\xA2 Return Code:  0 (0x00)\x1B[2J\xC2\x9B", "-orun.log"},
                {},
                21,
                {},
                {},
                Record("\"gone? " + kBullet + " Return Code:  0 (0x00)?[2J?\" -orun.log",
                       {Input("gone? " + kBullet + " Return Code:  0 (0x00)?[2J?"),
                        CodePage("TEST"), Size("0  "), ReturnCode("21 (0x15) " + kError)}),
                ""},
        E2eCase{"BytesThatAreNoText",
                {"-A1252", "-U8-", "gone\xFF\xC3.txt", "out\x80.txt", "-orun.log"},
                {},
                21,
                {},
                {"out\x80.txt"},
                Record("-A1252 -U8- gone??.txt out?.txt -orun.log",
                       {Input("gone??.txt"), Output("out?.txt"), CodePage("A1252 ==>> UTF-8n"),
                        Size("0 ==>> 0"), ReturnCode("21 (0x15) " + kError)}),
                "native"}),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Recognition, LogCases,
    ::testing::Values(Recognised("Utf8ByMark", Bytes({0xEF, 0xBB, 0xBF, 0x41}), 11,
                                 "TEST :: UTF-8 BOM", "4  ", "11 (0x0b)  "),
                      Recognised("Utf16beByMark", Bytes({0xFE, 0xFF, 0, 0x41}), 14,
                                 "TEST :: UTF-16BE BOM", "4  ", "14 (0x0e)  "),
                      Recognised("Utf16leBySniffing", Bytes({0x41, 0, 0x42, 0}), 3,
                                 "TEST :: UTF-16LEn", "4  ", "3 (0x03)  "),
                      Recognised("Utf8BySniffing", Bytes({0xC3, 0xA9}), 1, "TEST :: UTF-8n", "2  ",
                                 "1 (0x01)  "),
                      Recognised("AnsiGroupsItsSize", std::string(1234, 'a'), 2, "TEST :: ANSI",
                                 "1 234  ", "2 (0x02)  "),
                      Recognised("EmptyInput", "", 21, "TEST", "0  ", "21 (0x15) " + kError)),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    OutputFailure, LogCases,
    ::testing::Values(E2eCase{"NamedSource",
                              {"-A1251", "-utf8", "in.txt", "nodir/out.txt", "-orun.log"},
                              {{"in.txt", "abc"}},
                              22,
                              {{"in.txt", "abc"}},
                              {"nodir"},
                              Record("-A1251 -utf8 in.txt nodir/out.txt -orun.log",
                                     {Input("in.txt"), Output("nodir/out.txt"),
                                      CodePage("A1251 ==>> UTF-8 BOM"), Size("3 ==>> 0"),
                                      ReturnCode("22 (0x16) " + kError)}),
                              ""},
                      E2eCase{"NamedSourceOverruledByMark",
                              {"-o", "run.log", "-a", "-u16-", "in.txt", "nodir/out.txt"},
                              {{"in.txt", Bytes({0xEF, 0xBB, 0xBF, 0x41})}},
                              22,
                              {},
                              {"nodir"},
                              Record("-o run.log -a -u16- in.txt nodir/out.txt",
                                     {Input("in.txt"), Output("nodir/out.txt"),
                                      CodePage("ANSI :: UTF-8 BOM ==>> UTF-16LEn"),
                                      Size("4 ==>> 0"), ReturnCode("22 (0x16) " + kError)}),
                              ""}),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

std::string Utf16le(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Conversion, LogCases,
    ::testing::Values(
        E2eCase{"NamedSourceToMarkedUtf16",
                {"-utf8", "-u16", "in.txt", "out.txt", "-orun.log"},
                {{"in.txt", std::string(1234, 'a')}},
                0,
                {{"out.txt", Bytes({0xFF, 0xFE}) + Utf16le(std::string(1234, 'a'))}},
                {},
                Record("-utf8 -u16 in.txt out.txt -orun.log",
                       {Input("in.txt"), Output("out.txt"), CodePage("UTF-8n ==>> UTF-16LE BOM"),
                        Size("1 234 ==>> 2 470"), ReturnCode("0 (0x00)  ")}),
                ""},
        E2eCase{"RecognisedSourceReplacedInPlace",
                {"-Orun.log", "-t", "-u8-", "-r", "in.txt"},
                {{"in.txt", Bytes({0xFF, 0xFE}) + Utf16le("hi")}, {"run.log", kEarlierRecord}},
                0,
                {{"in.txt", "hi"}},
                {},
                Record("-Orun.log -t -u8- -r in.txt", {Input("in.txt"), Output("in.txt"),
                                                       CodePage("TEST :: UTF-16LE BOM ==>> UTF-8n"),
                                                       Size("6 ==>> 2"), ReturnCode("0 (0x00)  ")}),
                ""},
        E2eCase{"SniffedSourceToCodePage",
                {"-o", "run.log", "-t", "-a1251", "in.txt", "out.txt"},
                {{"in.txt", "plain"}},
                0,
                {{"out.txt", "plain"}},
                {},
                Record("-o run.log -t -a1251 in.txt out.txt",
                       {Input("in.txt"), Output("out.txt"), CodePage("TEST :: ANSI ==>> A1251"),
                        Size("5 ==>> 5"), ReturnCode("0 (0x00)  ")}),
                ""}),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

class LogFile : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeTempDir(); }
    void TearDown() override { RemoveTree(folder); }

    std::vector<std::string> MissingInputRecord(const std::string& name) const {
        return Record("-orun.log " + name, {Input(name), CodePage("TEST"), Size("0  "),
                                            ReturnCode("21 (0x15) " + kError)});
    }

    std::string folder;
};

TEST_F(LogFile, NewLogStartsWithMarkAndAnEmptyLine) {
    EXPECT_EQ(RunProgram({"-orun.log", "a.txt"}, folder), 21);
    std::string log = ReadBytes(folder + "/run.log");
    EXPECT_EQ(Hex(log.substr(0, 5)), "EF BB BF 0A 2D");
    EXPECT_EQ(log.find('\r'), std::string::npos);
    ExpectLogLines(log.substr(3), MissingInputRecord("a.txt"));
}

TEST_F(LogFile, SecondRunAppendsAfterOneEmptyLine) {
    EXPECT_EQ(RunProgram({"-orun.log", "a.txt"}, folder), 21);
    EXPECT_EQ(RunProgram({"-orun.log", "b.txt"}, folder), 21);
    std::string log = ReadBytes(folder + "/run.log");
    ASSERT_EQ(log.substr(0, 3), kMark);
    EXPECT_EQ(log.find(kMark, 3), std::string::npos) << "a second mark";
    ExpectLogLines(log.substr(3), Join(MissingInputRecord("a.txt"), MissingInputRecord("b.txt")));
}

TEST_F(LogFile, AppendingToAnEmptyLogWritesNoMark) {
    WriteBytes(folder + "/run.log", "");
    EXPECT_EQ(RunProgram({"-orun.log", "a.txt"}, folder), 21);
    std::string log = ReadBytes(folder + "/run.log");
    EXPECT_EQ(log.find(kMark), std::string::npos);
    ExpectLogLines(log, MissingInputRecord("a.txt"));
}

TEST_F(LogFile, FolderAsLogGetsNothingAndTheExitCodeStays) {
    std::filesystem::create_directory(folder + "/run.log");
    EXPECT_EQ(RunProgram({"-orun.log", "a.txt"}, folder), 21);
    EXPECT_EQ(RunProgram({"-Orun.log", "a.txt"}, folder), 21);
    EXPECT_EQ(RunProgram({"-orun.log"}, folder), 20);
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/run.log"));
    EXPECT_TRUE(std::filesystem::is_empty(folder + "/run.log"));
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "run.log" || name == "shell.trace") << name << " left behind";
    }
}

// Runs side by side share one log: every record arrives whole, none inside another, and the
// file that the first of them creates carries exactly one mark.
TEST_F(LogFile, SixteenRunsTogetherLeaveSixteenRecords) {
    constexpr int kRuns = 16;
    std::vector<int> exitCodes(kRuns, -1);
    std::vector<std::thread> runs;
    std::latch ready(kRuns);
    for (int i = 0; i < kRuns; ++i) {
        runs.emplace_back([&, i] {
            ready.arrive_and_wait();
            exitCodes[i] = RunProgram({"-orun.log", "in" + std::to_string(i) + ".txt"}, folder);
        });
    }
    for (std::thread& run : runs) {
        run.join();
    }
    for (int code : exitCodes) {
        EXPECT_EQ(code, 21);
    }
    std::string log = ReadBytes(folder + "/run.log");
    ASSERT_EQ(log.substr(0, 3), kMark);
    EXPECT_EQ(log.find(kMark, 3), std::string::npos) << "a second mark";
    // Every record is whole where it stands; the input it names tells the runs apart.
    std::vector<std::string> lines;
    std::string text = log.substr(3);
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.push_back(text.substr(at, end + 1 - at));
    }
    size_t perRecord = MissingInputRecord("x").size();
    ASSERT_EQ(lines.size(), kRuns * perRecord) << text;
    std::set<std::string> seen;
    for (size_t first = 0; first < lines.size(); first += perRecord) {
        std::string record;
        for (size_t i = first; i < first + perRecord; ++i) {
            record += lines[i];
        }
        std::string name = lines[first + 5].substr(Input("").size());
        name.pop_back();
        ExpectLogLines(record, MissingInputRecord(name));
        EXPECT_TRUE(seen.insert(name).second) << name << " twice";
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kRuns));
}

}  // namespace
