// The spectrum computation without any display: the eight window functions and
// their correction factors, the radix-2 FFT, the DFT over a span, the derivation
// of magnitude and phase per bin, one whole computation (TSpectrumCalc) and the
// spectrum worker TCountFFTThread that the spectrum window runs.
//
// Hand-over of the inputs. TVELK::FFTBusy is a three-state byte: kFFTIdle,
// kFFTComputing (the worker reads FFTInputA/B) and kFFTFilling (the capture side
// writes them). Each side claims the inputs with a compare-and-swap from
// kFFTIdle, so the capture read-out never writes a copy the worker is reading,
// and the worker never reads a half-written copy. The capture side calls
// HandOverSpectrumInputs, which copies, releases and signals SpectrumEvent.
#pragma once

#include <QDeadlineTimer>
#include <QThread>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

struct TVELK;

// FFTType
enum : uint8_t { kFFTTypeFFT = 0, kFFTTypeDFT = 1 };
// FFTWinSize: the FFT length is 2^FFTWinSize.
constexpr int32_t kFFTMinWinSize = 7, kFFTMaxWinSize = 15;
constexpr int kFFTWindowCount = 8;
// Values of TVELK::FFTBusy.
enum : uint8_t { kFFTIdle = 0, kFFTComputing = 1, kFFTFilling = 2 };

// Menu texts: "FFT", "DFT (XY)"; "Rectangular" .. "Triangle". Unknown values
// name what they count as (FFT, rectangular).
const char *FFTTypeName(int type);
const char *FFTWindowName(int window);
// The factor c by which the magnitudes of bins 1..N/2 are divided (1 for an
// unknown window, which counts as rectangular).
double FFTWindowCorrection(int window);
// w(n) of window `window` over N samples (1 for N < 2).
double FFTWindowValue(int window, uint32_t n, uint32_t N);

// Called before each step of a long transform with the share done, 0..99.
using TProgressFn = std::function<void(int percent)>;

// The one power-of-two transform of both paths: a Stockham (self-sorting)
// forward FFT of M = 2^k points, forward kernel e^(-2πi·kn/M), radix-4 passes
// and one radix-2 pass when k is odd, with the twiddles of every pass in
// tables computed one by one (each good to an ulp or two). Build once per
// length; Run transforms in place.
class TFFTPlan {
public:
  void Build(uint32_t M);
  uint32_t Length() const { return fM; }
  // Multiplies every output by scale. step() is called before each halving of
  // the length (twice before a radix-4 pass); false stops the transform and
  // leaves partial results.
  bool Run(double *re, double *im, double scale, const std::function<bool()> &step = {});

private:
  uint32_t fM = 0;
  std::vector<double> fTwiddles; // per radix-4 pass of n points: cos, -sin of w^p, w^2p, w^3p
  std::vector<double> fScratchRe, fScratchIm;
};

// The FFT of x + iy in place, forward kernel e^(-2πi·kn/N), every output
// divided by N. N must be a power of two (other lengths are left untouched).
// TFFTPlan with the tables of the last length kept per thread; no progress, no
// cancel: 32768 points take well under a millisecond.
void FFT(double *x, double *y, uint32_t N);

// The DFT of x + iy (any N ≥ 1) in place, the same transform and scaling as FFT.
// Computed fast and exactly: power-of-two lengths by TFFTPlan,
// all others by Bluestein's chirp-z algorithm over power-of-two FFTs in double
// precision (relative error to the direct sum ~1e-14). Progress is reported and
// the cancel flag checked before every butterfly stage; a cancelled transform
// returns false and leaves partial results in x and y. The object keeps its
// tables for the next transform of the same length.
class TDFT {
public:
  bool Transform(double *x, double *y, uint32_t N, const TProgressFn &progress = {},
                 const std::atomic<bool> *cancel = nullptr);

private:
  uint32_t fN = 0;                          // length the tables are built for (0 = none)
  TFFTPlan fPlan;                           // the power-of-two FFT of M points
  std::vector<double> fChirpCos, fChirpSin; // e^(iπ·n²/N), n < N
  std::vector<double> fFilterRe, fFilterIm; // FFT of the conjugate chirp
  std::vector<double> fWorkRe, fWorkIm;     // M samples
};
// Same, with tables built for this call only.
bool DFT(double *x, double *y, uint32_t N, const TProgressFn &progress = {},
         const std::atomic<bool> *cancel = nullptr);
// The direct sum over all N² terms, each angle reduced exactly (k·n mod N): the
// reference the fast transforms are measured against. Progress once per percent
// of the bins, cancel checked before every bin.
bool DirectDFT(double *x, double *y, uint32_t N, const TProgressFn &progress = {},
               const std::atomic<bool> *cancel = nullptr);

// Magnitude and phase of bins 0..N/2 of a transform: mag[0] = |x[0]| (not
// corrected), mag[k] = (|X[k]| + |X[N-k]|) / c, bin N/2 counted twice for even
// N; phase in degrees, arctan(y/x) (-90..90), 0 where x is exactly 0 and at DC.
void DeriveSpectrum(const double *x, const double *y, uint32_t N, double c, double *mag,
                    double *phase);

// What one computation asks for. The window hands it to the worker; velkcli
// builds it from the record. Span: the samples between the oscilloscope's
// cursors X and Y (either order), used by the DFT only.
struct TSpectrumRequest {
  uint8_t Type = kFFTTypeFFT;
  uint8_t Window = 0;
  int32_t WinSize = 10;
  uint32_t SpanStart = 0, SpanEnd = 0;
  bool ChannelB = false;
};
// The record's FFTType, FFTWindow, FFTWinSize and HasChannelB with a span.
TSpectrumRequest SpectrumRequest(const TVELK &rec, uint32_t spanStart = 0, uint32_t spanEnd = 0);

