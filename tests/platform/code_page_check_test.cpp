// Whether the platform can convert with a code page, answered as Windows answers it: real pages
// only, the pseudo pages resolved first.
#include <gtest/gtest.h>

#include "src/platform/platform.h"

namespace {

TEST(IsValidCodePage, AnswersAsWindowsDoes) {
    struct Page {
        UINT page;
        BOOL valid;
    };
    const Page pages[] = {
        {CP_UTF8, TRUE},   {1251, TRUE},      {1258, TRUE},  {437, TRUE},    {866, TRUE},
        {10000, TRUE},     {10029, TRUE},     {20866, TRUE}, {28605, TRUE},  {CP_ACP, FALSE},
        {CP_OEMCP, FALSE}, {CP_MACCP, FALSE}, {1200, FALSE}, {12000, FALSE}, {4242, FALSE},
    };
    for (const Page& p : pages) {
        EXPECT_EQ(IsValidCodePage(p.page), p.valid) << p.page;
    }
}

// The pseudo pages stand for the system's own; asking about those is what a run does.
TEST(ResolveCodePage, GivesTheSystemsOwnPages) {
    for (UINT pseudo : {CP_ACP, CP_OEMCP, CP_MACCP}) {
        UINT page = ResolveCodePage(pseudo);
        EXPECT_GT(page, CP_MACCP) << pseudo;
        EXPECT_TRUE(IsValidCodePage(page)) << pseudo << " stands for " << page;
    }
    EXPECT_EQ(ResolveCodePage(1251), 1251u);
    EXPECT_EQ(ResolveCodePage(4242), 4242u);
}

}  // namespace
