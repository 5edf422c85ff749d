// Line ends rewritten on the way to the file: every way a line can end, in every unit width,
// with the text cut into two flush pieces at every place (a CR LF across the cut above all).
#include <gtest/gtest.h>

#include <string>

#include "src/state/run_state.h"
#include "src/transcode/line_ends.h"

namespace {

std::string written;

void Capture(uint8_t* bytes, uint32_t count) {
    written.append(reinterpret_cast<const char*>(bytes), count);
}

// The text in little-endian units of `width` bytes.
std::string Units(const std::string& text, int width) {
    std::string units;
    for (char c : text) {
        units.push_back(c);
        units.append(static_cast<size_t>(width - 1), '\0');
    }
    return units;
}

struct LineEndCase {
    const char* input;
    LineEnds mode;
    const char* output;
    uint64_t changed;
};

TEST(LineEnds, EveryLineEndWrittenOneWayAcrossEveryCut) {
    const LineEndCase cases[] = {
        {"a\r\nb\nc\rd", kLineEndsLf, "a\nb\nc\nd", 2},
        {"a\r\nb\nc\rd", kLineEndsCrLf, "a\r\nb\r\nc\r\nd", 2},
        {"\r\r\n\n\r", kLineEndsLf, "\n\n\n\n", 3},
        {"\r\r\n\n\r", kLineEndsCrLf, "\r\n\r\n\r\n\r\n", 3},
        {"x\r", kLineEndsLf, "x\n", 1},
        {"x\r", kLineEndsCrLf, "x\r\n", 1},
        {"plain\nlines\n", kLineEndsLf, "plain\nlines\n", 0},
        {"dos\r\nlines\r\n", kLineEndsCrLf, "dos\r\nlines\r\n", 0},
    };
    const struct {
        CodePageId target;
        int width;
    } forms[] = {{CP_UTF8, 1}, {CP_UTF16LE, 2}, {CP_UTF16BE, 2}, {CP_UTF32LE, 4}, {1251, 1}};
    for (const auto& form : forms) {
        for (const LineEndCase& c : cases) {
            std::string input = Units(c.input, form.width);
            for (size_t cut = 0; cut <= input.size(); cut += static_cast<size_t>(form.width)) {
                runState = RunState{};
                runState.targetCp = form.target;
                runState.lineEnds = c.mode;
                written.clear();
                std::string first = input.substr(0, cut), second = input.substr(cut);
                RewriteLineEnds(reinterpret_cast<uint8_t*>(first.data()),
                                static_cast<uint32_t>(first.size()), Capture);
                RewriteLineEnds(reinterpret_cast<uint8_t*>(second.data()),
                                static_cast<uint32_t>(second.size()), Capture);
                FinishLineEnds(Capture);
                SCOPED_TRACE(testing::Message() << "width " << form.width << ", cut at " << cut
                                                << ", input " << testing::PrintToString(c.input));
                EXPECT_EQ(written, Units(c.output, form.width));
                EXPECT_EQ(runState.lineEndsChanged, c.changed);
            }
        }
    }
}

// A text that doubles its line ends leaves in pieces that each fit the writer's buffer.
TEST(LineEnds, LongOutputLeavesInBoundedPieces) {
    runState = RunState{};
    runState.targetCp = CP_UTF16LE;
    runState.lineEnds = kLineEndsCrLf;
    std::string input = Units(std::string(100000, '\n'), 2);
    written.clear();
    static uint32_t largest = 0;
    RewriteLineEnds(reinterpret_cast<uint8_t*>(input.data()), static_cast<uint32_t>(input.size()),
                    [](uint8_t* bytes, uint32_t count) {
                        largest = std::max(largest, count);
                        Capture(bytes, count);
                    });
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        expected += "\r\n";
    }
    EXPECT_EQ(written, Units(expected, 2));
    EXPECT_LE(largest, kLineEndPieceBytes);
    EXPECT_EQ(runState.lineEndsChanged, 100000u);
}

}  // namespace
