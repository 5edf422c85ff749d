// The routes that run against the plain per-character routes they stand for, and those against
// the reference: on random, malformed and boundary texts, at every kernel level this processor
// has, the same flushes with the same bytes, the same count of characters replaced by "?", and
// nothing touched outside the output region.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "src/transcode/codecs/output_marks.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/kernels/route_kernels.h"
#include "src/transcode/route_hooks.h"
#include "src/transcode/transcode_buffer.h"
#include "tests/reference/reference_conversion.h"
#include "tests/support/test_files.h"
#include "tests/transcode/work_block.h"

namespace {

constexpr CodePageId kUtf8 = static_cast<CodePageId>(CP_UTF8);
constexpr uint8_t kPoison = 0xDC;

struct Outcome {
    std::vector<std::string> pieces;
    uint32_t outputByteCount;
    Replacements replacements;
    bool outsideUntouched;  // the unused bytes, the zero bytes and the slack as they were
    uint64_t lineEndsChanged;
    // The input from four hand-overs on as it was read: no output reached it.
    bool farInputUntouched;
};

std::vector<std::string>* watched = nullptr;

void Watch(const uint8_t* bytes, DWORD count) {
    watched->emplace_back(reinterpret_cast<const char*>(bytes), count);
}

std::string InSourceOrder(std::string text, CodePageId source);

Outcome Transcode(CodePageId source, CodePageId target, const std::string& file,
                  uint32_t markLength, bool plain, LineEnds lineEnds = kLineEndsKept) {
    runState = RunState{};
    runState.sourceCp = source;
    runState.targetCp = target;
    runState.lineEnds = lineEnds;
    LayOutInput(file, markLength, kPoison);
    // Nothing reaches a file: the pieces are watched as they are handed over.
    runState.outputWriteFailed = true;
    Outcome outcome{};
    watched = &outcome.pieces;
    flushObserver = Watch;
    usePlainRoutes = plain;
    TranscodeBuffer();
    FinishOutput();
    usePlainRoutes = false;
    flushObserver = nullptr;
    outcome.outputByteCount = runState.outputByteCount;
    outcome.replacements = runState.replacements;
    outcome.lineEndsChanged = runState.lineEndsChanged;
    // No output gains more than three bytes a byte read; a big-endian input is turned as read.
    size_t far = 4 * size_t{kHandOverBytes};
    std::string loaded = InSourceOrder(file.substr(markLength), source);
    outcome.farInputUntouched =
        loaded.size() <= far || std::memcmp(runState.workBuffer.readCursor + far,
                                            loaded.data() + far, loaded.size() - far) == 0;

    const uint8_t* block = runState.workBuffer.block;
    const uint8_t* end = runState.workBuffer.readEnd;
    const uint8_t* blockEnd = block + BlockBytesFor(static_cast<uint32_t>(file.size()));
    bool untouched = std::memcmp(end, "\0\0\0\0", kZeroBytes) == 0;
    for (const uint8_t* at = block; at < block + kUnusedBytes; ++at) {
        untouched = untouched && *at == kPoison;
    }
    for (const uint8_t* at = end + kZeroBytes; at < blockEnd; ++at) {
        untouched = untouched && *at == kPoison;
    }
    outcome.outsideUntouched = untouched;
    std::free(runState.workBuffer.block);
    runState.workBuffer = WorkBuffer{nullptr, nullptr, nullptr, nullptr};
    return outcome;
}

bool SameCounts(const Replacements& a, const Replacements& b) {
    return a.unreadable == b.unreadable && a.missing == b.missing && a.similar == b.similar;
}

std::string Counts(const Replacements& r) {
    return std::to_string(r.unreadable) + " unreadable, " + std::to_string(r.missing) +
           " missing, " + std::to_string(r.similar) + " similar";
}

std::vector<KernelLevel> AvailableLevels() {
    std::vector<KernelLevel> levels;
    for (int level = 0; level < kKernelLevels; ++level) {
        if (KernelLevelRuns(static_cast<KernelLevel>(level))) {
            levels.push_back(static_cast<KernelLevel>(level));
        }
    }
    return levels;
}

// --- Texts ----------------------------------------------------------------------------------

// Texts in a source form, built from pieces that the kernels treat differently: runs of ASCII,
// runs of two-byte characters, longer characters, and everything malformed.
enum Mix { kAsciiRuns, kTwoByteRuns, kThreeByteRuns, kEverything, kNoise };

void PutUnit(std::string& text, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        text.push_back(static_cast<char>(value >> (8 * i)));
    }
}

