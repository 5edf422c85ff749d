// Texts that leave as they came (a mark kept, taken away or added, or none) are copied by the
// system from the input to the temporary where it can. Whatever the way, the user must see the
// same: each case runs with the input beside the output, where Linux copies inside the kernel
// (unless a mark is added, which the block does faster), and again with the input on another
// file system (/dev/shm, through a link), where the kernel declines and the text is read into
// the block and written from it; output, exit code and log record must agree, and match the
// table.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

const std::string kBullet = " \xE2\x80\xA2 ";
const std::string kUtf8Mark = "\xEF\xBB\xBF";
const std::string kText =
    "Gr\xC3\xBC\xC3\x9F"
    "e, \xD0\xBC\xD0\xB8\xD1\x80! \xE2\x82\xAC 42\n";

std::string Repeat(const std::string& piece, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

// A number as the log groups it: "12 345".
std::string Grouped(size_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            out.push_back(' ');
        }
        out.push_back(digits[i]);
    }
    return out;
}

struct CopyCase {
    const char* name;
    std::vector<std::string> options;  // the encodings; "in.txt out.txt -orun.log" follow
    std::string input;
    int exitCode;
    std::string output;  // when exitCode is 0
    std::string codePages;
    std::string sizes;  // empty: "<input> ==>> <output>" from the bytes
};

void PrintTo(const CopyCase& c, std::ostream* out) {
    *out << c.name;
}

// What one run left: the output (or that there is none), the exit code, the log without its
// time stamp, the folder's names.
struct Outcome {
    int exitCode = -1;
    bool hasOutput = false;
    std::string output;
    std::string log;
    std::set<std::string> names;
};

class TextCopy : public ::testing::TestWithParam<CopyCase> {
protected:
    void SetUp() override {
        if (!FlavorMatches("native")) {
            GTEST_SKIP() << "the Windows programs read and write every text";
        }
        folder = MakeTempDir();
    }
    void TearDown() override {
        RemoveTree(folder);
        if (!elsewhere.empty()) {
            RemoveTree(elsewhere);
        }
    }

    // A folder on another file system than the test's, or "" when there is none.
    std::string OtherFileSystem() {
        struct stat here {};
        struct stat shm {};
        if (stat(folder.c_str(), &here) != 0 || stat("/dev/shm", &shm) != 0 ||
            here.st_dev == shm.st_dev || access("/dev/shm", W_OK) != 0) {
            return "";
        }
        char pattern[] = "/dev/shm/codeshift-test-XXXXXX";
        return mkdtemp(pattern) != nullptr ? pattern : "";
    }

    // Runs in a folder emptied first; with `other`, in.txt is a link to the input there.
    Outcome Run(const std::vector<std::string>& options, const std::string& input,
                const std::string& other) {
        RemoveTree(folder);
        std::filesystem::create_directory(folder);
        if (other.empty()) {
            WriteBytes(folder + "/in.txt", input);
        } else {
            WriteBytes(other + "/in.txt", input);
            std::filesystem::create_symlink(other + "/in.txt", folder + "/in.txt");
        }
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {"in.txt", "out.txt", "-orun.log"});
        RunOutput run = RunProgramCapturing(arguments, folder);
        Outcome o;
        o.exitCode = run.exitCode;
        o.hasOutput = FileExists(folder + "/out.txt");
        o.output = o.hasOutput ? ReadBytes(folder + "/out.txt") : "";
        o.log = ReadBytes(folder + "/run.log");
        size_t stamp = o.log.find(std::string(52, '-') + "\n");
        if (stamp != std::string::npos) {
            size_t end = o.log.find('\n', stamp + 53);
            o.log.erase(stamp + 53, end - (stamp + 53));
        }
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            o.names.insert(entry.path().filename().string());
        }
        EXPECT_EQ(ReadBytes(folder + "/in.txt"), input) << "the input must keep its content";
        return o;
    }

    std::string folder;
    std::string elsewhere;
};

