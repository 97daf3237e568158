// Speed of the shared filter blocks, per host-rate sample. The reference resampler (plain
// masked-ring sums, one output at a time) is measured in the same run as the baseline.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "borealis/dsp/biquad.h"
#include "borealis/dsp/oversampler2x.h"
#include "tests/dsp/reference_oversampler.h"

namespace {

using orv::dsp::Biquad;
using orv::dsp::BiquadType;
using orv::dsp::Oversampler2x;
using orv::dsp::testing::ReferenceOversampler;

constexpr int kChunk = 64;  // the engines' chunk length

std::vector<double> testSignal(int length) {
    std::vector<double> s(length);
    for (int i = 0; i < length; ++i) s[i] = 0.5 * std::sin(0.01 * i) + 0.25 * std::sin(0.37 * i);
    return s;
}

void BM_UpsampleReference(benchmark::State& state) {
    ReferenceOversampler os;
    const auto in = testSignal(kChunk);
    double out[2 * kChunk];
    for (auto _ : state) {
        os.upsample(in.data(), out, kChunk);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * kChunk);
}

void BM_Upsample(benchmark::State& state) {
    Oversampler2x os;
    const auto in = testSignal(kChunk);
    double buffer[2 * kChunk];
    for (auto _ : state) {
        for (int i = 0; i < kChunk; ++i) buffer[i] = in[i];
        os.upsample<orv::simd::Sse2>(buffer, kChunk);
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(state.iterations() * kChunk);
}

void BM_DownsampleReference(benchmark::State& state) {
    ReferenceOversampler os;
    const auto in = testSignal(2 * kChunk);
    double out[kChunk];
    for (auto _ : state) {
        os.downsample(in.data(), out, kChunk);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * kChunk);
}

void BM_Downsample(benchmark::State& state) {
    Oversampler2x os;
    const auto in = testSignal(2 * kChunk);
    double buffer[2 * kChunk];
    for (auto _ : state) {
        for (int i = 0; i < 2 * kChunk; ++i) buffer[i] = in[i];
        os.downsample<orv::simd::Sse2>(buffer, 2 * kChunk);
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(state.iterations() * kChunk);
}

// A whole chunk of one stream: bypass delays, as with the gain stage at the host rate.
void BM_DelayInOut(benchmark::State& state) {
    Oversampler2x os;
    const auto in = testSignal(kChunk);
    double buffer[kChunk];
    for (auto _ : state) {
        for (int i = 0; i < kChunk; ++i) buffer[i] = in[i];
        os.delayIn(buffer, kChunk);
        os.delayOut(buffer, kChunk);
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(state.iterations() * kChunk);
}

void BM_BiquadPlain(benchmark::State& state) {
    Biquad f(44100.0, BiquadType::Lowpass, 200.0, 0.5, 0.0);
    f.reset();
    const auto in = testSignal(kChunk);
    for (auto _ : state) {
        double acc = 0.0;
        for (int i = 0; i < kChunk; ++i) acc += f.processPlain(in[i]);
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * kChunk);
}

void BM_BiquadSmoothed(benchmark::State& state) {
    Biquad f(44100.0, BiquadType::LowShelf, 300.0, 0.5, 12.0);
    f.reset();
    const auto in = testSignal(kChunk);
    for (auto _ : state) {
        double acc = 0.0;
        for (int i = 0; i < kChunk; ++i) acc += f.processSmoothed(in[i]);
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * kChunk);
}

}  // namespace

BENCHMARK(BM_UpsampleReference);
BENCHMARK(BM_Upsample);
BENCHMARK(BM_DownsampleReference);
BENCHMARK(BM_Downsample);
BENCHMARK(BM_DelayInOut);
BENCHMARK(BM_BiquadPlain);
BENCHMARK(BM_BiquadSmoothed);
