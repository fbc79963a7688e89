#include "analysis.h"

#include "control.h"
#include "edges.h"
#include "interpreters.h"
#include "measure.h"
#include "search.h"
#include "spectrum.h"

#include "filesys.h"

#include <algorithm>

#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace {

void Err(const QString &text) {
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}
void Out(const QString &text) {
  std::printf("%s\n", text.toLocal8Bit().constData());
}

// The windows' part of a capture, on the terminal: status texts go to standard
// error as they change, a presented capture is analysed as the windows would.
class TCliObserver : public TCaptureObserver {
public:
  explicit TCliObserver(TVELK &r) : R(r) {}

  void ShowStatus() override {
    QString text = R.Status();
    std::lock_guard<std::mutex> lock(fMutex);
    if (text != fLast) Err(text);
    fLast = text;
  }
  void PresentCapture() override {
    // As the windows do after each capture: statistics, interpreters, edges.
    if (R.HasAnalog()) ComputeAnalogStats(R);
    if (R.HasDigital()) {
      DecodeInterpreters(R);
      if (R.EdgeCounter) ComputeEdgeCounts(R);
    }
    R.CaptureCount++;
    std::lock_guard<std::mutex> lock(fMutex);
    ++fPresented;
    fChanged.notify_all();
  }
  void CaptureFinished() override {
    std::lock_guard<std::mutex> lock(fMutex);
    fFinished = true;
    fChanged.notify_all();
  }
  void TriggerSound(bool) override {}

  // Waits until n captures were presented or the worker finished; true when
  // it finished (on its own: a failure, or a single capture's end).
  bool WaitForCaptures(int n) {
    std::unique_lock<std::mutex> lock(fMutex);
    fChanged.wait(lock, [&] { return fPresented >= n || fFinished; });
    return fFinished;
  }
  int Presented() {
    std::lock_guard<std::mutex> lock(fMutex);
    return fPresented;
  }
  // Before the next worker starts (autoset's end must not count as its end).
  void ForgetFinished() {
    std::lock_guard<std::mutex> lock(fMutex);
    fFinished = false;
  }

private:
  TVELK &R;
  std::mutex fMutex;
  std::condition_variable fChanged;
  QString fLast;
  int fPresented = 0;
  bool fFinished = false;
};

// 0 when the captures asked for were presented (samples is set then).
int Capture(TVELK &r, const TAnalysisOptions &o, bool &samples) {
  TCliObserver observer(r);
  TCaptureControl control(r, observer);
  if (o.Autoset) {
    control.Autoset();
    control.Wait();
    if (r.HardwarePresent && !control.AutosetSucceeded()) {
      Err(QStringLiteral("velkcli: autoset failed: ") + r.Status());
      return 1;
    }
    samples |= observer.Presented() > 0;
  }
  if (o.Capture.isEmpty()) return 0;
  observer.ForgetFinished();
  const int before = observer.Presented();

  r.TriggerType = o.Capture == QStringLiteral("repeat") ? 1
                  : o.Capture == QStringLiteral("auto") ? 2
                                                        : 0;
  const int wanted = r.TriggerType == 0 ? 1 : std::max(o.Count, 1);
  // The analog trigger where there is an analog part, unless the logic
  // window's button (--digital) starts the capture.
  bool logic = !r.HasAnalog() || (o.Digital && r.HasDigital());
  control.Capture(logic ? TCaptureControl::kLogicWindow : TCaptureControl::kAnalogWindow);
  // A worker that ended by itself keeps its text (the library's, after a
  // failure); stopping it would put "Capture stopped." in its place.
  if (!observer.WaitForCaptures(before + wanted)) control.Stop();
  control.Wait();
  const int got = observer.Presented() - before;
  if (got < wanted) {
    Err(QStringLiteral("velkcli: capture failed after %1 of %2: %3")
            .arg(got)
            .arg(wanted)
            .arg(r.Status()));
    // The record still holds the last capture presented, if there was one.
    samples = got > 0;
    return 1;
  }
  samples = true;
  return 0;
}