TEST_P(TextCopy, GivesWhatReadingAndWritingGives) {
    const CopyCase& c = GetParam();
    Outcome copied = Run(c.options, c.input, "");
    EXPECT_EQ(copied.exitCode, c.exitCode);
    if (c.exitCode == 0) {
        EXPECT_EQ(Hex(copied.output), Hex(c.output));
    }
    EXPECT_EQ(copied.hasOutput, c.exitCode == 0);
    std::string sizes =
        c.sizes.empty() ? Grouped(c.input.size()) + " ==>> " + Grouped(c.output.size()) : c.sizes;
    std::string code = c.exitCode == 0 ? "0 (0x00)  "
                                       : "21 (0x15) \xC2\xA1"
                                         "Error!";
    EXPECT_NE(
        copied.log.find(kBullet + "   CodePage:  " + c.codePages + "\n" + kBullet +
                        "       Size:  " + sizes + "\n" + kBullet + "Return Code:  " + code + "\n"),
        std::string::npos)
        << copied.log;
    std::set<std::string> names = {"in.txt", "run.log"};
    if (c.exitCode == 0) {
        names.insert("out.txt");
    }
    EXPECT_EQ(copied.names, names) << "a temporary was left";

    elsewhere = OtherFileSystem();
    if (elsewhere.empty()) {
        GTEST_SKIP() << "no second file system (/dev/shm) to compare with";
    }
    Outcome read = Run(c.options, c.input, elsewhere);
    EXPECT_EQ(read.exitCode, copied.exitCode);
    EXPECT_EQ(Hex(read.output), Hex(copied.output));
    EXPECT_EQ(read.hasOutput, copied.hasOutput);
    EXPECT_EQ(read.log, copied.log);
    EXPECT_EQ(read.names, copied.names);
}

const std::string kUtf16Text = std::string("G\0r\0\xFC\0\x3C\x04 \0", 10);
const std::string kUtf16BeText = std::string("\0G\0r\0\xFC\x04\x3C\0 ", 10);
const std::string kUtf32Text = std::string("A\0\0\0\x3C\x04\0\0", 8);

