// Conversion runs through real files: each case names the input bytes, the options and the
// exact bytes of the output.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

// in.txt holding `input` converted with `options` into out.txt; in.txt stays as it was.
E2eCase Convert(const std::string& name, std::vector<std::string> options, const std::string& input,
                const std::string& output, const std::string& flavors = "") {
    options.push_back("in.txt");
    options.push_back("out.txt");
    return E2eCase{
        name, options, {{"in.txt", input}}, 0, {{"in.txt", input}, {"out.txt", output}}, {},
        {},   flavors};
}

// in.txt converted in place with -r.
E2eCase InPlace(const std::string& name, std::vector<std::string> options, const std::string& input,
                const std::string& output) {
    options.push_back("-r");
    options.push_back("in.txt");
    return E2eCase{name, options, {{"in.txt", input}}, 0, {{"in.txt", output}}, {}, {}, ""};
}

const std::string kUtf8Mark = Bytes({0xEF, 0xBB, 0xBF});
const std::string kUtf16LeMark = Bytes({0xFF, 0xFE});
const std::string kUtf16BeMark = Bytes({0xFE, 0xFF});
const std::string kUtf32LeMark = Bytes({0xFF, 0xFE, 0, 0});
const std::string kUtf32BeMark = Bytes({0, 0, 0xFE, 0xFF});

class Conversion : public ::testing::TestWithParam<E2eCase> {};

TEST_P(Conversion, Runs) {
    RunE2eCase(GetParam());
}

