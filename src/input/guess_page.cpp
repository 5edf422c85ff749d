#include "src/input/guess_page.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

#include "page_model_data.inc"

// Symbols of the model: the classes every language shares, then its own letters.
constexpr uint8_t kSymbolJunk = 30;
constexpr uint8_t kSymbolSign = 31;
constexpr uint8_t kSymbolFirstLetter = 3;
constexpr uint8_t kSymbolUpper = 0x80;
constexpr double kBitsPerStep = 1.25;
// A small letter followed by a capital is rare in any language and common in a wrong page.
constexpr double kCaseBits = 6.0;
constexpr double kConfidentBits = 8.0;
// The 7-bit pairs tell the language, but text of one language quotes another's words and
// commands, and a manual page's tables and options are no language's: only pairs with a letter
// count, and they count for much less than the pairs that tell the pages apart, which would
// otherwise be outweighed by a long stretch of 7-bit text in a language that page lacks.
constexpr double kAsciiWeight = 0.15;
// Any language's text may quote English: a 7-bit pair costs a language at most what it costs
// English and this much more.
constexpr double kEnglishBits = 2.0;
// Behind the best by this much, a page is no longer a candidate worth ranking.
constexpr double kSettledBits = 32.0;
constexpr size_t kFullWindow = 64 * 1024;
constexpr uint32_t kEnoughHighBytes = 4096;
constexpr int kMaxLanguages = 64;
constexpr int kMaxPages = 128;

struct Language {
    uint8_t symbolCount;
    const uint8_t* asciiSymbols;  // bytes 00 to 7F
    const uint8_t* costs;         // symbolCount squared, two 4-bit costs a byte
};

struct Page {
    CodePageId id;
    uint8_t prior;  // quarter bits
    uint8_t languageCount;
    const uint8_t* units;   // 128 little-endian UTF-16 units, bytes 80 to FF
    const uint8_t* combos;  // per language: its index, then 128 symbols
};

struct Model {
    int languageCount;
    int english;  // the language whose words every other language's text quotes; -1 for none
    int pageCount;
    Language languages[kMaxLanguages];
    Page pages[kMaxPages];
};

// Read while the program is built: the index then lies among the program's constants, and a
// guess touches only the parts of the model it uses.
constexpr Model ReadModel() {
    Model model{};
    model.english = -1;
    const uint8_t* at = kPageModel + 5;
    model.languageCount = std::min<int>(*at++, kMaxLanguages);
    model.pageCount = std::min<int>(*at++, kMaxPages);
    for (int i = 0; i < model.languageCount; ++i) {
        Language& language = model.languages[i];
        if (at[0] == 'e' && at[1] == 'n') {
            model.english = i;
        }
        at += 2;
        language.symbolCount = *at++;
        language.asciiSymbols = at;
        at += 128;
        language.costs = at;
        at += (language.symbolCount * language.symbolCount + 1) / 2;
    }
    for (int i = 0; i < model.pageCount; ++i) {
        Page& page = model.pages[i];
        page.id = at[0] | at[1] << 8;
        page.prior = at[2];
        page.languageCount = at[3];
        page.units = at + 4;
        page.combos = at + 4 + 256;
        at = page.combos + page.languageCount * 129;
    }
    return model;
}

constexpr Model kModel = ReadModel();

// Inlined: a guess of a short text calls it some twenty thousand times, most of its time.
[[gnu::always_inline]] inline double PairBits(const Language& language, uint8_t first,
                                              uint8_t second) {
    int index = (first & ~kSymbolUpper) * language.symbolCount + (second & ~kSymbolUpper);
    double bits = ((language.costs[index / 2] >> (index % 2 * 4)) & 15) * kBitsPerStep;
    bool firstSmallLetter = (first & kSymbolUpper) == 0 && first >= kSymbolFirstLetter &&
                            first != kSymbolJunk && first != kSymbolSign;
    if (firstSmallLetter && (second & kSymbolUpper) != 0) {
        bits += kCaseBits;
    }
    return bits;
}

