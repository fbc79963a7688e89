#include "spectrum.h"

#include "autoevent.h"
#include "record.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

namespace {

constexpr double kPi = std::numbers::pi;

const char *const kWindowNames[kFFTWindowCount] = {"Rectangular",    "Blackman", "Flat Top",
                                                   "Gaussian (3.0)", "Hamming",  "Hanning",
                                                   "Harris",         "Triangle"};
const double kWindowCorrection[kFFTWindowCount] = {1.0,   0.419, 0.281, 0.724,
                                                   0.539, 0.499, 0.359, 0.499};

int KnownWindow(int window) {
  return window >= 0 && window < kFFTWindowCount ? window : 0;
}

bool IsPowerOfTwo(uint32_t n) {
  return n != 0 && (n & (n - 1)) == 0;
}

int Log2(uint32_t n) {
  int k = 0;
  while ((uint32_t{1} << k) < n)
    ++k;
  return k;
}

// Four doubles as one value: GCC and clang turn the arithmetic into AVX
// instructions where the clone for AVX2 runs, into pairs of SSE2 ones elsewhere.
// Loaded and stored through pointers of a type aligned as double (no function
// takes or returns one: that would change the calling convention between clones).
// Under the thread sanitizer an ifunc resolver runs before the sanitizer's
// runtime is ready and the program dies at load: one plain version there.
#if defined(__SANITIZE_THREAD__)
#define VELK_CLONES
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELK_CLONES
#endif
#endif
#ifndef VELK_CLONES
#define VELK_CLONES __attribute__((target_clones("avx2", "default")))
#endif

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
using TV4 = double __attribute__((vector_size(32), aligned(8), may_alias));
#define VELK_LOAD4(p) (*reinterpret_cast<const TV4 *>(p))
#define VELK_STORE4(p, v) (*reinterpret_cast<TV4 *>(p) = (v))

// The radix-4 pass of a Stockham (self-sorting) forward transform: the input
// holds s interleaved sub-sequences of n points, the output s·4 of n/4, each
// already multiplied by its twiddles (w^p, w^2p, w^3p, w = e^(-2πi/n), p < n/4,
// given as cos and -sin in six arrays of n/4). Reads and writes are contiguous
// in q, four at a time once s ≥ 4 (s is a power of 4).
VELK_CLONES void
Radix4Pass(const double *__restrict xr, const double *__restrict xi, double *__restrict yr,
           double *__restrict yi, uint32_t n, uint32_t s, const double *__restrict w) {
  const uint32_t m = n / 4;
  const double *w1r = w, *w1i = w + m, *w2r = w + 2 * m, *w2i = w + 3 * m, *w3r = w + 4 * m,
               *w3i = w + 5 * m;
  for (uint32_t p = 0; p < m; ++p) {
    const double c1 = w1r[p], s1 = w1i[p], c2 = w2r[p], s2 = w2i[p], c3 = w3r[p], s3 = w3i[p];
    const double *ar = xr + s * p, *ai = xi + s * p;
    const double *br = ar + s * m, *bi = ai + s * m;
    const double *cr = br + s * m, *ci = bi + s * m;
    const double *dr = cr + s * m, *di = ci + s * m;
    double *y0r = yr + s * 4 * p, *y0i = yi + s * 4 * p;
    double *y1r = y0r + s, *y1i = y0i + s;
    double *y2r = y1r + s, *y2i = y1i + s;
    double *y3r = y2r + s, *y3i = y2i + s;
    if (s >= 4) {
      for (uint32_t q = 0; q < s; q += 4) {
        const TV4 aR = VELK_LOAD4(ar + q), aI = VELK_LOAD4(ai + q), bR = VELK_LOAD4(br + q),
                  bI = VELK_LOAD4(bi + q);
        const TV4 cR = VELK_LOAD4(cr + q), cI = VELK_LOAD4(ci + q), dR = VELK_LOAD4(dr + q),
                  dI = VELK_LOAD4(di + q);
        const TV4 apcR = aR + cR, apcI = aI + cI, amcR = aR - cR, amcI = aI - cI;
        const TV4 bpdR = bR + dR, bpdI = bI + dI, bmdR = bR - dR, bmdI = bI - dI;
        const TV4 t1R = amcR + bmdI, t1I = amcI - bmdR;
        const TV4 t3R = amcR - bmdI, t3I = amcI + bmdR;
        const TV4 t2R = apcR - bpdR, t2I = apcI - bpdI;
        VELK_STORE4(y0r + q, apcR + bpdR);
        VELK_STORE4(y0i + q, apcI + bpdI);
        VELK_STORE4(y1r + q, c1 * t1R - s1 * t1I);
        VELK_STORE4(y1i + q, c1 * t1I + s1 * t1R);
        VELK_STORE4(y2r + q, c2 * t2R - s2 * t2I);
        VELK_STORE4(y2i + q, c2 * t2I + s2 * t2R);
        VELK_STORE4(y3r + q, c3 * t3R - s3 * t3I);
        VELK_STORE4(y3i + q, c3 * t3I + s3 * t3R);
      }
      continue;
    }
    for (uint32_t q = 0; q < s; ++q) {
      const double apcR = ar[q] + cr[q], apcI = ai[q] + ci[q];
      const double amcR = ar[q] - cr[q], amcI = ai[q] - ci[q];
      const double bpdR = br[q] + dr[q], bpdI = bi[q] + di[q];
      const double bmdR = br[q] - dr[q], bmdI = bi[q] - di[q];
      // (a - c) - i(b - d) and (a - c) + i(b - d)
      const double t1R = amcR + bmdI, t1I = amcI - bmdR;
      const double t3R = amcR - bmdI, t3I = amcI + bmdR;
      const double t2R = apcR - bpdR, t2I = apcI - bpdI;
      y0r[q] = apcR + bpdR;
      y0i[q] = apcI + bpdI;
      y1r[q] = c1 * t1R - s1 * t1I;
      y1i[q] = c1 * t1I + s1 * t1R;
      y2r[q] = c2 * t2R - s2 * t2I;
      y2i[q] = c2 * t2I + s2 * t2R;
      y3r[q] = c3 * t3R - s3 * t3I;
      y3i[q] = c3 * t3I + s3 * t3R;
    }
  }
}

// The last pass when log2 M is odd: s = M/2 pairs of 2 points.
VELK_CLONES void
Radix2Pass(const double *__restrict xr, const double *__restrict xi, double *__restrict yr,
           double *__restrict yi, uint32_t s) {
  uint32_t q = 0;
  for (; q + 4 <= s; q += 4) {
    const TV4 aR = VELK_LOAD4(xr + q), aI = VELK_LOAD4(xi + q), bR = VELK_LOAD4(xr + q + s),
              bI = VELK_LOAD4(xi + q + s);
    VELK_STORE4(yr + q, aR + bR);
    VELK_STORE4(yi + q, aI + bI);
    VELK_STORE4(yr + q + s, aR - bR);
    VELK_STORE4(yi + q + s, aI - bI);
  }
  for (; q < s; ++q) {
    const double ar = xr[q], ai = xi[q], br = xr[q + s], bi = xi[q + s];
    yr[q] = ar + br;
    yi[q] = ai + bi;
    yr[q + s] = ar - br;
    yi[q + s] = ai - bi;
  }
}
#undef VELK_LOAD4
#undef VELK_STORE4
#pragma GCC diagnostic pop

} // namespace