void AddUtf8Piece(std::mt19937& random, Mix mix, std::string& text) {
    uint32_t roll = random() % 100;
    if (mix == kNoise) {
        text.push_back(static_cast<char>(random()));
        return;
    }
    if (roll < (mix == kAsciiRuns ? 70u : 25u)) {
        text.append(random() % 40, static_cast<char>('a' + random() % 26));
    } else if (roll < (mix == kEverything ? 60u : 90u) && mix != kThreeByteRuns) {
        for (uint32_t n = random() % 12; n > 0; --n) {
            uint32_t lead = 0xC0 + random() % 32;  // C0 and C1 too: overlong, no character
            text.push_back(static_cast<char>(lead));
            text.push_back(static_cast<char>(0x80 + random() % 64));
        }
    } else if (roll < 90u) {
        for (uint32_t n = random() % 12; n > 0; --n) {
            // E0 80 80 and encoded surrogates (ED A0 to ED BF) among them.
            text.push_back(static_cast<char>(0xE0 + random() % 16));
            text.push_back(static_cast<char>(0x80 + random() % 64));
            text.push_back(static_cast<char>(0x80 + random() % 64));
        }
    } else {
        static const char* const kOdd[] = {
            "\xE2\x82\xAC",
            "\xE4\xB8\xAD",
            "\xED\xA0\xBD\xED\xB8\x80",
            "\xED\xB0\x80",
            "\xF0\x9F\x98\x80",
            "\xF4\x90\x80\x80",
            "\xF0\x80\x80\x80",
            "\xF7\xBF\xBF\xBF",
            "\x80",
            "\xBF\xBF",
            "\xC3",
            "\xC3\x28",
            "\xE2\x82",
            "\xF0\x9F\x98",
            "\xF8\x88\x80\x80\x80",
            "\xFF",
            "\xEF\xBB\xBF",
            "\xC0\x80",
        };
        text += kOdd[random() % (sizeof(kOdd) / sizeof(kOdd[0]))];
        if (random() % 4 == 0) {
            text.push_back('\0');
        }
    }
}

void AddUtf16Piece(std::mt19937& random, Mix mix, std::string& text) {
    uint32_t roll = random() % 100;
    if (mix == kNoise) {
        PutUnit(text, random() & 0xFFFF, 2);
    } else if (roll < (mix == kAsciiRuns ? 70u : 25u)) {
        for (uint32_t n = random() % 30; n > 0; --n) {
            PutUnit(text, 'a' + random() % 26, 2);
        }
    } else if (roll < (mix == kEverything ? 55u : 90u)) {
        for (uint32_t n = random() % 12; n > 0; --n) {
            PutUnit(text,
                    mix == kThreeByteRuns ? 0x800 + random() % 0xF800 : 0x80 + random() % 0x780, 2);
        }
    } else {
        static const uint32_t kOdd[] = {0x20AC, 0x4E2D, 0xFFFF, 0xD83D, 0xDE00, 0xDBFF,
                                        0xDFFF, 0xD800, 0xDC00, 0x0000, 0x7FF,  0x800};
        PutUnit(text, kOdd[random() % (sizeof(kOdd) / sizeof(kOdd[0]))], 2);
        if (random() % 2 == 0) {
            PutUnit(text, 0xDC00 + random() % 0x400, 2);  // completes a pair or stands alone
        }
    }
}

