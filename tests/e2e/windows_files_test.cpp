// What a Windows machine does to the files of a run: other programs (indexers, scanners,
// editors) hold them open for a moment or for long, and users set attributes and access rules
// on them. The Windows file helper (tests/wine/file_helper.cpp) plays those programs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

const std::string kWindows = "win64,win32";
const std::string kUtf8Mark = "\xEF\xBB\xBF";
// A log as another run began it: the mark and its first record's rule.
const std::string kLogStart = kUtf8Mark + "\n" + std::string(52, '-') + "\n";
const std::string kAbcUtf16 = std::string(
    "\xFF\xFE"
    "a\0b\0c\0",
    8);

// The helper of the flavor under test, or a skip (a failure when the Windows programs are
// required) when there is none.
bool HaveHelper() {
    if (!FileHelper().empty() && FileExists(FileHelper())) {
        return true;
    }
    const char* required = std::getenv("CODESHIFT_WINDOWS_REQUIRED");
    if (required != nullptr && std::string(required) == "1") {
        ADD_FAILURE() << "no Windows file helper at \"" << FileHelper() << "\"";
    }
    return false;
}

std::string Program() {
    const char* program = std::getenv("CODESHIFT_PROGRAM");
    return program != nullptr ? program : "";
}

std::vector<std::string> LogOf(const std::string& output, const std::string& size,
                               const std::string& code) {
    return {"",
            std::string(52, '-'),
            "{time}",
            " \xE2\x80\xA2  CurrentDir:  *",
            " \xE2\x80\xA2 CommandLine:  *",
            " \xE2\x80\xA2 Input  File:  in.txt",
            " \xE2\x80\xA2 Output File:  " + output,
            " \xE2\x80\xA2    CodePage:  UTF-8n ==>> UTF-16LE BOM",
            " \xE2\x80\xA2        Size:  " + size,
            " \xE2\x80\xA2 Return Code:  " + code};
}

// --- Files held by another program ----------------------------------------------------------

struct BusyCase {
    E2eCase run;
    std::string how;   // "hold": held before the run starts; "hold-at-commit": once the
                       // run's temporary is there
    std::string held;  // the file held open without sharing
    int milliseconds;  // how long it is held at most
};

void PrintTo(const BusyCase& c, std::ostream* out) {
    *out << c.run.name;
}

class BusyFiles : public ::testing::TestWithParam<BusyCase> {};

TEST_P(BusyFiles, AreWaitedForAboutASecond) {
    const BusyCase& c = GetParam();
    if (!FlavorMatches(c.run.flavors) || !HaveHelper()) {
        GTEST_SKIP() << "the file helper runs under Wine";
    }
    RunE2eCaseWith(c.run, [&c](const std::string& folder) {
        std::vector<std::string> arguments = {c.how, std::to_string(c.milliseconds), c.held,
                                              PlatformPath(Program())};
        arguments.insert(arguments.end(), c.run.arguments.begin(), c.run.arguments.end());
        return RunProgramAt(FileHelper(), arguments, folder);
    });
}

// 8 MiB of text, so that the run writes long enough for the helper to see its temporary.
std::string LongText() {
    return std::string(8 << 20, 'x');
}
std::string LongTextAsUtf16() {
    std::string out = "\xFF\xFE";
    for (char c : LongText()) {
        out += std::string(1, c) + '\0';
    }
    return out;
}