int Measure(TVELK &r) {
  if (!r.HasAnalog() || r.SamplesA.empty()) {
    Err(QStringLiteral("velkcli: the instrument has no analog channels to measure"));
    return 1;
  }
  ComputeAnalogStats(r);
  static const char kTypes[] = {'F', 'P', 'A', 'R', 'K'};
  for (char channel : {'A', 'B'}) {
    if (channel == 'B' && (!r.HasChannelB || r.SamplesB.empty())) continue;
    for (char type : kTypes)
      Out(QStringLiteral("%1 %2 %3")
              .arg(QChar(channel), QString::fromLatin1(MeasurementShortName(type)),
                   MeasurementText(r, channel, type)));
    if (channel == 'A' ? r.OverrangeA : r.OverrangeB)
      Out(QStringLiteral("%1 OVER RANGED!").arg(QChar(channel)));
  }
  return 0;
}

QString ValueText(uint32_t value, uint8_t mode, int width) {
  switch (mode) {
  case kDispDecimal:
    return QString::number(value);
  case kDispAscii:
    return value >= 32 && value < 127 ? QString(QChar(static_cast<char16_t>(value)))
                                      : QString::asprintf("\\x%02X", value & 0xFF);
  default:
    return QString::asprintf("%0*X", std::max(1, (width + 3) / 4), value);
  }
}

int Decode(TVELK &r) {
  if (!r.HasDigital()) {
    Err(QStringLiteral("velkcli: the instrument has no logic channels to decode"));
    return 1;
  }
  if (std::none_of(r.Interpreters.begin(), r.Interpreters.end(),
                   [](const std::unique_ptr<TIntpDef> &d) { return d != nullptr; })) {
    Err(QStringLiteral("velkcli: no interpreter is defined (load settings that define one)"));
    return 1;
  }
  DecodeInterpreters(r);
  for (int slot = 0; slot < kMaxInterpreters; ++slot) {
    const TIntpDef *def = r.Interpreters[slot].get();
    const std::vector<uint32_t> &words = r.InterpreterData[slot];
    if (!def || words.empty()) continue;
    const QString name = QString::fromLatin1(def->Name);
    const bool serial = def->Type == kIntpRS232;
    const uint32_t mask = serial ? 0xFF : 0x1FFFFFFF;
    const int width = serial ? 8 : InterpreterWidth(r.ChConfig, slot);
    const size_t n = std::min<size_t>(r.BuffLength, words.size());
    size_t i = 0;
    while (i < n) {
      uint32_t w = words[i];
      if (serial && !(w & 0x80000000u)) {
        ++i;
        continue;
      }
      // A value lasts while the words stay equal and no new value starts.
      size_t j = i + 1;
      while (j < n && (words[j] & ~0x40000000u) == (w & ~0x40000000u) && !(words[j] & 0x40000000u))
        ++j;
      QString line = QStringLiteral("%1\t%2\t%3\t%4")
                         .arg(name)
                         .arg(i)
                         .arg(j - 1)
                         .arg(ValueText(w & mask, def->DispMode(), width));
      if (serial && (w & 0x20000000u)) line += QStringLiteral("\tERR");
      Out(line);
      i = j;
    }
  }
  return 0;
}

int Search(TVELK &r, const QString &text) {
  if (!r.HasDigital()) {
    Err(QStringLiteral("velkcli: the instrument has no logic channels to search"));
    return 1;
  }
  TPattern pattern;
  pattern.fill(kPatternAny);
  if (text.size() > kMaxChannels) {
    Err(QStringLiteral("velkcli: --search takes at most 32 channels"));
    return 2;
  }
  for (int c = 0; c < text.size(); ++c) {
    QChar ch = text[c].toUpper();
    if (ch == '0')
      pattern[c] = kPatternLow;
    else if (ch == '1')
      pattern[c] = kPatternHigh;
    else if (ch == 'X')
      pattern[c] = kPatternAny;
    else {
      Err(QStringLiteral("velkcli: --search takes 0, 1 or X per channel"));
      return 2;
    }
  }
  int64_t hit = SearchPattern(r, pattern, 0);
  Out(hit == kPatternNotFound ? QStringLiteral("Pattern\nnot found.") : QString::number(hit));
  return 0;
}

