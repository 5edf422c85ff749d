// The page guesser on real sentences written in each page, on binaries, and on Unicode text.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "src/input/guess_page.h"

namespace {

// Code points of UTF-8 text.
std::u32string CodePoints(const std::string& text) {
    std::u32string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = text[i];
        int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            c = c << 6 | (text[i + k] & 0x3F);
        out += c;
        i += length;
    }
    return out;
}

// The text written in `page` as the guesser's own tables write it; empty when a character is
// not in the page.
std::string InPage(const std::string& text, CodePageId page) {
    std::string out;
    for (char32_t c : CodePoints(text)) {
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        int byte = 0x80;
        while (byte <= 0xFF && GuessedPageUnit(page, static_cast<uint8_t>(byte)) != c)
            ++byte;
        if (byte > 0xFF)
            return std::string();
        out += static_cast<char>(byte);
    }
    return out;
}

// True when `guessed` reads the bytes as `page` does.
bool ReadsAlike(const std::string& bytes, CodePageId page, CodePageId guessed) {
    for (unsigned char b : bytes) {
        if (b >= 0x80 && GuessedPageUnit(page, b) != GuessedPageUnit(guessed, b))
            return false;
    }
    return true;
}

struct Sentence {
    CodePageId page;
    const char* text;
};

// Sentences of the kind the program meets, one or two per page and language.
const Sentence kSentences[] = {
    {1252, "Die Größe der Datei wird geprüft, bevor sie überschrieben wird."},
    {1252, "Le fichier a été déplacé à côté du répertoire où il était créé."},
    {1252, "Não foi possível abrir o ficheiro porque a ligação falhou."},
    {1252, "Þú getur ekki vistað skrána þar sem hún er læst af öðru forriti."},
    {850, "Die Größe der Datei wird geprüft, bevor sie überschrieben wird."},
    {437, "Näytä tiedoston nimi ja koko, älä tulosta sisältöä."},
    {10000, "Le fichier a été déplacé à côté du répertoire où il était créé."},
    {28605, "Le fichier a été déplacé à côté du répertoire où il était créé."},
    {1250, "Soubor nelze uložit, protože disk je plný a žádný prostor nezbývá."},
    {1250, "Nie można otworzyć pliku, ponieważ został usunięty przez użytkownika."},
    {28592, "Soubor nelze uložit, protože disk je plný a žádný prostor nezbývá."},
    {28592, "Nie można otworzyć pliku, ponieważ został usunięty przez użytkownika."},
    {852, "Nie można otworzyć pliku, ponieważ został usunięty przez użytkownika."},
    {1251, "Не удалось открыть файл, потому что он занят другим процессом."},
    {1251, "Не вдалося відкрити файл, бо його використовує інша програма."},
    {866, "Не удалось открыть файл, потому что он занят другим процессом."},
    {20866, "Не удалось открыть файл, потому что он занят другим процессом."},
    {21866, "Не вдалося відкрити файл, бо його використовує інша програма і ґанок."},
    {28595, "Не удалось открыть файл, потому что он занят другим процессом."},
    {1253, "Δεν ήταν δυνατό το άνοιγμα του αρχείου επειδή χρησιμοποιείται."},
    {28597, "Δεν ήταν δυνατό το άνοιγμα του αρχείου επειδή χρησιμοποιείται."},
    {1254, "Dosya açılamadı çünkü başka bir işlem tarafından kullanılıyor."},
    {1255, "לא ניתן לפתוח את הקובץ מכיוון שהוא בשימוש על ידי תוכנית אחרת."},
    {1256, "لا يمكن فتح الملف لأنه قيد الاستخدام من قبل برنامج آخر."},
    {1257, "Failo nepavyko atidaryti, nes jį naudoja kita programa ir šiuo metu."},
    {1257, "Datni nevar atvērt, jo to izmanto cita programma šobrīd."},
};

TEST(GuessPage, NamesAPageThatReadsEachSentenceRight) {
    for (const Sentence& s : kSentences) {
        std::string bytes = InPage(s.text, s.page);
        ASSERT_FALSE(bytes.empty()) << s.page << ": " << s.text;
        PageGuess guess = GuessPage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ASSERT_EQ(guess.kind, kGuessPage) << s.page << ": " << s.text;
        EXPECT_TRUE(ReadsAlike(bytes, s.page, guess.pages[0]))
            << s.page << " read as " << guess.pages[0] << ": " << s.text;
    }
}

// A short text counts its pairs apart from a long one's: trailing spaces, which pair with no
// letter, add nothing to the evidence, so each sentence is guessed alike either way, and again
// after the long text.
TEST(GuessPage, ShortAndLongTextsCountAlike) {
    auto same = [](const PageGuess& a, const PageGuess& b) {
        return a.kind == b.kind && a.pageCount == b.pageCount &&
               std::equal(a.pages, a.pages + a.pageCount, b.pages) &&
               a.confidence == b.confidence && a.confident == b.confident;
    };
    auto guess = [](const std::string& bytes) {
        return GuessPage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    };
    for (const Sentence& s : kSentences) {
        // The whole sentence, and its start, on which the guess is seldom sure and its
        // confidence shows every pair's count.
        std::string whole = InPage(s.text, s.page);
        for (const std::string& text : {whole, whole.substr(0, 24)}) {
            PageGuess shortGuess = guess(text);
            EXPECT_TRUE(same(shortGuess, guess(text + std::string(5000, ' '))))
                << s.page << ": " << text;
            EXPECT_TRUE(same(shortGuess, guess(text))) << s.page << ": " << text;
        }
    }
}

