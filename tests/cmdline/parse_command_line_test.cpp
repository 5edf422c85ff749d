// The command-line parse, row by row, as a user would type the arguments.
#include "src/cmdline/parse_command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "src/cmdline/name_table.h"
#include "src/state/run_state.h"

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

int Parse(const std::vector<WideString>& arguments,
          const CommandLineRules& rules = kWindowsCommandLine) {
    std::vector<WideString> all = {WSTR("codeshift")};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<LPWSTR> pointers;
    for (WideString& a : all) {
        pointers.push_back(a.data());
    }
    runState = RunState{};
    return ParseArguments(static_cast<int>(pointers.size()), pointers.data(), rules);
}

void ExpectParsed(const ParseCase& c, const CommandLineRules& rules) {
    EXPECT_EQ(Parse(c.arguments, rules), c.result);
    EXPECT_EQ(runState.status, c.result == 0 ? kStatusUsage : c.result) << "status";
    EXPECT_EQ(runState.sourceCp, c.sourceCp);
    EXPECT_EQ(runState.targetCp, c.targetCp);
    EXPECT_EQ(runState.writeBom, c.writeBom);
    EXPECT_TRUE(runState.inputName == c.inputName);
    EXPECT_TRUE(runState.outputName == c.outputName);
    EXPECT_TRUE(runState.logName == c.logName);
    EXPECT_EQ(runState.logMode, c.logMode);
    EXPECT_EQ(runState.request, kRequestRun);
}

// The Windows programs' rules: "-" and "/" alike begin an option.
class ParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, FillsTheRunState) {
    ExpectParsed(GetParam(), kWindowsCommandLine);
}