int Spectrum(TVELK &r, const TAnalysisOptions &o) {
  if (!r.HasAnalog() || r.SamplesA.empty()) {
    Err(QStringLiteral("velkcli: the instrument has no analog channels for a spectrum"));
    return 1;
  }
  TSpectrumRequest rq = SpectrumRequest(r, o.DftFrom, o.DftTo);
  if (o.Dft) rq.Type = kFFTTypeDFT;
  const size_t n = std::min<size_t>(r.BuffLength, r.SamplesA.size());
  TSpectrum s;
  const float *b = rq.ChannelB && r.SamplesB.size() >= n ? r.SamplesB.data() : nullptr;
  if (ComputeSpectrum(r.SamplesA.data(), b, n, rq, s) != TSpectrumStatus::Done) {
    Err(QStringLiteral("velkcli: the spectrum cannot be computed over that span"));
    return 1;
  }
  double rate = r.Lib.GetClockItems ? r.Lib.GetClockItems(0x200 + r.SamplingRate) : 0;
  QByteArray csv =
      s.MagB.empty() ? "Bin,Frequency (Hz),Magnitude A,Phase A (deg)\r\n"
                     : "Bin,Frequency (Hz),Magnitude A,Phase A (deg),Magnitude B,Phase B (deg)\r\n";
  for (const TSpectrumRow &row : SpectrumRows(s, rate)) {
    csv += QString::asprintf("%u,%.10g,%.10g,%.10g", row.Bin, row.Frequency, row.MagA, row.PhaseA)
               .toLatin1();
    if (!s.MagB.empty()) csv += QString::asprintf(",%.10g,%.10g", row.MagB, row.PhaseB).toLatin1();
    csv += "\r\n";
  }
  QString problem;
  if (!WriteWholeFile(o.Spectrum, csv, &problem)) {
    Err(QStringLiteral("Could not save data file. ") + problem);
    return 1;
  }
  return 0;
}

} // namespace

int Edges(TVELK &r) {
  if (!r.HasDigital() || !r.EdgeCounter) {
    Err(r.HasDigital() ? QStringLiteral("velkcli: the edge counter is off")
                       : QStringLiteral("velkcli: the instrument has no edge counter"));
    return 1;
  }
  ComputeEdgeCounts(r);
  Out(QStringLiteral("Edges (asynchronous): %1").arg(r.EdgesBeforeTrigger));
  Out(QStringLiteral("Edges (synchronous): %1").arg(r.EdgesAfterTrigger));
  return 0;
}

int RunAnalysis(TVELK &r, const TAnalysisOptions &o, bool samples, bool *goodCaptureKept) {
  if (goodCaptureKept) *goodCaptureKept = false;
  if (int status = Capture(r, o, samples)) {
    if (goodCaptureKept) *goodCaptureKept = samples;
    return status;
  }
  const bool analyses =
      o.Measure || o.Decode || o.Edges || !o.Search.isEmpty() || !o.Spectrum.isEmpty();
  if (analyses && !samples) {
    Err(QStringLiteral("velkcli: no samples to analyse: the file loaded holds settings only"));
    return 1;
  }
  if (o.Measure)
    if (int status = Measure(r)) return status;
  if (o.Decode)
    if (int status = Decode(r)) return status;
  if (o.Edges)
    if (int status = Edges(r)) return status;
  if (!o.Search.isEmpty())
    if (int status = Search(r, o.Search)) return status;
  if (!o.Spectrum.isEmpty()) return Spectrum(r, o);
  return 0;
}