// The character codecs, one example each, seen through the routes that use them.
INSTANTIATE_TEST_SUITE_P(
    Codecs, Conversion,
    ::testing::Values(
        Convert("DecodeEuro", {"-u8", "-u16n"}, Bytes({0xE2, 0x82, 0xAC}), Bytes({0xAC, 0x20})),
        Convert("DecodeAstral", {"-u8", "-u16n"}, Bytes({0xF0, 0x9F, 0x98, 0x80}),
                Bytes({0x3D, 0xD8, 0x00, 0xDE})),
        Convert("DecodeBadContinuation", {"-u8", "-u16n"}, Bytes({0xC3, 0x28}),
                Bytes({0x3F, 0, 0x28, 0})),
        Convert("DecodeStrayContinuation", {"-u8", "-u16n"}, Bytes({0x80}), Bytes({0x3F, 0})),
        Convert("DecodeFiveByteForm", {"-u8", "-u16n"}, Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}),
                Bytes({0x3F, 0, 0x3F, 0, 0x3F, 0, 0x3F, 0, 0x3F, 0})),
        Convert("DecodeCutOffByTheEnd", {"-u8", "-u16n"}, Bytes({0xE2, 0x82}),
                Bytes({0x3F, 0, 0x3F, 0})),
        Convert("DecodeOverlong", {"-u8", "-u16n"}, Bytes({0xC1, 0xBF, 0xE0, 0x80, 0x80}),
                Bytes({0x3F, 0, 0x3F, 0})),
        Convert("DecodeEncodedSurrogate", {"-u8", "-u16n"}, Bytes({0xED, 0xA0, 0x80}),
                Bytes({0x3F, 0})),
        Convert("DecodeAboveThePlanes", {"-u8", "-u16n"}, Bytes({0xF4, 0x90, 0x80, 0x80}),
                Bytes({0x3F, 0})),
        Convert("DecodeLargestFourByteForm", {"-u8", "-u16n"}, Bytes({0xF7, 0xBF, 0xBF, 0xBF}),
                Bytes({0x3F, 0})),
        Convert("EncodeAsciiAndTwoBytes", {"-u16", "-u8n"}, Bytes({0x41, 0, 0xE9, 0}),
                Bytes({0x41, 0xC3, 0xA9})),
        Convert("EncodeThreeBytes", {"-u16", "-u8n"}, Bytes({0xAC, 0x20, 0xFF, 0xFF}),
                Bytes({0xE2, 0x82, 0xAC, 0xEF, 0xBF, 0xBF})),
        Convert("EncodePair", {"-u16", "-u8n"}, Bytes({0x3D, 0xD8, 0x00, 0xDE}),
                Bytes({0xF0, 0x9F, 0x98, 0x80})),
        Convert("EncodeHighWithoutLow", {"-u16", "-u8n"}, Bytes({0x00, 0xD8, 0x41, 0}),
                Bytes({0x3F, 0x41})),
        Convert("EncodeLoneLow", {"-u16", "-u8n"}, Bytes({0x00, 0xDC}), "?"),
        Convert("CombineLargest", {"-u16", "-u32n"}, Bytes({0xFF, 0xDB, 0xFF, 0xDF}),
                Bytes({0xFF, 0xFF, 0x10, 0x00})),
        Convert("CombineLetterThenLow", {"-u16", "-u32n"}, Bytes({0x41, 0, 0x00, 0xDC}),
                Bytes({0x41, 0, 0, 0, 0x3F, 0, 0, 0})),
        Convert("SplitSmallest", {"-u32", "-u16n"}, Bytes({0, 0, 1, 0}),
                Bytes({0x00, 0xD8, 0x00, 0xDC})),
        Convert("SplitSurrogateValue", {"-u32", "-u16n"}, Bytes({0x00, 0xD8, 0, 0}),
                Bytes({0x3F, 0})),
        Convert("SplitWrapsPastFFFF", {"-u32", "-u16n"}, Bytes({0, 0, 0xA1, 0}), Bytes({0x3F, 0}))),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Routes, Conversion,
    ::testing::Values(
        Convert("Utf8AstralToUtf32", {"-u8", "-u32n"}, Bytes({0xF0, 0x9F, 0x98, 0x80}),
                Bytes({0x00, 0xF6, 0x01, 0x00})),
        Convert("Utf8EncodedPairToUtf16", {"-u8", "-u16n"},
                Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}), Bytes({0x3F, 0, 0x3F, 0})),
        Convert("Utf8EncodedPairToUtf32", {"-u8", "-u32n"},
                Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}), Bytes({0x3F, 0, 0, 0, 0x3F, 0, 0, 0})),
        Convert("Utf8FourByteZeroToUtf32", {"-u8", "-u32n"}, Bytes({0xF0, 0x80, 0x80, 0x80}),
                Bytes({0x3F, 0, 0, 0})),
        Convert("Utf8FourByteZeroToUtf16", {"-u8", "-u16n"}, Bytes({0xF0, 0x80, 0x80, 0x80}),
                Bytes({0x3F, 0})),
        Convert("Utf8ToUtf8KeepsMalformed", {"-u8", "-u8n"}, Bytes({0xC3, 0x28, 0xFF, 0xE2}),
                Bytes({0xC3, 0x28, 0xFF, 0xE2})),
        Convert("Utf16EndingInHighToUtf8", {"-u16", "-u8n"}, Bytes({0x41, 0, 0x00, 0xD8}), "A?"),
        Convert("Utf16LeToBe", {"-u16", "-u16be"}, Bytes({0x41, 0, 0x00, 0xD8}),
                kUtf16BeMark + Bytes({0, 0x41, 0xD8, 0x00})),
        Convert("Utf16BeToLe", {"-u16be", "-u16"}, Bytes({0, 0x41, 0xD8, 0x00}),
                kUtf16LeMark + Bytes({0x41, 0, 0x00, 0xD8})),
        Convert("Utf16BeToBe", {"-u16be", "-u16be-"}, Bytes({0, 0x41, 0xD8, 0x00}),
                Bytes({0, 0x41, 0xD8, 0x00})),
        Convert("Utf32LeToBe", {"-u32", "-u32be"}, Bytes({1, 2, 3, 4}),
                kUtf32BeMark + Bytes({4, 3, 2, 1})),
        Convert("Utf32BeToLe", {"-u32be", "-u32"}, Bytes({1, 2, 3, 4}),
                kUtf32LeMark + Bytes({4, 3, 2, 1})),
        Convert("Utf32SurrogateToUtf8", {"-u32", "-u8n"}, Bytes({0x00, 0xD8, 0, 0}), "?"),
        Convert("Utf32AboveThePlanesToUtf8", {"-u32", "-u8n"}, Bytes({0, 0, 0x11, 0}), "?"),
        Convert("Utf32AboveThePlanesToUtf16", {"-u32", "-u16n"}, Bytes({0, 0, 0x11, 0}),
                Bytes({0x3F, 0})),
        Convert("Utf32BeToUtf8", {"-u32be", "-u8"}, Bytes({0, 1, 0xF6, 0}),
                kUtf8Mark + Bytes({0xF0, 0x9F, 0x98, 0x80})),
        Convert("CodePageToUtf8", {"-A1251", "-u8"}, Bytes({0x41, 0xC6, 0xB8}),
                kUtf8Mark + Bytes({0x41, 0xD0, 0x96, 0xD1, 0x91})),
        Convert("CodePageToUtf16Be", {"-A1251", "-u16be"}, Bytes({0x41, 0xC6}),
                kUtf16BeMark + Bytes({0, 0x41, 0x04, 0x16})),
        Convert("CodePageToUtf32", {"-A1251", "-u32-"}, Bytes({0xC6}), Bytes({0x16, 0x04, 0, 0})),
        Convert("Utf8ToCodePage", {"-u8", "-A1251"}, Bytes({0x41, 0xD0, 0x96, 0xD1, 0x8F}),
                Bytes({0x41, 0xC6, 0xFF})),
        Convert("Utf8AstralToCodePage", {"-u8", "-A1251"}, Bytes({0xF0, 0x9F, 0x98, 0x80}), "?"),
        Convert("Utf16ToCodePage", {"-u16", "-KOI8R"}, Bytes({0x3F, 0x04, 0x41, 0}),
                Bytes({0xD0, 0x41})),
        Convert("Utf32ToCodePage", {"-u32be", "-CP866"}, Bytes({0, 0, 0x04, 0x10}), Bytes({0x80})),
        Convert("Cp1251ToCp866", {"-A1251", "-CP866"}, Bytes({0x41, 0xC0, 0xDF, 0xE0, 0xFF, 0xA8}),
                Bytes({0x41, 0x80, 0x9F, 0xA0, 0xEF, 0xF0})),
        Convert("Koi8rTo1251", {"-KOI8R", "-A1251"}, Bytes({0xF0, 0xD2, 0xC9, 0xD7, 0xC5, 0xD4}),
                Bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2})),
        Convert("Cp1251ToItselfCopies", {"-A1251", "-A1251"}, Bytes({0x41, 0xC6, 0x98, 0x00}),
                Bytes({0x41, 0xC6, 0x98, 0x00})),
        Convert("EmptyTextGivesMarkAlone", {"-u8", "-u32be"}, kUtf8Mark, kUtf32BeMark),
        Convert("EmptyTextToCodePageGivesNothing", {"-u8", "-A1252"}, kUtf8Mark, "")),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

