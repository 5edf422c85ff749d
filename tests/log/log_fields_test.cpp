// Encoding labels, grouped counts and time stamps as the log shows them.
#include "src/log/log_fields.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "src/state/run_state.h"

namespace {

// The labels and numbers are ASCII; this keeps failure messages readable.
std::string Ascii(LPCWSTR text) {
    std::string out;
    for (; *text != 0; ++text) {
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '#');
    }
    return out;
}

struct LabelCase {
    const char* name;
    uint8_t side;
    CodePageId requested;
    CodePageId id;
    uint8_t flag;  // inputHadBom on the source side, writeBom on the target side
    const char* label;
};

void PrintTo(const LabelCase& c, std::ostream* out) {
    *out << c.name;
}

class LabelTable : public ::testing::TestWithParam<LabelCase> {};

TEST_P(LabelTable, NamesTheEncoding) {
    const LabelCase& c = GetParam();
    runState = RunState{};
    runState.requestedSourceCp = c.requested;
    if (c.side == kSourceSide) {
        runState.sourceCp = c.id;
        runState.inputHadBom = c.flag;
    } else {
        runState.targetCp = c.id;
        runState.writeBom = c.flag;
    }
    WideString buffer = WSTR("left over");
    EXPECT_EQ(Ascii(FormatCodePageLabel(c.side, &buffer)), c.label);
}

constexpr CodePageId kUtf8 = CP_UTF8;
constexpr CodePageId kAcp = CP_ACP;

INSTANTIATE_TEST_SUITE_P(
    Labels, LabelTable,
    ::testing::Values(
        LabelCase{"TargetUtf8WithBom", kTargetSide, 0, kUtf8, 1, "UTF-8 BOM"},
        LabelCase{"TargetUtf8WithoutBom", kTargetSide, 0, kUtf8, 0, "UTF-8n"},
        LabelCase{"TargetUtf16beWithBom", kTargetSide, 0, CP_UTF16BE, 1, "UTF-16BE BOM"},
        LabelCase{"TargetUtf32leWithoutBom", kTargetSide, 0, CP_UTF32LE, 0, "UTF-32LEn"},
        LabelCase{"TargetCodePage", kTargetSide, 0, 1251, 1, "A1251"},
        LabelCase{"TargetUnset", kTargetSide, 0, CP_UNSET, 1, "?"},
        LabelCase{"TargetAutodetect", kTargetSide, 0, CP_AUTODETECT, 1, "TEST"},
        LabelCase{"TargetDetectOnly", kTargetSide, 0, CP_DETECT_ONLY, 1, ""},
        LabelCase{"TargetOem", kTargetSide, 0, CP_OEMCP, 1, "OEM"},
        LabelCase{"SourceTestFoundUtf8ByMark", kSourceSide, CP_AUTODETECT, kUtf8, 1,
                  "TEST :: UTF-8 BOM"},
        LabelCase{"SourceTestFoundUtf16leUnmarked", kSourceSide, CP_AUTODETECT, CP_UTF16LE, 0,
                  "TEST :: UTF-16LEn"},
        LabelCase{"SourceTestFoundAnsi", kSourceSide, CP_AUTODETECT, kAcp, 0, "TEST :: ANSI"},
        LabelCase{"SourceAnsiOverruledByMark", kSourceSide, kAcp, kUtf8, 1, "ANSI :: UTF-8 BOM"},
        LabelCase{"SourceUtf8AsRequested", kSourceSide, kUtf8, kUtf8, 0, "UTF-8n"},
        LabelCase{"SourceIso15AsRequested", kSourceSide, 28605, 28605, 0, "ISO15"},
        LabelCase{"SourceUnsetAfterUsageError", kSourceSide, 0, CP_UNSET, 0, "ANSI :: ?"},
        LabelCase{"SourceNoBomPseudoAfterUsageError", kSourceSide, 0, CP_UTF8_NOBOM, 0,
                  "ANSI :: UTF-8n"},
        LabelCase{"SourceUtf32lePseudoHasNoSuffix", kSourceSide, 0, CP_UTF32LE_NOBOM, 1,
                  "ANSI :: UTF-32LEn"},
        LabelCase{"SourceTestNotRecognised", kSourceSide, CP_AUTODETECT, CP_AUTODETECT, 0, "TEST"},
        LabelCase{"SourceWithoutRow", kSourceSide, 0, 12345, 1, "ANSI :: "},
        LabelCase{"SourceRequestedWithoutRow", kSourceSide, CP_UNSET, 1252, 0, " :: A1252"},
        LabelCase{"SourceDetectOnly", kSourceSide, 0, CP_DETECT_ONLY, 0, ""}),
    [](const ::testing::TestParamInfo<LabelCase>& info) { return info.param.name; });

// Without a target named the record shows the input's encoding, mark and all, once the input
// was read for an output; a run that stopped before that shows the target unnamed.
struct UnsetTargetCase {
    const char* name;
    RunStatus status;
    RunFailure failure;
    const char* label;
};

void PrintTo(const UnsetTargetCase& c, std::ostream* out) {
    *out << c.name;
}

class UnsetTarget : public ::testing::TestWithParam<UnsetTargetCase> {};

