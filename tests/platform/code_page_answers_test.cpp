// The Linux code page answers against the C library's converters asked afresh for every byte
// and every unit (reset, convert, flush): however the platform saves calls when it fills its
// tables, each entry must be what that one character alone gives. The pages cover the kinds
// the C library has: plain single-byte tables, the two that combine letters with the marks
// after them (1255, 1258), a DOS, a KOI8 and a Mac page.
#include <iconv.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "src/platform/platform.h"

namespace {

struct Page {
    UINT page;
    const char* name;
};

const Page kPages[] = {
    {1251, "CP1251"}, {1255, "CP1255"},  {1258, "CP1258"},
    {437, "CP437"},   {20866, "KOI8-R"}, {10000, "MACINTOSH"},
};

// What `length` bytes become through a descriptor reset before and flushed after; -1 when the
// conversion fails or leaves input over.
int Fresh(iconv_t cd, const char* in, size_t length, char* out, size_t room) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* input = const_cast<char*>(in);
    char* output = out;
    size_t inputLeft = length;
    size_t outputLeft = room;
    if (iconv(cd, &input, &inputLeft, &output, &outputLeft) == static_cast<size_t>(-1) ||
        inputLeft != 0 ||
        iconv(cd, nullptr, nullptr, &output, &outputLeft) == static_cast<size_t>(-1)) {
        return -1;
    }
    return static_cast<int>(room - outputLeft);
}

TEST(CodePageAnswers, EveryByteAsTheConverterGivesItAlone) {
    for (const Page& p : kPages) {
        iconv_t cd = iconv_open("UTF-16LE", p.name);
        ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << p.name;
        CodePageByte table[256];
        ReadCodePageBytes(p.page, table);
        for (int b = 0; b < 256; ++b) {
            char byte = static_cast<char>(b);
            char out[8];
            int n = Fresh(cd, &byte, 1, out, sizeof(out));
            // One unit is an answer; none, or a pair, is no answer for one byte alone.
            bool one = n == 2;
            ASSERT_EQ(table[b].result, one ? 1 : 0) << p.name << " byte " << b;
            if (one) {
                WCHAR unit = static_cast<WCHAR>(static_cast<uint8_t>(out[0]) |
                                                (static_cast<uint8_t>(out[1]) << 8));
                ASSERT_EQ(table[b].unit, unit) << p.name << " byte " << b;
            }
        }
        iconv_close(cd);
    }
}

TEST(CodePageAnswers, EveryUnitAsTheConverterGivesItAlone) {
    for (const Page& p : kPages) {
        iconv_t cd = iconv_open(p.name, "UTF-16LE");
        ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << p.name;
        std::vector<CodePageUnit> table(65536);
        ReadCodePageUnits(p.page, 0, 65536, table.data());
        for (uint32_t u = 0; u < 65536; ++u) {
            char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
            char out[8];
            int n = Fresh(cd, in, 2, out, sizeof(out));
            int size = n > 0 && n <= 4 ? n : 0;
            ASSERT_EQ(table[u].size, size) << p.name << " unit " << u;
            ASSERT_EQ(std::memcmp(table[u].bytes, out, static_cast<size_t>(size)), 0)
                << p.name << " unit " << u;
            ASSERT_EQ(table[u].single, size == 1 ? 1 : 0) << p.name << " unit " << u;
            if (size == 1) {
                ASSERT_EQ(table[u].byte, static_cast<uint8_t>(out[0])) << p.name << " unit " << u;
            }
        }
        iconv_close(cd);
    }
}

}  // namespace