INSTANTIATE_TEST_SUITE_P(
    Routes, TextCopy,
    ::testing::Values(
        CopyCase{"AddsTheMark",
                 {"-UTF8", "-UTF8"},
                 kText,
                 0,
                 kUtf8Mark + kText,
                 "UTF-8n ==>> UTF-8 BOM",
                 ""},
        CopyCase{"RemovesTheNamedMark",
                 {"-UTF8", "-U8-"},
                 kUtf8Mark + kText,
                 0,
                 kText,
                 "UTF-8 BOM ==>> UTF-8n",
                 ""},
        CopyCase{"RemovesTheRecognisedMark",
                 {"-T", "-U8-"},
                 kUtf8Mark + kText,
                 0,
                 kText,
                 "TEST :: UTF-8 BOM ==>> UTF-8n",
                 ""},
        CopyCase{"KeepsTheMark",
                 {"-T", "-UTF8"},
                 kUtf8Mark + kText,
                 0,
                 kUtf8Mark + kText,
                 "TEST :: UTF-8 BOM ==>> UTF-8 BOM",
                 ""},
        CopyCase{"PassesUtf8On", {"-U8", "-U8-"}, kText, 0, kText, "UTF-8n ==>> UTF-8n", ""},
        CopyCase{"PassesACodePageOn",
                 {"-A1251", "-A1251"},
                 "\x80\xC0\xFF\x41",
                 0,
                 "\x80\xC0\xFF\x41",
                 "A1251 ==>> A1251",
                 ""},
        CopyCase{"WithoutTargetRepeatsTheInput",
                 {"-U16-"},
                 "\xFF\xFE" + kUtf16Text,
                 0,
                 "\xFF\xFE" + kUtf16Text,
                 "UTF-16LE BOM ==>> UTF-16LE BOM",
                 ""},
        CopyCase{"KeepsBigEndianAsItIs",
                 {"-T", "-U16BE-"},
                 "\xFE\xFF" + kUtf16BeText,
                 0,
                 kUtf16BeText,
                 "TEST :: UTF-16BE BOM ==>> UTF-16BEn",
                 ""},
        CopyCase{"RemovesAUtf32Mark",
                 {"-T", "-U32-"},
                 std::string("\xFF\xFE\0\0", 4) + kUtf32Text,
                 0,
                 kUtf32Text,
                 "TEST :: UTF-32LE BOM ==>> UTF-32LEn",
                 ""},
        // The mark overrides the named source, and then the text needs no converting.
        CopyCase{"MarkMakesItACopy",
                 {"-A1251", "-UTF16"},
                 "\xFF\xFE" + kUtf16Text,
                 0,
                 "\xFF\xFE" + kUtf16Text,
                 "A1251 :: UTF-16LE BOM ==>> UTF-16LE BOM",
                 ""},
        // A named UTF-16 source of an odd count keeps its last byte as it is.
        CopyCase{"PartialUnitStays",
                 {"-U16-", "-U16-"},
                 std::string("A\0B", 3),
                 0,
                 std::string("A\0B", 3),
                 "UTF-16LEn ==>> UTF-16LEn",
                 ""},
        CopyCase{"ShorterThanAMark",
                 {"-U8", "-UTF8"},
                 "A",
                 0,
                 kUtf8Mark + "A",
                 "UTF-8n ==>> UTF-8 BOM",
                 ""},
        CopyCase{
            "MarkAloneRemoved", {"-UTF8", "-U8-"}, kUtf8Mark, 0, "", "UTF-8 BOM ==>> UTF-8n", ""},
        CopyCase{"MarkAloneKept",
                 {"-T", "-UTF8"},
                 kUtf8Mark,
                 0,
                 kUtf8Mark,
                 "TEST :: UTF-8 BOM ==>> UTF-8 BOM",
                 ""},
        CopyCase{
            "EmptyInputIsRefused", {"-U8", "-U8-"}, "", 21, "", "UTF-8n ==>> UTF-8n", "0 ==>> 0"},
        // Larger than one request to the kernel, and not a multiple of a page.
        CopyCase{"LargeText",
                 {"-T", "-U8-"},
                 kUtf8Mark + Repeat(kText, (17u << 20) / kText.size()),
                 0,
                 Repeat(kText, (17u << 20) / kText.size()),
                 "TEST :: UTF-8 BOM ==>> UTF-8n",
                 ""}),
    [](const ::testing::TestParamInfo<CopyCase>& info) { return info.param.name; });

// Replacing the input itself: the input is still open while its replacement is made.
TEST_F(TextCopy, ReplacesTheInputItself) {
    struct Replacement {
        std::vector<std::string> options;
        std::string input;
        std::string output;
    };
    for (const Replacement& r :
         {Replacement{{"-A1251", "-A1251", "-r"}, "\xC0\xE1\xE2", "\xC0\xE1\xE2"},
          Replacement{{"-T", "-U8-", "-r"}, kUtf8Mark + kText, kText}}) {
        RemoveTree(folder);
        std::filesystem::create_directory(folder);
        WriteBytes(folder + "/in.txt", r.input);
        chmod((folder + "/in.txt").c_str(), 0640);
        std::vector<std::string> arguments = r.options;
        arguments.push_back("in.txt");
        EXPECT_EQ(RunProgram(arguments, folder), 0);
        EXPECT_EQ(Hex(ReadBytes(folder + "/in.txt")), Hex(r.output));
        struct stat info {};
        ASSERT_EQ(stat((folder + "/in.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u) << "the replacement keeps the mode";
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        EXPECT_EQ(names, (std::set<std::string>{"in.txt"})) << "a temporary was left";
    }
}

}  // namespace