// The Linux rules: "/" begins a name, "--" ends the options.
class LinuxParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(LinuxParseTable, FillsTheRunState) {
    ExpectParsed(GetParam(), kLinuxCommandLine);
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

INSTANTIATE_TEST_SUITE_P(
    Arguments, LinuxParseTable,
    ::testing::Values(
        // An absolute name is the input, not an option; -r beside a second name with nothing to
        // convert is refused.
        ParseCase{"AbsoluteInputBeforeReplaceTarget",
                  {WSTR("/home/me/ru.txt"), WSTR("victim.txt"), WSTR("-r")},
                  20,
                  CP_UNSET,
                  CP_UNSET,
                  1,
                  WSTR("/home/me/ru.txt"),
                  WSTR("victim.txt"),
                  WSTR(""),
                  0},
        ParseCase{"AbsoluteNamesEverywhere",
                  {WSTR("-o"), WSTR("/var/log/shift.log"), WSTR("-t"), WSTR("-u8"), WSTR("/in.txt"),
                   WSTR("/tmp/out.txt")},
                  0,
                  CP_AUTODETECT,
                  kUtf8,
                  1,
                  WSTR("/in.txt"),
                  WSTR("/tmp/out.txt"),
                  WSTR("/var/log/shift.log"),
                  4},
        ParseCase{"SlashOptionSpellingsAreNames",
                  {WSTR("/t"), WSTR("/u16-")},
                  0,
                  CP_AUTODETECT,
                  CP_UNSET,
                  1,
                  WSTR("/t"),
                  WSTR("/u16-"),
                  WSTR(""),
                  0},
        // ... and the one file's text goes to standard output.
        ParseCase{"SlashRIsNoReplace",
                  {WSTR("-u8"), WSTR("-u16"), WSTR("/r")},
                  0,
                  kUtf8,
                  CP_UTF16LE,
                  1,
                  WSTR("/r"),
                  WSTR("-"),
                  WSTR(""),
                  0},
        ParseCase{"LoneSlashIsAName",
                  {WSTR("/")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("/"),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"DoubleDashBeforeDashNames",
                  {WSTR("-u8"), WSTR("-u16"), WSTR("--"), WSTR("-odd-name.txt"), WSTR("-r")},
                  0,
                  kUtf8,
                  CP_UTF16LE,
                  1,
                  WSTR("-odd-name.txt"),
                  WSTR("-r"),
                  WSTR(""),
                  0},
        ParseCase{"DoubleDashGivesThePendingLogItsName",
                  {WSTR("-o"), WSTR("--"), WSTR("-x.log"), WSTR("in.txt")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("in.txt"),
                  WSTR(""),
                  WSTR("-x.log"),
                  4},
        ParseCase{"SecondDoubleDashIsAName",
                  {WSTR("--"), WSTR("--"), WSTR("b")},
                  0,
                  CP_AUTODETECT,
                  CP_UNSET,
                  1,
                  WSTR("--"),
                  WSTR("b"),
                  WSTR(""),
                  0},
        ParseCase{"HelpAfterDoubleDashIsAName",
                  {WSTR("--"), WSTR("--help")},
                  0,
                  CP_AUTODETECT,
                  CP_DETECT_ONLY,
                  1,
                  WSTR("--help"),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"DoubleDashNameStillUnknown",
                  {WSTR("--utf8"), WSTR("in.txt"), WSTR("out.txt")},
                  20,
                  CP_UNSET,
                  CP_UNSET,
                  1,
                  WSTR(""),
                  WSTR(""),
                  WSTR(""),
                  0},
        ParseCase{"DashOptionsLogLast",
                  {WSTR("-utf8"), WSTR("-ansi"), WSTR("-r"), WSTR("doc.txt"), WSTR("-Olog")},
                  0,
                  kUtf8,
                  kAcp,
                  1,
                  WSTR("doc.txt"),
                  WSTR("doc.txt"),
                  WSTR("log"),
                  2}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

struct RequestCase {
    const char* name;
    bool linux;
    std::vector<WideString> arguments;
    int result;
    RunRequest request;
};

class Requests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(Requests, AnswerWithoutParsingTheRest) {
    const RequestCase& c = GetParam();
    EXPECT_EQ(Parse(c.arguments, c.linux ? kLinuxCommandLine : kWindowsCommandLine), c.result);
    EXPECT_EQ(runState.request, c.request);
    if (c.request != kRequestRun) {
        EXPECT_TRUE(runState.inputName.empty() && runState.logName.empty());
        EXPECT_EQ(runState.status, kStatusUsage) << "the run sets the status, not the parse";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, Requests,
    ::testing::Values(
        RequestCase{"Help", true, {WSTR("--help")}, 0, kRequestHelp},
        RequestCase{"Version", true, {WSTR("--version")}, 0, kRequestVersion},
        RequestCase{"List", true, {WSTR("-xyz"), WSTR("--list"), WSTR("in.txt")}, 0, kRequestList},
        RequestCase{"WindowsHasNoList", false, {WSTR("--list"), WSTR("in.txt")}, 20, kRequestRun},
        RequestCase{"HelpBehindAUsageError", true, {WSTR("-xyz"), WSTR("--help")}, 0, kRequestHelp},
        RequestCase{
            "FirstRequestWins", true, {WSTR("--version"), WSTR("--help")}, 0, kRequestVersion},
        RequestCase{
            "HelpAsALogName", true, {WSTR("-o"), WSTR("--help"), WSTR("in.txt")}, 0, kRequestHelp},
        RequestCase{
            "VersionAfterDoubleDashIsAName", true, {WSTR("--"), WSTR("--version")}, 0, kRequestRun},
        RequestCase{"NotAbbreviated", true, {WSTR("--vers"), WSTR("in.txt")}, 20, kRequestRun},
        RequestCase{"WindowsHasNoHelp", false, {WSTR("--help"), WSTR("in.txt")}, 20, kRequestRun},
        RequestCase{
            "WindowsHasNoVersion", false, {WSTR("/version"), WSTR("in.txt")}, 20, kRequestRun}),
    [](const ::testing::TestParamInfo<RequestCase>& info) { return info.param.name; });

struct LossCase {
    const char* name;
    bool linux;
    std::vector<WideString> arguments;
    int result;
    bool refusesLoss;
};

class LossRule : public ::testing::TestWithParam<LossCase> {};

// Linux refuses a lossy replacement unless --lossy says otherwise; the Windows programs never
// refuse one, and know no --lossy.
TEST_P(LossRule, FollowsThePlatformAndTheOption) {
    const LossCase& c = GetParam();
    EXPECT_EQ(Parse(c.arguments, c.linux ? kLinuxCommandLine : kWindowsCommandLine), c.result);
    EXPECT_EQ(runState.refusesLoss, c.refusesLoss);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, LossRule,
    ::testing::Values(
        LossCase{
            "LinuxRefuses", true, {WSTR("-u8"), WSTR("-a1252"), WSTR("-r"), WSTR("a")}, 0, true},
        LossCase{"LossyAnywhere",
                 true,
                 {WSTR("--lossy"), WSTR("-u8"), WSTR("-a1252"), WSTR("-r"), WSTR("a")},
                 0,
                 false},
        LossCase{"LossyAfterDoubleDashIsAName",
                 true,
                 {WSTR("-u8"), WSTR("-a1252"), WSTR("-r"), WSTR("--"), WSTR("--lossy")},
                 0,
                 true},
        LossCase{"WindowsNeverRefuses",
                 false,
                 {WSTR("-u8"), WSTR("-a1252"), WSTR("-r"), WSTR("a")},
                 0,
                 false},
        LossCase{"WindowsHasNoLossy",
                 false,
                 {WSTR("--lossy"), WSTR("-u8"), WSTR("-a1252"), WSTR("-r"), WSTR("a")},
                 kStatusUsage,
                 false}),
    [](const ::testing::TestParamInfo<LossCase>& info) { return info.param.name; });

struct ProblemCase {
    const char* name;
    bool linux;
    std::vector<WideString> arguments;
    UsageProblem problem;
    WideString argument;  // as typed
};

class UsageProblems : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(UsageProblems, RecordWhatWasWrong) {
    const ProblemCase& c = GetParam();
    int result = Parse(c.arguments, c.linux ? kLinuxCommandLine : kWindowsCommandLine);
    EXPECT_EQ(result, c.problem == kUsageNone ? 0 : kStatusUsage);
    EXPECT_EQ(runState.usageProblem, c.problem);
    EXPECT_TRUE(runState.usageArgument == c.argument)
        << "argument: "
        << std::string(runState.usageArgument.begin(), runState.usageArgument.end());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UsageProblems,
    ::testing::Values(
        ProblemCase{"Fine", true, {WSTR("in.txt")}, kUsageNone, WSTR("")},
        ProblemCase{"UnknownOption",
                    true,
                    {WSTR("-xyz"), WSTR("a"), WSTR("b")},
                    kUsageUnknownOption,
                    WSTR("-xyz")},
        ProblemCase{"UnknownSlashOption",
                    false,
                    {WSTR("/xyz"), WSTR("a"), WSTR("b")},
                    kUsageUnknownOption,
                    WSTR("/xyz")},
        ProblemCase{"LoneDash", false, {WSTR("-"), WSTR("a")}, kUsageUnknownOption, WSTR("-")},
        // On Linux "-" is standard input or output, which -r cannot replace.
        ProblemCase{"DashIsAStream", true, {WSTR("-"), WSTR("-")}, kUsageNone, WSTR("")},
        ProblemCase{"StandardInputReplaced",
                    true,
                    {WSTR("-r"), WSTR("-A1251"), WSTR("-U8"), WSTR("-")},
                    kUsageReplaceStream,
                    WSTR("")},
        ProblemCase{"Nothing", true, {}, kUsageNoInput, WSTR("")},
        ProblemCase{"OnlyALogName", false, {WSTR("-orun.log")}, kUsageNoInput, WSTR("")},
        ProblemCase{"LogOptionWithoutName",
                    true,
                    {WSTR("-A1251"), WSTR("-O")},
                    kUsageLogNameMissing,
                    WSTR("-O")},
        ProblemCase{
            "LastLogOptionNamed", false, {WSTR("-o"), WSTR("-Ox")}, kUsageNoInput, WSTR("")},
        // The Linux rules ignore nothing: whatever the Windows rules would pass over is refused.
        ProblemCase{"OptionWhereALogNameBelongs",
                    true,
                    {WSTR("-o"), WSTR("-Ox"), WSTR("in.txt")},
                    kUsageLogNameMissing,
                    WSTR("-o")},
        ProblemCase{"TrailingLogOption",
                    true,
                    {WSTR("-olog1"), WSTR("in.txt"), WSTR("-O")},
                    kUsageLogNameMissing,
                    WSTR("-O")},
        ProblemCase{"DetachedLogNameAfterAnother",
                    true,
                    {WSTR("-oA.log"), WSTR("-o"), WSTR("B.log"), WSTR("in.txt")},
                    kUsageNone,
                    WSTR("")},
        ProblemCase{"ThirdName",
                    true,
                    {WSTR("f1"), WSTR("f2"), WSTR("f3"), WSTR("-A1251"), WSTR("-U8-")},
                    kUsageThirdName,
                    WSTR("f3")},
        ProblemCase{"ReplaceBesideOutput",
                    true,
                    {WSTR("in"), WSTR("out"), WSTR("-R")},
                    kUsageReplaceWithOutput,
                    WSTR("out")},
        ProblemCase{"ZeroForTheLetterO",
                    true,
                    {WSTR("-A1252"), WSTR("-U8-"), WSTR("-r"), WSTR("in"), WSTR("-0"), WSTR("log")},
                    kUsageUnknownOption,
                    WSTR("-0")},
        ProblemCase{"ReplaceSpelledOut",
                    true,
                    {WSTR("-Replace"), WSTR("in")},
                    kUsageUnknownOption,
                    WSTR("-Replace")},
        ProblemCase{"ThirdEncoding",
                    true,
                    {WSTR("-t"), WSTR("-u8"), WSTR("-u16"), WSTR("in"), WSTR("out")},
                    kUsageThirdEncoding,
                    WSTR("-u16")},
        ProblemCase{"UnknownAfterBothEncodings",
                    true,
                    {WSTR("-t"), WSTR("-u8"), WSTR("-xyz"), WSTR("in"), WSTR("out")},
                    kUsageUnknownOption,
                    WSTR("-xyz")},
        ProblemCase{"NamesSwallowed",
                    false,
                    {WSTR("-oA.log"), WSTR("-o"), WSTR("in.txt"), WSTR("out.txt")},
                    kUsageNamesSwallowed,
                    WSTR("-o")},
        ProblemCase{"NoOutput", true, {WSTR("-utf8"), WSTR("in.txt")}, kUsageNoOutput, WSTR("")},
        // An empty argument (a variable never set) takes no name's place by the Linux rules,
        // and a log is never standard output; the Windows rules pass the empty name over.
        ProblemCase{"EmptyLogName",
                    true,
                    {WSTR("-o"), WSTR(""), WSTR("in.txt")},
                    kUsageEmptyLogName,
                    WSTR("-o")},
        ProblemCase{"EmptyInputName",
                    true,
                    {WSTR("-r"), WSTR(""), WSTR("r.txt")},
                    kUsageEmptyName,
                    WSTR("")},
        ProblemCase{"EmptyNameBeforeTwo",
                    true,
                    {WSTR(""), WSTR("in"), WSTR("out")},
                    kUsageEmptyName,
                    WSTR("")},
        ProblemCase{"EmptyNameAfterTheOptionsEnd",
                    true,
                    {WSTR("in"), WSTR("--"), WSTR("")},
                    kUsageEmptyName,
                    WSTR("")},
        ProblemCase{"WindowsPassesOverAnEmptyName",
                    false,
                    {WSTR("-t"), WSTR("-u8"), WSTR(""), WSTR("in"), WSTR("out")},
                    kUsageNone,
                    WSTR("")},
        ProblemCase{"LogNamedDash",
                    true,
                    {WSTR("-O"), WSTR("-"), WSTR("in.txt")},
                    kUsageLogIsStream,
                    WSTR("-O")},
        ProblemCase{"LogNamedDashAttached",
                    true,
                    {WSTR("in.txt"), WSTR("-o-")},
                    kUsageLogIsStream,
                    WSTR("-o-")},
        ProblemCase{
            "LogNamedDotSlashDash", true, {WSTR("-o./-"), WSTR("in.txt")}, kUsageNone, WSTR("")},
        ProblemCase{"TwoAutodetectsNoOutput",
                    false,
                    {WSTR("-t"), WSTR("-t"), WSTR("in.txt")},
                    kUsageNoOutput,
                    WSTR("")}),
    [](const ::testing::TestParamInfo<ProblemCase>& info) { return info.param.name; });

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
        // The DOS, Thai, Mac and ASCII pages, by their own and their usual names.
        LookupCase{WSTR("cp850"), true, 850}, LookupCase{WSTR("IBM850"), true, 850},
        LookupCase{WSTR("ibm737"), true, 737}, LookupCase{WSTR("CP869"), true, 869},
        LookupCase{WSTR("Cp874"), true, 874}, LookupCase{WSTR("windows-874"), true, 874},
        LookupCase{WSTR("MACCYR"), true, 10007}, LookupCase{WSTR("x-mac-cyrillic"), true, 10007},
        LookupCase{WSTR("maccentraleurope"), true, 10029}, LookupCase{WSTR("cp10029"), true, 10029},
        LookupCase{WSTR("MacIceland"), true, 10079},
        LookupCase{WSTR("x-mac-ukrainian"), true, 10017},
        LookupCase{WSTR("macromania"), true, 10010}, LookupCase{WSTR("us-ascii"), true, 20127},
        LookupCase{WSTR("ASCII"), true, 20127}, LookupCase{WSTR("cp20127"), true, 20127},
        // Pages the table carries only for the system's choices, and pages it does not carry.
        LookupCase{WSTR("cp720"), false, 0}, LookupCase{WSTR("cp10000"), false, 0},
        LookupCase{WSTR("cp851"), false, 0}, LookupCase{WSTR("macroman"), false, 0},
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
                      LabelCase{28605, WSTR("ISO15")}, LabelCase{850, WSTR("CP850")},
                      LabelCase{874, WSTR("CP874")}, LabelCase{10007, WSTR("MACCYR")},
                      LabelCase{10029, WSTR("MACCE")}, LabelCase{20127, WSTR("ASCII")},
                      LabelCase{10000, nullptr}, LabelCase{CP_UNSET, nullptr},
                      LabelCase{12345, nullptr}));

// 128 names in all, each found as its own encoding (no name shadows a later one).
TEST(NameTable, EveryNameSelectsItsOwnEncoding) {
    int names = 0;
    for (const Encoding& e : kEncodings) {
        for (const WCHAR* name : e.names) {
            CodePageId id = CP_UNSET;
            if (name != nullptr) {
                ++names;
                EXPECT_TRUE(LookUpEncodingName(name, &id) && id == e.id) << names;
            }
        }
    }
    EXPECT_EQ(names, 128);
}

// -r with several names makes each a file of its own to replace, when something is to be
// converted; standard input is none of them.
TEST(LinuxParse, ReplaceTakesEveryName) {
    struct {
        std::vector<WideString> arguments;
        int result;
        std::vector<WideString> names;
    } cases[] = {
        {{WSTR("-A1251"), WSTR("-U8-"), WSTR("-r"), WSTR("a"), WSTR("b"), WSTR("c")},
         0,
         {WSTR("a"), WSTR("b"), WSTR("c")}},
        {{WSTR("a"), WSTR("-LF"), WSTR("b"), WSTR("-r")}, 0, {WSTR("a"), WSTR("b")}},
        {{WSTR("-A1251"), WSTR("-r"), WSTR("a"), WSTR("-")}, 20, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Parse(c.arguments, kLinuxCommandLine), c.result);
        if (c.result != 0) {
            EXPECT_EQ(runState.usageProblem, kUsageReplaceStream);
            continue;
        }
        std::vector<WideString> names = {runState.inputName};
        names.insert(names.end(), runState.moreInputNames.begin(), runState.moreInputNames.end());
        EXPECT_TRUE(names == c.names);
        EXPECT_TRUE(runState.outputName == runState.inputName);
    }
    // The Windows rules keep one input and one output.
    EXPECT_EQ(Parse({WSTR("-A1251"), WSTR("-U8-"), WSTR("-r"), WSTR("a"), WSTR("b"), WSTR("c")}),
              0);
    EXPECT_TRUE(runState.moreInputNames.empty());
    EXPECT_TRUE(runState.outputName == WSTR("b"));
}

}  // namespace
