// Guessing the encoding of unmarked input, through whole recognition-only runs on real files.
#include <gtest/gtest.h>

#include "src/input/convert_file.h"
#include "src/input/load_input.h"
#include "tests/input/input_run.h"
#include "tests/support/test_files.h"

namespace {

struct SniffCase {
    const char* name;
    std::string bytes;
    CodePageId sourceCp;
    RunStatus status;
};

std::ostream& operator<<(std::ostream& out, const SniffCase& c) {
    return out << c.name << " [" << Hex(c.bytes) << "]";
}

class SniffTable : public ::testing::TestWithParam<SniffCase> {
protected:
    void SetUp() override { folder = MakeTempDir(); }
    void TearDown() override { RemoveTree(folder); }
    std::string folder;
};

TEST_P(SniffTable, RecognitionOnlyRunReportsTheGuess) {
    const SniffCase& c = GetParam();
    std::string input = folder + "/in.txt";
    WriteBytes(input, c.bytes);
    StartRun(input, CP_AUTODETECT, CP_DETECT_ONLY);

    EXPECT_EQ(ConvertFile(), c.status);
    EXPECT_EQ(runState.status, c.status);
    EXPECT_EQ(runState.sourceCp, c.sourceCp);
    EXPECT_EQ(runState.requestedSourceCp, CP_AUTODETECT);
    EXPECT_EQ(runState.inputHadBom, 0);
    EXPECT_EQ(runState.inputSize, c.bytes.size());
    EXPECT_EQ(runState.workBuffer.block, nullptr) << "the block must be released";
    EXPECT_EQ(ReadBytes(input), c.bytes) << "the input must stay as it was";
}

TEST_P(SniffTable, LeavesTheLoadedDataAsItWas) {
    const SniffCase& c = GetParam();
    std::string input = folder + "/in.txt";
    WriteBytes(input, c.bytes);
    StartRun(input, CP_AUTODETECT, CP_UTF8);

    ASSERT_TRUE(RecognizeInput());
    EXPECT_EQ(runState.sourceCp, c.sourceCp);
    EXPECT_EQ(runState.status, c.status);
    const WorkBuffer& buffer = runState.workBuffer;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.readCursor), c.bytes.size()), c.bytes);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.readEnd), 4), std::string(4, '\0'));
    ReleaseWorkBuffer();
}

constexpr CodePageId kUtf8 = static_cast<CodePageId>(CP_UTF8);
constexpr CodePageId kAnsi = static_cast<CodePageId>(CP_ACP);

