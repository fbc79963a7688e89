// Cost of the spectrum computation: the FFT at its largest size against FFTW (the
// reference, used here only), the DFT
// over a 32768-sample span (a power of two) and over its odd neighbours (the
// chirp-z path), with and without the tables of a previous pass, one whole pass
// of the worker with both channels, and the direct sum the DFT replaces, with
// the relative error of the fast DFT against it as counters.
// Run: build/bench/bench_spectrum
#include "spectrum.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace {

struct TSignal {
  std::vector<double> x, y;
};

TSignal Noise(uint32_t N) {
  std::mt19937 gen(N);
  std::uniform_real_distribution<double> d(-128.0, 128.0);
  TSignal s{std::vector<double>(N), std::vector<double>(N, 0.0)};
  for (double &v : s.x)
    v = d(gen);
  return s;
}

void BM_FFT(benchmark::State &state) {
  const uint32_t N = uint32_t(state.range(0));
  const TSignal in = Noise(N);
  TSignal work = in;
  for (auto _ : state) {
    // A fresh copy each time: repeated in place, the values would sink into denormals.
    std::copy(in.x.begin(), in.x.end(), work.x.begin());
    std::copy(in.y.begin(), in.y.end(), work.y.begin());
    FFT(work.x.data(), work.y.data(), N);
    benchmark::DoNotOptimize(work.x.data());
  }
}
BENCHMARK(BM_FFT)->Arg(32768)->Unit(benchmark::kMicrosecond);

// FFTW's best plan (FFTW_MEASURE) for the same transform on interleaved complex
// doubles, with the same copy of the input each time.
class TFFTWReference {
public:
  explicit TFFTWReference(uint32_t N)
      : fN(N), fIn(fftw_alloc_complex(N)), fOut(fftw_alloc_complex(N)),
        fPlan(fftw_plan_dft_1d(int(N), fIn, fOut, FFTW_FORWARD, FFTW_MEASURE)) {}
  ~TFFTWReference() {
    fftw_destroy_plan(fPlan);
    fftw_free(fIn);
    fftw_free(fOut);
  }
  TFFTWReference(const TFFTWReference &) = delete;
  TFFTWReference &operator=(const TFFTWReference &) = delete;
  void Run(const TSignal &in) {
    for (uint32_t i = 0; i < fN; ++i) {
      fIn[i][0] = in.x[i];
      fIn[i][1] = in.y[i];
    }
    fftw_execute(fPlan);
  }
  // Output k, divided by N as FFT's is.
  double Re(uint32_t k) const { return fOut[k][0] / fN; }
  double Im(uint32_t k) const { return fOut[k][1] / fN; }

private:
  uint32_t fN;
  fftw_complex *fIn, *fOut;
  fftw_plan fPlan;
};

void BM_FFTW(benchmark::State &state) {
  const uint32_t N = uint32_t(state.range(0));
  const TSignal in = Noise(N);
  TFFTWReference fftw(N);
  for (auto _ : state) {
    fftw.Run(in);
    benchmark::DoNotOptimize(fftw.Re(0));
  }
}
BENCHMARK(BM_FFTW)->Arg(32768)->Unit(benchmark::kMicrosecond);

// The two in turn in one loop, so that both see the same machine: counters
// fft_us and fftw_us (per transform), ratio = fft_us / fftw_us, and rel_error,
// ‖FFT − FFTW‖ / ‖FFTW‖.
void BM_FFTAgainstFFTW(benchmark::State &state) {
  using TClock = std::chrono::steady_clock;
  const uint32_t N = uint32_t(state.range(0));
  const TSignal in = Noise(N);
  TSignal work = in;
  TFFTWReference fftw(N);
  TClock::duration ours{}, theirs{};
  for (auto _ : state) {
    const auto t0 = TClock::now();
    std::copy(in.x.begin(), in.x.end(), work.x.begin());
    std::copy(in.y.begin(), in.y.end(), work.y.begin());
    FFT(work.x.data(), work.y.data(), N);
    benchmark::DoNotOptimize(work.x.data());
    const auto t1 = TClock::now();
    fftw.Run(in);
    benchmark::DoNotOptimize(fftw.Re(0));
    const auto t2 = TClock::now();
    ours += t1 - t0;
    theirs += t2 - t1;
  }
  double diff = 0, norm = 0;
  for (uint32_t k = 0; k < N; ++k) {
    diff += std::pow(work.x[k] - fftw.Re(k), 2) + std::pow(work.y[k] - fftw.Im(k), 2);
    norm += fftw.Re(k) * fftw.Re(k) + fftw.Im(k) * fftw.Im(k);
  }
  const double n = double(state.iterations());
  const double oursUs = std::chrono::duration<double, std::micro>(ours).count() / n;
  const double theirsUs = std::chrono::duration<double, std::micro>(theirs).count() / n;
  state.counters["fft_us"] = oursUs;
  state.counters["fftw_us"] = theirsUs;
  state.counters["ratio"] = oursUs / theirsUs;
  state.counters["rel_error"] = std::sqrt(diff / norm);
}
BENCHMARK(BM_FFTAgainstFFTW)->Arg(32768)->Arg(1024)->Unit(benchmark::kMicrosecond);

