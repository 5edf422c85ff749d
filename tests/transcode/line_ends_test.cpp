// Line ends rewritten on the way to the file: every way a line can end, in every unit width,
// with the text cut into two flush pieces at every place (a CR LF across the cut above all).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "src/state/run_state.h"
#include "src/transcode/kernels/route_kernels.h"
#include "src/transcode/line_ends.h"
#include "src/transcode/route_hooks.h"

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

// A text that doubles its line ends leaves in pieces that each fit the writer's buffer, also
// from a run as large as one whose pieces are gathered in a huge page.
TEST(LineEnds, LongOutputLeavesInBoundedPieces) {
    runState = RunState{};
    runState.targetCp = CP_UTF16LE;
    runState.lineEnds = kLineEndsCrLf;
    runState.inputSize = 64u << 20;
    std::string input = Units(std::string(100000, '\n'), 2);
    written.clear();
    static uint32_t largest = 0;
    auto capture = [](uint8_t* bytes, uint32_t count) {
        largest = std::max(largest, count);
        Capture(bytes, count);
    };
    RewriteLineEnds(reinterpret_cast<uint8_t*>(input.data()), static_cast<uint32_t>(input.size()),
                    capture);
    FinishLineEnds(capture);
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        expected += "\r\n";
    }
    EXPECT_TRUE(written == Units(expected, 2));
    EXPECT_LE(largest, kLineEndPieceBytes);
    EXPECT_EQ(runState.lineEndsChanged, 100000u);
}

// Output handed over in many small flushes leaves as it does when flushed at once, and in as few
// pieces: each but the last full to within the two chunks a kernel keeps free.
TEST(LineEnds, SmallFlushesLeaveInFullPieces) {
    std::string text;
    for (int line = 0; text.size() < 2 * size_t{kLineEndPieceBytes} + 16000; ++line) {
        text.append(static_cast<size_t>(line % 97), 'x');
        text += line % 3 == 0 ? "\r\n" : line % 3 == 1 ? "\n" : "\r";
    }
    static std::vector<uint32_t> pieces;
    auto capture = [](uint8_t* bytes, uint32_t count) {
        pieces.push_back(count);
        Capture(bytes, count);
    };
    for (int width : {1, 2, 4}) {
        for (LineEnds mode : {kLineEndsLf, kLineEndsCrLf}) {
            std::string input = Units(text, width);
            std::string outputs[2];
            for (size_t step : {input.size(), size_t{1000}}) {
                runState = RunState{};
                runState.targetCp = width == 1 ? CP_UTF8 : width == 2 ? CP_UTF16LE : CP_UTF32LE;
                runState.lineEnds = mode;
                written.clear();
                pieces.clear();
                for (size_t at = 0; at < input.size(); at += step) {
                    std::string part = input.substr(at, step);
                    RewriteLineEnds(reinterpret_cast<uint8_t*>(part.data()),
                                    static_cast<uint32_t>(part.size()), capture);
                }
                FinishLineEnds(capture);
                outputs[step == input.size() ? 0 : 1] = written;
                SCOPED_TRACE(testing::Message()
                             << "width " << width << ", mode " << mode << ", flushes of " << step);
                ASSERT_GT(pieces.size(), 1u);
                for (size_t i = 0; i + 1 < pieces.size(); ++i) {
                    EXPECT_GE(pieces[i], kLineEndPieceBytes - 2 * kLineEndChunkBytes) << i;
                    EXPECT_LE(pieces[i], kLineEndPieceBytes) << i;
                }
            }
            EXPECT_TRUE(outputs[0] == outputs[1]) << "width " << width << ", mode " << mode;
        }
    }
}

// The bytes of a text in UTF-16LE or UTF-32LE.
template <typename Unit, size_t N>
std::string Wide(const Unit (&text)[N]) {
    return std::string(reinterpret_cast<const char*>(text), (N - 1) * sizeof(Unit));
}

