// The seeded text of the benchmark corpora, shared by the corpus generator and the
// micro-benchmarks: the same seed gives the same bytes on every machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CorpusRandom {
    uint64_t state;
};

// The generator for a kind of text: "ascii" (plain English), "cyrillic" (Russian with English
// mixed in) or "cjk" (Chinese with English mixed in). Every size starts from the same seed.
inline CorpusRandom CorpusSeed(const std::string& kind) {
    return CorpusRandom{kind == "ascii" ? 0xA5C11ull : kind == "cyrillic" ? 0xC7211Cull : 0xC7Cull};
}

// Appends one line of the kind's text, ending in a line break.
void AddCorpusLine(CorpusRandom& r, const std::string& kind, std::string& s);

// The code points of the generated (always well-formed) UTF-8 text.
void DecodeCorpusText(const std::string& utf8, std::vector<uint32_t>& codePoints);

// The text in one form (utf8, utf16le, utf16be, utf32le, cp1251); false when a character has no
// place in that form.
bool EncodeCorpusText(const std::string& form, const std::string& utf8,
                      const std::vector<uint32_t>& codePoints, std::string& out);

// A whole text of `size` UTF-8 bytes, as the generator writes it (for tests and benchmarks that
// want it in memory).
std::string CorpusText(const std::string& kind, uint64_t size);

// The size a benchmark's `--corpus_size=N[K|M]` asks for, `fallback` without one; the option is
// taken out of the arguments, so that the benchmark library does not see it.
uint64_t CorpusSizeArgument(int* argc, char** argv, uint64_t fallback);
