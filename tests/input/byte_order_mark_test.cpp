// Byte order marks: which one a loaded file carries, and what recognising it leaves behind.
#include <gtest/gtest.h>

#include "src/input/convert_file.h"
#include "src/input/load_input.h"
#include "tests/input/input_run.h"
#include "tests/support/test_files.h"

namespace {

constexpr CodePageId kUtf8 = static_cast<CodePageId>(CP_UTF8);
constexpr CodePageId kAnsi = static_cast<CodePageId>(CP_ACP);

struct MarkCase {
    const char* name;
    std::string bytes;
    CodePageId sourceCp;  // what recognition settles on
    uint32_t skipped;     // 0: no mark, the data was sniffed
    RunStatus status;     // exit code of a recognition-only run
};

std::ostream& operator<<(std::ostream& out, const MarkCase& c) {
    return out << c.name << " [" << Hex(c.bytes) << "]";
}

class MarkTable : public ::testing::TestWithParam<MarkCase> {
protected:
    void SetUp() override { folder = MakeTempDir(); }
    void TearDown() override {
        ReleaseWorkBuffer();
        RemoveTree(folder);
    }
    std::string Input(const std::string& bytes) {
        WriteBytes(folder + "/in.txt", bytes);
        return folder + "/in.txt";
    }
    std::string folder;
};

TEST_P(MarkTable, RecognitionOnlyExitCode) {
    const MarkCase& c = GetParam();
    StartRun(Input(c.bytes), CP_AUTODETECT, CP_DETECT_ONLY);
    EXPECT_EQ(ConvertFile(), c.status);
    EXPECT_EQ(runState.status, c.status);
    EXPECT_EQ(runState.sourceCp, c.sourceCp);
    EXPECT_EQ(runState.inputHadBom, c.skipped != 0 ? 1 : 0);
    EXPECT_EQ(runState.inputSize, c.bytes.size());
    EXPECT_EQ(runState.workBuffer.block, nullptr);
}

TEST_P(MarkTable, CursorsAfterRecognition) {
    const MarkCase& c = GetParam();
    StartRun(Input(c.bytes), CP_AUTODETECT, CP_UTF16LE);
    ASSERT_TRUE(RecognizeInput());
    const WorkBuffer& buffer = runState.workBuffer;
    EXPECT_EQ(BlockOffset(buffer.writeBase), kUnusedBytes);
    EXPECT_EQ(BlockOffset(buffer.readCursor), kBlockOverhead + static_cast<long>(c.skipped));
    EXPECT_EQ(BlockOffset(buffer.readEnd), kBlockOverhead + static_cast<long>(c.bytes.size()));
    EXPECT_EQ(runState.inputByteCount, c.bytes.size() - c.skipped);
    EXPECT_EQ(runState.inputSize, c.bytes.size());
    EXPECT_EQ(runState.sourceCp, c.sourceCp);
    EXPECT_EQ(runState.requestedSourceCp, CP_AUTODETECT);
    // Before the bom offset is added: 1 to 6.
    EXPECT_EQ(runState.status, c.skipped != 0 ? c.status - kStatusBomOffset : c.status);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.readEnd), 4), std::string(4, '\0'));
}

// An explicitly named source gives way to a mark; without a mark nothing is guessed.
TEST_P(MarkTable, NamedSourceYieldsOnlyToAMark) {
    const MarkCase& c = GetParam();
    StartRun(Input(c.bytes), kAnsi, CP_UTF16LE);
    runState.status = kStatusUsage;
    ASSERT_TRUE(RecognizeInput());
    EXPECT_EQ(runState.requestedSourceCp, kAnsi);
    EXPECT_EQ(BlockOffset(runState.workBuffer.readCursor),
              kBlockOverhead + static_cast<long>(c.skipped));
    if (c.skipped != 0) {
        EXPECT_EQ(runState.sourceCp, c.sourceCp);
        EXPECT_EQ(runState.inputHadBom, 1);
        EXPECT_EQ(runState.status, c.status - kStatusBomOffset);
    } else {
        EXPECT_EQ(runState.sourceCp, kAnsi);
        EXPECT_EQ(runState.inputHadBom, 0);
        EXPECT_EQ(runState.status, kStatusUsage) << "no recognition may touch the status";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Marks, MarkTable,
    ::testing::Values(
        MarkCase{"Utf8", Bytes({0xEF, 0xBB, 0xBF, 0x41}), kUtf8, 3, 11},
        MarkCase{"Utf8MarkAlone", Bytes({0xEF, 0xBB, 0xBF}), kUtf8, 3, 11},
        MarkCase{"Utf8MarkOnOddCount", Bytes({0xEF, 0xBB, 0xBF, 0x41, 0x42}), kUtf8, 3, 11},
        MarkCase{"Utf8MarkThen7Bit", Bytes({0xEF, 0xBB, 0xBF, 0x41, 0, 0x42}), kUtf8, 3, 11},
        MarkCase{"Utf32le", Bytes({0xFF, 0xFE, 0, 0, 0x41, 0, 0, 0}), CP_UTF32LE, 4, 15},
        MarkCase{"Utf32leMarkAlone", Bytes({0xFF, 0xFE, 0, 0}), CP_UTF32LE, 4, 15},
        MarkCase{"Utf32be", Bytes({0, 0, 0xFE, 0xFF, 0, 0, 0, 0x41}), CP_UTF32BE, 4, 16},
        MarkCase{"Utf32beMarkAlone", Bytes({0, 0, 0xFE, 0xFF}), CP_UTF32BE, 4, 16},
        MarkCase{"Utf16le", Bytes({0xFF, 0xFE, 0x41, 0}), CP_UTF16LE, 2, 13},
        MarkCase{"Utf16leMarkAlone", Bytes({0xFF, 0xFE}), CP_UTF16LE, 2, 13},
        MarkCase{"Utf16leStartingWithU0000", Bytes({0xFF, 0xFE, 0, 0, 0x41, 0}), CP_UTF16LE, 2, 13},
        MarkCase{"Utf16be", Bytes({0xFE, 0xFF, 0, 0x41}), CP_UTF16BE, 2, 14},
        MarkCase{"Utf16beMarkAlone", Bytes({0xFE, 0xFF}), CP_UTF16BE, 2, 14},
        // No mark: the count rules it out or the data is shorter than the mark.
        MarkCase{"Utf32beMarkOnSixBytes", Bytes({0, 0, 0xFE, 0xFF, 0, 0x41}), CP_UTF16BE, 0, 4},
        MarkCase{"Utf16leMarkOnOddCount", Bytes({0xFF, 0xFE, 0x41}), kAnsi, 0, 2},
        MarkCase{"Utf16beMarkOnOddCount", Bytes({0xFE, 0xFF, 0x41}), kAnsi, 0, 2},
        MarkCase{"Utf32leMarkOnOddCount", Bytes({0xFF, 0xFE, 0, 0, 0x41}), kAnsi, 0, 2},
        MarkCase{"HalfUtf8Mark", Bytes({0xEF, 0xBB}), kAnsi, 0, 2},
        MarkCase{"OneByte", Bytes({0xC3}), kAnsi, 0, 2},
        MarkCase{"OneZeroByte", Bytes({0}), kAnsi, 0, 2},
        MarkCase{"MarkNotAtStart", Bytes({0x41, 0xEF, 0xBB, 0xBF}), kUtf8, 0, 1}),
    [](const ::testing::TestParamInfo<MarkCase>& info) { return info.param.name; });

}  // namespace