bool IsAsciiLetter(uint8_t byte) {
    return (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z';
}

bool HasMagic(const uint8_t* data, size_t count) {
    static const struct {
        const char* bytes;
        size_t size;
    } kMagics[] = {
        {"\x7F"
         "ELF",
         4},
        {"\x89PNG\r\n\x1A\n", 8},
        {"\xFF\xD8\xFF", 3},
        {"\x1F\x8B", 2},
        {"PK\x03\x04", 4},
        {"PK\x05\x06", 4},
        {"%PDF-", 5},
    };
    for (const auto& magic : kMagics) {
        if (count >= magic.size && std::memcmp(data, magic.bytes, magic.size) == 0) {
            return true;
        }
    }
    return false;
}

// Control bytes plain text of any kind holds: tab, line ends, form feed, escape, the DOS
// end-of-file mark, and the backspace of formatted manual pages' bold and underline.
bool IsTextControl(uint8_t byte) {
    return byte == '\b' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' ||
           byte == '\r' || byte == 0x1A || byte == 0x1B;
}

// A Unicode form the zero bytes show: UTF-32 when they come in aligned pairs, UTF-16 when
// they all sit at one parity; 0 for none.
CodePageId WideForm(const uint8_t* data, size_t count) {
    size_t zeros[4] = {};
    size_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        if (data[i] == 0) {
            ++zeros[i % 4];
            ++total;
        }
    }
    if (total == 0) {
        return 0;
    }
    if (count % 4 == 0 && zeros[3] == 0 && zeros[0] == zeros[1] && zeros[0] * 4 >= count) {
        return CP_UTF32BE;
    }
    if (count % 4 == 0 && zeros[0] == 0 && zeros[2] == zeros[3] && zeros[3] * 4 >= count) {
        return CP_UTF32LE;
    }
    if (count % 2 == 0 && zeros[0] + zeros[2] == 0) {
        return CP_UTF16LE;
    }
    if (count % 2 == 0 && zeros[1] + zeros[3] == 0) {
        return CP_UTF16BE;
    }
    return 0;
}

