// The command-line parse, row by row, as a user would type the arguments.
#include "src/cmdline/parse_command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "src/cmdline/name_table.h"
#include "src/run/run_state.h"

namespace {

struct ParseCase {
    const char* name;
    std::vector<WideString> arguments;
    int result;
    CodePageId sourceCp;
    CodePageId targetCp;
    int writeBom;
    WideString inputName;
    WideString outputName;
    WideString logName;
    DWORD logMode;
};

int Parse(const std::vector<WideString>& arguments) {
    std::vector<WideString> all = {WSTR("codeshift")};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<LPWSTR> pointers;
    for (WideString& a : all) {
        pointers.push_back(a.data());
    }
    ResetRunState();
    return ParseArguments(static_cast<int>(pointers.size()), pointers.data());
}

class ParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, FillsTheRunState) {
    const ParseCase& c = GetParam();
    EXPECT_EQ(Parse(c.arguments), c.result);
    EXPECT_EQ(runState.status, c.result == 0 ? kStatusUsage : c.result) << "status";
    EXPECT_EQ(runState.sourceCp, c.sourceCp);
    EXPECT_EQ(runState.targetCp, c.targetCp);
    EXPECT_EQ(runState.writeBom, c.writeBom);
    EXPECT_TRUE(runState.inputName == c.inputName);
    EXPECT_TRUE(runState.outputName == c.outputName);
    EXPECT_TRUE(runState.logName == c.logName);
    EXPECT_EQ(runState.logMode, c.logMode);
}

constexpr CodePageId kUtf8 = CP_UTF8;
constexpr CodePageId kAcp = CP_ACP;

