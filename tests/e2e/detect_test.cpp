// "--detect FILE...": the Linux program tells what each file most likely is, one line each, in
// a form the next command takes.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

using namespace std::string_literals;

// Russian in Windows-1251: "Do not open the file while another program writes to it; wait
// until the work is finished and the file is closed."
const std::string kRussian1251 =
    "\xcd\xe5 \xee\xf2\xea\xf0\xfb\xe2\xe0\xe9\xf2\xe5 \xf4\xe0\xe9\xeb, \xef\xee\xea\xe0 "
    "\xe4\xf0\xf3\xe3\xe0\xff \xef\xf0\xee\xe3\xf0\xe0\xec\xec\xe0 \xef\xe8\xf8\xe5\xf2 "
    "\xe2 \xed\xe5\xe3\xee; \xe4\xee\xe6\xe4\xe8\xf2\xe5\xf1\xfc, \xef\xee\xea\xe0 "
    "\xf0\xe0\xe1\xee\xf2\xe0 \xe7\xe0\xea\xee\xed\xf7\xe8\xf2\xf1\xff \xe8 \xf4\xe0\xe9\xeb "
    "\xe1\xf3\xe4\xe5\xf2 \xe7\xe0\xea\xf0\xfb\xf2.\n"s;

struct DetectCase {
    const char* name;
    std::string bytes;
    std::string line;  // what follows "f: "
};

const DetectCase kCases[] = {
    {"Cyrillic", kRussian1251, "-A1251 Windows-1251, 100% sure"},
    // Mac Roman has no option of its own: the system's Mac page is named, which it is here.
    {"MacRoman",
     "Le fichier a \x8Et\x8E d\x8Eplac\x8E \x88 c\x99t\x8E du r\x8Epertoire o\x9D il "
     "\x8Etait cr\x8E\x8E, \x88 20\xA1"
     "C.\n"s,
     "-MAC Mac page 10000, 100% sure"},
    {"Empty", "", "empty"},
    {"Binary",
     "\x7F"
     "ELF\x02\x01\x01\0\0\0"s,
     "binary"},
    {"Ascii", "plain text\n", "-U8- 7-bit text, which every page reads alike"},
    {"Utf8WithMark", "\xEF\xBB\xBFgr\xC3\xBC\xC3\x9F\n"s, "-U8 UTF-8 with byte order mark"},
    {"Utf16Unmarked", "h\0i\0\n\0"s, "-U16- UTF-16LE"},
    {"Utf8WithStrayByte", "gr\xC3\xBC\xC3\x9F \xFC ber \xC3\xA4\xC3\xB6\xC3\xBC \xC3\xA4\n"s,
     "-U8- UTF-8, but for 1 stray byte"},
    // Two accented letters say too little: the likely pages, likeliest first.
    {"Unsure", "\xE8\xE0\n"s, ""},
};

TEST(Detect, OneLinePerFileAndExitCode) {
    if (Flavor() != "native") {
        GTEST_SKIP() << "--detect is an option of the Linux program";
    }
    std::string folder = MakeTempDir();
    std::vector<std::string> arguments = {"--detect"};
    std::string expected;
    for (const DetectCase& c : kCases) {
        WriteBytes(folder + "/" + c.name, c.bytes);
        arguments.push_back(c.name);
    }
    RunOutput run = RunProgramCapturing(arguments, folder);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const DetectCase& c : kCases) {
        std::string start = std::string(c.name) + ": ";
        size_t at = run.out.find(start);
        ASSERT_NE(at, std::string::npos) << c.name << " in:\n" << run.out;
        std::string line =
            run.out.substr(at + start.size(), run.out.find('\n', at) - at - start.size());
        if (!c.line.empty()) {
            EXPECT_EQ(line, c.line) << c.name;
        } else {
            EXPECT_NE(line.find("unsure"), std::string::npos) << line;
            EXPECT_GE(std::count(line.begin(), line.end(), '-'), 2) << line;
        }
    }
    // A file that cannot be read is named on standard error and ends the run with 21; the
    // others are still told.
    RunOutput missing = RunProgramCapturing({"--detect", "nosuch", "Empty"}, folder);
    EXPECT_EQ(missing.exitCode, 21);
    EXPECT_EQ(missing.out, "Empty: empty\n");
    EXPECT_NE(missing.err.find("nosuch"), std::string::npos) << missing.err;
    RemoveTree(folder);
}

// Where the system's Mac page is another, Mac Roman text is named by a page that reads it
// alike, and that option converts it right.
TEST(Detect, NamesAPageNoOptionNamesByOneThatReadsItAlike) {
    if (Flavor() != "native") {
        GTEST_SKIP() << "--detect is an option of the Linux program";
    }
    std::string folder = MakeTempDir();
    WriteBytes(folder + "/mac", kCases[1].bytes);
    Surroundings arabic;
    arabic.locale = "ar_EG.UTF-8";
    RunOutput run = RunProgramCapturing({"--detect", "mac"}, folder, false, arabic);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.out.rfind("mac: -MAC", 0), 0u) << run.out;
    std::string option = run.out.substr(5, run.out.find(' ', 5) - 5);
    EXPECT_NE(option, "-MAC");
    RunOutput convert = RunProgramCapturing({option, "-U8-", "mac", "out"}, folder, false, arabic);
    EXPECT_EQ(convert.exitCode, 0) << convert.err;
    EXPECT_EQ(ReadBytes(folder + "/out"),
              "Le fichier a été déplacé à côté du répertoire où il était créé, à 20°C.\n");
    RemoveTree(folder);
}

TEST(Detect, ReadsStandardInput) {
    if (Flavor() != "native") {
        GTEST_SKIP() << "--detect is an option of the Linux program";
    }
    std::string folder = MakeTempDir();
    WriteBytes(folder + "/stdin", kRussian1251);
    Streams streams;
    streams.in = open((folder + "/stdin").c_str(), O_RDONLY);
    streams.out = open((folder + "/stdout").c_str(), O_WRONLY | O_CREAT, 0600);
    int status = RunProgramWithStreams({"--detect", "-"}, folder, streams);
    close(streams.in);
    close(streams.out);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadBytes(folder + "/stdout"), "-: -A1251 Windows-1251, 100% sure\n");
    RemoveTree(folder);
}

}  // namespace