void AddUtf32Piece(std::mt19937& random, Mix mix, std::string& text) {
    uint32_t roll = random() % 100;
    if (mix == kNoise) {
        PutUnit(text, static_cast<uint32_t>(random()), 4);
    } else if (roll < (mix == kAsciiRuns ? 70u : 25u)) {
        for (uint32_t n = random() % 30; n > 0; --n) {
            PutUnit(text, 'a' + random() % 26, 4);
        }
    } else if (roll < (mix == kEverything ? 55u : 90u)) {
        for (uint32_t n = random() % 12; n > 0; --n) {
            PutUnit(text,
                    mix == kThreeByteRuns ? 0x800 + random() % 0xF800 : 0x80 + random() % 0x780, 4);
        }
    } else {
        static const uint32_t kOdd[] = {0x20AC,  0x4E2D,   0xFFFF,   0xD800,   0xDFFF,     0x10000,
                                        0x1F600, 0x10FFFF, 0x110000, 0xA10000, 0xFFFFFFFF, 0};
        PutUnit(text, kOdd[random() % (sizeof(kOdd) / sizeof(kOdd[0]))], 4);
    }
}

void AddCodePagePiece(std::mt19937& random, Mix mix, std::string& text) {
    uint32_t roll = random() % 100;
    if (mix == kNoise || roll >= (mix == kAsciiRuns ? 70u : 25u)) {
        for (uint32_t n = random() % 12; n > 0; --n) {
            text.push_back(static_cast<char>(mix == kNoise ? random() : 0x80 + random() % 128));
        }
    } else {
        text.append(random() % 40, static_cast<char>('a' + random() % 26));
    }
}

int UnitWidth(CodePageId cp) {
    switch (cp) {
        case CP_UTF16LE:
        case CP_UTF16BE:
            return 2;
        case CP_UTF32LE:
        case CP_UTF32BE:
            return 4;
        default:
            return 1;
    }
}

// Little-endian units turned for a big-endian source.
std::string InSourceOrder(std::string text, CodePageId source) {
    if (source == CP_UTF16BE || source == CP_UTF32BE) {
        size_t width = static_cast<size_t>(UnitWidth(source));
        for (size_t i = 0; i + width <= text.size(); i += width) {
            std::reverse(text.begin() + static_cast<ptrdiff_t>(i),
                         text.begin() + static_cast<ptrdiff_t>(i + width));
        }
    }
    return text;
}

// A text of `size` bytes in the source form (little-endian; turned for big-endian sources).
std::string Text(CodePageId source, Mix mix, size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) {
        if (source == kUtf8) {
            AddUtf8Piece(random, mix, text);
        } else if (UnitWidth(source) == 2) {
            AddUtf16Piece(random, mix, text);
        } else if (UnitWidth(source) == 4) {
            AddUtf32Piece(random, mix, text);
        } else {
            AddCodePagePiece(random, mix, text);
        }
    }
    text.resize(size);  // may cut a character or a unit: the routes must cope
    return InSourceOrder(text, source);
}

// --- Cases ----------------------------------------------------------------------------------

struct Pair {
    std::string name;
    CodePageId source;
    CodePageId target;
};

void PrintTo(const Pair& p, std::ostream* out) {
    *out << p.name;
}

std::vector<Pair> AllPairs() {
    struct Form {
        const char* name;
        CodePageId cp;
    };
    // 1253 lacks a few bytes, so its failures show; 4242 is no page at all.
    const Form forms[] = {{"Utf8", kUtf8},         {"Utf16Le", CP_UTF16LE}, {"Utf16Be", CP_UTF16BE},
                          {"Utf32Le", CP_UTF32LE}, {"Utf32Be", CP_UTF32BE}, {"A1251", 1251},
                          {"Cp866", 866},          {"A1253", 1253},         {"NoPage", 4242}};
    std::vector<Pair> pairs;
    for (const Form& s : forms) {
        for (const Form& t : forms) {
            pairs.push_back({std::string(s.name) + "To" + t.name, s.cp, t.cp});
        }
    }
    return pairs;
}

class FastRoute : public ::testing::TestWithParam<Pair> {
protected:
    void TearDown() override { UseKernelLevel(BestKernelLevel()); }

