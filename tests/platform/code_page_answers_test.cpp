// The Linux code page answers against the committed answers of the Windows calls, read here on
// their own: every byte and every unit of every page, one call at a time and in bulk, as the
// build's tables and the table of units made from them must give them.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "src/platform/platform.h"

namespace {

struct PageAnswers {
    std::vector<uint16_t> units;          // of each byte
    std::map<uint16_t, uint8_t> written;  // units not written as the plain inverse
};

std::map<UINT, PageAnswers> ReadAnswers() {
    std::ifstream file(CODESHIFT_SOURCE_DIR "/src/platform/posix/code_pages.txt");
    std::map<UINT, PageAnswers> pages;
    PageAnswers* page = nullptr;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line[0] == '=' ? line.substr(1) : line);
        std::string word;
        if (line.rfind("page ", 0) == 0) {
            page = &pages[static_cast<UINT>(std::stoul(line.substr(5)))];
        } else if (line[0] != '#' && page != nullptr) {
            while (words >> word) {
                if (line[0] == '=') {
                    page->written[static_cast<uint16_t>(
                        std::stoul(word.substr(0, 4), nullptr, 16))] =
                        static_cast<uint8_t>(std::stoul(word.substr(5), nullptr, 16));
                } else {
                    page->units.push_back(static_cast<uint16_t>(std::stoul(word, nullptr, 16)));
                }
            }
        }
    }
    return pages;
}

TEST(CodePageAnswers, EveryByteAndUnitAsTheWindowsCallsAnswered) {
    std::map<UINT, PageAnswers> pages = ReadAnswers();
    ASSERT_EQ(pages.size(), 51u);
    std::vector<CodePageUnit> bulk(65536);
    for (const auto& [page, answers] : pages) {
        ASSERT_EQ(answers.units.size(), 256u) << page;
        ASSERT_TRUE(IsValidCodePage(page)) << page;
        CodePageByte bytes[256];
        ReadCodePageBytes(page, bytes);
        std::vector<int> inverse(65536, '?');
        for (int b = 255; b >= 0; --b) {
            char byte = static_cast<char>(b);
            WCHAR unit = 0;
            ASSERT_EQ(MultiByteToWideChar(page, 0, &byte, 1, &unit, 1), 1) << page << " byte " << b;
            ASSERT_EQ(unit, answers.units[b]) << page << " byte " << b;
            ASSERT_TRUE(bytes[b].result == 1 && bytes[b].unit == unit) << page << " byte " << b;
            inverse[unit] = b;
        }
        ReadCodePageUnits(page, 0, 65536, bulk.data());
        for (uint32_t u = 0; u < 65536; ++u) {
            auto found = answers.written.find(static_cast<uint16_t>(u));
            int expected = found != answers.written.end() ? found->second : inverse[u];
            WCHAR unit = static_cast<WCHAR>(u);
            char byte = 0;
            ASSERT_EQ(WideCharToMultiByte(page, 0, &unit, 1, nullptr, 0, nullptr, nullptr), 1);
            ASSERT_EQ(WideCharToMultiByte(page, 0, &unit, 1, &byte, 1, nullptr, nullptr), 1);
            ASSERT_EQ(static_cast<uint8_t>(byte), expected) << page << " unit " << u;
            const CodePageUnit& e = bulk[u];
            ASSERT_TRUE(e.size == 1 && e.bytes[0] == expected && e.single == 1 &&
                        e.byte == expected)
                << page << " unit " << u;
        }
    }
}

}  // namespace
