// The whole record as WriteRunLog leaves it in the file, for each kind of run and each way
// the log file can be found.
#include "src/log/run_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <regex>
#include <thread>
#include <vector>

#include "src/log/log_file.h"
#include "src/platform/posix/command_line.h"
#include "src/platform/posix/wide_text.h"
#include "src/state/run_state.h"
#include "tests/support/test_files.h"

namespace {

const std::string kMark = "\xEF\xBB\xBF";
const std::string kRule(52, '-');

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class RunLog : public ::testing::Test {
protected:
    void SetUp() override {
        folder = MakeTempDir();
        path = folder + "/run.log";
        runState = RunState{};
        runState.logName = WideFromBytes(path);
        runState.logMode = kLogAppend;
        SetProcessArguments({WSTR("C:\\Program Files\\codeshift.exe"), WSTR("-o"), WSTR("run.log"),
                             WSTR("a b.txt")});
    }
    void TearDown() override {
        SetProcessArguments({});
        RemoveTree(folder);
    }

    // The lines every record starts with, up to the command line.
    std::vector<std::string> Head() const {
        return {
            "", kRule, "{time}",
            " \u2022  CurrentDir:  " + std::filesystem::current_path().string(),
            " \u2022 CommandLine:  \"C:\\Program Files\\codeshift.exe\" -o run.log \"a b.txt\""};
    }

    void ExpectRecord(const std::string& text, std::vector<std::string> tail) const {
        std::vector<std::string> expected = Head();
        expected.insert(expected.end(), tail.begin(), tail.end());
        std::vector<std::string> lines = Lines(text);
        ASSERT_EQ(lines.size(), expected.size()) << text;
        static const std::regex kTime(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d)");
        for (size_t i = 0; i < lines.size(); ++i) {
            if (expected[i] == "{time}") {
                EXPECT_TRUE(std::regex_match(lines[i], kTime)) << lines[i];
            } else {
                EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
            }
        }
    }

    std::string folder;
    std::string path;
};

struct RecordCase {
    const char* name;
    CodePageId requestedSourceCp;
    CodePageId sourceCp;
    uint8_t inputHadBom;
    CodePageId targetCp;
    uint8_t writeBom;
    const char16_t* inputName;
    const char16_t* outputName;
    uint32_t inputSize;
    uint32_t outputByteCount;
    RunStatus status;
    std::vector<std::string> tail;  // the lines after the command line
};

void PrintTo(const RecordCase& c, std::ostream* out) {
    *out << c.name;
}

class RecordTable : public RunLog, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(RecordTable, ShowsTheRun) {
    const RecordCase& c = GetParam();
    runState.requestedSourceCp = c.requestedSourceCp;
    runState.sourceCp = c.sourceCp;
    runState.inputHadBom = c.inputHadBom;
    runState.targetCp = c.targetCp;
    runState.writeBom = c.writeBom;
    runState.inputName = c.inputName;
    runState.outputName = c.outputName;
    runState.inputSize = c.inputSize;
    runState.outputByteCount = c.outputByteCount;
    runState.status = c.status;
    WriteRunLog();
    EXPECT_EQ(runState.status, c.status) << "the log never changes the status";
    std::string log = ReadBytes(path);
    ASSERT_EQ(log.substr(0, 3), kMark);
    ExpectRecord(log.substr(3), c.tail);
}

constexpr CodePageId kUtf8 = CP_UTF8;

INSTANTIATE_TEST_SUITE_P(
    Runs, RecordTable,
    ::testing::Values(
        RecordCase{"Conversion",
                   kUtf8,
                   kUtf8,
                   0,
                   CP_UTF16LE,
                   1,
                   u"in.txt",
                   u"out.txt",
                   1234,
                   2470,
                   0,
                   {" \u2022 Input  File:  in.txt", " \u2022 Output File:  out.txt",
                    " \u2022    CodePage:  UTF-8n ==>> UTF-16LE BOM",
                    " \u2022        Size:  1 234 ==>> 2 470", " \u2022 Return Code:  0 (0x00)  "}},
        RecordCase{"RecognitionBySniffing",
                   CP_AUTODETECT,
                   CP_UTF16BE,
                   0,
                   CP_DETECT_ONLY,
                   1,
                   u"in.txt",
                   u"",
                   6,
                   0,
                   4,
                   {" \u2022 Input  File:  in.txt", " \u2022    CodePage:  TEST :: UTF-16BEn",
                    " \u2022        Size:  6  ", " \u2022 Return Code:  4 (0x04)  "}},
        RecordCase{"NamesOutsideAscii",
                   1252,
                   1252,
                   0,
                   866,
                   1,
                   u"Gr\u00FC\u00DFe \u4E16\U0001F600.txt",
                   u"\u041F\u0440\u0438.txt",
                   4294967295u,
                   4294967295u,
                   0,
                   {" \u2022 Input  File:  Gr\u00FC\u00DFe \u4E16\U0001F600.txt",
                    " \u2022 Output File:  \u041F\u0440\u0438.txt",
                    " \u2022    CodePage:  A1252 ==>> CP866",
                    " \u2022        Size:  4 294 967 295 ==>> 4 294 967 295",
                    " \u2022 Return Code:  0 (0x00)  "}}),
    [](const ::testing::TestParamInfo<RecordCase>& info) { return info.param.name; });

TEST_F(RunLog, NewFileStartsWithMarkAndLineFeed) {
    WriteRunLog();
    std::string log = ReadBytes(path);
    EXPECT_EQ(Hex(log.substr(0, 5)), "EF BB BF 0A 2D");
    EXPECT_EQ(Hex(log.substr(log.size() - 9)), Hex("\xC2\xA1"
                                                   "Error!\n"));
    EXPECT_EQ(log.find('\r'), std::string::npos);
    EXPECT_EQ(runState.logMode, kLogOverwrite);
}

TEST_F(RunLog, AppendsFollowAfterOneEmptyLineWithoutSecondMark) {
    WriteRunLog();
    std::string first = ReadBytes(path);
    runState.logMode = kLogAppend;
    WriteRunLog();
    std::string both = ReadBytes(path);
    ASSERT_EQ(both.substr(0, first.size()), first);
    EXPECT_EQ(Count(both, kMark), 1u);
    EXPECT_EQ(both.substr(first.size(), 3), "\n--");
    std::vector<std::string> lines = Lines(both.substr(3));
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[9].substr(0, 17), " \u2022 Return Code:");
    EXPECT_EQ(lines[10], "");
    EXPECT_EQ(lines[11], kRule);
    EXPECT_EQ(runState.logMode, kLogAppend);
}

