// A guessed source that meets a binary file refuses it: converting it as text would write a
// corrupt copy. A named source still converts it, and recognition still only reports.
#include <gtest/gtest.h>

#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

using namespace std::string_literals;

struct BinaryCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> arguments;
    int exitCode;
    bool written;
};

TEST(BinaryInput, RefusedOnlyWhenTheSourceIsGuessed) {
    const std::string elf =
        "\x7F"
        "ELF\x02\x01\x01\0\0\0abc"s;
    const std::string controls =
        "ab\x01\x02\x03"
        "cd\x04"s;
    const BinaryCase cases[] = {
        {"ElfGuessed", elf, {"-T", "-U8", "in", "out"}, 21, false},
        {"ControlsGuessed", controls, {"-T", "-U16", "in", "out"}, 21, false},
        {"ElfReplacedInPlace", elf, {"-T", "-U8", "-r", "in"}, 21, false},
        // Zero bytes that make the guess UTF-32BE leave a program's signature what it is.
        {"ElfGuessedAsUtf32",
         "\x7F"
         "ELF\0\0\0A\0\0\0B\0\0\0C"s,
         {"-T", "-U8", "-r", "in"},
         21,
         false},
        {"ElfNamedSource", elf, {"-A1252", "-U8", "in", "out"}, 0, true},
        {"Utf16TextGuessed", "h\0i\0\n\0"s, {"-T", "-U8", "in", "out"}, 0, true},
        {"ElfRecognised", elf, {"in"}, 2, false},
    };
    for (const BinaryCase& c : cases) {
        std::string folder = MakeTempDir();
        WriteBytes(folder + "/in", c.bytes);
        RunOutput run = RunProgramCapturing(c.arguments, folder);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << ": " << run.err;
        EXPECT_EQ(FileExists(folder + "/out"), c.written) << c.name;
        EXPECT_EQ(ReadBytes(folder + "/in"), c.bytes) << c.name << ": the input is kept";
        if (c.exitCode == 21 && Flavor() == "native") {
            EXPECT_NE(run.err.find("looks like a binary file, not text; name its source to "
                                   "convert it anyway"),
                      std::string::npos)
                << c.name << ": " << run.err;
        }
        RemoveTree(folder);
    }
}

}  // namespace