void TFFTPlan::Build(uint32_t M) {
  fM = M;
  fTwiddles.clear();
  // The angles are taken from integers (k·p of n) one by one, so every
  // twiddle is good to an ulp or two whatever the length.
  for (uint32_t n = M; n >= 4; n /= 4) {
    const uint32_t m = n / 4;
    const size_t at = fTwiddles.size();
    fTwiddles.resize(at + 6 * size_t{m});
    double *w = fTwiddles.data() + at;
    for (uint32_t k = 1; k <= 3; ++k)
      for (uint32_t p = 0; p < m; ++p) {
        const double a = 2.0 * kPi * double(k * p) / n;
        w[(2 * k - 2) * m + p] = std::cos(a);
        w[(2 * k - 1) * m + p] = -std::sin(a);
      }
  }
  fScratchRe.assign(M, 0.0);
  fScratchIm.assign(M, 0.0);
}

bool TFFTPlan::Run(double *re, double *im, double scale, const std::function<bool()> &step) {
  const uint32_t M = fM;
  double *xr = re, *xi = im, *yr = fScratchRe.data(), *yi = fScratchIm.data();
  const double *w = fTwiddles.data();
  uint32_t n = M, s = 1;
  for (; n >= 4; n /= 4, s *= 4) {
    // Progress and cancel as for radix-2: one step per halving of the length.
    if (step && (!step() || !step())) return false;
    Radix4Pass(xr, xi, yr, yi, n, s, w);
    w += 6 * size_t{n / 4};
    std::swap(xr, yr);
    std::swap(xi, yi);
  }
  if (n == 2) {
    if (step && !step()) return false;
    Radix2Pass(xr, xi, yr, yi, s);
    std::swap(xr, yr);
    std::swap(xi, yi);
  }
  // The result is in xr/xi: the caller's arrays or the scratch ones.
  if (xr != re || scale != 1.0) {
    for (uint32_t i = 0; i < M; ++i) {
      re[i] = xr[i] * scale;
      im[i] = xi[i] * scale;
    }
  }
  return true;
}

