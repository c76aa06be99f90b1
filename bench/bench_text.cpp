// Throughput of the text operations at 1 MiB and 16 MiB: the pair shows whether each is linear.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <random>

#include "text/base64.h"
#include "text/find.h"
#include "text/spaces.h"
#include "text/url_encode.h"

namespace tarnwick {
namespace {

constexpr std::size_t kMiB = std::size_t{1024} * 1024;

// ASCII words and spaces with a comma every so often, and no 'Q' so searches never match.
Text AsciiText(std::size_t size) {
    static constexpr char kAlphabet[] = "abcdefghijklmnoprstuvwxyz0123456789 ,";
    std::mt19937 random(42);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kAlphabet) - 2);
    Text text(size, ' ');
    for (char& c : text) {
        c = kAlphabet[pick(random)];
    }
    return text;
}

// Alternating ASCII runs and double-byte characters, as a Chinese page would have.
Text MixedText(std::size_t size) {
    Text text = AsciiText(size);
    for (std::size_t i = 0; i + 1 < size; i += 16) {
        text[i] = '\xD6';
        text[i + 1] = '\xD0';
    }
    return text;
}

void SetBytes(benchmark::State& state, std::size_t size) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_TextFind(benchmark::State& state) {
    const Text text = AsciiText(static_cast<std::size_t>(state.range(0)) * kMiB);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TextFind(text, "QQQQQQQQQQ"));
    }
    SetBytes(state, text.size());
}

void BM_TextFindMixed(benchmark::State& state) {
    const Text text = MixedText(static_cast<std::size_t>(state.range(0)) * kMiB);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TextFind(text, "QQQQQQQQQQ"));
    }
    SetBytes(state, text.size());
}

void BM_TextReplace(benchmark::State& state) {
    const Text text = AsciiText(static_cast<std::size_t>(state.range(0)) * kMiB);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TextReplace(text, "ab", "xyz"));
    }
    SetBytes(state, text.size());
}

void BM_TextSplit(benchmark::State& state) {
    const Text text = AsciiText(static_cast<std::size_t>(state.range(0)) * kMiB);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TextSplit(text, ","));
    }
    SetBytes(state, text.size());
}

void BM_RemoveAllSpaces(benchmark::State& state) {
    const Text text = MixedText(static_cast<std::size_t>(state.range(0)) * kMiB);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RemoveAllSpaces(text));
    }
    SetBytes(state, text.size());
}

void BM_TrimSpaces(benchmark::State& state) {
    const Text text = "  " + MixedText(static_cast<std::size_t>(state.range(0)) * kMiB) + "  ";
    for (auto _ : state) {
        benchmark::DoNotOptimize(TrimSpaces(text));
    }
    SetBytes(state, text.size());
}

void BM_Base64Encode(benchmark::State& state) {
    const ByteSet bytes = ToByteSet(MixedText(static_cast<std::size_t>(state.range(0)) * kMiB));
    for (auto _ : state) {
        benchmark::DoNotOptimize(Base64Encode(bytes));
    }
    SetBytes(state, bytes.size());
}

void BM_UrlEncodeUtf8(benchmark::State& state) {
    const Text text = MixedText(static_cast<std::size_t>(state.range(0)) * kMiB);
    for (auto _ : state) {
        benchmark::DoNotOptimize(UrlEncodeUtf8(text));
    }
    SetBytes(state, text.size());
}

#define TEXT_BENCH(name) BENCHMARK(name)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)
TEXT_BENCH(BM_TextFind);
TEXT_BENCH(BM_TextFindMixed);
TEXT_BENCH(BM_TextReplace);
TEXT_BENCH(BM_TextSplit);
TEXT_BENCH(BM_RemoveAllSpaces);
TEXT_BENCH(BM_TrimSpaces);
TEXT_BENCH(BM_Base64Encode);
TEXT_BENCH(BM_UrlEncodeUtf8);

}  // namespace
}  // namespace tarnwick

// Results of 16 MiB and more come from fresh mmap'd pages by default, and on this VM their
// first-touch faults cost about 2.6 ms per MiB whatever the routine does. Keeping large blocks on
// the heap measures the routines themselves, as a long-running process with a warm heap sees them.
int main(int argc, char** argv) {
    // Before any thread exists, so the allocator's settings change under nobody.
    mallopt(M_MMAP_MAX, 0);              // NOLINT(concurrency-mt-unsafe)
    mallopt(M_TRIM_THRESHOLD, 1 << 30);  // NOLINT(concurrency-mt-unsafe)
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
