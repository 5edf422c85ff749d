// The kernel tables: every level this processor runs has an entry for every route, and the
// kernels between the Unicode forms store no scratch beyond the overshoot behind their output.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "src/transcode/kernels/route_kernels.h"

namespace {

struct RouteEntry {
    const char* name;
    RouteKernel RouteKernels::*kernel;
};

const RouteEntry kRouteEntries[] = {
    {"utf8ToUtf16", &RouteKernels::utf8ToUtf16},
    {"utf8ToUtf32", &RouteKernels::utf8ToUtf32},
    {"utf8ToCodePage", &RouteKernels::utf8ToCodePage},
    {"utf16ToUtf8", &RouteKernels::utf16ToUtf8},
    {"utf16ToUtf32", &RouteKernels::utf16ToUtf32},
    {"utf16ToCodePage", &RouteKernels::utf16ToCodePage},
    {"utf32ToUtf8", &RouteKernels::utf32ToUtf8},
    {"utf32ToUtf16", &RouteKernels::utf32ToUtf16},
    {"utf32ToCodePage", &RouteKernels::utf32ToCodePage},
    {"codePageToUtf8", &RouteKernels::codePageToUtf8},
    {"codePageToUtf16", &RouteKernels::codePageToUtf16},
    {"codePageToUtf32", &RouteKernels::codePageToUtf32},
    {"codePageToCodePage", &RouteKernels::codePageToCodePage},
};

// The routes above, the two byte order turns, the line ends and the page loader: a new entry in
// the table must be added here too.
static_assert(sizeof(RouteKernels) == (std::size(kRouteEntries) + 4) * sizeof(void (*)()));

TEST(KernelTables, EveryLevelThatRunsHasEveryEntry) {
    for (int level = 0; level < kKernelLevels; ++level) {
        const KernelLevel at = static_cast<KernelLevel>(level);
        if (!KernelLevelRuns(at)) {
            continue;
        }
        SCOPED_TRACE(kKernelLevelTable[level].name);
        const RouteKernels& kernels = KernelsAt(at);
        for (const RouteEntry& entry : kRouteEntries) {
            EXPECT_NE(kernels.*entry.kernel, nullptr) << entry.name;
        }
        EXPECT_NE(kernels.swapUnits16, nullptr);
        EXPECT_NE(kernels.swapUnits32, nullptr);
        EXPECT_NE(kernels.lineEnds, nullptr);
        EXPECT_NE(kernels.loadPages, nullptr);
    }
}

// Each kernel from a Unicode form, on texts of one script whose blocks its widest paths take whole
// (their stores the widest, their output per block the least), and of the scripts mixed, into an
// output apart from the input: behind what it wrote, no byte further on than the overshoot.
struct UnicodeKernel {
    const char* name;
    RouteKernel RouteKernels::*kernel;
    int width;  // of the source's units: 1 for UTF-8
};

const UnicodeKernel kUnicodeKernels[] = {
    {"utf8ToUtf16", &RouteKernels::utf8ToUtf16, 1},
    {"utf8ToUtf32", &RouteKernels::utf8ToUtf32, 1},
    {"utf16ToUtf8", &RouteKernels::utf16ToUtf8, 2},
    {"utf16ToUtf32", &RouteKernels::utf16ToUtf32, 2},
    {"utf32ToUtf8", &RouteKernels::utf32ToUtf8, 4},
    {"utf32ToUtf16", &RouteKernels::utf32ToUtf16, 4},
};

std::string Encode(const std::vector<uint32_t>& points, int width) {
    std::string text;
    for (uint32_t p : points) {
        if (width > 1) {
            for (int i = 0; i < width; ++i) {
                text.push_back(static_cast<char>(p >> (8 * i)));
            }
        } else if (p < 0x80) {
            text.push_back(static_cast<char>(p));
        } else if (p < 0x800) {
            text += {static_cast<char>(0xC0 | p >> 6), static_cast<char>(0x80 | (p & 0x3F))};
        } else {
            text += {static_cast<char>(0xE0 | p >> 12), static_cast<char>(0x80 | (p >> 6 & 0x3F)),
                     static_cast<char>(0x80 | (p & 0x3F))};
        }
    }
    return text;
}

TEST(KernelScratch, StaysWithinTheOvershoot) {
    // And one character among ASCII, which makes a block's output shortest but for ASCII alone.
    std::vector<uint32_t> amongAscii(41, 'a');
    amongAscii[0] = 0x4E2D;
    const std::vector<uint32_t> kScripts[] = {
        {'a'}, {0x416}, {0x4E2D}, {'a', 0x416, 0x4E2D, 0x7FF}, amongAscii};
    constexpr uint8_t kPoison = 0xDC;
    for (int level = 0; level < kKernelLevels; ++level) {
        if (!KernelLevelRuns(static_cast<KernelLevel>(level))) {
            continue;
        }
        for (const UnicodeKernel& k : kUnicodeKernels) {
            for (const std::vector<uint32_t>& script : kScripts) {
                for (size_t count = 1; count <= 300; count += 7) {
                    std::vector<uint32_t> points;
                    while (points.size() < count) {
                        points.push_back(script[points.size() % script.size()]);
                    }
                    std::string text = Encode(points, k.width);
                    std::vector<uint8_t> input(text.begin(), text.end());
                    input.resize(input.size() + 64, 0);
                    std::vector<uint8_t> output(4 * text.size() + 256, kPoison);
                    uint8_t* write = output.data();
                    Replacements counts{};
                    (KernelsAt(static_cast<KernelLevel>(level)).*k.kernel)(
                        input.data(), input.data() + text.size(), input.data() + text.size(),
                        &write, &counts);
                    size_t behind = static_cast<size_t>(write - output.data()) + kKernelOvershoot;
                    for (size_t i = behind; i < output.size(); ++i) {
                        ASSERT_EQ(output[i], kPoison)
                            << kKernelLevelTable[level].name << " " << k.name << ", "
                            << points.size() << " characters of " << std::hex << script.front()
                            << ": byte " << std::dec << i - behind << " past the overshoot";
                    }
                }
            }
        }
    }
}

}  // namespace