// The first pass over a span: the tables are built too.
void BM_DFTCold(benchmark::State &state) {
  const uint32_t N = uint32_t(state.range(0));
  const TSignal in = Noise(N);
  TSignal work = in;
  for (auto _ : state) {
    work = in;
    TDFT dft;
    dft.Transform(work.x.data(), work.y.data(), N);
    benchmark::DoNotOptimize(work.x.data());
  }
}
BENCHMARK(BM_DFTCold)->Arg(32768)->Arg(32767)->Arg(32769)->Unit(benchmark::kMillisecond);

// Later passes over the same span, and channel B of a pass.
void BM_DFTWarm(benchmark::State &state) {
  const uint32_t N = uint32_t(state.range(0));
  const TSignal in = Noise(N);
  TSignal work = in;
  TDFT dft;
  dft.Transform(work.x.data(), work.y.data(), N);
  for (auto _ : state) {
    work = in;
    dft.Transform(work.x.data(), work.y.data(), N);
    benchmark::DoNotOptimize(work.x.data());
  }
}
BENCHMARK(BM_DFTWarm)->Arg(32768)->Arg(32767)->Arg(32769)->Unit(benchmark::kMillisecond);

// What the worker does for a DFT over a span: window, transform and derive both
// channels, from cold, reporting progress.
void BM_SpectrumPassDFT(benchmark::State &state) {
  const uint32_t N = uint32_t(state.range(0));
  std::vector<float> a(N), b(N);
  const TSignal na = Noise(N), nb = Noise(N + 1);
  std::copy(na.x.begin(), na.x.end(), a.begin());
  std::copy(nb.x.begin(), nb.x.end(), b.begin());
  TSpectrumRequest rq;
  rq.Type = kFFTTypeDFT;
  rq.Window = 5;
  rq.SpanStart = 0;
  rq.SpanEnd = N;
  rq.ChannelB = true;
  int last = 0;
  for (auto _ : state) {
    TSpectrumCalc calc;
    TSpectrum out;
    calc.Compute(a.data(), b.data(), N, rq, out, [&](int p) { last = p; });
    benchmark::DoNotOptimize(out.MagA.data());
  }
  benchmark::DoNotOptimize(last);
}
BENCHMARK(BM_SpectrumPassDFT)->Arg(32768)->Arg(32767)->Unit(benchmark::kMillisecond);

// The direct sum over all N² terms, once: what the DFT used to cost. Counters:
// the fast DFT's relative error against it, over the whole vector (‖ΔX‖/‖X‖)
// and per bin (the largest |ΔX[k]|/|X[k]|).
void BM_DirectDFT(benchmark::State &state) {
  const uint32_t N = uint32_t(state.range(0));
  const TSignal in = Noise(N);
  TSignal direct = in;
  for (auto _ : state) {
    direct = in;
    DirectDFT(direct.x.data(), direct.y.data(), N);
  }
  TSignal fast = in;
  DFT(fast.x.data(), fast.y.data(), N);
  double diff = 0, norm = 0, worstBin = 0;
  for (uint32_t k = 0; k < N; ++k) {
    const double d = std::hypot(fast.x[k] - direct.x[k], fast.y[k] - direct.y[k]);
    const double m = std::hypot(direct.x[k], direct.y[k]);
    diff += d * d;
    norm += m * m;
    if (m > 0) worstBin = std::max(worstBin, d / m);
  }
  state.counters["rel_error"] = std::sqrt(diff / norm);
  state.counters["worst_bin_rel_error"] = worstBin;
}
BENCHMARK(BM_DirectDFT)->Arg(32768)->Arg(32767)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
