// Results that could belong to the platform rather than to the program: the code page tables
// (the same on every build), the folders and the command line as each platform names them, which
// carry one expectation per build.
#include <gtest/gtest.h>

#include "tests/e2e/cases.h"
#include "tests/support/test_files.h"

namespace {

const std::string kWindows = "win64,win32";

E2eCase Convert(const std::string& name, const std::string& source, const std::string& target,
                const std::string& input, const std::string& output, const std::string& flavors) {
    return E2eCase{name,
                   {source, target, "in.txt", "out.txt"},
                   {{"in.txt", input}},
                   0,
                   {{"out.txt", output}},
                   {},
                   {},
                   flavors};
}

// A run that fails to read its input, logged; `directory` and `commandLine` are how the
// platform names the current folder and the program.
E2eCase LoggedRun(const std::string& name, const std::string& directory,
                  const std::string& commandLine, const std::string& flavors) {
    const std::string bullet = " \xE2\x80\xA2 ";
    return E2eCase{name,
                   {"-orun.log", "missing.txt"},
                   {},
                   21,
                   {},
                   {},
                   {"", std::string(52, '-'), "{time}", bullet + " CurrentDir:  " + directory,
                    bullet + "CommandLine:  " + commandLine, bullet + "Input  File:  missing.txt",
                    bullet + "   CodePage:  TEST", bullet + "       Size:  0  ",
                    bullet + "Return Code:  21 (0x15) \xC2\xA1"
                             "Error!"},
                   flavors};
}

class PlatformCases : public ::testing::TestWithParam<E2eCase> {};

TEST_P(PlatformCases, Runs) {
    RunE2eCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    SameEverywhere, PlatformCases,
    ::testing::Values(
        // In the test locale (C.UTF-8) the system's pages are Western: 1252 and Mac Roman.
        Convert("AnsiIsWestern", "-ANSI", "-u8n", Bytes({0xE9, 0x80}),
                Bytes({0xC3, 0xA9, 0xE2, 0x82, 0xAC}), ""),
        Convert("Dos437", "-IBM437", "-u16n", Bytes({0x82, 0xB0}), Bytes({0xE9, 0x00, 0x91, 0x25}),
                ""),
        Convert("MacIsRoman", "-MAC", "-u8n", Bytes({0x8E, 0xA5}),
                Bytes({0xC3, 0xA9, 0xE2, 0x80, 0xA2}), ""),
        Convert("CyrillicBothWays", "-KOI8R", "-u16n", Bytes({0xC1, 0xF7}),
                Bytes({0x30, 0x04, 0x12, 0x04}), ""),
        Convert("Utf16IntoCp866", "-u16", "-CP866", Bytes({0x3F, 0x04, 0x41, 0x00, 0x51, 0x04}),
                Bytes({0xAF, 0x41, 0xF1}), ""),
        // The unassigned bytes of the 125x pages are the C1 controls of the same number.
        Convert("UnassignedCp1252Byte", "-A1252", "-u8n", Bytes({0x81}), Bytes({0xC2, 0x81}), ""),
        // A letter the page lacks is written as a similar one.
        Convert("MissingLetter", "-u8", "-A1252", Bytes({0xC4, 0x80}), "A", ""),
        // Byte AF of ISO 8859-8 is the overline.
        Convert("Iso8859_8Af", "-ISO8", "-u8n", Bytes({0xAF}), Bytes({0xE2, 0x80, 0xBE}), "")),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    PerPlatform, PlatformCases,
    ::testing::Values(
        // Wine shows the Linux file system as drive Z: and quotes the program's path.
        LoggedRun("FoldersAndCommandLineOnLinux", "/*", "/*", "native"),
        LoggedRun("FoldersAndCommandLineOnWindows", "Z:\\*", "\"Z:\\*", kWindows)),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

}  // namespace