const char *FFTTypeName(int type) {
  return type == kFFTTypeDFT ? "DFT (XY)" : "FFT";
}

const char *FFTWindowName(int window) {
  return kWindowNames[KnownWindow(window)];
}

double FFTWindowCorrection(int window) {
  return kWindowCorrection[KnownWindow(window)];
}

double FFTWindowValue(int window, uint32_t n, uint32_t N) {
  if (N < 2) return 1.0;
  const double a = 2.0 * kPi / (N - 1) * n;
  const uint32_t half = (N - 1) / 2;
  switch (window) {
  case 1:
    return 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a);
  case 2:
    return 0.2810639 - 0.5208972 * std::cos(a) + 0.1980399 * std::cos(2 * a);
  case 3: {
    // In floating point: N² overflows 32 bits from N = 65536 on.
    const double m = n <= half ? double(N / 2) - 1.0 - n : double(n) - double(N / 2);
    const double len = N;
    return std::exp(-0.5 * 3.0 * 3.0 * m * m / (len * len));
  }
  case 4:
    return 0.54 - 0.46 * std::cos(a);
  case 5:
    return 0.5 - 0.5 * std::cos(a);
  case 6:
    return 0.36 - 0.49 * std::cos(a) + 0.14 * std::cos(2 * a) - 0.01 * std::cos(3 * a);
  case 7:
    return n <= half ? 2.0 * n / (N - 1) : 2.0 - 2.0 * n / (N - 1);
  default:
    return 1.0;
  }
}

void FFT(double *x, double *y, uint32_t N) {
  if (!IsPowerOfTwo(N)) return;
  // The tables of the last length, per thread.
  thread_local TFFTPlan plan;
  if (plan.Length() != N) plan.Build(N);
  plan.Run(x, y, 1.0 / N);
}