// Units whose bytes hold a CR's or an LF's value without being one (the low byte of U+040A, a
// high byte of U+0D0A, U+0A0D, U+D0D0A) pass unchanged; only the line ends are rewritten.
TEST(LineEnds, BytesOfCrAndLfInsideOtherUnitsAreNoLineEnds) {
    const struct {
        CodePageId target;
        LineEnds mode;
        std::string input, output;
    } cases[] = {
        {CP_UTF16LE, kLineEndsLf, Wide(u"\u040A\n\u0D0A\r\u0A0D\r\n\u0D0D"),
         Wide(u"\u040A\n\u0D0A\n\u0A0D\n\u0D0D")},
        {CP_UTF16LE, kLineEndsCrLf, Wide(u"\u040A\n\u0D0A\r\u0A0D\r\n\u0D0D"),
         Wide(u"\u040A\r\n\u0D0A\r\n\u0A0D\r\n\u0D0D")},
        {CP_UTF32LE, kLineEndsLf, Wide(U"\u040A\n\u0D0A\r\u0A0D\r\n\U000D0D0A"),
         Wide(U"\u040A\n\u0D0A\n\u0A0D\n\U000D0D0A")},
        {CP_UTF32LE, kLineEndsCrLf, Wide(U"\u040A\n\u0D0A\r\u0A0D\r\n\U000D0D0A"),
         Wide(U"\u040A\r\n\u0D0A\r\n\u0A0D\r\n\U000D0D0A")},
    };
    for (const auto& c : cases) {
        runState = RunState{};
        runState.targetCp = c.target;
        runState.lineEnds = c.mode;
        written.clear();
        std::string input = c.input;
        RewriteLineEnds(reinterpret_cast<uint8_t*>(input.data()),
                        static_cast<uint32_t>(input.size()), Capture);
        FinishLineEnds(Capture);
        SCOPED_TRACE(testing::Message() << "target " << c.target << ", mode " << c.mode);
        EXPECT_EQ(written, c.output);
        EXPECT_EQ(runState.lineEndsChanged, 2u);
    }
}

// Long texts, whose unchanged stretches are long enough to be written straight from the caller's
// bytes and whose rebuilt pieces fill up, come out as a unit-by-unit rewrite makes them, in
// every form and mode, cut in two at places around the piece size.
TEST(LineEnds, LongTextsAsAUnitByUnitRewrite) {
    // Lines of many lengths (one longer than a piece), ended every way, with a CR at the end.
    std::string text;
    const char* ends[] = {"\n", "\r\n", "\r", "\n\r", "\r\r\n"};
    for (int line = 0; line < 400; ++line) {
        size_t length =
            line == 200 ? kLineEndPieceBytes + 4464 : static_cast<size_t>(line * 37 % 600);
        text.append(length, static_cast<char>('a' + line % 26));
        text += ends[line % 5];
    }
    text += "\r";
    for (int width : {1, 2, 4}) {
        CodePageId target = width == 1 ? CP_UTF8 : width == 2 ? CP_UTF16LE : CP_UTF32LE;
        std::string input = Units(text, width);
        for (LineEnds mode : {kLineEndsLf, kLineEndsCrLf}) {
            // The rewrite, one unit at a time.
            std::string expected;
            for (size_t i = 0; i < text.size(); ++i) {
                if (text[i] == '\r' || text[i] == '\n') {
                    expected += mode == kLineEndsLf ? "\n" : "\r\n";
                    i += text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 1 : 0;
                } else {
                    expected += text[i];
                }
            }
            std::string wanted = Units(expected, width);
            for (size_t cut : {size_t{0}, size_t{kLineEndPieceBytes} - 1,
                               size_t{kLineEndPieceBytes}, input.size() / 2, input.size() - 1}) {
                cut -= cut % static_cast<size_t>(width);
                runState = RunState{};
                runState.targetCp = target;
                runState.lineEnds = mode;
                written.clear();
                std::string first = input.substr(0, cut), second = input.substr(cut);
                RewriteLineEnds(reinterpret_cast<uint8_t*>(first.data()),
                                static_cast<uint32_t>(first.size()), Capture);
                RewriteLineEnds(reinterpret_cast<uint8_t*>(second.data()),
                                static_cast<uint32_t>(second.size()), Capture);
                FinishLineEnds(Capture);
                SCOPED_TRACE(testing::Message()
                             << "width " << width << ", mode " << mode << ", cut " << cut);
                ASSERT_EQ(written.size(), wanted.size());
                EXPECT_EQ(std::mismatch(written.begin(), written.end(), wanted.begin()).first -
                              written.begin(),
                          static_cast<std::ptrdiff_t>(written.size()));
            }
        }
    }
}