CodePageId MarkedForm(const uint8_t* data, size_t count) {
    if (count >= 4 && std::memcmp(data, "\xFF\xFE\0\0", 4) == 0)
        return CP_UTF32LE;
    if (count >= 4 && std::memcmp(data, "\0\0\xFE\xFF", 4) == 0)
        return CP_UTF32BE;
    if (count >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
        return CP_UTF8;
    if (count >= 2 && std::memcmp(data, "\xFF\xFE", 2) == 0)
        return CP_UTF16LE;
    if (count >= 2 && std::memcmp(data, "\xFE\xFF", 2) == 0)
        return CP_UTF16BE;
    return 0;
}

// Length of the well-formed UTF-8 sequence at `at` (2 to 4), or 0.
int Utf8Sequence(const uint8_t* at, const uint8_t* end) {
    uint8_t lead = at[0];
    int length = lead >= 0xC2 && lead <= 0xDF   ? 2
                 : lead >= 0xE0 && lead <= 0xEF ? 3
                 : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                : 0;
    if (length == 0 || end - at < length) {
        return 0;
    }
    uint8_t low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    uint8_t high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (at[1] < low || at[1] > high) {
        return 0;
    }
    for (int i = 2; i < length; ++i) {
        if (at[i] < 0x80 || at[i] > 0xBF) {
            return 0;
        }
    }
    return length;
}

// Where each pair a guess counted has its place in the evidence, by first byte and second: its
// place plus one, or zero. One table serves every guess of a long text, and each guess sets back
// to zero only the pairs it counted.
uint32_t pairPlaceTable[65536];

// Up to this many bytes, a text's pairs find their places through a small hash of their own
// instead: a new process touches each page of the big table afresh, and on a short text those
// page faults cost several times the guess itself.
constexpr size_t kShortText = 4096;

struct Evidence {
    std::vector<uint16_t> seenPairs;   // each pair counted, in the order first seen
    std::vector<uint32_t> seenCounts;  // how often it was seen
    std::vector<uint16_t> slots;       // a short text's places plus one, by a hash of the pair
    uint32_t slotMask;
    bool highSeen[128];
    uint32_t sequences;
    uint32_t strays;
    uint32_t highBytes;
};

void StartEvidence(Evidence& evidence, size_t count) {
    size_t expected = std::min(count, kShortText);
    evidence.seenPairs.reserve(expected / 2);
    evidence.seenCounts.reserve(expected / 2);
    if (count <= kShortText) {
        size_t size = 64;
        while (size < 2 * count) {
            size *= 2;
        }
        evidence.slots.assign(size, 0);
        evidence.slotMask = static_cast<uint32_t>(size - 1);
    }
}

uint32_t NewPlace(Evidence& evidence, uint16_t pair) {
    evidence.seenPairs.push_back(pair);
    evidence.seenCounts.push_back(0);
    return static_cast<uint32_t>(evidence.seenPairs.size());
}

void CountPair(Evidence& evidence, uint8_t first, uint8_t second) {
    uint16_t pair = static_cast<uint16_t>(first << 8 | second);
    uint32_t place;
    if (evidence.slots.empty()) {
        place = pairPlaceTable[pair];
        if (place == 0) {
            place = pairPlaceTable[pair] = NewPlace(evidence, pair);
        }
    } else {
        uint32_t slot = (pair * 0x9E3779B1u >> 16) & evidence.slotMask;
        while (evidence.slots[slot] != 0 && evidence.seenPairs[evidence.slots[slot] - 1] != pair) {
            slot = (slot + 1) & evidence.slotMask;
        }
        if (evidence.slots[slot] == 0) {
            evidence.slots[slot] = static_cast<uint16_t>(NewPlace(evidence, pair));
        }
        place = evidence.slots[slot];
    }
    ++evidence.seenCounts[place - 1];
}

// Walks the text: byte pairs of the first window, then only pairs around bytes above 7F, until
// enough of those were seen; and whether the bytes form UTF-8.
void Gather(const uint8_t* data, size_t count, Evidence& evidence) {
    StartEvidence(evidence, count);
    const uint8_t* end = data + count;
    const uint8_t* windowEnd = data + std::min(count, kFullWindow);
    uint8_t previous = ' ';
    const uint8_t* at = data;
    while (at < end && evidence.highBytes < kEnoughHighBytes) {
        if (at >= windowEnd) {
            // Past the window, 7-bit runs are skipped eight bytes at a time.
            while (end - at >= 8) {
                uint64_t word;
                std::memcpy(&word, at, 8);
                if ((word & 0x8080808080808080ULL) != 0) {
                    break;
                }
                at += 8;
            }
            if (at >= end) {
                break;
            }
            if (*at < 0x80) {
                previous = *at++;
                continue;
            }
        }
        uint8_t byte = *at;
        if (byte >= 0x80) {
            int length = Utf8Sequence(at, end);
            if (length != 0) {
                ++evidence.sequences;
            } else if (byte < 0xC0 || at + 1 < end) {
                ++evidence.strays;
            }
            ++evidence.highBytes;
            evidence.highSeen[byte - 0x80] = true;
            CountPair(evidence, previous, byte);
            if (at + 1 < end && at + 1 >= windowEnd) {
                CountPair(evidence, byte, at[1]);
            }
            if (length > 1) {
                for (int i = 1; i < length; ++i) {
                    evidence.highSeen[at[i] - 0x80] = true;
                    CountPair(evidence, at[i - 1], at[i]);
                }
                ++evidence.highBytes;
                previous = at[length - 1];
                at += length;
                continue;
            }
        } else {
            CountPair(evidence, previous, byte);
        }
        previous = byte;
        ++at;
    }
}

bool SameReading(const Page& first, const Page& second, const bool* highSeen) {
    for (int i = 0; i < 128; ++i) {
        if (highSeen[i] && std::memcmp(first.units + 2 * i, second.units + 2 * i, 2) != 0) {
            return false;
        }
    }
    return true;
}

// The bits of the page's likeliest language over the first `count` pairs with a byte above
// 7F, the language's 7-bit pairs and the page's prior; counting stops past `enough`.
double PageBits(const Model& model, const Page& page, const double* asciiBits,
                const uint16_t* highPairs, const uint32_t* highCounts, size_t count,
                double enough) {
    double best = 1e300;
    for (int c = 0; c < page.languageCount; ++c) {
        const uint8_t* combo = page.combos + c * 129;
        const Language& language = model.languages[combo[0]];
        const uint8_t* high = combo + 1;
        double bits = kAsciiWeight * asciiBits[combo[0]] + page.prior * 0.25;
        double stop = std::min(best, enough);
        for (size_t i = 0; i < count && bits < stop; ++i) {
            uint8_t first = highPairs[i] >> 8, second = highPairs[i] & 0xFF;
            uint8_t a = first < 0x80 ? language.asciiSymbols[first] : high[first - 0x80];
            uint8_t b = second < 0x80 ? language.asciiSymbols[second] : high[second - 0x80];
            bits += highCounts[i] * PairBits(language, a, b);
        }
        best = std::min(best, bits);
    }
    return best;
}

void GuessEightBit(const Evidence& evidence, PageGuess& guess) {
    const Model& model = kModel;
    double asciiBits[kMaxLanguages] = {};
    for (size_t i = 0; i < evidence.seenPairs.size(); ++i) {
        uint16_t pair = evidence.seenPairs[i];
        uint8_t first = pair >> 8, second = pair & 0xFF;
        if (first < 0x80 && second < 0x80 && (IsAsciiLetter(first) || IsAsciiLetter(second))) {
            double english = 1e300;
            if (model.english >= 0) {
                const Language& language = model.languages[model.english];
                english = kEnglishBits + PairBits(language, language.asciiSymbols[first],
                                                  language.asciiSymbols[second]);
            }
            for (int l = 0; l < model.languageCount; ++l) {
                const Language& language = model.languages[l];
                double bits =
                    PairBits(language, language.asciiSymbols[first], language.asciiSymbols[second]);
                asciiBits[l] += evidence.seenCounts[i] * std::min(bits, english);
            }
        }
    }
    // Only pairs with a byte above 7F tell the pages apart; the 7-bit pairs were counted once
    // per language above.
    std::vector<uint16_t> highPairs;
    std::vector<uint32_t> highCounts;
    for (size_t i = 0; i < evidence.seenPairs.size(); ++i) {
        if ((evidence.seenPairs[i] & 0x8080) != 0) {
            highPairs.push_back(evidence.seenPairs[i]);
            highCounts.push_back(evidence.seenCounts[i]);
        }
    }
    // A page already further behind the best than any confidence needs is left half counted;
    // the pages that do best on the first pairs are counted first, so that happens soon.
    double bestSoFar = 1e300;
    double pageBits[kMaxPages];
    int visit[kMaxPages];
    for (int p = 0; p < model.pageCount; ++p) {
        visit[p] = p;
        pageBits[p] = PageBits(model, model.pages[p], asciiBits, highPairs.data(),
                               highCounts.data(), std::min<size_t>(highPairs.size(), 16), 1e300);
    }
    std::sort(visit, visit + model.pageCount,
              [&](int a, int b) { return pageBits[a] < pageBits[b]; });
    for (int v = 0; v < model.pageCount; ++v) {
        int p = visit[v];
        pageBits[p] = PageBits(model, model.pages[p], asciiBits, highPairs.data(),
                               highCounts.data(), highPairs.size(), bestSoFar + kSettledBits);
        bestSoFar = std::min(bestSoFar, pageBits[p]);
    }
    int order[kMaxPages];
    for (int p = 0; p < model.pageCount; ++p) {
        order[p] = p;
    }
    std::stable_sort(order, order + model.pageCount,
                     [&](int a, int b) { return pageBits[a] < pageBits[b]; });
    int chosen[kGuessMaxPages];
    guess.pageCount = 0;
    double runnerUp = -1;
    for (int i = 0; i < model.pageCount; ++i) {
        const Page& page = model.pages[order[i]];
        bool alike = false;
        for (int k = 0; k < guess.pageCount && !alike; ++k) {
            alike = SameReading(model.pages[chosen[k]], page, evidence.highSeen);
        }
        if (alike) {
            continue;
        }
        if (guess.pageCount == 1) {
            runnerUp = pageBits[order[i]];
        }
        if (guess.pageCount == kGuessMaxPages) {
            break;
        }
        chosen[guess.pageCount] = order[i];
        guess.pages[guess.pageCount++] = page.id;
    }
    double margin = runnerUp < 0 ? kSettledBits : runnerUp - pageBits[chosen[0]];
    guess.confident = margin >= kConfidentBits;
    double doubt = margin > 30 ? 0 : 1.0 / (1.0 + (double)(1ULL << static_cast<int>(margin)));
    guess.confidence = static_cast<int>(100.0 * (1.0 - doubt));
    if (guess.confident) {
        guess.pageCount = 1;
    }
}

}  // namespace