// Bluestein: with 2kn = k² + n² - (k-n)², X[k] = w[k]·Σ x[n]·w[n]·conj(w[k-n])
// for the chirp w[m] = e^(-iπm²/N): a convolution, done as a cyclic one over
// M ≥ 2N-1 points by power-of-two FFTs. m² is reduced modulo 2N in integers so
// that no angle loses digits at large m.
bool TDFT::Transform(double *x, double *y, uint32_t N, const TProgressFn &progress,
                     const std::atomic<bool> *cancel) {
  if (N == 0) return true;
  const bool pow2 = IsPowerOfTwo(N);
  const uint32_t M = pow2 ? N : uint32_t{1} << Log2(2 * N - 1);
  const int stages = Log2(M);
  const bool build = fN != N;
  // Steps: table build (+ filter FFT); then premultiply, FFT, multiply, inverse
  // FFT, postmultiply for Bluestein, or FFT and scaling for a power of two.
  const int total = (build ? 1 + (pow2 ? 0 : stages) : 0) + (pow2 ? stages + 1 : 2 * stages + 3);
  int done = 0;
  const std::function<bool()> step = [&]() -> bool {
    if (cancel && cancel->load(std::memory_order_relaxed)) return false;
    if (progress) progress(done * 100 / total);
    ++done;
    return true;
  };

  if (build) {
    fN = 0; // a cancelled build leaves no half-made tables behind
    if (!step()) return false;
    fPlan.Build(M);
    if (!pow2) {
      fChirpCos.resize(N);
      fChirpSin.resize(N);
      const uint64_t period = 2 * uint64_t{N};
      for (uint32_t n = 0; n < N; ++n) {
        const double a = kPi * double(uint64_t{n} * n % period) / N;
        fChirpCos[n] = std::cos(a);
        fChirpSin[n] = std::sin(a);
      }
      fFilterRe.assign(M, 0.0);
      fFilterIm.assign(M, 0.0);
      for (uint32_t n = 0; n < N; ++n) {
        fFilterRe[n] = fChirpCos[n];
        fFilterIm[n] = fChirpSin[n];
        if (n) {
          fFilterRe[M - n] = fChirpCos[n];
          fFilterIm[M - n] = fChirpSin[n];
        }
      }
      if (!fPlan.Run(fFilterRe.data(), fFilterIm.data(), 1.0, step)) return false;
    }
    fN = N;
  }

  if (pow2) {
    if (!fPlan.Run(x, y, 1.0, step)) return false;
    if (!step()) return false;
    for (uint32_t i = 0; i < N; ++i) {
      x[i] /= N;
      y[i] /= N;
    }
    return true;
  }

  if (!step()) return false;
  fWorkRe.assign(M, 0.0);
  fWorkIm.assign(M, 0.0);
  for (uint32_t n = 0; n < N; ++n) {
    const double c = fChirpCos[n], s = fChirpSin[n];
    fWorkRe[n] = x[n] * c + y[n] * s;
    fWorkIm[n] = y[n] * c - x[n] * s;
  }
  if (!fPlan.Run(fWorkRe.data(), fWorkIm.data(), 1.0, step)) return false;
  if (!step()) return false;
  for (uint32_t m = 0; m < M; ++m) {
    const double re = fWorkRe[m] * fFilterRe[m] - fWorkIm[m] * fFilterIm[m];
    fWorkIm[m] = fWorkRe[m] * fFilterIm[m] + fWorkIm[m] * fFilterRe[m];
    fWorkRe[m] = re;
  }
  // The forward transform with real and imaginary parts swapped is the inverse.
  if (!fPlan.Run(fWorkIm.data(), fWorkRe.data(), 1.0, step)) return false;
  if (!step()) return false;
  const double scale = 1.0 / (double(M) * N);
  for (uint32_t k = 0; k < N; ++k) {
    const double c = fChirpCos[k], s = fChirpSin[k];
    const double re = fWorkRe[k], im = fWorkIm[k];
    x[k] = (re * c + im * s) * scale;
    y[k] = (im * c - re * s) * scale;
  }
  return true;
}

bool DFT(double *x, double *y, uint32_t N, const TProgressFn &progress,
         const std::atomic<bool> *cancel) {
  TDFT dft;
  return dft.Transform(x, y, N, progress, cancel);
}

bool DirectDFT(double *x, double *y, uint32_t N, const TProgressFn &progress,
               const std::atomic<bool> *cancel) {
  if (N == 0) return true;
  std::vector<double> cosT(N), sinT(N), X(N), Y(N);
  for (uint32_t r = 0; r < N; ++r) {
    cosT[r] = std::cos(2.0 * kPi * r / N);
    sinT[r] = std::sin(2.0 * kPi * r / N);
  }
  int reported = -1;
  for (uint32_t k = 0; k < N; ++k) {
    if (cancel && cancel->load(std::memory_order_relaxed)) return false;
    const int percent = int(uint64_t{k} * 100 / N);
    if (progress && percent != reported) progress(reported = percent);
    const double *c = cosT.data(), *s = sinT.data();
    double sx = 0, sy = 0;
    uint32_t r = 0; // k·n mod N
    for (uint32_t n = 0; n < N; ++n) {
      // e^(-2πi·r/N) = cos - i·sin
      sx += x[n] * c[r] + y[n] * s[r];
      sy += y[n] * c[r] - x[n] * s[r];
      r += k;
      if (r >= N) r -= N;
    }
    X[k] = sx;
    Y[k] = sy;
  }
  for (uint32_t k = 0; k < N; ++k) {
    x[k] = X[k] / N;
    y[k] = Y[k] / N;
  }
  return true;
}