// The rewrite one unit at a time, in little-endian units of `width` bytes: the oracle for the
// kernels. Adds the line ends written otherwise than they stood to *changed.
std::string UnitByUnit(const std::vector<uint32_t>& units, int width, LineEnds mode,
                       uint64_t* changed) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < units.size(); ++i) {
        bool pair = units[i] == '\r' && i + 1 < units.size() && units[i + 1] == '\n';
        if (units[i] == '\r' || units[i] == '\n') {
            if (mode == kLineEndsCrLf) {
                out.push_back('\r');
            }
            out.push_back('\n');
            *changed += pair ? mode == kLineEndsLf : units[i] == '\r' || mode == kLineEndsCrLf;
            i += pair ? 1 : 0;
        } else {
            out.push_back(units[i]);
        }
    }
    std::string bytes;
    for (uint32_t unit : out) {
        for (int i = 0; i < width; ++i) {
            bytes.push_back(static_cast<char>(unit >> (8 * i)));
        }
    }
    return bytes;
}

// Rewrites `units` in two calls, cut before unit `cut`, and the finish; says the largest piece.
std::string Rewrite(const std::vector<uint32_t>& units, int width, LineEnds mode, size_t cut,
                    uint32_t* largest) {
    runState = RunState{};
    runState.targetCp = width == 1 ? CP_UTF8 : width == 2 ? CP_UTF16LE : CP_UTF32LE;
    runState.lineEnds = mode;
    std::string input, output;
    for (uint32_t unit : units) {
        for (int i = 0; i < width; ++i) {
            input.push_back(static_cast<char>(unit >> (8 * i)));
        }
    }
    static std::vector<uint32_t> pieces;
    pieces.clear();
    written.clear();
    auto capture = [](uint8_t* bytes, uint32_t count) {
        pieces.push_back(count);
        Capture(bytes, count);
    };
    std::string first = input.substr(0, cut * static_cast<size_t>(width));
    std::string second = input.substr(first.size());
    RewriteLineEnds(reinterpret_cast<uint8_t*>(first.data()), static_cast<uint32_t>(first.size()),
                    capture);
    RewriteLineEnds(reinterpret_cast<uint8_t*>(second.data()), static_cast<uint32_t>(second.size()),
                    capture);
    FinishLineEnds(capture);
    *largest = pieces.empty() ? 0 : *std::max_element(pieces.begin(), pieces.end());
    return written;
}

struct LineEndLevels : testing::Test {
    void TearDown() override { UseKernelLevel(BestKernelLevel()); }
};

// Units between the line ends, some holding a CR's or an LF's byte value without being one.
std::vector<uint32_t> Fillers(int width) {
    if (width == 1) {
        return {'a', 'b', 0xD0};
    }
    return width == 2 ? std::vector<uint32_t>{'a', 0x0D0A, 0x040A, 0x0A0D}
                      : std::vector<uint32_t>{'a', 0x0D0A, 0xD0A0D, 0x0A0D};
}