    // Runs the text both ways at every level and reports the first difference.
    void Compare(const std::string& what, const std::string& file, uint32_t markLength = 0) {
        const Pair& p = GetParam();
        Outcome plain = Transcode(p.source, p.target, file, markLength, true);
        ASSERT_TRUE(plain.outsideUntouched) << what;
        Replacements counts{};
        std::string expected =
            ReferenceConversion(file.substr(markLength), p.source, p.target, &counts);
        std::string joined;
        for (const std::string& piece : plain.pieces) {
            joined += piece;
        }
        ASSERT_TRUE(joined == expected) << what << ": the plain route differs from the reference";
        ASSERT_TRUE(SameCounts(plain.replacements, counts))
            << what << ": the plain route counts " << Counts(plain.replacements)
            << ", the reference " << Counts(counts);
        for (KernelLevel level : AvailableLevels()) {
            UseKernelLevel(level);
            Outcome fast = Transcode(p.source, p.target, file, markLength, false);
            SCOPED_TRACE(what + " at " + kKernelLevelTable[level].name);
            ASSERT_EQ(fast.pieces.size(), plain.pieces.size()) << "a different number of flushes";
            for (size_t i = 0; i < plain.pieces.size(); ++i) {
                ASSERT_EQ(fast.pieces[i].size(), plain.pieces[i].size()) << "flush " << i;
                ASSERT_TRUE(fast.pieces[i] == plain.pieces[i])
                    << "flush " << i << " differs: " << Hex(fast.pieces[i].substr(0, 64))
                    << " instead of " << Hex(plain.pieces[i].substr(0, 64));
            }
            ASSERT_EQ(fast.outputByteCount, plain.outputByteCount);
            ASSERT_TRUE(SameCounts(fast.replacements, plain.replacements))
                << "counts " << Counts(fast.replacements) << " instead of "
                << Counts(plain.replacements);
            ASSERT_TRUE(fast.outsideUntouched) << "wrote outside the output region";
        }
    }
};

TEST_P(FastRoute, EveryShortLength) {
    const CodePageId source = GetParam().source;
    for (size_t length = 0; length <= 64; ++length) {
        for (Mix mix : {kAsciiRuns, kTwoByteRuns, kThreeByteRuns, kEverything, kNoise}) {
            Compare("length " + std::to_string(length) + " mix " + std::to_string(mix),
                    Text(source, mix, length, static_cast<uint32_t>(length * 7 + mix)));
        }
    }
}

TEST_P(FastRoute, LongTextsFlushedManyTimes) {
    const CodePageId source = GetParam().source;
    for (Mix mix : {kAsciiRuns, kTwoByteRuns, kThreeByteRuns, kEverything, kNoise}) {
        for (uint32_t seed = 1; seed <= 3; ++seed) {
            Compare("mix " + std::to_string(mix) + " seed " + std::to_string(seed),
                    Text(source, mix, 30000 + seed * 4999, seed));
        }
    }
}

// Pure ASCII shifted byte by byte, so that the flushes of the growing targets fall at every
// place relative to the kernels' blocks and at every distance from the end.
TEST_P(FastRoute, FlushesAtEveryOffset) {
    const CodePageId source = GetParam().source;
    std::string ascii;
    for (int i = 0; i < 20000; ++i) {
        PutUnit(ascii, 'a' + i % 26, UnitWidth(source));
    }
    ascii = InSourceOrder(ascii, source);
    std::string mixed = Text(source, kEverything, 3000, 99);
    for (size_t shift = 0; shift < 64; ++shift) {
        Compare("shift " + std::to_string(shift),
                mixed.substr(0, shift) + ascii + mixed.substr(0, 64 - shift));
    }
}

// Long text of one script (Cyrillic words between spaces), where the kernels' widest paths take
// whole stretches: the target page's window of units among them.
TEST_P(FastRoute, LongTextOfOneScript) {
    const CodePageId source = GetParam().source;
    std::mt19937 random(7);
    std::string text;
    while (text.size() < 60000) {
        uint32_t unit = random() % 8 == 0 ? ' ' : 0x410 + random() % 0x40;
        if (source == kUtf8) {
            text += unit < 0x80 ? std::string(1, static_cast<char>(unit))
                                : std::string{static_cast<char>(0xC0 | (unit >> 6)),
                                              static_cast<char>(0x80 | (unit & 0x3F))};
        } else if (UnitWidth(source) == 1) {
            text.push_back(static_cast<char>(unit < 0x80 ? unit : unit - 0x410 + 0xC0));
        } else {
            PutUnit(text, unit, UnitWidth(source));
        }
    }
    Compare("one script", InSourceOrder(text, source));
}

