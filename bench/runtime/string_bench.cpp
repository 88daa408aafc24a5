// Cost of the string runtime's everyday operations, with the 32 string slots live
// as they are while the game runs.
#include <benchmark/benchmark.h>

#include <string_view>

#include "kernel32.h"
#include "managed_string.h"
#include "runtime_reset.h"
#include "string_ops.h"

namespace {

void FreshRuntimeWithSlots() {
    ResetRuntime();
    CreateStringSlots();
}

ManagedString Literal(const char* text) {
    ManagedString s = NewString(lstrlenA(text));
    lstrcpyA(s, text);
    return s;
}

// What the loader does per digit: a one-character temporary made and released.
void BM_NewReleasePair(benchmark::State& state) {
    FreshRuntimeWithSlots();
    for (auto _ : state) {
        ManagedString s = NewString(1);
        benchmark::DoNotOptimize(s);
        ReleaseString(s);
    }
}
BENCHMARK(BM_NewReleasePair);

// The loader's whole digit step: temporary "0", its first code, released.
void BM_CodeOfZero(benchmark::State& state) {
    FreshRuntimeWithSlots();
    for (auto _ : state) {
        benchmark::DoNotOptimize(FirstCharCode(Literal("0")));
    }
}
BENCHMARK(BM_CodeOfZero);

// Concatenation of two short temporaries, result released.
void BM_ConcatShort(benchmark::State& state) {
    FreshRuntimeWithSlots();
    for (auto _ : state) {
        ManagedString joined = ConcatStrings(Literal("chr"), Literal("06-1"));
        benchmark::DoNotOptimize(joined);
        ReleaseString(joined);
    }
}
BENCHMARK(BM_ConcatShort);

// The comparison the string operations hand on: CompareStringA with the
// system locale. Four pairs: ASCII deciding at the first level, Japanese
// text deciding at the first level, with and without long-vowel marks (each
// weighs as the vowel of the kana before it), and text that ties until the
// last level (every level is walked through).
void CompareBench(benchmark::State& state, std::string_view a, std::string_view b) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, a.data(),
                                                static_cast<int>(a.size()), b.data(),
                                                static_cast<int>(b.size())));
    }
}
BENCHMARK_CAPTURE(CompareBench, Ascii, "resource\\bmp\\chr06-1", "resource\\bmp\\chr06-2");
// 日本語のテキスト vs 日本語のデータ
BENCHMARK_CAPTURE(CompareBench, Japanese,
                  "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67",
                  "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x66\x81\x5b\x83\x5e");
// コーヒーとケーキ屋 vs コーヒーとケーキ店
BENCHMARK_CAPTURE(CompareBench, LongVowels,
                  "\x83\x52\x81\x5b\x83\x71\x81\x5b\x82\xc6\x83\x50\x81\x5b\x83\x4c\x89\xae",
                  "\x83\x52\x81\x5b\x83\x71\x81\x5b\x82\xc6\x83\x50\x81\x5b\x83\x4c\x93\x58");
// カナ-co-op vs カナ-co'op: the two tie until the hyphens and apostrophes.
BENCHMARK_CAPTURE(CompareBench, TieUntilLast, "\x83\x4a\x83\x69-co-op", "\x83\x4a\x83\x69-co'op");

}  // namespace

BENCHMARK_MAIN();
