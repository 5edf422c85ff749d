// The page guesser on large texts, in GB/s of text per CPU second: plain English (no byte above
// 7F, so the whole text is read), Cyrillic in Windows-1251 and in UTF-8 (the guess may stop once
// it has seen enough bytes above 7F), and English with one accented letter in every 32 KiB
// (too few to stop the guess early: read whole, the bytes around each letter counted). Each text is
// the seeded corpus of bench/corpus_text.cpp.
//
//   codeshift_guess_bench [--corpus_size=64M]
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/corpus_text.h"
#include "src/input/guess_page.h"

namespace {

void RunGuess(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        PageGuess guess = GuessPage(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        benchmark::DoNotOptimize(guess);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t size = CorpusSizeArgument(&argc, argv, 64u << 20);
    static std::vector<std::pair<std::string, std::string>> texts;
    texts.reserve(4);
    texts.emplace_back("ascii", CorpusText("ascii", size));
    std::string cyrillic = CorpusText("cyrillic", size);
    std::vector<uint32_t> codePoints;
    DecodeCorpusText(cyrillic, codePoints);
    std::string cp1251;
    EncodeCorpusText("cp1251", cyrillic, codePoints, cp1251);
    texts.emplace_back("cp1251", cp1251);
    texts.emplace_back("utf8", cyrillic);
    // English with an e acute in Windows-1252 every 32 KiB.
    std::string sparse = texts[0].second;
    for (size_t at = 512; at < sparse.size(); at += 32768) {
        if (sparse[at] == 'e') {
            sparse[at] = static_cast<char>(0xE9);
        } else {
            at -= 32767;  // the next byte instead
        }
    }
    texts.emplace_back("ascii-sparse-1252", sparse);
    for (const auto& text : texts) {
        const std::string* bytes = &text.second;
        benchmark::RegisterBenchmark(("guess/" + text.first).c_str(), [bytes](
                                                                          benchmark::State& state) {
            RunGuess(state, *bytes);
        })->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
