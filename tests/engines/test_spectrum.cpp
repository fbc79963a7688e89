// The spectrum computation: windows, FFT, DFT, derivation, one computation, the
// capture hand-over and the spectrum worker.
#include "spectrum.h"

#include "autoevent.h"
#include "record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Qt is not built with the thread sanitizer: a QThread that ends before wait()
// blocks leaves its last QWaitCondition::wakeAll unordered with the destruction
// of the thread object. Nothing of ours runs in these frames.
extern "C" __attribute__((weak, used)) const char *__tsan_default_suppressions() {
  return "race:QWaitCondition\n";
}

namespace {

constexpr double kPi = std::numbers::pi;

// amplitude · cos(2π·bin·n/N + phase) over `length` samples.
std::vector<float> Tone(uint32_t N, double bin, double amplitude, double phaseDeg = 0,
                        size_t length = 0) {
  std::vector<float> v(length ? length : N);
  for (size_t n = 0; n < v.size(); ++n)
    v[n] = float(amplitude * std::cos(2 * kPi * bin * double(n) / N + phaseDeg * kPi / 180));
  return v;
}

void Add(std::vector<float> &v, const std::vector<float> &w) {
  for (size_t i = 0; i < v.size(); ++i)
    v[i] += w[i];
}

TSpectrumRequest FFTRequest(int32_t winSize, uint8_t window = 0) {
  TSpectrumRequest rq;
  rq.Type = kFFTTypeFFT;
  rq.WinSize = winSize;
  rq.Window = window;
  return rq;
}

TSpectrumRequest DFTRequest(uint32_t spanStart, uint32_t spanEnd, uint8_t window = 0) {
  TSpectrumRequest rq;
  rq.Type = kFFTTypeDFT;
  rq.SpanStart = spanStart;
  rq.SpanEnd = spanEnd;
  rq.Window = window;
  return rq;
}

// Every bin of `mag` is the expected magnitude, or 0 where none is given.
void ExpectBins(const std::vector<double> &mag, const std::map<uint32_t, double> &expected,
                double tolerance = 1e-6) {
  for (uint32_t k = 0; k < mag.size(); ++k) {
    auto it = expected.find(k);
    EXPECT_NEAR(mag[k], it == expected.end() ? 0.0 : it->second, tolerance) << "bin " << k;
  }
}

struct TComplexSignal {
  std::vector<double> x, y;
};

TComplexSignal Random(uint32_t N, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(-1.0, 1.0);
  TComplexSignal s{std::vector<double>(N), std::vector<double>(N)};
  for (uint32_t i = 0; i < N; ++i) {
    s.x[i] = d(gen);
    s.y[i] = d(gen);
  }
  return s;
}

// ‖a - b‖ / ‖b‖ over the complex vectors.
double RelativeError(const TComplexSignal &a, const TComplexSignal &b) {
  double diff = 0, norm = 0;
  for (size_t i = 0; i < a.x.size(); ++i) {
    diff += std::pow(a.x[i] - b.x[i], 2) + std::pow(a.y[i] - b.y[i], 2);
    norm += b.x[i] * b.x[i] + b.y[i] * b.y[i];
  }
  return std::sqrt(diff / norm);
}

// ---------------------------------------------------------------- windows

TEST(SpectrumWindows, NamesAndCorrectionFactorsMatchTheWindowsMeanGain) {
  struct Case {
    int window;
    const char *name;
    double c;
  };
  const Case cases[] = {{0, "Rectangular", 1.0}, {1, "Blackman", 0.419},
                        {2, "Flat Top", 0.281},  {3, "Gaussian (3.0)", 0.724},
                        {4, "Hamming", 0.539},   {5, "Hanning", 0.499},
                        {6, "Harris", 0.359},    {7, "Triangle", 0.499}};
  const uint32_t N = 1024;
  for (const Case &c : cases) {
    EXPECT_STREQ(FFTWindowName(c.window), c.name);
    EXPECT_EQ(FFTWindowCorrection(c.window), c.c) << c.name;
    // The factor restores a tone's peak: it is the window's mean (coherent gain).
    double sum = 0;
    for (uint32_t n = 0; n < N; ++n)
      sum += FFTWindowValue(c.window, n, N);
    EXPECT_NEAR(sum / N, c.c, 0.002) << c.name;
  }
  for (int unknown : {8, 255, -1}) {
    EXPECT_STREQ(FFTWindowName(unknown), "Rectangular");
    EXPECT_EQ(FFTWindowCorrection(unknown), 1.0);
    EXPECT_EQ(FFTWindowValue(unknown, 3, 16), 1.0);
  }
  EXPECT_STREQ(FFTTypeName(kFFTTypeFFT), "FFT");
  EXPECT_STREQ(FFTTypeName(kFFTTypeDFT), "DFT (XY)");
}

TEST(SpectrumWindows, ValuesAtTheEndsAndTheCentre) {
  // N odd, so sample 512 is the centre of the (N-1)-periodic cosines.
  const uint32_t N = 1025;
  struct Case {
    int window;
    double first, centre, last;
  };
  const double gEnd = std::exp(-4.5 * 511.0 * 511.0 / (1025.0 * 1025.0));
  const double gLast = std::exp(-4.5 * 512.0 * 512.0 / (1025.0 * 1025.0));
  const double gCentre = std::exp(-4.5 / (1025.0 * 1025.0)); // m = -1 at n = (N-1)/2
  const Case cases[] = {{0, 1, 1, 1},
                        {1, 0, 1, 0},
                        {2, -0.0417934, 1.000001, -0.0417934},
                        {3, gEnd, gCentre, gLast},
                        {4, 0.08, 1, 0.08},
                        {5, 0, 1, 0},
                        {6, 0, 1, 0},
                        {7, 0, 1, 0}};
  for (const Case &c : cases) {
    EXPECT_NEAR(FFTWindowValue(c.window, 0, N), c.first, 1e-12) << c.window;
    EXPECT_NEAR(FFTWindowValue(c.window, 512, N), c.centre, 1e-12) << c.window;
    EXPECT_NEAR(FFTWindowValue(c.window, N - 1, N), c.last, 1e-12) << c.window;
  }
  // Triangle: rising 2n/(N-1), falling 2 - 2n/(N-1).
  EXPECT_NEAR(FFTWindowValue(7, 256, N), 0.5, 1e-12);
  EXPECT_NEAR(FFTWindowValue(7, 768, N), 0.5, 1e-12);
}

TEST(SpectrumWindows, GaussianOfLongSpansDoesNotOverflow) {
  // N² passes 32 bits: the ends stay at exp(-4.5·(N/2 - 1)²/N²) ≈ exp(-1.125).
  for (uint32_t N : {32768u, 100000u, 524288u}) {
    const double half = N / 2;
    EXPECT_NEAR(FFTWindowValue(3, 0, N), std::exp(-4.5 * (half - 1) * (half - 1) / half / half / 4),
                1e-12)
        << N;
    EXPECT_NEAR(FFTWindowValue(3, N / 2, N), 1.0, 1e-9) << N;
  }
}

// ---------------------------------------------------------------- FFT

TEST(SpectrumFFT, KnownTransforms) {
  const uint32_t N = 1024;
  struct Case {
    const char *name;
    std::vector<float> signal;
    std::map<uint32_t, double> mag;
    std::map<uint32_t, double> phase;
  };
  std::vector<float> twoTone = Tone(N, 16, 1.0);
  Add(twoTone, Tone(N, 100, 0.25, 60));
  const Case cases[] = {
      {"constant 1.0", std::vector<float>(N, 1.0f), {{0, 1.0}}, {}},
      {"constant -2.0: DC is the absolute value", std::vector<float>(N, -2.0f), {{0, 2.0}}, {}},
      {"cosine on bin 16", Tone(N, 16, 1.0), {{16, 1.0}}, {{16, 0.0}}},
      {"sine on bin 16", Tone(N, 16, 1.0, -90), {{16, 1.0}}, {}},
      {"cosine on bin 16 and 0.25 at 60 degrees on bin 100",
       twoTone,
       {{16, 1.0}, {100, 0.25}},
       {{16, 0.0}, {100, 60.0}}},
      {"cosine on the last bin, counted twice", Tone(N, 512, 0.5), {{512, 1.0}}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TSpectrum s;
    ASSERT_EQ(ComputeSpectrum(c.signal.data(), nullptr, N, FFTRequest(10), s),
              TSpectrumStatus::Done);
    ASSERT_EQ(s.N, N);
    ASSERT_EQ(s.MagA.size(), N / 2 + 1);
    ExpectBins(s.MagA, c.mag);
    for (auto [bin, deg] : c.phase)
      EXPECT_NEAR(s.PhaseA[bin], deg, 1e-4) << "bin " << bin;
  }
}

TEST(SpectrumFFT, HanningRestoresThePeakAndSpreadsIntoNeighbours) {
  const uint32_t N = 1024;
  const std::vector<float> v = Tone(N, 16, 1.0);
  TSpectrum s;
  ASSERT_EQ(ComputeSpectrum(v.data(), nullptr, N, FFTRequest(10, 5), s), TSpectrumStatus::Done);
  EXPECT_NEAR(s.MagA[16], 1.0, 0.005);
  EXPECT_NEAR(s.MagA[15], 0.5, 0.01);
  EXPECT_NEAR(s.MagA[17], 0.5, 0.01);
  EXPECT_LT(s.MagA[20], 0.01);
}

TEST(SpectrumFFT, MatchesTheDirectSumForEveryLength) {
  // Odd and even numbers of halvings: with and without the radix-2 pass.
  for (uint32_t N : {1u, 2u, 4u, 8u, 16u, 256u, 2048u, 4096u}) {
    TComplexSignal fast = Random(N, N), direct = fast;
    FFT(fast.x.data(), fast.y.data(), N);
    ASSERT_TRUE(DirectDFT(direct.x.data(), direct.y.data(), N));
    // Twiddles from tables keep the error near rounding (a cosine recurrence
    // would lose a few digits: ~1e-12 at 2048).
    EXPECT_LT(RelativeError(fast, direct), 1e-14) << N;
  }
  // Not a power of two: left as it was.
  TComplexSignal s = Random(12, 1), before = s;
  FFT(s.x.data(), s.y.data(), 12);
  EXPECT_EQ(s.x, before.x);
}

// ---------------------------------------------------------------- derivation

TEST(SpectrumDerive, DCPhaseAndTheLastBin) {
  const uint32_t N = 8;
  double x[N] = {-3, 1, 0, 0.5, 0.25, 0.5, 0, 1};
  double y[N] = {0, 1, 0.7, 0, 0, 0, 0.7, -1};
  double mag[N / 2 + 1], phase[N / 2 + 1];
  DeriveSpectrum(x, y, N, 0.5, mag, phase);
  EXPECT_EQ(mag[0], 3.0); // |x[0]|, not divided by c
  EXPECT_EQ(phase[0], 0.0);
  EXPECT_NEAR(mag[1], 2 * std::sqrt(2.0) / 0.5, 1e-12); // bins 1 and 7
  EXPECT_NEAR(phase[1], 45.0, 1e-12);
  EXPECT_NEAR(mag[2], 1.4 / 0.5, 1e-12);
  EXPECT_EQ(phase[2], 0.0);              // real part exactly 0: phase 0 although y is 0.7
  EXPECT_NEAR(mag[4], 0.5 / 0.5, 1e-12); // the last bin counted twice
}

// ---------------------------------------------------------------- DFT

TEST(SpectrumDFT, MatchesTheDirectSum) {
  // One transform object across the lengths: tables of a previous length never leak.
  TDFT dft;
  for (uint32_t N : {2u, 3u, 5u, 1000u, 1024u, 4097u, 1000u}) {
    TComplexSignal fast = Random(N, N + 7), direct = fast;
    ASSERT_TRUE(dft.Transform(fast.x.data(), fast.y.data(), N));
    ASSERT_TRUE(DirectDFT(direct.x.data(), direct.y.data(), N));
    const double err = RelativeError(fast, direct);
    EXPECT_LT(err, 1e-9) << N;
    std::ostringstream text;
    text << std::scientific << err;
    RecordProperty("relative_error_" + std::to_string(N), text.str());
  }
}

TEST(SpectrumDFT, ReportsProgressPerStageAndStopsPromptlyOnCancel) {
  const uint32_t N = 4097;           // Bluestein over 16384 points: 14 stages per FFT
  TComplexSignal ref = Random(N, 3); // fresh tables: compared with the direct sum above
  ASSERT_TRUE(DFT(ref.x.data(), ref.y.data(), N));

  std::vector<int> reports;
  TComplexSignal s = Random(N, 3);
  ASSERT_TRUE(DFT(s.x.data(), s.y.data(), N, [&](int p) { reports.push_back(p); }));
  ASSERT_EQ(reports.size(), 1u + 3 * 14 + 3); // tables, 3 FFTs (filter, forward, inverse), 3 passes
  EXPECT_EQ(reports.front(), 0);
  EXPECT_LT(reports.back(), 100);
  for (size_t i = 1; i < reports.size(); ++i)
    EXPECT_GE(reports[i], reports[i - 1]);

  // Cancelled at several points, the building of the tables included: nothing
  // runs past the next stage, and the object still computes correctly afterwards.
  TDFT dft;
  // 46 steps with the tables, 31 without: 2 falls into the building, 10 into
  // the forward and 25 into the inverse transform.
  for (int after : {2, 10, 25}) {
    std::atomic<bool> cancel{false};
    int seen = 0;
    TComplexSignal c = Random(N, 3);
    EXPECT_FALSE(dft.Transform(
        c.x.data(), c.y.data(), N,
        [&](int) {
          if (++seen == after) cancel = true;
        },
        &cancel));
    EXPECT_EQ(seen, after);
    c = Random(N, 3);
    ASSERT_TRUE(dft.Transform(c.x.data(), c.y.data(), N));
    EXPECT_EQ(c.x, ref.x) << after;
    EXPECT_EQ(c.y, ref.y) << after;
  }
}

// ---------------------------------------------------------------- one computation

TEST(SpectrumCompute, DFTOverASpanOfTheCapture) {
  // A cosine on bin 50 of a 1000-sample span starting at sample 300.
  std::vector<float> v(4000, 7.0f);
  const std::vector<float> tone = Tone(1000, 50, 1.0, 30);
  std::copy(tone.begin(), tone.end(), v.begin() + 300);
  for (auto [start, end] : {std::pair{300u, 1300u}, std::pair{1300u, 300u}}) {
    TSpectrum s;
    ASSERT_EQ(ComputeSpectrum(v.data(), nullptr, v.size(), DFTRequest(start, end), s),
              TSpectrumStatus::Done);
    EXPECT_EQ(s.N, 1000u);
    EXPECT_EQ(s.Start, 300u);
    EXPECT_EQ(s.Type, kFFTTypeDFT);
    ASSERT_EQ(s.MagA.size(), 501u);
    ExpectBins(s.MagA, {{50, 1.0}});
    EXPECT_NEAR(s.PhaseA[50], 30.0, 1e-4);
  }
}

TEST(SpectrumCompute, SpanLongerThan32768SamplesGetsArraysOfItsOwnLength) {
  // Bins past 16384 are computed into arrays sized from the span, not written
  // past arrays of 16385 bins.
  const uint32_t N = 40000;
  const std::vector<float> a = Tone(N, 18000, 1.0, 45);
  TSpectrum s;
  ASSERT_EQ(ComputeSpectrum(a.data(), nullptr, N, DFTRequest(0, N), s), TSpectrumStatus::Done);
  ASSERT_EQ(s.Bins(), 20001u);
  ASSERT_EQ(s.MagA.size(), 20001u);
  ASSERT_EQ(s.PhaseA.size(), 20001u);
  EXPECT_NEAR(s.MagA[18000], 1.0, 1e-6);
  EXPECT_NEAR(s.PhaseA[18000], 45.0, 1e-4);
  EXPECT_LT(s.MagA[20000], 1e-6);
}

TEST(SpectrumCompute, RequestsThatCannotBeComputedAreRefused) {
  const std::vector<float> v(20000, 1.0f);
  struct Case {
    const char *name;
    TSpectrumRequest rq;
    const float *a;
  };
  const Case cases[] = {
      {"span of 1 sample", DFTRequest(10, 11), v.data()},
      {"empty span", DFTRequest(10, 10), v.data()},
      {"span past the inputs", DFTRequest(19000, 20001), v.data()},
      {"FFT longer than the inputs", FFTRequest(15), v.data()},
      {"no channel A", FFTRequest(7), nullptr},
  };
  for (const Case &c : cases) {
    TSpectrum s;
    s.MagA.assign(10, 1.0);
    EXPECT_EQ(ComputeSpectrum(c.a, nullptr, v.size(), c.rq, s), TSpectrumStatus::Refused) << c.name;
    EXPECT_EQ(s.N, 0u) << c.name;
    EXPECT_EQ(s.Bins(), 0u) << c.name;
    EXPECT_TRUE(s.MagA.empty()) << c.name;
  }
}

TEST(SpectrumCompute, LengthFollowsTheSizeWithinItsRange) {
  const std::vector<float> v(40000, 0.0f);
  uint32_t start = 99;
  EXPECT_EQ(SpectrumLength(FFTRequest(3), v.size(), &start), 128u);
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(SpectrumLength(FFTRequest(12), v.size(), &start), 4096u);
  EXPECT_EQ(SpectrumLength(FFTRequest(40), v.size(), &start), 32768u);
  TSpectrumRequest odd = FFTRequest(9);
  odd.Type = 7; // any type but DFT is FFT
  EXPECT_EQ(SpectrumLength(odd, v.size(), &start), 512u);
}

TEST(SpectrumCompute, ChannelBAndItsShareOfTheProgress) {
  const uint32_t N = 1000;
  const std::vector<float> a = Tone(N, 10, 1.0), b = Tone(N, 20, 0.5);
  TSpectrumRequest rq = DFTRequest(0, N);
  rq.ChannelB = true;
  std::vector<int> reports;
  TSpectrumCalc calc;
  TSpectrum s;
  ASSERT_EQ(calc.Compute(a.data(), b.data(), N, rq, s, [&](int p) { reports.push_back(p); }),
            TSpectrumStatus::Done);
  EXPECT_TRUE(s.ChannelB);
  ASSERT_EQ(s.MagB.size(), 501u);
  ASSERT_EQ(s.PhaseB.size(), 501u);
  ExpectBins(s.MagA, {{10, 1.0}});
  ExpectBins(s.MagB, {{20, 0.5}});
  // Channel A in 0..49, then channel B in 50..99.
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.front(), 0);
  auto firstB = std::find_if(reports.begin(), reports.end(), [](int p) { return p >= 50; });
  ASSERT_NE(firstB, reports.end());
  EXPECT_NE(firstB, reports.begin());
  EXPECT_EQ(*firstB, 50);
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
  EXPECT_LT(reports.back(), 100);

  // Asked for B without a B input: channel A only.
  ASSERT_EQ(calc.Compute(a.data(), nullptr, N, rq, s), TSpectrumStatus::Done);
  EXPECT_FALSE(s.ChannelB);
  EXPECT_TRUE(s.MagB.empty());
}

TEST(SpectrumCompute, RowsForTheCommandLine) {
  const uint32_t N = 1024;
  std::vector<float> a = Tone(N, 16, 1.0), b = Tone(N, 32, 0.5);
  TSpectrumRequest rq = FFTRequest(10);
  rq.ChannelB = true;
  TSpectrum s;
  ASSERT_EQ(ComputeSpectrum(a.data(), b.data(), N, rq, s), TSpectrumStatus::Done);
  std::vector<TSpectrumRow> rows = SpectrumRows(s, 1e6);
  ASSERT_EQ(rows.size(), 513u);
  EXPECT_EQ(rows[16].Bin, 16u);
  EXPECT_DOUBLE_EQ(rows[16].Frequency, 15625.0);
  EXPECT_NEAR(rows[16].MagA, 1.0, 1e-6);
  EXPECT_NEAR(rows[32].MagB, 0.5, 1e-6);
  EXPECT_DOUBLE_EQ(rows[512].Frequency, 500000.0);

  ASSERT_EQ(ComputeSpectrum(a.data(), nullptr, N, FFTRequest(10), s), TSpectrumStatus::Done);
  rows = SpectrumRows(s, 1e6);
  EXPECT_EQ(rows[32].MagB, 0.0);
  EXPECT_TRUE(SpectrumRows(TSpectrum{}, 1e6).empty());
}

// ---------------------------------------------------------------- hand-over

struct RecordFixture {
  TVELK rec;
  explicit RecordFixture(size_t inputs = 1024) {
    rec.SpectrumEvent = std::make_unique<TAutoResetEvent>();
    rec.FFTInputA.assign(inputs, 0.0f);
    rec.FFTInputB.assign(inputs, 0.0f);
  }
  bool Signalled() { return rec.SpectrumEvent->Wait(std::chrono::milliseconds(0)); }
};

TEST(SpectrumHandOver, CopiesAndSignalsOnlyWhileTheWorkerIsIdle) {
  RecordFixture f(8);
  const std::vector<float> a(10, 1.5f), b(10, -2.5f);
  for (uint8_t busy : {kFFTComputing, kFFTFilling}) {
    f.rec.FFTBusy = busy;
    EXPECT_FALSE(HandOverSpectrumInputs(f.rec, a.data(), b.data(), a.size()));
    EXPECT_EQ(f.rec.FFTInputA[0], 0.0f);
    EXPECT_FALSE(f.Signalled());
    EXPECT_EQ(f.rec.FFTBusy.load(), busy);
  }
  f.rec.FFTBusy = kFFTIdle;
  // Ten samples into copies of eight: the copies keep their size.
  EXPECT_TRUE(HandOverSpectrumInputs(f.rec, a.data(), b.data(), a.size()));
  EXPECT_EQ(f.rec.FFTInputA, std::vector<float>(8, 1.5f));
  EXPECT_EQ(f.rec.FFTInputB, std::vector<float>(8, -2.5f));
  EXPECT_EQ(f.rec.FFTBusy.load(), kFFTIdle);
  EXPECT_TRUE(f.Signalled());
}

// ---------------------------------------------------------------- the worker

// Records the worker's reports; optional hooks run inside them on the worker.
class Recorder : public TSpectrumObserver {
public:
  std::function<void()> onBusy;
  std::function<void(int)> onProgress;
  TVELK *rec = nullptr;