std::vector<BusyCase> BusyCases() {
    const std::vector<std::string> convert = {"-u8", "-u16", "in.txt", "out.txt", "-orun.log"};
    const std::vector<std::string> convertLong = {"-u8", "-u16", "in.txt", "out.txt"};
    const std::string long16 = LongTextAsUtf16();
    const std::string before = "held before the commit\r\n";
    return {
        {{"OutputHeldForAMoment",
          convert,
          {{"in.txt", "abc"}, {"out.txt", "old"}},
          0,
          {{"out.txt", kAbcUtf16}},
          {},
          LogOf("out.txt", "3 ==>> 8", "0 (0x00)  "),
          kWindows},
         "hold",
         "out.txt",
         300},
        {{"OutputHeldTooLong",
          convert,
          {{"in.txt", "abc"}, {"out.txt", "old"}},
          22,
          {{"out.txt", "old"}, {"in.txt", "abc"}},
          {},
          LogOf("out.txt", "3 ==>> 0",
                "22 (0x16) \xC2\xA1"
                "Error!"),
          kWindows},
         "hold",
         "out.txt",
         5000},
        {{"OutputHeldAtTheCommitForAMoment",
          convertLong,
          {{"in.txt", LongText()}, {"out.txt", "old"}},
          0,
          {{"out.txt", long16}, {"helper.txt", before}},
          {},
          {},
          kWindows},
         "hold-at-commit",
         "out.txt",
         300},
        {{"OutputHeldAtTheCommitTooLong",
          convertLong,
          {{"in.txt", LongText()}, {"out.txt", "old"}},
          22,
          {{"out.txt", "old"}, {"helper.txt", before}},
          {},
          {},
          kWindows},
         "hold-at-commit",
         "out.txt",
         5000},
        // The log waits about two seconds for another writer; a log it cannot write never
        // changes the run's exit code.
        {{"LogHeldForAMoment",
          convert,
          {{"in.txt", "abc"}, {"run.log", kLogStart}},
          0,
          {{"out.txt", kAbcUtf16}},
          {},
          [] {
              std::vector<std::string> lines = {"", std::string(52, '-')};
              for (const std::string& line : LogOf("out.txt", "3 ==>> 8", "0 (0x00)  ")) {
                  lines.push_back(line);
              }
              return lines;
          }(),
          kWindows},
         "hold",
         "run.log",
         300},
        {{"LogHeldTooLong",
          convert,
          {{"in.txt", "abc"}, {"run.log", kLogStart}},
          0,
          {{"out.txt", kAbcUtf16}, {"run.log", kLogStart}},
          {},
          {},
          kWindows},
         "hold",
         "run.log",
         5000},
    };
}

INSTANTIATE_TEST_SUITE_P(Windows, BusyFiles, ::testing::ValuesIn(BusyCases()),
                         [](const ::testing::TestParamInfo<BusyCase>& info) {
                             return info.param.run.name;
                         });

// --- What a user set on a file is kept ------------------------------------------------------

struct RulesCase {
    const char* name;
    const char* attributes;  // hex, as SetFileAttributesW takes them
    const char* rules;       // the DACL in SDDL
};

class KeptRules : public ::testing::TestWithParam<RulesCase> {};

// What the helper reports on a file: "attributes XXXXXXXX <DACL in SDDL>".
std::string RulesOf(const std::string& folder, const std::string& name) {
    WriteBytes(folder + "/helper.txt", "");
    EXPECT_EQ(RunProgramAt(FileHelper(), {"rules", name}, folder), 0);
    return ReadBytes(folder + "/helper.txt");
}

TEST_P(KeptRules, ReplacingAFileKeepsItsAttributesAndAccessRules) {
    const RulesCase& c = GetParam();
    if (!FlavorMatches(kWindows) || !HaveHelper()) {
        GTEST_SKIP() << "the file helper runs under Wine";
    }
    std::string folder = MakeTempDir();
    WriteBytes(folder + "/text.txt", "abc");
    WriteBytes(folder + "/fresh.txt", "abc");
    ASSERT_EQ(RunProgramAt(FileHelper(), {"set-rules", "text.txt", c.attributes, c.rules}, folder),
              0);
    std::string before = RulesOf(folder, "text.txt");
    // Attributes and rules that a new file would not get (the system may keep the rules in a
    // form of its own: Wine keeps them as the file's mode bits).
    std::string fresh = RulesOf(folder, "fresh.txt");
    EXPECT_NE(before.find(std::string("attributes 0000000") + c.attributes), std::string::npos)
        << before;
    EXPECT_NE(before.substr(20), fresh.substr(20)) << "the rules set are those of any new file";

    EXPECT_EQ(RunProgram({"-u8", "-u16", "-r", "text.txt"}, folder), 0);
    EXPECT_EQ(Hex(ReadBytes(folder + "/text.txt")), Hex(kAbcUtf16));
    EXPECT_EQ(RulesOf(folder, "text.txt"), before);
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, KeptRules,
    ::testing::Values(
        RulesCase{"HiddenAndPrivate", "2", "D:P(A;;FA;;;SY)(A;;FA;;;BA)"},
        RulesCase{"SystemAndOpenToEveryone", "4", "D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;WD)"},
        // Where the system lets a read-only file be replaced, it stays read-only.
        RulesCase{"ReadOnlyAndHidden", "3", "D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;WD)"}),
    [](const ::testing::TestParamInfo<RulesCase>& info) { return info.param.name; });

}  // namespace
