// Micro-benchmarks of the conversion routes on in-memory buffers, in MB/s of input: each route of
// the comparison in bench/run.sh on each corpus, at every kernel level this processor runs (named
// as the level: "portable", "sse2", ..., the last the one the program uses) and character by
// character ("plain"). The routes that keep the form copy inside the kernel and are left to the
// file benchmarks (here their untimed preparation would outweigh them many times over).
// The work is TranscodeBuffer alone, in the block laid out as the loader leaves it; the flushes
// happen but write nowhere. Rates are per CPU second, which a busy machine disturbs least.
//
// The "lineends/" benchmarks time the routes that write many lines (CP1251 to UTF-8, UTF-8 to
// UTF-16LE) with every line end rewritten (-LF over CR LF text, -CRLF over LF text) beside the
// same route keeping the line ends of the same text, at the level the program uses.
//
//   codeshift_route_bench [--benchmark_filter=cyrillic] [--corpus_size=4M]
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/corpus_text.h"
#include "src/state/run_state.h"
#include "src/transcode/kernels/route_kernels.h"
#include "src/transcode/route_hooks.h"
#include "src/transcode/transcode_buffer.h"

namespace {

constexpr CodePageId kUtf8 = static_cast<CodePageId>(CP_UTF8);

struct BenchRoute {
    const char* name;
    const char* sourceForm;  // as the corpus generator names it
    CodePageId source;
    CodePageId target;
};

const BenchRoute kRoutes[] = {
    {"utf8-utf16le", "utf8", kUtf8, CP_UTF16LE},
    {"utf16le-utf8", "utf16le", CP_UTF16LE, kUtf8},
    {"utf8-utf32le", "utf8", kUtf8, CP_UTF32LE},
    {"utf16be-utf8", "utf16be", CP_UTF16BE, kUtf8},
    {"cp1251-utf8", "cp1251", 1251, kUtf8},
    {"utf8-cp1251", "utf8", kUtf8, 1251},
    {"cp1251-cp866", "cp1251", 1251, 866},
    {"utf16le-utf16be", "utf16le", CP_UTF16LE, CP_UTF16BE},
};

// A kernel level, or the plain routes.
constexpr int kPlain = -1;

// The block as the loader lays it out: the unused bytes, the head room, the input, zero bytes.
struct Block {
    std::vector<uint8_t> bytes;
    size_t inputSize;
};

void Prepare(Block& block, const std::string& input) {
    uint8_t* base = block.bytes.data();
    uint8_t* text = base + kBlockOverhead;
    std::memcpy(text, input.data(), input.size());
    std::memset(text + input.size(), 0, kZeroBytes);
    runState = RunState{};
    runState.workBuffer = WorkBuffer{base, base + kUnusedBytes, text, text + input.size()};
    runState.inputByteCount = static_cast<uint32_t>(input.size());
    runState.inputSize = runState.inputByteCount;
    // The flushes are made and counted, but write nothing.
    runState.outputWriteFailed = true;
}

void RunConversion(benchmark::State& state, const BenchRoute& route, const std::string& input,
                   int variant, LineEnds lineEnds = kLineEndsKept) {
    Block block;
    block.bytes.resize(BlockBytesFor(static_cast<uint32_t>(input.size())));
    block.inputSize = input.size();
    UseKernelLevel(variant == kPlain ? kKernelPortable : static_cast<KernelLevel>(variant));
    usePlainRoutes = variant == kPlain;
    for (auto _ : state) {
        state.PauseTiming();
        Prepare(block, input);
        runState.sourceCp = route.source;
        runState.targetCp = route.target;
        runState.lineEnds = lineEnds;
        state.ResumeTiming();
        TranscodeBuffer();
        benchmark::DoNotOptimize(runState.outputByteCount);
    }
    usePlainRoutes = false;
    UseKernelLevel(BestKernelLevel());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(input.size()));
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t size = CorpusSizeArgument(&argc, argv, 4u << 20);
    // The inputs live as long as the benchmarks that read them.
    static std::vector<std::string> inputs;
    inputs.reserve(64);
    for (const char* kind : {"ascii", "cyrillic", "cjk"}) {
        std::string utf8 = CorpusText(kind, size);
        std::vector<uint32_t> codePoints;
        DecodeCorpusText(utf8, codePoints);
        for (const BenchRoute& route : kRoutes) {
            std::string input;
            if (!EncodeCorpusText(route.sourceForm, utf8, codePoints, input) ||
                (std::string(kind) == "cjk" && route.target == 1251)) {
                continue;
            }
            inputs.push_back(input);
            const std::string* text = &inputs.back();
            const BenchRoute* r = &route;
            for (int variant = kPlain; variant < kKernelLevels; ++variant) {
                if (variant != kPlain && !KernelLevelRuns(static_cast<KernelLevel>(variant))) {
                    continue;
                }
                const char* name = variant == kPlain ? "plain" : kKernelLevelTable[variant].name;
                benchmark::RegisterBenchmark(
                    (std::string(route.name) + "/" + kind + "/" + name).c_str(),
                    [r, text, variant](benchmark::State& state) {
                        RunConversion(state, *r, *text, variant);
                    })
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    // The line ends: each text with LF lines and with CR LF lines, kept and rewritten.
    for (const char* kind : {"ascii", "cyrillic"}) {
        std::string lf = CorpusText(kind, size);
        std::string crLf;
        for (char c : lf) {
            crLf += c == '\n' ? "\r\n" : std::string(1, c);
        }
        for (const std::string* utf8 : {&lf, &crLf}) {
            std::vector<uint32_t> codePoints;
            DecodeCorpusText(*utf8, codePoints);
            bool lfText = utf8 == &lf;
            for (const BenchRoute& route : kRoutes) {
                std::string input;
                if ((std::string(route.name) != "cp1251-utf8" &&
                     std::string(route.name) != "utf8-utf16le") ||
                    !EncodeCorpusText(route.sourceForm, *utf8, codePoints, input)) {
                    continue;
                }
                inputs.push_back(input);
                const std::string* text = &inputs.back();
                const BenchRoute* r = &route;
                int best = BestKernelLevel();
                const struct {
                    const char* name;
                    LineEnds mode;
                } modes[] = {{"kept", kLineEndsKept},
                             {lfText ? "crlf" : "lf", lfText ? kLineEndsCrLf : kLineEndsLf}};
                for (const auto& mode : modes) {
                    LineEnds lineEnds = mode.mode;
                    benchmark::RegisterBenchmark(
                        (std::string("lineends/") + route.name + "/" + kind +
                         (lfText ? "/lf-text/" : "/crlf-text/") + mode.name)
                            .c_str(),
                        [r, text, best, lineEnds](benchmark::State& state) {
                            RunConversion(state, *r, *text, best, lineEnds);
                        })
                        ->Unit(benchmark::kMillisecond);
                }
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