  void ShowBusy() override {
    Log("busy");
    if (onBusy) onBusy();
  }
  void SetProgress(int percent) override {
    {
      std::lock_guard<std::mutex> lock(fLock);
      ++progressCount;
      // The inputs are claimed for the whole computation.
      if (rec && rec->FFTBusy != kFFTComputing) ++notBusy;
    }
    if (onProgress) onProgress(percent);
  }
  void HideBusy() override { Log("idle"); }
  void PublishSpectrum(const TSpectrum &s) override {
    std::lock_guard<std::mutex> lock(fLock);
    log.push_back("publish");
    last = s;
    ++published;
    if (rec && rec->FFTBusy == kFFTComputing) ++notBusy; // cleared before publishing
    fChanged.notify_all();
  }

  // Waits (up to 10 s) until `pred` holds under the lock.
  bool WaitFor(const std::function<bool()> &pred) {
    std::unique_lock<std::mutex> lock(fLock);
    return fChanged.wait_for(lock, std::chrono::seconds(10), pred);
  }
  template <class T> T Get(const T &field) {
    std::lock_guard<std::mutex> lock(fLock);
    return field;
  }

  std::vector<std::string> log;
  TSpectrum last;
  int published = 0, progressCount = 0, notBusy = 0;

private:
  void Log(const char *what) {
    std::lock_guard<std::mutex> lock(fLock);
    log.push_back(what);
    fChanged.notify_all();
  }
  std::mutex fLock;
  std::condition_variable fChanged;
};

TEST(SpectrumWorker, ComputesOncePerSignalAndPublishes) {
  RecordFixture f;
  Recorder obs;
  obs.rec = &f.rec;
  const std::vector<float> tone = Tone(1000, 25, 1.0);
  // While the worker computes, the capture side's hand-over is refused.
  int refused = 0;
  obs.onBusy = [&] { refused += !HandOverSpectrumInputs(f.rec, tone.data(), nullptr, 1000); };

  TCountFFTThread worker(f.rec, obs, FFTRequest(7));
  worker.Start();
  // The capture read-out hands over a cosine on bin 25 of 1000 samples.
  ASSERT_TRUE(HandOverSpectrumInputs(f.rec, tone.data(), nullptr, tone.size()));
  ASSERT_TRUE(obs.WaitFor([&] { return obs.published == 1; }));
  EXPECT_EQ(obs.Get(obs.log), std::vector<std::string>{"publish"}); // FFT: no busy panel
  EXPECT_EQ(obs.Get(obs.last.N), 128u);

  // The window switches to the DFT over the 1000 samples and signals.
  worker.SetRequest(DFTRequest(0, 1000, 5));
  f.rec.SpectrumEvent->Set();
  ASSERT_TRUE(obs.WaitFor([&] { return obs.published == 2; }));
  EXPECT_EQ(obs.Get(obs.log), (std::vector<std::string>{"publish", "busy", "idle", "publish"}));
  const TSpectrum s = obs.Get(obs.last);
  EXPECT_EQ(s.N, 1000u);
  EXPECT_EQ(s.Window, 5);
  EXPECT_NEAR(s.MagA[25], 1.0, 0.005);
  EXPECT_GT(obs.Get(obs.progressCount), 10);
  EXPECT_EQ(obs.Get(obs.notBusy), 0);
  EXPECT_EQ(refused, 1);
  EXPECT_EQ(f.rec.FFTBusy.load(), kFFTIdle);
  worker.Stop();
  EXPECT_TRUE(worker.isFinished());
}

TEST(SpectrumWorker, CancelledComputationPublishesNothingAndTheNextSignalComputes) {
  RecordFixture f(5000);
  Recorder obs;
  // The first progress report waits until the test has cancelled from its thread.
  std::mutex lock;
  std::condition_variable cv;
  bool started = false, cancelled = false;
  obs.onProgress = [&](int) {
    std::unique_lock<std::mutex> l(lock);
    if (started) return;
    started = true;
    cv.notify_all();
    cv.wait_for(l, std::chrono::seconds(10), [&] { return cancelled; });
  };
  TCountFFTThread worker(f.rec, obs, DFTRequest(0, 4097));
  worker.Start();
  f.rec.SpectrumEvent->Set();
  {
    std::unique_lock<std::mutex> l(lock);
    ASSERT_TRUE(cv.wait_for(l, std::chrono::seconds(10), [&] { return started; }));
    worker.Cancel(); // the window type changes during the DFT
    cancelled = true;
    cv.notify_all();
  }
  ASSERT_TRUE(obs.WaitFor([&] { return obs.log.size() == 2; }));
  EXPECT_EQ(obs.Get(obs.log), (std::vector<std::string>{"busy", "idle"}));
  EXPECT_LE(obs.Get(obs.progressCount), 2); // stopped at the next stage

  worker.SetRequest(DFTRequest(0, 4097, 2));
  f.rec.SpectrumEvent->Set();
  ASSERT_TRUE(obs.WaitFor([&] { return obs.published == 1; }));
  EXPECT_EQ(obs.Get(obs.last.Window), 2);
}

TEST(SpectrumWorker, DestroyedWhileComputing) {
  RecordFixture f(5000);
  Recorder obs;
  auto worker = std::make_unique<TCountFFTThread>(f.rec, obs, DFTRequest(0, 4097));
  TCountFFTThread *running = worker.get();
  std::atomic<bool> inside{false};
  // Keeps the computation going until the termination request arrives.
  obs.onProgress = [&](int) {
    inside = true;
    while (!running->StopRequested())
      std::this_thread::yield();
  };
  worker->Start();
  f.rec.SpectrumEvent->Set();
  while (!inside)
    std::this_thread::yield();
  worker.reset(); // cancels, wakes and waits
  EXPECT_EQ(obs.Get(obs.published), 0);
  EXPECT_EQ(obs.Get(obs.log), (std::vector<std::string>{"busy", "idle"}));
  EXPECT_EQ(f.rec.FFTBusy.load(), kFFTIdle);

  // An idle worker stops at once.
  TCountFFTThread idle(f.rec, obs, FFTRequest(7));
  idle.Start();
  idle.Stop();
  EXPECT_TRUE(idle.isFinished());
}

TEST(SpectrumWorker, EveryPublishedSpectrumComesFromOneWholeCopy) {
  // The capture side hands over constant signals (i on A, -i on B) as fast as it
  // can while the window cancels and changes the size: a torn copy would show as
  // energy outside DC or as channels from different hand-overs; the thread
  // sanitizer build checks the hand-over itself.
  RecordFixture f(256);
  Recorder obs;
  std::mutex tornLock;
  int torn = 0;
  struct : TSpectrumObserver {
    std::function<void(const TSpectrum &)> check;
    void PublishSpectrum(const TSpectrum &s) override { check(s); }
  } checker;
  checker.check = [&](const TSpectrum &s) {
    double outside = 0;
    for (size_t k = 1; k < s.MagA.size(); ++k)
      outside += s.MagA[k] + s.MagB[k];
    {
      std::lock_guard<std::mutex> l(tornLock);
      torn += outside > 1e-9 * s.MagA[0] || s.MagA[0] != s.MagB[0];
    }
    obs.PublishSpectrum(s);
  };
  TSpectrumRequest rq = FFTRequest(8);
  rq.ChannelB = true;
  auto worker = std::make_unique<TCountFFTThread>(f.rec, checker, rq);
  worker->Start();
  std::thread capture([&] {
    std::vector<float> a(256), b(256);
    for (int i = 1; i <= 100; ++i) {
      std::fill(a.begin(), a.end(), float(i));
      std::fill(b.begin(), b.end(), float(-i));
      if (!HandOverSpectrumInputs(f.rec, a.data(), b.data(), a.size())) std::this_thread::yield();
    }
  });
  for (int i = 0; i < 20; ++i) {
    rq.WinSize = i % 2 ? 7 : 8;
    worker->Cancel();
    worker->SetRequest(rq);
    f.rec.SpectrumEvent->Set();
    std::this_thread::yield();
  }
  capture.join();
  ASSERT_TRUE(obs.WaitFor([&] { return obs.published > 0; }));
  worker.reset();
  std::lock_guard<std::mutex> l(tornLock);
  EXPECT_EQ(torn, 0);
}

} // namespace