INSTANTIATE_TEST_SUITE_P(
    Arguments, ParseTable,
    ::testing::Values(
        ParseCase{"None", {}, 20, CP_UNSET, CP_UNSET, 1, WSTR(""), WSTR(""), WSTR(""), 0},
        ParseCase{"InputOnly",
                  {WSTR("in.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"SourceAndTarget",
                  {WSTR("-A1251"), WSTR("-utf8"), WSTR("in.txt"), WSTR("out.txt")},
                  0,
                  1251,
                  kUtf8,
                  1,
                  WSTR("in.txt"),
                  WSTR("out.txt"),
                  WSTR(""),
                  0},
        ParseCase{"SlashOptionsNoBomTarget",
                  {WSTR("/t"), WSTR("/u16-"), WSTR("in.txt"), WSTR("out.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_UTF16LE,
                  0,
                  WSTR("in.txt"),
                  WSTR("out.txt"),
                  WSTR(""),
                  0},
        ParseCase{"ReplaceInput",
                  {WSTR("-utf8"), WSTR("-ansi"), WSTR("-r"), WSTR("doc.txt")},
                  0,
                  kUtf8,
                  kAcp,
                  1,
                  WSTR("doc.txt"),
                  WSTR("doc.txt"),
                  WSTR(""),
                  0},
        ParseCase{
            "DetachedLogName",
            {WSTR("-o"), WSTR("run.log"), WSTR("-t"), WSTR("-u8"), WSTR("in.txt"), WSTR("out.txt")},
            0,
            CP_AUTODETECT,
            kUtf8,
            1,
            WSTR("in.txt"),
            WSTR("out.txt"),
            WSTR("run.log"),
            4},
        ParseCase{"OverwriteLogRecognition",
                  {WSTR("-Orun.log"), WSTR("in.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR("run.log"),
                  2},
        ParseCase{"OemIsALogOption",
                  {WSTR("-OEM"), WSTR("in.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR("EM"),
                  2},
        ParseCase{"LowerOemIsAppendLog",
                  {WSTR("-oem"), WSTR("in.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR("em"),
                  4},
        ParseCase{"SlashOem",
                  {WSTR("/OEM"), WSTR("in.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR("EM"),
                  2},
        ParseCase{"ReplaceWithoutEncodings",
                  {WSTR("-r"), WSTR("in.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"AutodetectTargetIsAnsi",
                  {WSTR("-utf8"), WSTR("-t"), WSTR("in.txt"), WSTR("out.txt")},
                  0,
                  kUtf8,
                  kAcp,
                  1,
                  WSTR("in.txt"),
                  WSTR("out.txt"),
                  WSTR(""),
                  0},
        ParseCase{"SameFormNoBomTarget",
                  {WSTR("-u16"), WSTR("-u16n"), WSTR("in.txt"), WSTR("out.txt")},
                  0,
                  CP_UTF16LE,
                  CP_UTF16LE,
                  0,
                  WSTR("in.txt"),
                  WSTR("out.txt"),
                  WSTR(""),
                  0},
        ParseCase{"UnknownAfterBothIgnored",
                  {WSTR("-t"), WSTR("-utf8"), WSTR("-xyz"), WSTR("in.txt"), WSTR("out.txt")},
                  0,
                  CP_AUTODETECT,
                  kUtf8,
                  1,
                  WSTR("in.txt"),
                  WSTR("out.txt"),
                  WSTR(""),
                  0},
        ParseCase{"UnknownName",
                  {WSTR("-xyz"), WSTR("in.txt"), WSTR("out.txt")},
                  20,
                  CP_UNSET,
                  CP_UNSET,
                  1,
                  WSTR(""),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"TargetWithoutOutput",
                  {WSTR("-utf8"), WSTR("in.txt")},
                  20,
                  kUtf8,
                  CP_UNSET,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"NoBomSourceLeftUnmapped",
                  {WSTR("-u8-"), WSTR("in.txt")},
                  20,
                  CP_UTF8_NOBOM,
                  CP_UNSET,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"ThirdNameIgnored",
                  {WSTR("a.txt"), WSTR("b.txt"), WSTR("c.txt"), WSTR("-ansi"), WSTR("-u16")},
                  0,
                  kAcp,
                  CP_UTF16LE,
                  1,
                  WSTR("a.txt"),
                  WSTR("b.txt"),
                  WSTR(""),
                  0},
        ParseCase{"PendingLogSwallowsNames",
                  {WSTR("-oA.log"), WSTR("-o"), WSTR("in.txt"), WSTR("out.txt")},
                  20,
                  CP_UNSET,
                  CP_UNSET,
                  1,
                  WSTR(""),
                  WSTR(""),
                  WSTR("A.log"),
                  4},
        ParseCase{"LoneDashWhileUnset",
                  {WSTR("-"), WSTR("in.txt"), WSTR("out.txt")},
                  20,
                  CP_UNSET,
                  CP_UNSET,
                  1,
                  WSTR(""),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"LoneDashAfterBothIgnored",
                  {WSTR("-t"), WSTR("-u8"), WSTR("-"), WSTR("/"), WSTR("in.txt"), WSTR("out.txt")},
                  0,
                  CP_AUTODETECT,
                  kUtf8,
                  1,
                  WSTR("in.txt"),
                  WSTR("out.txt"),
                  WSTR(""),
                  0},
        ParseCase{"DoubleDashNotFound",
                  {WSTR("--utf8"), WSTR("in.txt"), WSTR("out.txt")},
                  20,
                  CP_UNSET,
                  CP_UNSET,
                  1,
                  WSTR(""),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"StarNotFound",
                  {WSTR("-*"), WSTR("in.txt"), WSTR("out.txt")},
                  20,
                  CP_UNSET,
                  CP_UNSET,
                  1,
                  WSTR(""),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"TrailingLogOptionKeepsName",
                  {WSTR("-olog1"), WSTR("in.txt"), WSTR("-O")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR("log1"),
                  2},
        ParseCase{"AttachedNameReplaces",
                  {WSTR("-o"), WSTR("first.log"), WSTR("-Osecond.log"), WSTR("in.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR("second.log"),
                  2},
        ParseCase{"EmptyArgumentEndsPendingLog",
                  {WSTR("-o"), WSTR(""), WSTR("in.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR(""),
                  4},
        ParseCase{"EmptyArgumentLeavesInputEmpty",
                  {WSTR(""), WSTR("in.txt"), WSTR("out.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_UNSET,
                  1,
                  WSTR("in.txt"),
                  WSTR("out.txt"),
                  WSTR(""),
                  0},
        ParseCase{"TwoAutodetectsNeedOutput",
                  {WSTR("-t"), WSTR("-t"), WSTR("in.txt")},
                  20,
                  CP_AUTODETECT,
                  CP_AUTODETECT,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"TwoAutodetectsReplace",
                  {WSTR("-t"), WSTR("-t"), WSTR("-r"), WSTR("in.txt")},
                  0,
                  CP_AUTODETECT,
                  kAcp,
                  1,
                  WSTR("in.txt"),
                  WSTR("in.txt"),
                  WSTR(""),
                  0},
        ParseCase{"ReplaceSpellings",
                  {WSTR("-Replace"), WSTR("/r"), WSTR("-rubbish"), WSTR("-u8"), WSTR("in.txt")},
                  0,
                  kUtf8,
                  CP_UNSET,
                  1,
                  WSTR("in.txt"),
                  WSTR("in.txt"),
                  WSTR(""),
                  0},
        ParseCase{"OutputNameWinsOverReplace",
                  {WSTR("-r"), WSTR("-u8"), WSTR("-u32be-"), WSTR("in.txt"), WSTR("out.txt")},
                  0,
                  kUtf8,
                  CP_UTF32BE,
                  0,
                  WSTR("in.txt"),
                  WSTR("out.txt"),
                  WSTR(""),
                  0},
        ParseCase{"NoBomSourceMapped",
                  {WSTR("-U32BEn"), WSTR("-UTF-16BEn"), WSTR("in.txt"), WSTR("out.txt")},
                  0,
                  CP_UTF32BE,
                  CP_UTF16BE,
                  0,
                  WSTR("in.txt"),
                  WSTR("out.txt"),
                  WSTR(""),
                  0},
        ParseCase{"UnsetTargetWithOutput",
                  {WSTR("in.txt"), WSTR("out.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_UNSET,
                  1,
                  WSTR("in.txt"),
                  WSTR("out.txt"),
                  WSTR(""),
                  0}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

TEST(ParseTable, EmptyArgumentTakenAsInputLetsTheNextNameFillIt) {
    // The empty name leaves inputName empty, so "in.txt" becomes the input, not the output.
    EXPECT_EQ(Parse({WSTR(""), WSTR("in.txt"), WSTR("-u8"), WSTR("-u16"), WSTR("o.txt")}), 0);
    EXPECT_TRUE(runState.inputName == WSTR("in.txt"));
    EXPECT_TRUE(runState.outputName == WSTR("o.txt"));
}

struct LookupCase {
    const WCHAR* text;
    bool found;
    CodePageId id;
};

class NameLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(NameLookup, CaseInsensitiveWholeName) {
    CodePageId id = -1;
    EXPECT_EQ(LookUpEncodingName(GetParam().text, &id), GetParam().found);
    if (GetParam().found) {
        EXPECT_EQ(id, GetParam().id);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameLookup,
    ::testing::Values(
        LookupCase{WSTR("utf8"), true, kUtf8}, LookupCase{WSTR("Utf-8"), true, kUtf8},
        LookupCase{WSTR("U8+"), true, kUtf8}, LookupCase{WSTR("u8-"), true, CP_UTF8_NOBOM},
        LookupCase{WSTR("A"), true, kAcp}, LookupCase{WSTR("a1251"), true, 1251},
        LookupCase{WSTR("TEST"), true, CP_AUTODETECT}, LookupCase{WSTR("tst"), true, CP_AUTODETECT},
        LookupCase{WSTR("T"), true, CP_AUTODETECT},
        LookupCase{WSTR("u32-"), true, CP_UTF32LE_NOBOM},
        LookupCase{WSTR("u16be-"), true, CP_UTF16BE_NOBOM}, LookupCase{WSTR("OEM"), true, CP_OEMCP},
        LookupCase{WSTR("koi8u"), true, 21866}, LookupCase{WSTR("iso13"), true, 28603},
        LookupCase{WSTR("ISO15"), true, 28605}, LookupCase{WSTR("iso9"), true, 28599},
        LookupCase{WSTR("*"), false, 0}, LookupCase{WSTR("utf"), false, 0},
        LookupCase{WSTR("utf8 "), false, 0}, LookupCase{WSTR(""), false, 0}));

struct LabelCase {
    CodePageId id;
    const WCHAR* label;
};

class Labels : public ::testing::TestWithParam<LabelCase> {};

TEST_P(Labels, FirstRowFromRowOne) {
    LPCWSTR label = EncodingLabel(GetParam().id);
    if (GetParam().label == nullptr) {
        EXPECT_EQ(label, nullptr);
    } else {
        ASSERT_NE(label, nullptr);
        EXPECT_TRUE(WideString(label) == GetParam().label);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, Labels,
    ::testing::Values(LabelCase{kUtf8, WSTR("UTF-8")}, LabelCase{kAcp, WSTR("ANSI")},
                      LabelCase{1250, WSTR("A1250")}, LabelCase{CP_UTF8_NOBOM, WSTR("UTF-8n")},
                      LabelCase{CP_UTF32LE_NOBOM, WSTR("UTF-32LEn")},
                      LabelCase{CP_UTF16BE, WSTR("UTF-16BE")},
                      LabelCase{CP_AUTODETECT, WSTR("TST")}, LabelCase{CP_OEMCP, WSTR("OEM")},
                      LabelCase{CP_MACCP, WSTR("MAC")}, LabelCase{437, WSTR("IBM437")},
                      LabelCase{28605, WSTR("ISO15")}, LabelCase{CP_UNSET, nullptr},
                      LabelCase{12345, nullptr}));

TEST(NameTable, HasSeventyOneRowsAndTheSentinel) {
    EXPECT_TRUE(WideString(kEncodingNameTable[kEncodingNameRows].name) == WSTR("*"));
    EXPECT_TRUE(WideString(kEncodingNameTable[kEncodingNameRows - 1].name) == WSTR("ISO15"));
}

}  // namespace
