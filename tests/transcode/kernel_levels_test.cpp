// The kernel tables: every level this processor runs has an entry for every route.
#include <gtest/gtest.h>

#include <iterator>

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

}  // namespace