// ASCII with one other character shortly before or after where the first kernel call stops (the
// head room less the margin, over the route's gain of one, two or three bytes a byte): a kernel
// that converts the bytes before its limit in one piece must leave that character to the steps.
TEST_P(FastRoute, OneCharacterNearTheFirstLimit) {
    const CodePageId source = GetParam().source;
    if (UnitWidth(source) != 1) {
        return;
    }
    const std::string character = source == kUtf8 ? "\xD0\x96" : "\xC6";
    for (uint32_t gain : {1u, 2u, 3u}) {
        uint32_t limit = (kHeadRoomBytes - kBulkMargin) / gain;
        for (uint32_t at = limit - 40; at < limit + 8; ++at) {
            Compare("at " + std::to_string(at),
                    std::string(at, 'a') + character + std::string(5000 - at, 'b'));
        }
    }
}

// From a byte code page: one byte that is no ASCII among ASCII, on lines one byte longer than a
// block of 32, so that it cuts a run of ASCII at every place of a block (and of a block of 64):
// a letter, a byte the page leaves undefined, one the other pages lack, and the page's own "?".
// The texts end a little behind a cut, after every length of ASCII in front of it, so that the
// last bytes before a kernel's limit, fewer than a block, hold one at every place too.
TEST_P(FastRoute, OneByteCuttingAscii) {
    const CodePageId source = GetParam().source;
    if (source == kUtf8 || UnitWidth(source) != 1) {
        return;
    }
    for (char cut : {'\xC6', '\x98', '\xA9', '\xFF', '?'}) {
        for (size_t ascii : {32u, 64u}) {
            std::string line = std::string(ascii, 'a') + cut;
            std::string text;
            while (text.size() < 3000) {
                text += line;
            }
            for (size_t end = 0; end <= ascii; ++end) {
                Compare(Hex(std::string(1, cut)) + " after " + std::to_string(ascii) + ", ending " +
                            std::to_string(end),
                        text + line.substr(0, end) + cut + "z");
            }
        }
    }
}

// From UTF-16: the units at the edges of each length in UTF-8 (one, two and three bytes, either
// side of the surrogates) and lone surrogates, at every place of a block among units of one
// length, so that a block meets one length alone and each other one in it.
TEST_P(FastRoute, UnitsAmongUnitsOfOneLength) {
    const CodePageId source = GetParam().source;
    if (UnitWidth(source) != 2) {
        return;
    }
    for (uint32_t around : {0x61u, 0x416u, 0x4E2Du}) {
        for (uint32_t unit :
             {0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFFu, 0xD800u, 0xDFFFu}) {
            // 17 units a line drift against the blocks to every place within 16 lines.
            std::string line;
            for (int i = 0; i < 16; ++i) {
                PutUnit(line, around, 2);
            }
            PutUnit(line, unit, 2);
            std::string text;
            while (text.size() < 3000) {
                text += line;
            }
            Compare(std::to_string(unit) + " among " + std::to_string(around),
                    InSourceOrder(text, source));
        }
    }
}

// Texts behind a byte order mark start further from the output, and units that the mark makes
// odd-aligned must be read as well.
TEST_P(FastRoute, BehindAMark) {
    const CodePageId source = GetParam().source;
    for (uint32_t mark : {2u, 3u, 4u}) {
        OutputMark m = OutputMarkOf(source);
        std::string prefix(reinterpret_cast<const char*>(kOutputMarks), mark);
        if (m.length == mark) {
            prefix.assign(reinterpret_cast<const char*>(m.bytes), m.length);
        }
        for (Mix mix : {kAsciiRuns, kTwoByteRuns, kThreeByteRuns, kEverything}) {
            Compare("mark " + std::to_string(mark),
                    prefix + Text(source, mix, 20000 + mark, mark * 11 + mix), mark);
        }
    }
}