// Control bytes other than zero that no text holds, in the first window.
bool HasStrayControls(const uint8_t* data, size_t count) {
    size_t window = std::min(count, kFullWindow);
    for (size_t i = 0; i < window; ++i) {
        if (data[i] != 0 && data[i] < 0x20 && !IsTextControl(data[i])) {
            return true;
        }
    }
    return false;
}

bool LooksBinary(const uint8_t* data, size_t count) {
    if (HasMagic(data, count)) {
        return true;
    }
    size_t window = std::min(count, kFullWindow);
    if (MarkedForm(data, window) != 0 && MarkedForm(data, window) != CP_UTF8) {
        return false;
    }
    if (std::memchr(data, 0, window) != nullptr) {
        return WideForm(data, window) == 0;
    }
    return HasStrayControls(data, count);
}

bool HasFormatSignature(const uint8_t* data, size_t count) {
    return HasMagic(data, count);
}

bool HasBinaryMarks(const uint8_t* data, size_t count) {
    size_t window = std::min(count, kFullWindow);
    bool wide = MarkedForm(data, window) != 0 ||
                (std::memchr(data, 0, window) != nullptr && WideForm(data, window) != 0);
    return HasMagic(data, count) || (!wide && HasStrayControls(data, count));
}

PageGuess GuessPage(const uint8_t* data, size_t count) {
    PageGuess guess{};
    guess.confidence = 100;
    guess.confident = true;
    if (count == 0) {
        guess.kind = kGuessEmpty;
        return guess;
    }
    if (LooksBinary(data, count)) {
        guess.kind = kGuessBinary;
        return guess;
    }
    CodePageId form = MarkedForm(data, count);
    if (form == 0 && std::memchr(data, 0, std::min(count, kFullWindow)) != nullptr) {
        form = WideForm(data, std::min(count, kFullWindow) & ~size_t{3});
    }
    if (form != 0) {
        guess.kind = kGuessUnicode;
        guess.pages[0] = form;
        guess.pageCount = 1;
        return guess;
    }
    Evidence evidence{};
    Gather(data, count, evidence);
    if (evidence.highBytes == 0) {
        guess.kind = kGuessAscii;
    } else if (evidence.sequences >= 1 && evidence.strays * 4 <= evidence.sequences) {
        // Text in an 8-bit page seldom forms UTF-8 sequences by chance; a few stray bytes among
        // many sequences are damage to UTF-8 text.
        guess.kind = kGuessUnicode;
        guess.pages[0] = static_cast<CodePageId>(CP_UTF8);
        guess.pageCount = 1;
        guess.strayBytes = evidence.strays;
    } else {
        guess.kind = kGuessPage;
        GuessEightBit(evidence, guess);
    }
    if (evidence.slots.empty()) {
        for (uint16_t pair : evidence.seenPairs) {
            pairPlaceTable[pair] = 0;
        }
    }
    return guess;
}

uint16_t GuessedPageUnit(CodePageId id, uint8_t byte) {
    const Model& model = kModel;
    for (int p = 0; p < model.pageCount; ++p) {
        if (model.pages[p].id == id && byte >= 0x80) {
            const uint8_t* unit = model.pages[p].units + 2 * (byte - 0x80);
            return static_cast<uint16_t>(unit[0] | unit[1] << 8);
        }
    }
    return 0;
}