INSTANTIATE_TEST_SUITE_P(
    ZeroBytesThenUtf8Walk, SniffTable,
    ::testing::Values(
        SniffCase{"ZeroPairAtOffset2", Bytes({0x41, 0, 0, 0}), CP_UTF32LE, 5},
        SniffCase{"ZeroPairAtOffset0", Bytes({0, 0, 0, 0x41}), CP_UTF32BE, 6},
        SniffCase{"FirstZeroPairDecides", Bytes({0x46, 0, 0, 0, 0, 0, 0, 0}), CP_UTF32LE, 5},
        SniffCase{"Utf16leByFirstZeroAtOdd", Bytes({0x41, 0, 0x42, 0}), CP_UTF16LE, 3},
        SniffCase{"Utf16beByFirstByteZero", Bytes({0, 0x41, 0, 0x42}), CP_UTF16BE, 4},
        SniffCase{"Utf16beByFirstZeroAtEven", Bytes({0x41, 0x42, 0, 0x43}), CP_UTF16BE, 4},
        SniffCase{"ZeroPairAtOddOffsetUnseen", Bytes({0x41, 0, 0, 0x42}), CP_UTF16LE, 3},
        SniffCase{"U0100TakenAsBigEndian", Bytes({0, 0x01, 0x41, 0}), CP_UTF16BE, 4},
        SniffCase{"SixBytesNoUtf32Test", Bytes({0x41, 0, 0, 0, 0x42, 0}), CP_UTF16LE, 3},
        SniffCase{"Utf32beMarkWithSixBytes", Bytes({0, 0, 0xFE, 0xFF, 0, 0x41}), CP_UTF16BE, 4},
        SniffCase{"TwoBytesLittleEndian", Bytes({0x41, 0}), CP_UTF16LE, 3},
        SniffCase{"TwoBytesBigEndian", Bytes({0, 0x41}), CP_UTF16BE, 4},
        SniffCase{"ZeroDecidesBeforeWalk", Bytes({0xC3, 0xA9, 0x41, 0}), CP_UTF16LE, 3},
        SniffCase{"SevenBitOdd", Bytes({0x41, 0x42, 0x43}), kAnsi, 2},
        SniffCase{"SevenBitEven", Bytes({0x41, 0x42, 0x43, 0x44}), kAnsi, 2},
        SniffCase{"TwoByteSequence", Bytes({0xC3, 0xA9}), kUtf8, 1},
        SniffCase{"ThreeByteSequence", Bytes({0xE2, 0x82, 0xAC, 0x41}), kUtf8, 1},
        SniffCase{"WalkEndsAtZero", Bytes({0xC3, 0xA9, 0}), kUtf8, 1},
        SniffCase{"WalkEndsBeforeSequence", Bytes({0x61, 0, 0xC3, 0xA9, 0x62}), kAnsi, 2},
        SniffCase{"NoContinuationByte", Bytes({0xC3, 0x28}), kAnsi, 2},
        SniffCase{"ThreeByteLeadThenAscii", Bytes({0xE9, 0x74, 0xE9}), kAnsi, 2},
        SniffCase{"CutOffThreeBytes", Bytes({0x41, 0xE2, 0x82}), kAnsi, 2},
        SniffCase{"CutOffTwoBytes", Bytes({0x41, 0x42, 0xC3}), kAnsi, 2},
        SniffCase{"LoneContinuation", Bytes({0x80}), kAnsi, 2},
        SniffCase{"F8IsNoLead", Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), kAnsi, 2},
        SniffCase{"CutOffByTerminator", Bytes({0xEF, 0xBB}), kAnsi, 2},
        SniffCase{"FfIsNoLead", Bytes({0xFF, 0xFE, 0x41}), kAnsi, 2},
        SniffCase{"OverlongTwoBytes", Bytes({0xC0, 0x80}), kUtf8, 1},
        SniffCase{"OverlongThreeBytes", Bytes({0xE0, 0x80, 0x80}), kUtf8, 1},
        SniffCase{"EncodedSurrogate", Bytes({0xED, 0xA0, 0x80}), kUtf8, 1},
        SniffCase{"AboveU10FFFF", Bytes({0xF4, 0x90, 0x80, 0x80}), kUtf8, 1},
        SniffCase{"LeadF7", Bytes({0xF7, 0xBF, 0xBF, 0xBF}), kUtf8, 1},
        // The tests in their order, and the walk's far end.
        SniffCase{"OneAsciiByte", Bytes({0x41}), kAnsi, 2},
        SniffCase{"LoneZeroByte", Bytes({0}), kAnsi, 2},
        SniffCase{"FourByteSequenceOdd", Bytes({0xF0, 0x9F, 0x98, 0x80, 0x41}), kUtf8, 1},
        SniffCase{"Utf8ThenBadLateByte", Bytes({0xC3, 0xA9, 0x41, 0x42, 0x43, 0xFF, 0x44, 0x45}),
                  kAnsi, 2},
        SniffCase{"Utf32TestBeforeUtf16", Bytes({0x41, 0x42, 0, 0, 0x43, 0, 0x44, 0x45}),
                  CP_UTF32LE, 5},
        SniffCase{"LateZeroPairAtFourK", Bytes({0x41, 0x42, 0x43, 0x44, 0, 0, 0x45, 0x46}),
                  CP_UTF32BE, 6},
        SniffCase{"OddCountNeverUtf16", Bytes({0x41, 0, 0x42, 0, 0x43}), kAnsi, 2}),
    [](const ::testing::TestParamInfo<SniffCase>& info) { return info.param.name; });

}  // namespace