// A source named on the command line whose size is no whole number of units.
TEST_P(FastRoute, TrailingPartialUnits) {
    const CodePageId source = GetParam().source;
    for (size_t extra = 1; extra < 4; ++extra) {
        for (Mix mix : {kAsciiRuns, kTwoByteRuns, kThreeByteRuns, kEverything}) {
            Compare("extra " + std::to_string(extra),
                    Text(source, mix, 12000 + extra, static_cast<uint32_t>(extra + mix)));
        }
    }
}

// `bytes` in units of `width` bytes, little- or big-endian, with every line end written as `mode`
// asks, as one rewrite of the whole output makes it; a partial unit at the end stays. Adds the
// line ends written otherwise to *changed.
std::string RewrittenAtOnce(const std::string& bytes, int width, bool bigEndian, LineEnds mode,
                            uint64_t* changed) {
    size_t w = static_cast<size_t>(width);
    auto unitAt = [&](size_t i) {
        uint32_t unit = 0;
        for (size_t b = 0; b < w; ++b) {
            unit |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i * w + b]))
                    << (8 * (bigEndian ? w - 1 - b : b));
        }
        return unit;
    };
    auto put = [&](std::string& out, uint32_t unit) {
        for (size_t b = 0; b < w; ++b) {
            out.push_back(static_cast<char>(unit >> (8 * (bigEndian ? w - 1 - b : b))));
        }
    };
    std::string out;
    size_t units = bytes.size() / w;
    for (size_t i = 0; i < units; ++i) {
        uint32_t unit = unitAt(i);
        if (unit != '\r' && unit != '\n') {
            put(out, unit);
            continue;
        }
        bool pair = unit == '\r' && i + 1 < units && unitAt(i + 1) == '\n';
        *changed += pair ? mode == kLineEndsLf : unit == '\r' || mode == kLineEndsCrLf;
        if (mode == kLineEndsCrLf) {
            put(out, '\r');
        }
        put(out, '\n');
        i += pair ? 1 : 0;
    }
    return out + bytes.substr(units * w);
}

// With line ends rewritten, the routes hand their output over every kHandOverBytes of input. The
// plain route and every level give the bytes and counts of the output kept and rewritten at once,
// and none lets its output run further into the block than four hand-overs' worth: for every
// family and target width, with line ends throughout and, at the hand-overs, a CR LF across one
// (the CR the last unit handed over), a CR alone at the end of one, and a pair either side.
TEST_P(FastRoute, LineEndsRewrittenAsAtOnceAcrossHandOvers) {
    const Pair& p = GetParam();
    int width = UnitWidth(p.source);
    bool bigEndian = p.source == CP_UTF16BE || p.source == CP_UTF32BE;
    std::mt19937 random(31);
    std::string text = Text(p.source, kAsciiRuns, 4 * kHandOverBytes + 9000, 5);
    auto putUnit = [&](size_t at, uint32_t unit) {
        for (int b = 0; b < width; ++b) {
            text[at + static_cast<size_t>(b)] =
                static_cast<char>(unit >> (8 * (bigEndian ? width - 1 - b : b)));
        }
    };
    for (size_t at = 0; at + 4 <= text.size(); at += (random() % 90 + 1) * 4) {
        putUnit(at, random() % 2 == 0 ? '\r' : '\n');
    }
    const char* const atHandOvers[] = {"\r|\n", "\r|a", "\r\n|", "|\r\n"};
    for (size_t k = 1; k <= 4; ++k) {
        const char* pattern = atHandOvers[k - 1];
        size_t at = k * kHandOverBytes - std::strcspn(pattern, "|") * static_cast<size_t>(width);
        for (const char* c = pattern; *c != '\0'; ++c) {
            if (*c != '|') {
                putUnit(at, static_cast<uint8_t>(*c));
                at += static_cast<size_t>(width);
            }
        }
    }
    Outcome kept = Transcode(p.source, p.target, text, 0, true);
    std::string keptOutput;
    for (const std::string& piece : kept.pieces) {
        keptOutput += piece;
    }
    bool copy = p.source == p.target || (width > 1 && width == UnitWidth(p.target));
    int targetWidth = UnitWidth(p.target);
    bool targetBigEndian = p.target == CP_UTF16BE || p.target == CP_UTF32BE;
    for (LineEnds mode : {kLineEndsLf, kLineEndsCrLf}) {
        uint64_t changed = 0;
        std::string expected =
            RewrittenAtOnce(keptOutput, targetWidth, targetBigEndian, mode, &changed);
        for (int level = -1; level < kKernelLevels; ++level) {
            if (level >= 0 && !KernelLevelRuns(static_cast<KernelLevel>(level))) {
                continue;
            }
            UseKernelLevel(level < 0 ? kKernelPortable : static_cast<KernelLevel>(level));
            Outcome run = Transcode(p.source, p.target, text, 0, level < 0, mode);
            std::string joined;
            for (const std::string& piece : run.pieces) {
                joined += piece;
            }
            SCOPED_TRACE(testing::Message() << (level < 0 ? "plain" : kKernelLevelTable[level].name)
                                            << ", mode " << static_cast<int>(mode));
            ASSERT_EQ(joined.size(), expected.size());
            EXPECT_TRUE(joined == expected);
            EXPECT_EQ(run.outputByteCount, expected.size());
            EXPECT_EQ(run.lineEndsChanged, changed);
            EXPECT_TRUE(SameCounts(run.replacements, kept.replacements));
            EXPECT_TRUE(run.outsideUntouched);
            // A copy's output is its input, wherever it lies.
            EXPECT_TRUE(run.farInputUntouched || copy);
        }
    }
}

