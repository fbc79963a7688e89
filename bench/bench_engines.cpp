// The analysis engines over a full capture of 524288 samples: the bus and
// RS-232 decoders (samples per second per interpreter) and the channel
// statistics of both analog channels. Run: build/bench/bench_engines
#include "interpreters.h"
#include "measure.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kSamples = 524288;

void CountSamples(benchmark::State &state, double perIteration) {
  state.counters["samples/s"] = benchmark::Counter(
      perIteration * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

std::vector<uint32_t> RandomWords() {
  std::mt19937 rng(1);
  std::vector<uint32_t> s(kSamples);
  for (uint32_t &w : s)
    w = rng();
  return s;
}

// A serial line on channel 3 (idle 0, start 1) at `spb` samples per bit with
// characters back to back, or with an idle pause of `pause` samples after each.
std::vector<uint32_t> SerialLine(double spb, double pause) {
  std::mt19937 rng(2);
  std::vector<uint32_t> s;
  s.reserve(kSamples);
  double t = 0;
  auto level = [&](uint32_t v, double samples) {
    t += samples;
    while (s.size() < kSamples && static_cast<double>(s.size()) < t)
      s.push_back(v << 3 | (rng() & 0x7)); // other channels busy
  };
  level(0, 10);
  while (s.size() < kSamples) {
    const uint32_t c = rng() & 0xFF;
    level(1, spb);
    for (int k = 0; k < 8; ++k)
      level(!(c >> k & 1), spb);
    level(0, spb + pause);
  }
  return s;
}

// Buses of 8 neighbouring channels in order (0), of 8 channels of one byte in
// another order (1), and of 16 channels spread over the four bytes of the
// sample word (2, the most look-ups per sample).
void BM_BusDecoder(benchmark::State &state) {
  const std::vector<uint32_t> s = RandomWords();
  const std::vector<int> buses[] = {{0, 1, 2, 3, 4, 5, 6, 7},
                                    {7, 5, 3, 1, 0, 2, 4, 6},
                                    {0, 8, 16, 24, 1, 9, 17, 25, 2, 10, 18, 26, 3, 11, 19, 27}};
  const std::vector<int> &members = buses[state.range(0)];
  std::vector<uint32_t> out(kSamples);
  for (auto _ : state) {
    DecodeBus(s.data(), kSamples, members, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  CountSamples(state, kSamples);
}
BENCHMARK(BM_BusDecoder)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// RS-232 at 115200 bit/s: sampled at 10 MHz (86.8 samples per bit) with
// characters back to back or with pauses, and at 1.152 MHz (10 samples per bit,
// the densest frames); and a line that stays idle.
void BM_RS232Decoder(benchmark::State &state) {
  const double rate = static_cast<double>(state.range(0));
  const double pause = static_cast<double>(state.range(1));
  const double spb = rate / 115200;
  const std::vector<uint32_t> s =
      pause < 0 ? std::vector<uint32_t>(kSamples, 0x5) : SerialLine(spb, pause);
  TRS232Params p;
  p.BaudRate = 115200;
  std::vector<uint32_t> out(kSamples);
  for (auto _ : state) {
    DecodeRS232(s.data(), kSamples, 3, p, rate, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  CountSamples(state, kSamples);
}
BENCHMARK(BM_RS232Decoder)
    ->Args({10000000, 0})
    ->Args({10000000, 2000})
    ->Args({1152000, 0})
    ->Args({10000000, -1})
    ->Unit(benchmark::kMicrosecond);

// All eight interpreters of a record: four buses and four RS-232 decoders.
void BM_DecodeInterpreters(benchmark::State &state) {
  TVELK r;
  r.BufferCapacity = kSamples;
  r.BuffLength = kSamples;
  r.DigitalChannelCount = 32;
  r.DigitalSamples[0] = SerialLine(10000000.0 / 115200, 500);
  for (int n = 0; n < kChConfigCount; ++n)
    r.ChConfig[n] = r.DefaultChConfig(n);
  TIntpDef bus;
  bus.Type = kIntpBus;
  TIntpDef serial;
  serial.Type = kIntpRS232;
  serial.RS232.BaudRate = 115200;
  for (int i = 0; i < 4; ++i) {
    CreateInterpreter(r, bus, {8 + 4 * i, 9 + 4 * i, 10 + 4 * i, 11 + 4 * i});
    CreateInterpreter(r, serial, {i == 0 ? 3 : 24 + i});
  }
  for (auto _ : state) {
    DecodeInterpreters(r, 10000000);
    benchmark::DoNotOptimize(r.InterpreterData[7].data());
    benchmark::ClobberMemory();
  }
  CountSamples(state, static_cast<double>(kSamples) * kMaxInterpreters);
}
BENCHMARK(BM_DecodeInterpreters)->Unit(benchmark::kMicrosecond);

// Mean, RMS, extremes, over-range and frequency of both channels.
void BM_ComputeAnalogStats(benchmark::State &state) {
  TVELK r;
  r.BuffLength = kSamples;
  std::mt19937 rng(3);
  std::normal_distribution<float> noise(0, 2);
  for (std::vector<float> *v : {&r.SamplesA, &r.SamplesB}) {
    v->resize(kSamples);
    for (uint32_t i = 0; i < kSamples; ++i)
      (*v)[i] = std::round(90 * static_cast<float>(std::sin(i * 0.001)) + noise(rng));
  }
  for (auto _ : state) {
    ComputeAnalogStats(r, 128, 1e8);
    benchmark::DoNotOptimize(r.StatsA);
    benchmark::DoNotOptimize(r.StatsB);
  }
  CountSamples(state, 2.0 * kSamples);
}
BENCHMARK(BM_ComputeAnalogStats)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
