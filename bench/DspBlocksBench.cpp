// Cost of one step of each signal-processing block, and of the portable sine against the C library's.
#include "engine/FastMath.h"
#include "engine/TFastP2F.h"
#include "engine/TLp1.h"
#include "engine/TSVC3.h"
#include "engine/TmultiAll.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

void BM_PortableSin(benchmark::State& state) {
    double x = 0.1;
    double sum = 0.0;
    for (auto _ : state) {
        sum += engine::PortableSin(x);
        x += 0.37;
        if (x > 12.0)
            x -= 24.0;
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_PortableSin);

void BM_LibrarySin(benchmark::State& state) {
    double x = 0.1;
    double sum = 0.0;
    for (auto _ : state) {
        sum += std::sin(x);
        x += 0.37;
        if (x > 12.0)
            x -= 24.0;
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_LibrarySin);

void BM_PitchToFreq(benchmark::State& state) {
    const engine::TFastP2F p2f;
    float pitch = 0.0f;
    float sum = 0.0f;
    for (auto _ : state) {
        sum += p2f.Convert(pitch);
        pitch += 0.731f;
        if (pitch > 130.0f)
            pitch -= 130.0f;
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_PitchToFreq);

// Argument 0: fixed cut-off (cached coefficients); 1: a new cut-off every sample.
void BM_TSVC3(benchmark::State& state) {
    engine::TSVC3 filter;
    const bool modulated = state.range(0) != 0;
    float input = 0.25f;
    float cutoff = 1000.0f;
    for (auto _ : state) {
        filter.Filter(input, cutoff, 0.5f, 44100.0f);
        input = -input;
        if (modulated)
            cutoff = cutoff > 5000.0f ? 1000.0f : cutoff * 1.001f;
        benchmark::DoNotOptimize(filter.lowOut);
    }
}
BENCHMARK(BM_TSVC3)->Arg(0)->Arg(1);

// A voice runs its left and right filters one after the other; the two are independent, so the
// processor can overlap them.
void BM_TSVC3Pair(benchmark::State& state) {
    engine::TSVC3 left, right;
    float input = 0.25f;
    float cutoff = 1000.0f;
    for (auto _ : state) {
        left.Filter(input, cutoff, 0.5f, 44100.0f);
        right.Filter(-input, cutoff, 0.5f, 44100.0f);
        input = -input;
        cutoff = cutoff > 5000.0f ? 1000.0f : cutoff * 1.001f;
        benchmark::DoNotOptimize(left.lowOut);
        benchmark::DoNotOptimize(right.lowOut);
    }
}
BENCHMARK(BM_TSVC3Pair);

void BM_TLp1(benchmark::State& state) {
    engine::TLp1 lp;
    float input = 1.0f;
    for (auto _ : state) {
        lp.Filter(input, 5.0f, 44100.0f);
        input = -input;
        benchmark::DoNotOptimize(lp.output);
    }
}
BENCHMARK(BM_TLp1);

void BM_TmultiAll(benchmark::State& state) {
    engine::TmultiAll lfo;
    for (auto _ : state) {
        lfo.Advance(5.5f, 44100.0f);
        benchmark::DoNotOptimize(lfo.parabolic);
    }
}
BENCHMARK(BM_TmultiAll);

} // namespace
