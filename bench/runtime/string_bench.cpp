// Cost of the string runtime's everyday operations, with the 32 string slots live
// as they are while the game runs.
#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK_MAIN();