std::string PairName(const ::testing::TestParamInfo<Pair>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Pairs, FastRoute, ::testing::ValuesIn(AllPairs()), PairName);

// From UTF-8 only: each kind of character that a block may meet at its end, after every one of
// its bytes (the lines drift against the 64-byte blocks), among them a four-byte character, and
// sequences that are no character, which no block takes: a surrogate's form and overlong ones.
class Utf8BlockEnds : public FastRoute {};

TEST_P(Utf8BlockEnds, CharactersCutAfterEachByte) {
    for (std::string character : {"\xD0\x96", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\xED\xA0\x80",
                                  "\xC1\xBF", "\xE0\x9F\xBF"}) {
        for (size_t before = 58; before < 64; ++before) {
            std::string line = std::string(before, 'a') + character + std::string(64 - before, 'b');
            std::string text;
            while (text.size() < 20000) {
                text += line;
            }
            Compare(Hex(character) + " after " + std::to_string(before), text);
        }
    }
}

// The same among characters of other scripts, so that the blocks that decode two- and three-byte
// characters whole meet each one at every place, and at their ends after each of its bytes: the
// edges of each length (the least and the most of two and three bytes, the last before the
// surrogates and the first after them) as well as what no block takes.
TEST_P(Utf8BlockEnds, CharactersAmongOtherScripts) {
    const char* const kAround[] = {"\xD0\x96", "\xE4\xB8\xAD", "\xD0\x96\xE4\xB8\xAD", "a\xD0\x96"};
    const char* const kCharacters[] = {
        "\xC2\x80",     "\xDF\xBF",     "\xE0\xA0\x80",     "\xED\x9F\xBF", "\xEE\x80\x80",
        "\xEF\xBF\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80",     "\xED\xBF\xBF", "\xC1\xBF",
        "\xC2\x41",     "\xE4\xB8\x41", "\xF0\x9F\x98\x80", "\x80",         "\xFF",
    };
    for (std::string around : kAround) {
        for (std::string character : kCharacters) {
            // A line of an odd length drifts against the blocks to every place within 32 lines.
            std::string line;
            for (int i = 0; i < 37; ++i) {
                line += around;
            }
            line += character;
            if (line.size() % 2 == 0) {
                line += 'a';
            }
            std::string text;
            while (text.size() < 6000) {
                text += line;
            }
            Compare(Hex(character) + " among " + Hex(around), text);
        }
    }
}

std::vector<Pair> Utf8Pairs() {
    std::vector<Pair> pairs;
    for (const Pair& p : AllPairs()) {
        if (p.source == kUtf8) {
            pairs.push_back(p);
        }
    }
    return pairs;
}