void DeriveSpectrum(const double *x, const double *y, uint32_t N, double c, double *mag,
                    double *phase) {
  if (N == 0) return;
  mag[0] = std::fabs(x[0]);
  phase[0] = 0.0;
  for (uint32_t k = 1; k <= N / 2; ++k) {
    const uint32_t m = N - k;
    mag[k] = (std::sqrt(x[k] * x[k] + y[k] * y[k]) + std::sqrt(x[m] * x[m] + y[m] * y[m])) / c;
    phase[k] = x[k] != 0.0 ? std::atan(y[k] / x[k]) * 180.0 / kPi : 0.0;
  }
}

TSpectrumRequest SpectrumRequest(const TVELK &rec, uint32_t spanStart, uint32_t spanEnd) {
  TSpectrumRequest rq;
  rq.Type = rec.FFTType;
  rq.Window = rec.FFTWindow;
  rq.WinSize = rec.FFTWinSize;
  rq.SpanStart = spanStart;
  rq.SpanEnd = spanEnd;
  rq.ChannelB = rec.HasChannelB;
  return rq;
}

uint32_t SpectrumLength(const TSpectrumRequest &rq, size_t inputLength, uint32_t *start) {
  *start = 0;
  if (rq.Type == kFFTTypeDFT) {
    const uint32_t first = std::min(rq.SpanStart, rq.SpanEnd);
    const uint32_t last = std::max(rq.SpanStart, rq.SpanEnd);
    if (last - first < 2 || last > inputLength) return 0;
    *start = first;
    return last - first;
  }
  const uint32_t N = uint32_t{1} << std::clamp(rq.WinSize, kFFTMinWinSize, kFFTMaxWinSize);
  return N <= inputLength ? N : 0;
}

TSpectrumStatus TSpectrumCalc::Compute(const float *a, const float *b, size_t inputLength,
                                       const TSpectrumRequest &rq, TSpectrum &out,
                                       const TProgressFn &progress,
                                       const std::atomic<bool> *cancel) {
  uint32_t start = 0;
  const uint32_t N = a ? SpectrumLength(rq, inputLength, &start) : 0;
  out.N = N;
  out.Start = start;
  out.Type = rq.Type == kFFTTypeDFT ? kFFTTypeDFT : kFFTTypeFFT;
  out.Window = rq.Window;
  out.ChannelB = rq.ChannelB && b;
  if (N == 0) {
    out.MagA.clear();
    out.PhaseA.clear();
    out.MagB.clear();
    out.PhaseB.clear();
    return TSpectrumStatus::Refused;
  }

  const int window = KnownWindow(rq.Window);
  const double c = FFTWindowCorrection(window);
  if (window != fWindowType || N != fWindowN) {
    fWindow.resize(N);
    for (uint32_t n = 0; n < N; ++n)
      fWindow[n] = FFTWindowValue(window, n, N);
    fWindowType = window;
    fWindowN = N;
  }
  fX.resize(N);
  fY.resize(N);
  out.MagA.resize(out.Bins());
  out.PhaseA.resize(out.Bins());
  out.MagB.resize(out.ChannelB ? out.Bins() : 0);
  out.PhaseB.resize(out.ChannelB ? out.Bins() : 0);

  const int channels = out.ChannelB ? 2 : 1;
  for (int ch = 0; ch < channels; ++ch) {
    const float *in = (ch == 0 ? a : b) + start;
    for (uint32_t i = 0; i < N; ++i) {
      fX[i] = fWindow[i] * double(in[i]);
      fY[i] = 0.0;
    }
    if (out.Type == kFFTTypeDFT) {
      TProgressFn report;
      if (progress) {
        report = [&](int p) { progress(channels == 1 ? p : p / 2 + 50 * ch); };
      }
      if (!fDFT.Transform(fX.data(), fY.data(), N, report, cancel))
        return TSpectrumStatus::Cancelled;
    } else {
      if (fFFT.Length() != N) fFFT.Build(N);
      fFFT.Run(fX.data(), fY.data(), 1.0 / N);
    }
    std::vector<double> &mag = ch == 0 ? out.MagA : out.MagB;
    std::vector<double> &phase = ch == 0 ? out.PhaseA : out.PhaseB;
    DeriveSpectrum(fX.data(), fY.data(), N, c, mag.data(), phase.data());
  }
  return TSpectrumStatus::Done;
}

TSpectrumStatus ComputeSpectrum(const float *a, const float *b, size_t inputLength,
                                const TSpectrumRequest &rq, TSpectrum &out) {
  TSpectrumCalc calc;
  return calc.Compute(a, b, inputLength, rq, out);
}