TEST_P(UnsetTarget, ShowsTheOutputOnceThereIsOne) {
    const UnsetTargetCase& c = GetParam();
    runState = RunState{};
    runState.sourceCp = CP_UTF16BE;
    runState.requestedSourceCp = CP_UTF16BE;
    runState.status = c.status;
    runState.failure = c.failure;
    WideString buffer;
    EXPECT_EQ(Ascii(FormatCodePageLabel(kTargetSide, &buffer)), c.label);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, UnsetTarget,
    ::testing::Values(
        UnsetTargetCase{"Converted", kStatusConverted, kFailureNone, "UTF-16BEn"},
        UnsetTargetCase{"OutputFailed", kStatusOutputFailed, kFailureOutputCreate, "UTF-16BEn"},
        UnsetTargetCase{"InputReplacedMeanwhile", kStatusInputFailed, kFailureInputReplaced,
                        "UTF-16BEn"},
        UnsetTargetCase{"InputUnread", kStatusInputFailed, kFailureInputRead, "?"},
        UnsetTargetCase{"InputChangedAsItWasCopied", kStatusInputFailed, kFailureInputChanged, "?"},
        UnsetTargetCase{"UsageError", kStatusUsage, kFailureNone, "?"}),
    [](const ::testing::TestParamInfo<UnsetTargetCase>& info) { return info.param.name; });

TEST(Label, DetectOnlyLeavesTheBufferAlone) {
    runState = RunState{};
    runState.targetCp = CP_DETECT_ONLY;
    WideString buffer = WSTR("kept");
    EXPECT_EQ(Ascii(FormatCodePageLabel(kTargetSide, &buffer)), "");
    EXPECT_TRUE(buffer == WSTR("kept"));
}

struct GroupCase {
    uint32_t value;
    const char* text;
};

void PrintTo(const GroupCase& c, std::ostream* out) {
    *out << c.value;
}

class GroupTable : public ::testing::TestWithParam<GroupCase> {};

TEST_P(GroupTable, GroupsByThrees) {
    WideString buffer = WSTR("left over");
    EXPECT_EQ(Ascii(FormatGroupedNumber(GetParam().value, &buffer)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Counts, GroupTable,
                         ::testing::Values(GroupCase{0, "0"}, GroupCase{7, "7"},
                                           GroupCase{999, "999"}, GroupCase{1000, "1 000"},
                                           GroupCase{12345, "12 345"}, GroupCase{123456, "123 456"},
                                           GroupCase{1234567, "1 234 567"},
                                           GroupCase{100000000, "100 000 000"},
                                           GroupCase{4294967295u, "4 294 967 295"}));

TEST(Number, PadsAndWritesLowercaseHex) {
    WideString text;
    AppendNumber(0, 16, 2, &text);
    text.push_back(' ');
    AppendNumber(11, 16, 2, &text);
    text.push_back(' ');
    AppendNumber(22, 10, 1, &text);
    text.push_back(' ');
    AppendNumber(255, 16, 2, &text);
    text.push_back(' ');
    AppendNumber(7, 10, 4, &text);
    EXPECT_EQ(Ascii(text.c_str()), "00 0b 22 ff 0007");
}

TEST(TimeStamp, DayMonthYearWithPadding) {
    struct {
        SYSTEMTIME time;
        const char* text;
    } cases[] = {
        {{2026, 3, 0, 7, 9, 5, 2, 0}, "07-03-2026 09:05:02"},
        {{1999, 12, 5, 31, 23, 59, 59, 999}, "31-12-1999 23:59:59"},
        // Past the 32-bit seconds count.
        {{2038, 1, 2, 19, 3, 14, 8, 0}, "19-01-2038 03:14:08"},
        {{2106, 2, 0, 7, 6, 28, 16, 0}, "07-02-2106 06:28:16"},
    };
    for (const auto& c : cases) {
        WideString text;
        AppendTimeStamp(c.time, &text);
        EXPECT_EQ(Ascii(text.c_str()), c.text);
    }
}

// What a name or the command line may hold that would forge lines of a record or steer a
// terminal: every such unit becomes "?", every other character stays.
struct ShownCase {
    const char* name;
    WideString text;
    WideString shown;
};

void PrintTo(const ShownCase& c, std::ostream* out) {
    *out << c.name;
}

class ShownTable : public ::testing::TestWithParam<ShownCase> {};

TEST_P(ShownTable, KeepsTheTextOnItsLine) {
    EXPECT_TRUE(ShownText(GetParam().text) == GetParam().shown)
        << Ascii(ShownText(GetParam().text).c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Names, ShownTable,
    ::testing::Values(
        ShownCase{"Plain", WSTR("a b.txt"), WSTR("a b.txt")},
        ShownCase{"LineFeedAndReturn", WSTR("a\n \u2022 Return Code:  0\r.txt"),
                  WSTR("a? \u2022 Return Code:  0?.txt")},
        ShownCase{"TabAndNul", WideString(WSTR("a\tb")) + WCHAR(0) + WSTR("c"), WSTR("a?b?c")},
        ShownCase{"Escape", WSTR("\x1b[2Jx"), WSTR("?[2Jx")},
        ShownCase{"DeleteAndC1", WSTR("a\x7f\u0085\u009b\u009fb"), WSTR("a????b")},
        ShownCase{"AfterC1", WSTR("\u00a0\u00e9"), WSTR("\u00a0\u00e9")},
        ShownCase{"WholePair", WSTR("\U0001F600"), WSTR("\U0001F600")},
        // On Linux a byte that was no UTF-8; on Windows half a pair.
        ShownCase{"ByteThatWasNoText", WideString(1, WCHAR(0xDCFF)) + WSTR("x"), WSTR("?x")},
        ShownCase{"HighHalfAlone", WideString(1, WCHAR(0xD83D)) + WSTR("x"), WSTR("?x")},
        ShownCase{"HighHalfAtTheEnd", WSTR("x") + WideString(1, WCHAR(0xD83D)), WSTR("x?")}),
    [](const ::testing::TestParamInfo<ShownCase>& info) { return info.param.name; });

}  // namespace
