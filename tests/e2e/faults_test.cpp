// Runs at the edges: tiny inputs, inputs around the head room, partial units, outputs and logs
// that cannot be written, and awkward file names. Under the sanitizer build every row also
// proves that nothing is read or written outside the working block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/state/work_buffer.h"
#include "tests/e2e/cases.h"
#include "tests/support/test_files.h"

namespace {

const std::string kUtf8Mark = "\xEF\xBB\xBF";
const std::string kUtf16Mark = "\xFF\xFE";
const std::string kUtf32Mark = std::string("\xFF\xFE\x00\x00", 4);

std::string Repeat(const std::string& piece, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

// ASCII text of n bytes and the same text as UTF-32LE units.
std::string Ascii(size_t n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) {
        text.push_back(static_cast<char>('a' + i % 26));
    }
    return text;
}
std::string AsciiAsUtf32(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += std::string(1, c) + std::string(3, '\0');
    }
    return out;
}

E2eCase Conversion(const std::string& name, std::vector<std::string> options,
                   const std::string& input, int exitCode, const std::string& output,
                   const std::string& flavors = "") {
    options.push_back("in.bin");
    options.push_back("out.bin");
    E2eCase c{name, options, {{"in.bin", input}}, exitCode, {{"in.bin", input}}, {}, {}, flavors};
    if (exitCode == 0) {
        c.expected.push_back({"out.bin", output});
    } else {
        c.absent.push_back("out.bin");
    }
    return c;
}

E2eCase Recognition(const std::string& name, const std::string& input, int exitCode) {
    return E2eCase{name, {"in.bin"}, {{"in.bin", input}}, exitCode, {{"in.bin", input}}, {},
                   {},   ""};
}

class Faults : public ::testing::TestWithParam<E2eCase> {};

TEST_P(Faults, Runs) {
    RunE2eCase(GetParam());
}

std::string CaseName(const ::testing::TestParamInfo<E2eCase>& info) {
    return info.param.name;
}

// Inputs of 0 to 8 bytes: marks and sequences cut off by the end, recognised and converted.
INSTANTIATE_TEST_SUITE_P(
    TinyInputs, Faults,
    ::testing::Values(
        Recognition("Empty", "", 21), Recognition("OneByte", "A", 2),
        Recognition("HalfUtf8Mark", "\xEF\xBB", 2), Recognition("Utf8MarkAlone", kUtf8Mark, 11),
        Recognition("Utf16MarkAlone", kUtf16Mark, 13),
        Recognition("Utf16MarkAndZero", std::string("\xFF\xFE\x00", 3), 2),
        Recognition("Utf32MarkAlone", kUtf32Mark, 15),
        Recognition("Utf32MarkAndOneByte", std::string("\xFF\xFE\x00\x00\x41", 5), 2),
        Recognition("Utf32MarkAndTwoBytes", std::string("\xFF\xFE\x00\x00\x41\x00", 6), 13),
        Recognition("Utf32BeMarkAlone", std::string("\x00\x00\xFE\xFF", 4), 16),
        Recognition("CutThreeByteSequence", "\x41\xE2\x82", 2),
        Recognition("CutFourByteSequence", "\xF0\x9F\x98", 2),
        Recognition("WholeFourByteSequence", "\xF0\x9F\x98\x80", 1),
        Recognition("EightBytesUtf32Be", std::string("\x00\x00\x00\x41\x00\x00\x00\x42", 8), 6),
        Conversion("EmptyConverted", {"-u8", "-u16"}, "", 21, ""),
        Conversion("MarkOnlyGivesMarkOnly", {"-t", "-u16"}, kUtf8Mark, 0, kUtf16Mark),
        Conversion("MarkOnlyWithoutTargetMark", {"-t", "-A1252"}, kUtf16Mark, 0, ""),
        Conversion("CutSequenceToUtf32", {"-u8", "-u32"}, "\xE2\x82", 0,
                   kUtf32Mark + std::string("\x3F\x00\x00\x00\x3F\x00\x00\x00", 8)),
        Conversion("CutSequenceToUtf16", {"-u8", "-u16"}, "\xF0\x9F\x98", 0,
                   kUtf16Mark + std::string("\x3F\x00\x3F\x00\x3F\x00", 6)),
        Conversion("LoneHighSurrogateAtTheEnd", {"-u16", "-u8"}, std::string("\x41\x00\x00\xD8", 4),
                   0, kUtf8Mark + "\x41\x3F"),
        Conversion("OneByteOfUtf16", {"-u16", "-u8"}, "\x41", 0, kUtf8Mark + "\x3F"),
        Conversion("ThreeBytesOfUtf16", {"-u16", "-u8"}, std::string("\x41\x00\x42", 3), 0,
                   kUtf8Mark + "\x41\x3F"),
        Conversion("ThreeBytesOfUtf16BeToUtf32", {"-u16be", "-u32"}, std::string("\x00\x41\x42", 3),
                   0, kUtf32Mark + std::string("\x41\x00\x00\x00\x3F\x00\x00\x00", 8)),
        Conversion("FiveBytesOfUtf32", {"-u32", "-u8-"}, std::string("\x41\x00\x00\x00\x42", 5), 0,
                   "\x41\x3F"),
        Conversion("SevenBytesOfUtf32BeToUtf16", {"-u32be", "-u16-"},
                   std::string("\x00\x00\x00\x41\x00\x00\x42", 7), 0,
                   std::string("\x41\x00\x3F\x00", 4)),
        Conversion("PartialUnitCopiedToBigEndian", {"-u16", "-u16be-"},
                   std::string("\x41\x00\x42", 3), 0, std::string("\x00\x41\x42", 3)),
        Conversion("PartialUnitCopiedFromBigEndian", {"-u16be", "-u16-"},
                   std::string("\x00\x41\x42", 3), 0, std::string("\x41\x00\x42", 3)),
        Conversion("PartialGroupCopiedToBigEndian", {"-u32", "-u32be-"},
                   std::string("\x41\x00\x00\x00\x42\x43", 6), 0,
                   std::string("\x00\x00\x00\x41\x42\x43", 6)),
        Conversion("NoTargetRepeatsTheInput", {}, kUtf16Mark + std::string("\x41\x00", 2), 0,
                   kUtf16Mark + std::string("\x41\x00", 2))),
    CaseName);