std::vector<TSpectrumRow> SpectrumRows(const TSpectrum &s, double sampleRate) {
  std::vector<TSpectrumRow> rows(s.Bins());
  for (uint32_t k = 0; k < s.Bins(); ++k) {
    TSpectrumRow &row = rows[k];
    row.Bin = k;
    row.Frequency = double(k) * sampleRate / s.N;
    row.MagA = s.MagA[k];
    row.PhaseA = s.PhaseA[k];
    if (s.ChannelB) {
      row.MagB = s.MagB[k];
      row.PhaseB = s.PhaseB[k];
    }
  }
  return rows;
}

bool HandOverSpectrumInputs(TVELK &rec, const float *a, const float *b, size_t count) {
  uint8_t idle = kFFTIdle;
  if (!rec.FFTBusy.compare_exchange_strong(idle, kFFTFilling)) return false;
  if (a) std::copy_n(a, std::min(count, rec.FFTInputA.size()), rec.FFTInputA.begin());
  if (b) std::copy_n(b, std::min(count, rec.FFTInputB.size()), rec.FFTInputB.begin());
  rec.FFTBusy.store(kFFTIdle);
  if (rec.SpectrumEvent) rec.SpectrumEvent->Set();
  return true;
}

TCountFFTThread::TCountFFTThread(TVELK &rec, TSpectrumObserver &observer,
                                 const TSpectrumRequest &request)
    : fRecord(rec), fObserver(observer), fRequest(request) {}

TCountFFTThread::~TCountFFTThread() {
  Stop();
}

void TCountFFTThread::SetRequest(const TSpectrumRequest &rq) {
  std::lock_guard<std::mutex> lock(fRequestLock);
  fRequest = rq;
}

TSpectrumRequest TCountFFTThread::Request() const {
  std::lock_guard<std::mutex> lock(fRequestLock);
  return fRequest;
}

void TCountFFTThread::RequestStop() {
  fStop.store(true);
  fCancel.store(true);
  requestInterruption();
  if (fRecord.SpectrumEvent) fRecord.SpectrumEvent->Set();
}

bool TCountFFTThread::WaitEnded(qint64 ms) {
  if (!wait(QDeadlineTimer(ms))) return false;
  // QThread::wait synchronises through Qt's own futex-based mutex, which the
  // thread sanitizer cannot see; this pairs with the release at the end of run().
  fRunEnded.load(std::memory_order_acquire);
  return true;
}

void TCountFFTThread::run() {
  if (TAutoResetEvent *event = fRecord.SpectrumEvent.get()) {
    while (!fStop.load()) {
      // No time limit: every wake-up, the termination request included, is a Set.
      while (!event->Wait(std::chrono::hours(24))) {
      }
      if (fStop.load()) break;
      ComputeOnce();
    }
  }
  fRunEnded.store(true, std::memory_order_release);
}

void TCountFFTThread::ComputeOnce() {
  // Cleared before the claim: a Cancel from a window that sees FFTBusy set then
  // always reaches this pass.
  fCancel.store(false);
  uint8_t idle = kFFTIdle;
  // The capture side is filling the inputs; it signals again when it is done.
  if (!fRecord.FFTBusy.compare_exchange_strong(idle, kFFTComputing)) return;

  const TSpectrumRequest rq = Request();
  const bool dft = rq.Type == kFFTTypeDFT;
  if (dft) fObserver.ShowBusy();
  int shown = -1;
  auto progress = [&](int percent) {
    if (percent != shown) fObserver.SetProgress(shown = percent);
  };
  const std::vector<float> &a = fRecord.FFTInputA, &b = fRecord.FFTInputB;
  size_t length = a.size();
  if (rq.ChannelB && !b.empty()) length = std::min(length, b.size());
  const TSpectrumStatus status =
      fCalc.Compute(a.empty() ? nullptr : a.data(), b.empty() ? nullptr : b.data(), length, rq,
                    fResult, progress, &fCancel);
  fRecord.FFTBusy.store(kFFTIdle);

  if (dft) fObserver.HideBusy();
  if (status == TSpectrumStatus::Done && !fCancel.load() && !fStop.load())
    fObserver.PublishSpectrum(fResult);
}