// Marks: a recognised one is skipped (even against the named source); the target's is written
// unless its name says "n" or "-".
INSTANTIATE_TEST_SUITE_P(
    Marks, Conversion,
    ::testing::Values(
        Convert("ToUtf8", {"-A1252", "-utf8"}, "A", kUtf8Mark + "A"),
        Convert("ToUtf16Le", {"-A1252", "-utf16"}, "A", kUtf16LeMark + Bytes({0x41, 0})),
        Convert("ToUtf16Be", {"-A1252", "-utf16be"}, "A", kUtf16BeMark + Bytes({0, 0x41})),
        Convert("ToUtf32Le", {"-A1252", "-utf32"}, "A", kUtf32LeMark + Bytes({0x41, 0, 0, 0})),
        Convert("ToUtf32Be", {"-A1252", "-utf32be"}, "A", kUtf32BeMark + Bytes({0, 0, 0, 0x41})),
        Convert("NoneForCodePage", {"-u8", "-A1252"}, "A", "A"),
        Convert("SkippedFromUtf8", {"-u8", "-u16n"}, kUtf8Mark + "A", Bytes({0x41, 0})),
        Convert("OverridesNamedSource", {"-A1251", "-u8n"}, kUtf8Mark + Bytes({0xC3, 0xA9}),
                Bytes({0xC3, 0xA9})),
        Convert("Utf16BeMarkToUtf8", {"-t", "-u8n"}, kUtf16BeMark + Bytes({0, 0x41}), "A"),
        Convert("Utf32LeMarkToUtf16Be", {"-t", "-u16be"}, kUtf32LeMark + Bytes({0x41, 0, 0, 0}),
                kUtf16BeMark + Bytes({0, 0x41})),
        Convert("SniffedUtf16BeToUtf8", {"-t", "-u8n"}, Bytes({0, 0x41, 0, 0x42}), "AB")),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

// A source named UTF-16 or UTF-32 whose size is no whole number of units.
INSTANTIATE_TEST_SUITE_P(
    PartialUnits, Conversion,
    ::testing::Values(
        Convert("Utf16ToUtf8", {"-u16", "-u8n"}, Bytes({0x41, 0, 0x42}), "A?"),
        Convert("Utf16BeToUtf32", {"-u16be", "-u32n"}, Bytes({0, 0x41, 0x42}),
                Bytes({0x41, 0, 0, 0, 0x3F, 0, 0, 0})),
        Convert("Utf16LeToBeCopiesStub", {"-u16", "-u16be-"}, Bytes({0x41, 0, 0x42}),
                Bytes({0, 0x41, 0x42})),
        Convert("Utf32ToUtf16", {"-u32", "-u16n"}, Bytes({0x41, 0, 0, 0, 0x42, 0}),
                Bytes({0x41, 0, 0x3F, 0})),
        Convert("Utf32BeToCodePage", {"-u32be", "-A1251"}, Bytes({0, 0, 0, 0x41, 0x42}), "A?"),
        Convert("Utf32BeToBeUnchanged", {"-u32be", "-u32be-"},
                Bytes({0, 0, 0, 0x41, 0, 0x42, 0x43}), Bytes({0, 0, 0, 0x41, 0, 0x42, 0x43}))),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

// No target named: the output repeats the input, mark and all.
INSTANTIATE_TEST_SUITE_P(
    TargetLeftOpen, Conversion,
    ::testing::Values(
        E2eCase{"NoOptions",
                {"in.txt", "out.txt"},
                {{"in.txt", Bytes({0x68, 0xC3, 0xA9})}},
                0,
                {{"out.txt", Bytes({0x68, 0xC3, 0xA9})}},
                {},
                {},
                ""},
        Convert("OpenSourceMarked", {"-t"}, kUtf16LeMark + Bytes({0x41, 0, 0x42, 0}),
                kUtf16LeMark + Bytes({0x41, 0, 0x42, 0})),
        Convert("NamedCodePage", {"-A1251"}, Bytes({0xC6, 0x98}), Bytes({0xC6, 0x98})),
        InPlace("Utf8InPlace", {"-utf8"}, kUtf8Mark + Bytes({0x41, 0xFF}),
                kUtf8Mark + Bytes({0x41, 0xFF})),
        InPlace("Utf16BeOddInPlace", {"-u16be"}, Bytes({0, 0x41, 0x42}), Bytes({0, 0x41, 0x42}))),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(Files, Conversion,
                         ::testing::Values(InPlace("ReplaceInput", {"-A1251", "-u8"}, Bytes({0xC6}),
                                                   kUtf8Mark + Bytes({0xD0, 0x96})),
                                           E2eCase{"OutputNamedLikeInput",
                                                   {"-A1251", "-u8n", "in.txt", "in.txt"},
                                                   {{"in.txt", Bytes({0xC6})}},
                                                   0,
                                                   {{"in.txt", Bytes({0xD0, 0x96})}},
                                                   {},
                                                   {},
                                                   ""},
                                           E2eCase{"ExistingOutputReplaced",
                                                   {"-u8", "-u16n", "in.txt", "out.txt"},
                                                   {{"in.txt", "A"}, {"out.txt", "old and longer"}},
                                                   0,
                                                   {{"out.txt", Bytes({0x41, 0})}},
                                                   {},
                                                   {},
                                                   ""},
                                           E2eCase{"OutputFolderMissing",
                                                   {"-u8", "-u16", "in.txt", "missing/out.txt"},
                                                   {{"in.txt", "A"}},
                                                   22,
                                                   {{"in.txt", "A"}},
                                                   {"missing"},
                                                   {},
                                                   ""}),
                         [](const ::testing::TestParamInfo<E2eCase>& info) {
                             return info.param.name;
                         });

// Texts long enough to be written in several pieces come out whole.
std::string Ascii(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text.push_back(static_cast<char>(' ' + i % 95));
    }
    return text;
}

std::string Spread(const std::string& ascii, const std::string& before, const std::string& after) {
    std::string out;
    for (char c : ascii) {
        out += before + std::string(1, c) + after;
    }
    return out;
}

std::string Cyrillic1251(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text.push_back(static_cast<char>(0xC0 + i % 64));
    }
    return text;
}

std::string CyrillicUtf8(const std::string& cp1251) {
    std::string text;
    for (char c : cp1251) {
        uint32_t unit = 0x410 + (static_cast<unsigned char>(c) - 0xC0);
        text.push_back(static_cast<char>(0xC0 | (unit >> 6)));
        text.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    LongTexts, Conversion,
    ::testing::Values(Convert("Utf8ToUtf32Be", {"-u8", "-u32be"}, Ascii(70000),
                              kUtf32BeMark + Spread(Ascii(70000), std::string(3, '\0'), "")),
                      Convert("Utf8ToUtf16Le", {"-u8", "-u16"}, Ascii(70000),
                              kUtf16LeMark + Spread(Ascii(70000), "", std::string(1, '\0'))),
                      Convert("Utf16BeToUtf32Le", {"-u16be", "-u32-"},
                              Spread(Ascii(50000), std::string(1, '\0'), ""),
                              Spread(Ascii(50000), "", std::string(3, '\0'))),
                      Convert("Cp1251ToUtf8", {"-A1251", "-u8-"}, Cyrillic1251(50000),
                              CyrillicUtf8(Cyrillic1251(50000))),
                      Convert("Utf8ToCp1251", {"-u8", "-A1251"}, CyrillicUtf8(Cyrillic1251(50000)),
                              Cyrillic1251(50000))),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

// Line ends rewritten on every program, in the target's units, a text over several flush
// pieces among them; with no encoding named the text keeps its own and only its lines change.
std::string Lines(int count, const std::string& end) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += Ascii(1 + i % 90) + end;
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, Conversion,
    ::testing::Values(
        Convert("Cp1252ToUtf16LeWithLf", {"-A1252", "-u16", "-LF"}, "a\r\nb\rc\n",
                Bytes({0xFF, 0xFE, 'a', 0, '\n', 0, 'b', 0, '\n', 0, 'c', 0, '\n', 0})),
        Convert("Utf8ToUtf32BeWithCrLf", {"-u8", "-u32be-", "-crlf"}, "a\nb",
                Bytes({0, 0, 0, 'a', 0, 0, 0, '\r', 0, 0, 0, '\n', 0, 0, 0, 'b'})),
        Convert("LongUtf8ToCrLf", {"-u8", "-u8-", "-CRLF"}, Lines(3000, "\n"), Lines(3000, "\r\n")),
        InPlace("InPlaceToLfKeepsTheEncoding", {"-LF"}, kUtf8Mark + Lines(3000, "\r\n"),
                kUtf8Mark + Lines(3000, "\n"))),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

// A write that fails part way, as when the disk fills: the run fails and the old file stays.
// The program runs under a file-size limit, with the signal that would kill it ignored.
int RunUnderSizeLimit(const std::vector<std::string>& arguments, const std::string& folder,
                      rlim_t limit) {
    std::vector<std::string> command = {std::getenv("CODESHIFT_PROGRAM")};
    // Wine runs the Windows program inside its own process, so the limit binds it as well.
    const char* launcher = std::getenv("CODESHIFT_LAUNCHER");
    if (launcher != nullptr && launcher[0] != 0) {
        command.insert(command.begin(), launcher);
    }
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : command) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit cap = {limit, limit};
        if (chdir(folder.c_str()) != 0 || setrlimit(RLIMIT_FSIZE, &cap) != 0) {
            _exit(126);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FailedWrite, Exits22AndKeepsEveryFile) {
    std::string text = Ascii(100000);
    // At 1 byte the mark already fails; at 5000 bytes a flush of the text falls short.
    for (rlim_t limit : {rlim_t{1}, rlim_t{5000}}) {
        std::string folder = MakeTempDir();
        WriteBytes(folder + "/in.txt", text);
        WriteBytes(folder + "/out.txt", "old");
        EXPECT_EQ(RunUnderSizeLimit({"-u8", "-u16", "in.txt", "out.txt"}, folder, limit), 22);
        EXPECT_EQ(ReadBytes(folder + "/out.txt"), "old");
        EXPECT_TRUE(ReadBytes(folder + "/in.txt") == text);
        EXPECT_EQ(RunUnderSizeLimit({"-u8", "-u16", "-r", "in.txt"}, folder, limit), 22);
        EXPECT_TRUE(ReadBytes(folder + "/in.txt") == text) << "the input must survive";
        EXPECT_EQ(Names(folder), (std::vector<std::string>{"in.txt", "out.txt"}))
            << "no temporary may be left";
        RemoveTree(folder);
    }
}

}  // namespace