// Inputs around the head room and the block's overhead, where the first flushes fall.
std::vector<E2eCase> HeadRoomCases() {
    std::vector<E2eCase> cases;
    const size_t room = kHeadRoomBytes;
    const size_t overhead = kBlockOverhead;
    for (size_t n : {room - kFlushMargin, room - 1, room, room + 1, overhead - 1, overhead,
                     overhead + 1, 2 * room - 1, 2 * room, 2 * room + 1}) {
        std::string text = Ascii(n);
        cases.push_back(Conversion("Utf8ToUtf32Of" + std::to_string(n), {"-u8", "-u32"}, text, 0,
                                   kUtf32Mark + AsciiAsUtf32(text)));
        // Two bytes in, three out: the euro sign from UTF-16 to UTF-8.
        if (n % 2 == 0) {
            cases.push_back(Conversion("EuroSignsOf" + std::to_string(n), {"-t", "-u8"},
                                       kUtf16Mark + Repeat("\xAC\x20", n / 2 - 1), 0,
                                       kUtf8Mark + Repeat("\xE2\x82\xAC", n / 2 - 1)));
        }
        cases.push_back(Conversion("MarkedUtf8ToUtf32Of" + std::to_string(n), {"-t", "-u32"},
                                   kUtf8Mark + text.substr(3), 0,
                                   kUtf32Mark + AsciiAsUtf32(text.substr(3))));
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(HeadRoom, Faults, ::testing::ValuesIn(HeadRoomCases()), CaseName);

const std::vector<std::string> kLogOfFailedOutput = {
    "",
    std::string(52, '-'),
    "{time}",
    " \xE2\x80\xA2  CurrentDir:  *",
    " \xE2\x80\xA2 CommandLine:  *",
    " \xE2\x80\xA2 Input  File:  in.txt",
    " \xE2\x80\xA2 Output File:  *",
    " \xE2\x80\xA2    CodePage:  UTF-8n ==>> UTF-16LE BOM",
    " \xE2\x80\xA2        Size:  3 ==>> 0",
    " \xE2\x80\xA2 Return Code:  22 (0x16) \xC2\xA1"
    "Error!"};

const std::string kAbcUtf16 = kUtf16Mark + std::string("a\0b\0c\0", 6);

// Outputs and logs that cannot be written: the run reports it and leaves everything else alone.
INSTANTIATE_TEST_SUITE_P(
    UnwritableTargets, Faults,
    ::testing::Values(E2eCase{"OutputIntoMissingFolder",
                              {"-u8", "-u16", "in.txt", "missing/out.txt", "-orun.log"},
                              {{"in.txt", "abc"}},
                              22,
                              {{"in.txt", "abc"}},
                              {"missing"},
                              kLogOfFailedOutput,
                              ""},
                      E2eCase{"OutputOntoFolder",
                              {"-u8", "-u16", "in.txt", "out", "-orun.log"},
                              {{"in.txt", "abc"}, {"out/", ""}},
                              22,
                              {{"in.txt", "abc"}},
                              {},
                              kLogOfFailedOutput,
                              ""},
                      E2eCase{"ReplaceFolderInput",
                              {"-u8", "-u16", "-r", "folder"},
                              {{"folder/", ""}},
                              21,
                              {},
                              {},
                              {},
                              ""},
                      E2eCase{"LogOntoFolder",
                              {"-u8", "-u16", "in.txt", "out.txt", "-ologs"},
                              {{"in.txt", "abc"}, {"logs/", ""}},
                              0,
                              {{"in.txt", "abc"}, {"out.txt", kAbcUtf16}},
                              {},
                              {},
                              ""},
                      E2eCase{"OverwriteLogOntoFolder",
                              {"-u8", "-u16", "in.txt", "out.txt", "-Ologs"},
                              {{"in.txt", "abc"}, {"logs/", ""}},
                              0,
                              {{"in.txt", "abc"}, {"out.txt", kAbcUtf16}},
                              {},
                              {},
                              ""},
                      E2eCase{"LogIntoMissingFolder",
                              {"-u8", "-u16", "in.txt", "out.txt", "-omissing/run.log"},
                              {{"in.txt", "abc"}},
                              0,
                              {{"in.txt", "abc"}, {"out.txt", kAbcUtf16}},
                              {"missing"},
                              {},
                              ""},
                      E2eCase{"FailedRunLogIntoMissingFolder",
                              {"-u8", "-u16", "absent.txt", "out.txt", "-omissing/run.log"},
                              {},
                              21,
                              {},
                              {"missing", "out.txt"},
                              {},
                              ""}),
    CaseName);

// Names that need quoting, carry non-ASCII or invalid UTF-8 bytes, or run past 1,200 characters
// (far beyond the 260 of the classic Windows limit: input, output, the temporary beside it and
// the log all lie in that deep folder).
std::vector<E2eCase> NameCases() {
    struct Names {
        const char* test;
        std::string input;
        std::string output;
        std::string flavors;
    };
    std::string deep;
    for (int level = 0; level < 7; ++level) {
        deep += std::string(180, static_cast<char>('a' + level)) + "/";
    }
    const std::vector<Names> names = {
        {"Spaces", "my input file.txt", "my output file.txt", ""},
        {"Quotes", "say \"hi\".txt", "it's \"done\".txt", "native"},
        {"NonAscii", "na\xC3\xAFve \xE2\x82\xAC.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt", "native"},
        {"InvalidUtf8", "bad\xFF\xFE.txt", "worse\xC3.txt", "native"},
        {"LongPaths", deep + "in.txt", deep + "out.txt", ""},
    };
    std::vector<E2eCase> cases;
    for (const Names& n : names) {
        cases.push_back(E2eCase{
            std::string(n.test) + "Converted",
            {"-u8", "-u16", n.input, n.output, "-orun.log"},
            {{n.input, "abc"}},
            0,
            {{n.input, "abc"}, {n.output, kAbcUtf16}},
            {},
            {"", std::string(52, '-'), "{time}", " \xE2\x80\xA2  CurrentDir:  *",
             " \xE2\x80\xA2 CommandLine:  *", " \xE2\x80\xA2 Input  File:  *",
             " \xE2\x80\xA2 Output File:  *",
             " \xE2\x80\xA2    CodePage:  UTF-8n ==>> UTF-16LE BOM",
             " \xE2\x80\xA2        Size:  3 ==>> 8", " \xE2\x80\xA2 Return Code:  0 (0x00)  "},
            n.flavors});
        cases.push_back(E2eCase{std::string(n.test) + "Replaced",
                                {"-u8", "-u16", "-r", n.input},
                                {{n.input, "abc"}},
                                0,
                                {{n.input, kAbcUtf16}},
                                {},
                                {},
                                n.flavors});
    }
    // Valid names are written into the log whole, however long, and the log may lie deep too.
    for (const std::string& log : {std::string("run.log"), deep + "run.log"}) {
        cases.push_back(E2eCase{
            log == "run.log" ? "LongNamesInTheLogAreWhole" : "LongNamesInADeepLog",
            {"-u8", "-u16", deep + "in.txt", deep + "out.txt", "-o" + log},
            {{deep + "in.txt", "abc"}},
            0,
            {{deep + "out.txt", kAbcUtf16}},
            {},
            {"", std::string(52, '-'), "{time}", " \xE2\x80\xA2  CurrentDir:  *",
             " \xE2\x80\xA2 CommandLine:  *", " \xE2\x80\xA2 Input  File:  " + deep + "in.txt",
             " \xE2\x80\xA2 Output File:  " + deep + "out.txt",
             " \xE2\x80\xA2    CodePage:  UTF-8n ==>> UTF-16LE BOM",
             " \xE2\x80\xA2        Size:  3 ==>> 8", " \xE2\x80\xA2 Return Code:  0 (0x00)  "},
            ""});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Names, Faults, ::testing::ValuesIn(NameCases()), CaseName);

}  // namespace