TEST_F(RunLog, AppendingToAnEmptyFileWritesNoMark) {
    WriteBytes(path, "");
    WriteRunLog();
    std::string log = ReadBytes(path);
    EXPECT_EQ(log.substr(0, 2), "\n-");
    EXPECT_EQ(Count(log, kMark), 0u);
}

TEST_F(RunLog, AppendingKeepsWhatIsThere) {
    for (const std::string& earlier : {kMark + "\n" + kRule + "\nearlier\n", "\n" + kRule + "\n"}) {
        WriteBytes(path, earlier);
        WriteRunLog();
        std::string log = ReadBytes(path);
        EXPECT_EQ(log.substr(0, earlier.size() + 2), earlier + "\n-");
        EXPECT_EQ(Count(log, kMark), Count(earlier, kMark));
        EXPECT_EQ(runState.logRefusal, kLogTaken);
    }
}

// Only a file that begins as a log does may take a record, in either mode.
TEST_F(RunLog, FileThatIsNoLogIsLeftAlone) {
    for (DWORD mode : {kLogAppend, kLogOverwrite}) {
        for (const std::string& text : {std::string("earlier\n"), kMark + "\n" + kRule, kMark,
                                        kMark + "\n" + kRule.substr(1) + "\n"}) {
            WriteBytes(path, text);
            runState.logMode = mode;
            runState.logRefusal = kLogTaken;
            WriteRunLog();
            EXPECT_EQ(ReadBytes(path), text);
            EXPECT_EQ(runState.logRefusal, kLogNotALog);
        }
    }
}