// Each kernel level rewrites as the unit-by-unit rule does with a line end at every unit of a
// text three of the widest chunks long, so at every place of a chunk and across each chunk's
// edge and into the units behind the last chunk, in one call and cut inside the line end.
TEST_F(LineEndLevels, EveryLevelPutsEachLineEndAsUnitByUnit) {
    const char* ends[] = {"\n", "\r", "\r\n", "\n\r", "\r\r", "\n\n"};
    for (int level = 0; level < kKernelLevels; ++level) {
        if (!KernelLevelRuns(static_cast<KernelLevel>(level))) {
            continue;
        }
        UseKernelLevel(static_cast<KernelLevel>(level));
        for (int width : {1, 2, 4}) {
            std::vector<uint32_t> fillers = Fillers(width);
            size_t count = 3 * kLineEndChunkBytes / static_cast<size_t>(width) + 5;
            for (const char* end : ends) {
                for (size_t at = 0; at < count; ++at) {
                    std::vector<uint32_t> units;
                    for (size_t i = 0; i < count; ++i) {
                        units.push_back(fillers[i % fillers.size()]);
                    }
                    units.insert(units.begin() + static_cast<ptrdiff_t>(at), end,
                                 end + std::char_traits<char>::length(end));
                    for (LineEnds mode : {kLineEndsLf, kLineEndsCrLf}) {
                        uint64_t changed = 0;
                        std::string wanted = UnitByUnit(units, width, mode, &changed);
                        for (size_t cut : {size_t{0}, at + 1}) {
                            uint32_t largest = 0;
                            SCOPED_TRACE(testing::Message()
                                         << kKernelLevelTable[level].name << ", width " << width
                                         << ", mode " << static_cast<int>(mode) << ", end "
                                         << testing::PrintToString(end) << " at " << at << ", cut "
                                         << cut);
                            EXPECT_EQ(Rewrite(units, width, mode, cut, &largest), wanted);
                            EXPECT_EQ(runState.lineEndsChanged, changed);
                        }
                    }
                }
            }
        }
    }
}

// Each kernel level rewrites text with line ends of every kind, dense (a third of the units) and
// as sparse as prose (most of them LFs, a chunk holding none, one or two), long enough to fill
// several pieces, as the unit-by-unit rule does, shifted unit by unit against the chunks so that
// the pieces fill at every place of a chunk (a CR LF across a piece's edge among them), and in
// pieces no longer than a piece.
TEST_F(LineEndLevels, EveryLevelFillsPiecesAsUnitByUnit) {
    std::mt19937 random(31);
    for (int level = 0; level < kKernelLevels; ++level) {
        if (!KernelLevelRuns(static_cast<KernelLevel>(level))) {
            continue;
        }
        UseKernelLevel(static_cast<KernelLevel>(level));
        // One unit in `oneIn` is a CR, `lfs` in `oneIn` are LFs.
        const struct {
            int width;
            uint32_t oneIn;
            uint32_t lfs;
        } texts[] = {{1, 6, 1}, {2, 6, 1}, {4, 6, 1}, {1, 240, 3}, {2, 120, 3}};
        for (auto [width, oneIn, lfs] : texts) {
            std::vector<uint32_t> fillers = Fillers(width);
            std::vector<uint32_t> units;
            for (size_t i = 0; i < (2 * kLineEndPieceBytes + 1000) / static_cast<size_t>(width);
                 ++i) {
                uint32_t pick = random() % oneIn;
                units.push_back(pick == 0     ? '\r'
                                : pick <= lfs ? '\n'
                                              : fillers[pick % fillers.size()]);
            }
            for (size_t shift = 0; shift < 16 / static_cast<size_t>(width); ++shift) {
                units.insert(units.begin(), 'a');
                for (LineEnds mode : {kLineEndsLf, kLineEndsCrLf}) {
                    uint64_t changed = 0;
                    std::string wanted = UnitByUnit(units, width, mode, &changed);
                    uint32_t largest = 0;
                    SCOPED_TRACE(testing::Message()
                                 << kKernelLevelTable[level].name << ", width " << width
                                 << ", one in " << oneIn << ", mode " << static_cast<int>(mode)
                                 << ", shift " << shift);
                    EXPECT_TRUE(Rewrite(units, width, mode, units.size() / 2, &largest) == wanted);
                    EXPECT_EQ(runState.lineEndsChanged, changed);
                    EXPECT_LE(largest, kLineEndPieceBytes);
                }
            }
        }
    }
}

}  // namespace
