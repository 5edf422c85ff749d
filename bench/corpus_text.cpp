#include "bench/corpus_text.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kEnglish[] = {
    "the",       "of",        "and",       "to",          "in",        "is",       "that",
    "for",       "it",        "as",        "was",         "with",      "be",       "by",
    "on",        "not",       "he",        "this",        "are",       "or",       "his",
    "from",      "at",        "which",     "but",         "have",      "an",       "had",
    "they",      "you",       "were",      "their",       "one",       "all",      "we",
    "can",       "her",       "has",       "there",       "been",      "if",       "more",
    "when",      "will",      "would",     "who",         "so",        "no",       "time",
    "people",    "year",      "way",       "day",         "man",       "thing",    "woman",
    "life",      "child",     "world",     "school",      "state",     "family",   "student",
    "group",     "country",   "problem",   "hand",        "part",      "place",    "case",
    "week",      "company",   "system",    "program",     "question",  "work",     "government",
    "number",    "night",     "point",     "home",        "water",     "room",     "mother",
    "area",      "money",     "story",     "fact",        "month",     "lot",      "right",
    "study",     "book",      "eye",       "job",         "word",      "business", "issue",
    "side",      "kind",      "head",      "house",       "service",   "friend",   "father",
    "power",     "hour",      "game",      "line",        "end",       "member",   "law",
    "car",       "city",      "community", "name",        "president", "team",     "minute",
    "idea",      "kid",       "body",      "information", "back",      "parent",   "face",
    "others",    "level",     "office",    "door",        "health",    "person",   "art",
    "war",       "history",   "party",     "result",      "change",    "morning",  "reason",
    "research",  "girl",      "guy",       "moment",      "air",       "teacher",  "force",
    "education", "converted", "file",      "buffer",      "request",   "response", "server",
    "client",    "error",     "warning",   "started",     "finished",  "timeout",  "value",
};

const char* const kRussian[] = {
    "и",         "в",       "не",     "на",       "я",       "быть",    "он",      "с",
    "что",       "а",       "по",     "это",      "она",     "этот",    "к",       "но",
    "они",       "мы",      "как",    "из",       "у",       "который", "то",      "за",
    "свой",      "весь",    "год",    "от",       "так",     "о",       "для",     "ты",
    "же",        "все",     "тот",    "мочь",     "вы",      "человек", "такой",   "его",
    "сказать",   "только",  "или",    "ещё",      "бы",      "себя",    "один",    "как",
    "уже",       "до",      "время",  "если",     "сам",     "когда",   "другой",  "вот",
    "говорить",  "наш",     "мой",    "знать",    "стать",   "при",     "чтобы",   "дело",
    "жизнь",     "кто",     "первый", "очень",    "два",     "день",    "её",      "новый",
    "рука",      "даже",    "во",     "со",       "раз",     "где",     "там",     "под",
    "можно",     "ну",      "какой",  "после",    "их",      "работа",  "без",     "самый",
    "потом",     "надо",    "хотеть", "ли",       "слово",   "идти",    "большой", "должен",
    "место",     "иметь",   "ничто",  "то есть",  "сейчас",  "тоже",    "стоять",  "друг",
    "дом",       "сейчас",  "можно",  "всё",      "сторона", "страна",  "мир",     "случай",
    "голова",    "ребёнок", "сила",   "конец",    "вид",     "система", "часть",   "город",
    "отношение", "женщина", "деньги", "земля",    "машина",  "вода",    "отец",    "проблема",
    "час",       "право",   "нога",   "решение",  "дверь",   "образ",   "история", "утро",
    "ёлка",      "объём",   "файл",   "ошибка",   "запрос",  "ответ",   "сервер",  "значение",
    "Москва",    "Россия",  "Пётр",   "Иванович", "Щукин",   "Эльвира",
};

// Frequent Chinese characters; a word is one to three of them.
const char kHanzi[] =
    "的一是不了人我在有他这中大来上国个到说们为子和你地出道也时年得就那要下以生会自着去之过家"
    "学对可她里后小么心多天而能好都然没日于起还发成事只作当想看文无开手十用主行方又如前所本见经"
    "头面公同三已老从动两长知民样现分将外但身些与高意进把法此实回二理美点月明其种声全工己话儿者"
    "向情部正名定女问力机给等几很业最间新什打便位因重被走电四第门相次东政海口使教西再平真听世气"
    "信北少关并内加化由却代军产入先山五太水万市眼体别处总才场师书比住员九笑性通目华报立马命张活"
    "难神数件安表原车白应路期叫死常提感金何更反合放做系计或司利受光王果亲界及今京务制解各任至清"
    "物台象记边共风战干接它许八特觉望直服毛林题建南度统色字请交爱让认算论百吃义科怎元社术结六功"
    "指思非流每青管夫连远资队跟带花快条院变联言权往展该领传近留红治决周保达办运武半候七必城父强";

const char* const kCjkPunctuation[] = {"，", "，", "，", "、", "：", "；"};

}  // namespace