TEST_F(RunLog, OverwriteReplacesTheContent) {
    WriteBytes(path, kMark + "\n" + kRule +
                         "\nold record\nthat is long enough to outlast the new one" +
                         std::string(2000, 'x'));
    runState.logMode = kLogOverwrite;
    runState.status = 21;
    WriteRunLog();
    std::string log = ReadBytes(path);
    ASSERT_EQ(log.substr(0, 3), kMark);
    EXPECT_EQ(log.find("old"), std::string::npos);
    EXPECT_EQ(Lines(log.substr(3)).size(), 10u);
    EXPECT_EQ(log.substr(log.size() - 9),
              "\xC2\xA1"
              "Error!\n");
}

TEST_F(RunLog, NoRecordWhereNoFileCanBe) {
    std::filesystem::create_directory(folder + "/dir");
    for (DWORD mode : {kLogAppend, kLogOverwrite}) {
        for (const char* name : {"/dir", "/missing/run.log", "/dir/"}) {
            runState.logName = WideFromBytes(folder + name);
            runState.logMode = mode;
            runState.status = 3;
            WriteRunLog();
            EXPECT_EQ(runState.status, 3);
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/dir"));
    EXPECT_TRUE(std::filesystem::is_empty(folder + "/dir"));
    EXPECT_FALSE(FileExists(folder + "/missing"));
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++entries;
        EXPECT_EQ(entry.path().filename(), "dir");
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(RunLog, VeryLongNamesAreWrittenWhole) {
    WideString input(3000, u'\u00E9');
    WideString output = WSTR("out-") + WideString(5000, 'o');
    runState.inputName = input;
    runState.outputName = output;
    runState.requestedSourceCp = CP_AUTODETECT;
    runState.sourceCp = CP_ACP;
    runState.targetCp = CP_ACP;
    WriteRunLog();
    std::vector<std::string> lines = Lines(ReadBytes(path).substr(3));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[5], " \u2022 Input  File:  " + BytesFromWide(input.c_str()));
    EXPECT_EQ(lines[6], " \u2022 Output File:  " + BytesFromWide(output.c_str()));
    EXPECT_EQ(lines[7], " \u2022    CodePage:  TEST :: ANSI ==>> ANSI");
}

TEST_F(RunLog, LongWorkingDirectoryIsShownWhole) {
    std::filesystem::path start = std::filesystem::current_path();
    std::filesystem::path deep = folder;
    while (deep.string().size() < 1500) {
        deep /= std::string(100, 'd');
    }
    std::filesystem::create_directories(deep);
    std::filesystem::current_path(deep);
    WriteRunLog();
    std::filesystem::current_path(start);
    std::vector<std::string> lines = Lines(ReadBytes(path).substr(3));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[3], " \u2022  CurrentDir:  " + deep.string());
}

// Another run holding the log is waited for; the record arrives once it lets go.
TEST_F(RunLog, WaitsForTheRunThatHoldsTheLog) {
    const std::string earlier = kMark + "\n" + kRule + "\n";
    WriteBytes(path, earlier);
    HANDLE held = CreateFileW(runState.logName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        WriteRunLog();
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(done) << "wrote while another held the log";
    CloseHandle(held);
    writer.join();
    std::string log = ReadBytes(path);
    EXPECT_EQ(log.substr(0, earlier.size() + 2), earlier + "\n-");
    EXPECT_EQ(Lines(log).size(), 12u);
}

TEST_F(RunLog, GivesUpWhenTheLogStaysHeld) {
    WriteBytes(path, "held\n");
    HANDLE held = CreateFileW(runState.logName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    runState.status = 22;
    auto start = std::chrono::steady_clock::now();
    WriteRunLog();
    auto waited = std::chrono::steady_clock::now() - start;
    CloseHandle(held);
    EXPECT_EQ(ReadBytes(path), "held\n");
    EXPECT_EQ(runState.status, 22);
    EXPECT_GE(waited, std::chrono::milliseconds(1500));
    EXPECT_LE(waited, std::chrono::seconds(10));
}

struct Utf8Case {
    const char16_t* text;
    std::string bytes;
};

TEST(WriteUtf8Text, WritesTheUtf8FormWithoutTerminator) {
    std::string folder = MakeTempDir();
    const Utf8Case cases[] = {
        {u"", ""},
        {u"a\n", "a\n"},
        {u"\u2022\u00A1", "\xE2\x80\xA2\xC2\xA1"},
        {u"\uFEFFx", "\xEF\xBB\xBFx"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},
    };
    for (const Utf8Case& c : cases) {
        std::string path = folder + "/out";
        HANDLE file = CreateFileW(WideFromBytes(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LogWrite written = WriteUtf8Text(file, c.text);
        EXPECT_TRUE(written.whole);
        EXPECT_EQ(written.left, kLogRecordNothing);
        CloseHandle(file);
        EXPECT_EQ(Hex(ReadBytes(path)), Hex(c.bytes));
    }
    RemoveTree(folder);
}

}  // namespace

namespace {

// A name or an argument that tries to write lines of its own into the record, or to steer the
// terminal of whoever reads it: each stays on its own line, its control characters and bytes
// that are no text shown as "?".
TEST_F(RunLog, NamesAndArgumentsCannotForgeLines) {
    WideString forged = WSTR("a\n \u2022 Return Code:  0 (0x00)  \n\x1b[2J\u009b.txt");
    WideString noText = WSTR("b") + WideString(1, WCHAR(0xDCFF)) + WSTR(".txt");
    SetProcessArguments({WSTR("codeshift"), forged, noText});
    runState.inputName = forged;
    runState.outputName = noText;
    runState.sourceCp = runState.requestedSourceCp = 1252;
    runState.targetCp = CP_UTF8;
    runState.status = 21;
    WriteRunLog();
    std::vector<std::string> lines = Lines(ReadBytes(path).substr(3));
    ASSERT_EQ(lines.size(), 10u);
    const std::string shown = "a? \u2022 Return Code:  0 (0x00)  ??[2J?.txt";
    EXPECT_EQ(lines[4], " \u2022 CommandLine:  codeshift \"" + shown + "\" b?.txt");
    EXPECT_EQ(lines[5], " \u2022 Input  File:  " + shown);
    EXPECT_EQ(lines[6], " \u2022 Output File:  b?.txt");
    EXPECT_EQ(lines[9], " \u2022 Return Code:  21 (0x15) \u00A1Error!");
}

// A log that the run's own option brought into being, then refused as the run's input or
// output, goes again; one that was there before stays as it was.
TEST_F(RunLog, RefusedLogIsRemovedOnlyWhenThisRunMadeIt) {
    for (bool before : {false, true}) {
        for (bool input : {true, false}) {
            if (before) {
                WriteBytes(path, "");
            }
            runState.inputName = input ? runState.logName : WSTR("in.txt");
            runState.outputName = input ? WSTR("out.txt") : runState.logName;
            runState.logRefusal = kLogTaken;
            WriteRunLog();
            EXPECT_EQ(runState.logRefusal, input ? kLogIsInput : kLogIsOutput);
            EXPECT_EQ(FileExists(path), before) << "input " << input;
            std::filesystem::remove(path);
        }
    }
}

// A log the system will not open is noted with the system's reason, and nothing is made.
TEST_F(RunLog, UnopenableLogIsNotedWithTheSystemsReason) {
    runState.logName = WideFromBytes(folder + "/missing/run.log");
    WriteRunLog();
    EXPECT_EQ(runState.logRefusal, kLogUnwritten);
    EXPECT_NE(runState.logError, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(FileExists(folder + "/missing"));
}

// A file the kernel makes up reads as empty, yet a record written there is a command to it
// (here: the name of the test's own thread).
TEST_F(RunLog, NoRecordIntoTheKernelsFiles) {
    const std::string name = "/proc/self/comm";
    std::string before = ReadBytes(name);
    runState.logName = WideFromBytes(name);
    WriteRunLog();
    EXPECT_EQ(runState.logRefusal, kLogNoFile);
    EXPECT_EQ(ReadBytes(name), before);
}

}  // namespace