TEST(GuessPage, IsConfidentOnlyWithEnoughText) {
    std::string longText;
    for (int i = 0; i < 8; ++i)
        longText += kSentences[13].text;
    std::string many = InPage(longText, 1251);
    PageGuess sure = GuessPage(reinterpret_cast<const uint8_t*>(many.data()), many.size());
    EXPECT_TRUE(sure.confident);
    EXPECT_EQ(sure.pageCount, 1);
    // Two letters say little: several pages, none of them sure.
    std::string two = InPage("é à", 1252);
    PageGuess unsure = GuessPage(reinterpret_cast<const uint8_t*>(two.data()), two.size());
    EXPECT_FALSE(unsure.confident);
    EXPECT_GT(unsure.pageCount, 1);
    EXPECT_LT(unsure.confidence, 100);
}

struct KindCase {
    const char* name;
    std::string bytes;
    GuessKind kind;
    CodePageId page;  // the Unicode form, when that is the kind
    uint32_t strays;
};

TEST(GuessPage, TellsEmptyBinaryUnicodeAndAscii) {
    using namespace std::string_literals;
    const KindCase cases[] = {
        {"empty", "", kGuessEmpty, 0, 0},
        {"ELF",
         "\x7F"
         "ELF\x02\x01\x01"s,
         kGuessBinary, 0, 0},
        {"PNG", "\x89PNG\r\n\x1A\n"s, kGuessBinary, 0, 0},
        {"JPEG", "\xFF\xD8\xFF\xE0"s, kGuessBinary, 0, 0},
        {"gzip", "\x1F\x8B\x08"s, kGuessBinary, 0, 0},
        {"zip", "PK\x03\x04"s, kGuessBinary, 0, 0},
        {"PDF", "%PDF-1.7\n"s, kGuessBinary, 0, 0},
        {"zero bytes at random", "ab\0\0\0c\0de"s, kGuessBinary, 0, 0},
        {"control bytes", "text\x01\x02 more"s, kGuessBinary, 0, 0},
        {"overstruck manual page", "N\bNA\bAM\bME\bE\n", kGuessAscii, 0, 0},
        {"7-bit text with tab and escape", "a\tb\x1B[0m\r\n"s, kGuessAscii, 0, 0},
        {"UTF-8 with mark", "\xEF\xBB\xBFok"s, kGuessUnicode, CP_UTF8, 0},
        {"UTF-8", "gr\xC3\xBC\xC3\x9F dich"s, kGuessUnicode, CP_UTF8, 0},
        {"UTF-8 with a stray byte", "gr\xC3\xBC\xC3\x9F \xFC ber \xC3\xA4\xC3\xB6\xC3\xBC"s,
         kGuessUnicode, CP_UTF8, 1},
        {"UTF-16LE without mark", "h\0i\0 \0\x3F\x04"s, kGuessUnicode, CP_UTF16LE, 0},
        {"UTF-16BE without mark", "\0h\0i\0 \x04\x3F"s, kGuessUnicode, CP_UTF16BE, 0},
        {"UTF-16LE with mark", "\xFF\xFEh\0"s, kGuessUnicode, CP_UTF16LE, 0},
        {"UTF-32LE without mark", "h\0\0\0i\0\0\0"s, kGuessUnicode, CP_UTF32LE, 0},
        {"UTF-32BE without mark", "\0\0\0h\0\0\0i"s, kGuessUnicode, CP_UTF32BE, 0},
    };
    for (const KindCase& c : cases) {
        PageGuess guess =
            GuessPage(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
        EXPECT_EQ(guess.kind, c.kind) << c.name;
        if (c.kind == kGuessUnicode) {
            EXPECT_EQ(guess.pages[0], c.page) << c.name;
            EXPECT_EQ(guess.strayBytes, c.strays) << c.name;
        }
    }
}

TEST(GuessPage, BinaryMarksLeaveZeroBytesAlone) {
    using namespace std::string_literals;
    const struct {
        std::string bytes;
        bool marked;
    } cases[] = {
        {"%PDF-1.4\n"s, true},       {"text\x01\x02"s, true},
        {"ab\0\0\0cd"s, false},  // binary to the guesser, but only by its zero bytes
        {"h\0\x01\0"s, false},   // UTF-16LE: its control unit is text's business
        {"a\tb\x1B[1m\b\n"s, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasBinaryMarks(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()),
                  c.marked)
            << c.bytes;
    }
}

}  // namespace