// splitmix64: small, fast and the same everywhere.
namespace {

uint64_t Next(CorpusRandom& r) {
    uint64_t z = (r.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint32_t Below(CorpusRandom& r, uint32_t n) {
    return static_cast<uint32_t>(Next(r) % n);
}

template <size_t N>
const char* Pick(CorpusRandom& r, const char* const (&words)[N]) {
    return words[Below(r, N)];
}

void AddNumber(CorpusRandom& r, std::string& s) {
    s += std::to_string(Below(r, 100000));
}

void AddEnglishSentence(CorpusRandom& r, std::string& s) {
    uint32_t words = 4 + Below(r, 14);
    for (uint32_t i = 0; i < words; ++i) {
        std::string w = Below(r, 20) == 0 ? std::to_string(Below(r, 10000)) : Pick(r, kEnglish);
        if (i == 0) {
            w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
        }
        s += w;
        s += i + 1 == words ? (Below(r, 6) == 0 ? "?" : ".") : (Below(r, 9) == 0 ? ", " : " ");
    }
}

// Mostly Russian; now and then an English word or a number, as in real logs and letters.
void AddRussianSentence(CorpusRandom& r, std::string& s) {
    uint32_t words = 4 + Below(r, 12);
    for (uint32_t i = 0; i < words; ++i) {
        uint32_t roll = Below(r, 100);
        if (roll < 8) {
            s += Pick(r, kEnglish);
        } else if (roll < 11) {
            AddNumber(r, s);
        } else {
            s += Pick(r, kRussian);
        }
        s += i + 1 == words ? (Below(r, 5) == 0 ? "!" : ".") : (Below(r, 8) == 0 ? ", " : " ");
    }
}

void AddHanziWord(CorpusRandom& r, std::string& s) {
    uint32_t length = 1 + Below(r, 3);
    const uint32_t count = (sizeof(kHanzi) - 1) / 3;
    for (uint32_t i = 0; i < length; ++i) {
        s.append(kHanzi + 3 * Below(r, count), 3);
    }
}

void AddChineseSentence(CorpusRandom& r, std::string& s) {
    uint32_t words = 5 + Below(r, 15);
    for (uint32_t i = 0; i < words; ++i) {
        uint32_t roll = Below(r, 100);
        if (roll < 10) {
            s += ' ';
            s += Pick(r, kEnglish);
            s += ' ';
        } else if (roll < 13) {
            AddNumber(r, s);
        } else {
            AddHanziWord(r, s);
        }
        if (i + 1 < words && Below(r, 7) == 0) {
            s += Pick(r, kCjkPunctuation);
        }
    }
    s += "。";
}

}  // namespace

void AddCorpusLine(CorpusRandom& r, const std::string& kind, std::string& s) {
    uint32_t sentences = 1 + Below(r, 4);
    for (uint32_t i = 0; i < sentences; ++i) {
        if (kind == "ascii") {
            AddEnglishSentence(r, s);
        } else if (kind == "cyrillic") {
            if (Below(r, 4) == 0) {
                AddEnglishSentence(r, s);
            } else {
                AddRussianSentence(r, s);
            }
        } else if (Below(r, 5) == 0) {
            AddEnglishSentence(r, s);
        } else {
            AddChineseSentence(r, s);
        }
        if (i + 1 < sentences) {
            s += ' ';
        }
    }
    s += '\n';
}

void DecodeCorpusText(const std::string& s, std::vector<uint32_t>& out) {
    out.clear();
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        uint32_t cp = length == 1   ? b
                      : length == 2 ? (b & 0x1F)
                      : length == 3 ? (b & 0x0F)
                                    : (b & 7);
        for (int k = 1; k < length; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        out.push_back(cp);
        i += static_cast<size_t>(length);
    }
}

namespace {

int Cp1251Byte(uint32_t cp) {
    if (cp < 0x80) {
        return static_cast<int>(cp);
    }
    if (cp >= 0x410 && cp <= 0x44F) {
        return static_cast<int>(cp - 0x410 + 0xC0);
    }
    if (cp == 0x401) {
        return 0xA8;
    }
    if (cp == 0x451) {
        return 0xB8;
    }
    return -1;
}

void PutUnit16(std::string& out, uint32_t unit, bool bigEndian) {
    char lo = static_cast<char>(unit & 0xFF);
    char hi = static_cast<char>(unit >> 8);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
}

}  // namespace

bool EncodeCorpusText(const std::string& form, const std::string& utf8,
                      const std::vector<uint32_t>& cps, std::string& out) {
    out.clear();
    if (form == "utf8") {
        out = utf8;
        return true;
    }
    for (uint32_t cp : cps) {
        if (form == "utf16le" || form == "utf16be") {
            bool big = form == "utf16be";
            if (cp >= 0x10000) {
                PutUnit16(out, 0xD800 + ((cp - 0x10000) >> 10), big);
                PutUnit16(out, 0xDC00 + ((cp - 0x10000) & 0x3FF), big);
            } else {
                PutUnit16(out, cp, big);
            }
        } else if (form == "utf32le") {
            for (int k = 0; k < 4; ++k) {
                out += static_cast<char>((cp >> (8 * k)) & 0xFF);
            }
        } else if (form == "cp1251") {
            int b = Cp1251Byte(cp);
            if (b < 0) {
                return false;
            }
            out += static_cast<char>(b);
        } else {
            return false;
        }
    }
    return true;
}

std::string CorpusText(const std::string& kind, uint64_t size) {
    CorpusRandom r = CorpusSeed(kind);
    std::string text, line;
    while (text.size() < size) {
        line.clear();
        AddCorpusLine(r, kind, line);
        text += line;
    }
    // Whole characters only, padded with blanks to the size.
    size_t cut = static_cast<size_t>(size);
    while (cut > 0 && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    text.resize(cut);
    text.append(static_cast<size_t>(size) - cut, ' ');
    return text;
}

uint64_t CorpusSizeArgument(int* argc, char** argv, uint64_t fallback) {
    uint64_t size = fallback;
    for (int i = 1; i < *argc; ++i) {
        const char* prefix = "--corpus_size=";
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0) {
            char* end = nullptr;
            size = std::strtoull(argv[i] + std::strlen(prefix), &end, 10);
            size <<= (*end == 'K' || *end == 'k') ? 10 : (*end == 'M' || *end == 'm') ? 20 : 0;
            for (int k = i; k + 1 < *argc; ++k) {
                argv[k] = argv[k + 1];
            }
            --*argc;
            --i;
        }
    }
    return size;
}