INSTANTIATE_TEST_SUITE_P(Pairs, Utf8BlockEnds, ::testing::ValuesIn(Utf8Pairs()), PairName);

// From UTF-16 and UTF-32: each kind of unit a block of 32 or 16 units may meet, on lines one or
// two units longer than 32, so that it falls at every place of a block over the text: a pair cut
// after its first unit (of UTF-32, two surrogates alone), surrogates alone, both sides of the
// step from two UTF-8 bytes to three.
// The rest of each line is of one kind, so that the blocks around it take each of the ways a
// block of units is encoded: ASCII, all below 0x800, any other.
class UnitBlockEnds : public FastRoute {};

TEST_P(UnitBlockEnds, UnitsAtEveryPlaceOfABlock) {
    const std::vector<uint32_t> kUnits[] = {{0xD83D, 0xDE00}, {0xD800}, {0xDFFF},     {0x7FF},
                                            {0x800},          {0x80},   {0x7F, 0x800}};
    const CodePageId source = GetParam().source;
    for (const std::vector<uint32_t>& units : kUnits) {
        for (uint32_t filler : {0x61u, 0x416u, 0x7FFu, 0x4E2Du}) {
            std::string line;
            for (uint32_t unit : units) {
                PutUnit(line, unit, UnitWidth(source));
            }
            for (int i = 0; i < 32; ++i) {
                PutUnit(line, filler, UnitWidth(source));
            }
            std::string text;
            while (text.size() < 20000) {
                text += line;
            }
            Compare(Hex(line.substr(0, 4)) + " among " + std::to_string(filler),
                    InSourceOrder(text, source));
        }
    }
}

std::vector<Pair> UnitPairs() {
    std::vector<Pair> pairs;
    for (const Pair& p : AllPairs()) {
        if (UnitWidth(p.source) > 1) {
            pairs.push_back(p);
        }
    }
    return pairs;
}

INSTANTIATE_TEST_SUITE_P(Pairs, UnitBlockEnds, ::testing::ValuesIn(UnitPairs()), PairName);

// The bulk tables hold what the single calls answer, for every byte and every unit.
TEST(CodePageTables, MatchTheSingleCalls) {
    for (UINT page : {1251u, 866u, 1253u, 20866u, 4242u}) {
        CodePageByte bytes[256];
        ReadCodePageBytes(page, bytes);
        for (int b = 0; b < 256; ++b) {
            char byte = static_cast<char>(b);
            WCHAR unit = 0;
            int result = MultiByteToWideChar(page, 0, &byte, 1, &unit, 1);
            ASSERT_EQ(bytes[b].result, result > 0 ? 1 : 0) << page << " byte " << b;
            if (result > 0) {
                ASSERT_EQ(bytes[b].unit, unit) << page << " byte " << b;
            }
        }
        std::vector<CodePageUnit> units(65536);
        ReadCodePageUnits(page, 0, 65536, units.data());
        for (uint32_t u = 0; u < 65536; ++u) {
            WCHAR unit = static_cast<WCHAR>(u);
            int size = WideCharToMultiByte(page, 0, &unit, 1, nullptr, 0, nullptr, nullptr);
            ASSERT_EQ(units[u].size, size) << page << " unit " << u;
            char out[8] = {};
            if (size > 0 && size <= 4) {
                WideCharToMultiByte(page, 0, &unit, 1, out, size, nullptr, nullptr);
                ASSERT_EQ(std::memcmp(units[u].bytes, out, static_cast<size_t>(size)), 0);
                WCHAR back[4] = {};
                int count = MultiByteToWideChar(page, 0, out, size, back, 4);
                ASSERT_TRUE(units[u].backCount == count && units[u].back == back[0])
                    << page << " unit " << u << " read back";
            }
            char one = 0;
            int single = WideCharToMultiByte(page, 0, &unit, 1, &one, 1, nullptr, nullptr);
            ASSERT_EQ(units[u].single, single > 0 ? 1 : 0) << page << " unit " << u;
            if (single > 0) {
                ASSERT_EQ(units[u].byte, static_cast<uint8_t>(one)) << page << " unit " << u;
            }
        }
    }
}

}  // namespace