// Transform length of a request over inputs of `inputLength` samples, and its
// first sample in *start; 0 when the request cannot be computed: a DFT span of
// fewer than 2 samples, or a transform that would read past the inputs.
// FFTWinSize outside 7..15 is taken as the nearest of them; any type but DFT is FFT.
uint32_t SpectrumLength(const TSpectrumRequest &rq, size_t inputLength, uint32_t *start);

// A computed spectrum. The arrays hold bins 0..N/2, so their size follows the
// transform: a DFT span is not limited to 32768 samples, and bins past 16384
// are computed rather than written past a fixed array. The window sizes its
// plot copies from Bins().
struct TSpectrum {
  uint32_t N = 0; // transform length; 0 = nothing computed
  uint32_t Start = 0;
  uint8_t Type = kFFTTypeFFT;
  uint8_t Window = 0;
  bool ChannelB = false;
  std::vector<double> MagA, PhaseA, MagB, PhaseB; // MagB, PhaseB empty without channel B
  uint32_t Bins() const { return N ? N / 2 + 1 : 0; }
};

enum class TSpectrumStatus { Done, Cancelled, Refused };

// One computation (steps 2 to 6 of the worker's pass). Keeps its buffers, the
// window table and the DFT tables for the next call. Channel B is computed when
// the request asks for it and `b` is given. Only the DFT reports progress: the
// share of the current channel, halved into 0..49 and 50..99 with channel B.
class TSpectrumCalc {
public:
  TSpectrumStatus Compute(const float *a, const float *b, size_t inputLength,
                          const TSpectrumRequest &rq, TSpectrum &out,
                          const TProgressFn &progress = {},
                          const std::atomic<bool> *cancel = nullptr);

private:
  TDFT fDFT;
  TFFTPlan fFFT; // the ordinary FFT path
  std::vector<double> fX, fY, fWindow;
  int fWindowType = -1;
  uint32_t fWindowN = 0;
};
// Convenience for one-off callers (velkcli, tests).
TSpectrumStatus ComputeSpectrum(const float *a, const float *b, size_t inputLength,
                                const TSpectrumRequest &rq, TSpectrum &out);

// One line of a spectrum table: what velkcli writes to CSV. Frequency = bin ×
// sampleRate / N (Hz); magnitudes in sample units; phases in degrees; the B
// columns are 0 without channel B.
struct TSpectrumRow {
  uint32_t Bin = 0;
  double Frequency = 0;
  double MagA = 0, PhaseA = 0, MagB = 0, PhaseB = 0;
};
std::vector<TSpectrumRow> SpectrumRows(const TSpectrum &s, double sampleRate);

// The capture side's half of the hand-over: unless the worker is computing,
// copies `count` samples of each given channel (at most the size of the input
// copies) into FFTInputA/B and signals SpectrumEvent. False when the worker was
// busy and nothing was copied or signalled.
bool HandOverSpectrumInputs(TVELK &rec, const float *a, const float *b, size_t count);

// What the worker tells the spectrum window. The window implements it with
// blocking calls run on its thread; tests and velkcli directly. The result
// handed to PublishSpectrum stays valid until the call returns.
class TSpectrumObserver {
public:
  virtual ~TSpectrumObserver() = default;
  virtual void ShowBusy() {}
  virtual void SetProgress(int /*percent*/) {}
  virtual void HideBusy() {}
  virtual void PublishSpectrum(const TSpectrum & /*result*/) {}
};

// The spectrum worker: sleeps on TVELK::SpectrumEvent, computes once per signal
// with the request it holds, and publishes unless cancelled. It ends only on
// the termination request. Settings reach it through SetRequest (a copy under a
// lock), never by reading the record while the window changes it.
class TCountFFTThread : public QThread {
public:
  TCountFFTThread(TVELK &rec, TSpectrumObserver &observer, const TSpectrumRequest &request);
  // Stops and waits for a running worker, cancelling its computation.
  ~TCountFFTThread() override;

  // Starts at one step below normal priority.
  void Start() { start(QThread::LowPriority); }
  // Settings for the next pass; signal SpectrumEvent afterwards.
  void SetRequest(const TSpectrumRequest &rq);
  TSpectrumRequest Request() const;
  // Cancels the running computation: nothing of it is published.
  void Cancel() { fCancel.store(true); }
  // Termination request: cancels, wakes the worker and returns at once. A window
  // whose observer blocks on its own thread waits with WaitEnded in short steps
  // while it keeps serving the observer's calls.
  void RequestStop();
  // Waits up to `ms` milliseconds (negative: no limit) for run() to end; use it
  // rather than QThread::wait, which the thread sanitizer cannot see through.
  bool WaitEnded(qint64 ms);
  // RequestStop, then waits for the end.
  void Stop() {
    RequestStop();
    WaitEnded(-1);
  }
  bool StopRequested() const { return fStop.load(); }

protected:
  void run() override;

private:
  void ComputeOnce();

  TVELK &fRecord;
  TSpectrumObserver &fObserver;
  mutable std::mutex fRequestLock;
  TSpectrumRequest fRequest;
  std::atomic<bool> fCancel{false}, fStop{false}, fRunEnded{false};
  TSpectrumCalc fCalc;
  TSpectrum fResult;
};
