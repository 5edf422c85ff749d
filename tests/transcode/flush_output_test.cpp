// The pieces the output is written in: their sizes follow from the head room and the flush
// margin, and joined they are exactly the one-shot conversion.
#include <gtest/gtest.h>

#include <vector>

#include "src/transcode/flush_output.h"
#include "tests/support/test_files.h"
#include "tests/transcode/work_block.h"

namespace {

constexpr CodePageId kUtf8 = static_cast<CodePageId>(CP_UTF8);

std::string Ascii(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text.push_back(static_cast<char>('a' + i % 26));
    }
    return text;
}

std::string Widened(const std::string& ascii, int width, bool bigEndian) {
    std::string wide;
    for (char c : ascii) {
        std::string unit(static_cast<size_t>(width), '\0');
        unit[bigEndian ? width - 1 : 0] = c;
        wide += unit;
    }
    return wide;
}

struct PieceCase {
    const char* name;
    CodePageId target;
    int width;
    std::vector<uint32_t> firstPieces;
};

void PrintTo(const PieceCase& c, std::ostream* out) {
    *out << c.name;
}

class FlushPieces : public ::testing::TestWithParam<PieceCase> {};

TEST_P(FlushPieces, GrowAsTheInputIsConsumed) {
    const PieceCase& c = GetParam();
    std::string text = Ascii(60000);
    Conversion run = Convert(kUtf8, c.target, false, text);
    ASSERT_GT(run.pieces.size(), c.firstPieces.size());
    for (size_t i = 0; i < c.firstPieces.size(); ++i) {
        EXPECT_EQ(run.pieces[i], c.firstPieces[i]) << "piece " << i;
    }
    std::string expected = Widened(text, c.width, c.target == CP_UTF16BE || c.target == CP_UTF32BE);
    EXPECT_TRUE(run.output == expected) << "the file differs from a one-shot conversion";
    EXPECT_TRUE(run.flushed == expected);
}

INSTANTIATE_TEST_SUITE_P(
    Utf8Ascii, FlushPieces,
    ::testing::Values(PieceCase{"ToUtf32Le", CP_UTF32LE, 4, {5444, 7256, 9676}},
                      PieceCase{"ToUtf32Be", CP_UTF32BE, 4, {5444, 7256, 9676}},
                      PieceCase{"ToUtf16Le", CP_UTF16LE, 2, {8162, 16324, 32648}},
                      PieceCase{"ToUtf16Be", CP_UTF16BE, 2, {8162, 16324, 32648}}),
    [](const ::testing::TestParamInfo<PieceCase>& info) { return info.param.name; });

// Output that never runs ahead of the input it has consumed leaves in one write.
TEST(FlushPieces, OneWriteWhenTheOutputNeverOutgrowsTheInput) {
    std::string ascii = Ascii(300000);
    struct Pair {
        CodePageId source;
        CodePageId target;
        std::string input;
    };
    const Pair pairs[] = {
        {kUtf8, kUtf8, ascii},
        {CP_UTF16LE, CP_UTF16BE, Widened(ascii, 2, false)},
        {CP_UTF32BE, CP_UTF32BE, Widened(ascii, 4, true)},
        {1251, 1251, ascii},
        {1251, 866, ascii},
        {CP_UTF32LE, kUtf8, Widened(ascii, 4, false)},
        {CP_UTF32LE, CP_UTF16LE, Widened(ascii, 4, false)},
        {CP_UTF32BE, 1252, Widened(ascii, 4, true)},
        {CP_UTF16LE, 1252, Widened(ascii, 2, false)},
    };
    for (const Pair& p : pairs) {
        Conversion run = Convert(p.source, p.target, false, p.input);
        EXPECT_EQ(run.pieces.size(), 1u) << p.source << " to " << p.target;
        EXPECT_EQ(run.outputByteCount, run.output.size());
    }
}

TEST(FlushPieces, NothingProducedNothingWritten) {
    Conversion run = Convert(kUtf8, CP_UTF32BE, true, Bytes({0xEF, 0xBB, 0xBF}), 3);
    EXPECT_TRUE(run.pieces.empty());
    EXPECT_EQ(Hex(run.output), "00 00 FE FF");
    EXPECT_EQ(run.outputByteCount, 4u);
}

// A flush of nothing neither counts nor writes; a piece is counted as it is handed over.
TEST(FlushOutputCall, CountsWhatItHandsOver) {
    runState = RunState{};
    runState.targetCp = CP_UTF16BE;
    LayOutInput("", 0);
    std::string folder = MakeTempDir();
    runState.outputFile = CreateFileW(WideAscii(folder + "/out").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    uint8_t* base = runState.workBuffer.writeBase;
    FlushOutput(base);
    EXPECT_EQ(runState.outputByteCount, 0u);
    base[0] = 'A';
    base[1] = 0;
    base[2] = 'B';
    FlushOutput(base + 3);
    EXPECT_EQ(runState.outputByteCount, 3u);
    EXPECT_FALSE(runState.outputWriteFailed);
    CloseHandle(runState.outputFile);
    std::free(runState.workBuffer.block);
    runState.workBuffer = WorkBuffer{nullptr, nullptr, nullptr, nullptr};
    // Whole units turned, the stub of a unit written as it stands.
    EXPECT_EQ(Hex(ReadBytes(folder + "/out")), "00 41 42");
    RemoveTree(folder);
}

}  // namespace
