// TfrmAnalog: the refreshes (controls, status, display, scroll bars), taking a
// capture and what the shell tells the window (TMainView).
#include "formanalog.h"

#include "format.h"
#include "measure.h"

#include <QLabel>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr uint32_t kDisabledSwatch = 0xC8D0D4;
constexpr uint32_t kGrey = 0x808080;
} // namespace

// --- What the library says about the instrument ---

int32_t TfrmAnalog::HalfRange() const {
  const int32_t h = R.Lib.GetConfigItems ? R.Lib.GetConfigItems(0x200) : 0;
  return h > 0 ? h : 128;
}

int32_t TfrmAnalog::HalfScaleMilliVolts(int32_t gain) const {
  return R.Lib.GetGainItems ? R.Lib.GetGainItems(0x200 + gain) : 0;
}

double TfrmAnalog::ClockFrequency() const {
  return R.Lib.GetClockItems ? R.Lib.GetClockItems(0x200 + R.SamplingRate) : 0;
}

bool TfrmAnalog::ChannelBUsable() const {
  return R.HasChannelB && !R.SamplesB.empty() && R.Lib.GetClockItems &&
         R.Lib.GetClockItems(0x400 + R.SamplingRate) != 0;
}

// --- Capture and view ---

void TfrmAnalog::TakeCapture() {
  ComputeAnalogStats(R);
  // The workers swap their buffers into the record, so the pointers change with
  // every capture: lend them again each time.
  auto data = [](const std::vector<float> &v) { return v.empty() ? nullptr : v.data(); };
  DisplayA->LendSamples(data(R.SamplesA), data(R.SamplesB));
  DisplayA->LendReferences(data(R.RefSamplesA), data(R.RefSamplesB));
}

void TfrmAnalog::ViewToDisplay() {
  fView.SetRecord(R.BuffLength, HalfRange());
  const TViewWindow &v = fView.View();
  DisplayA->FirstSample = static_cast<uint32_t>(v.FirstSample);
  DisplayA->VisibleSamples = static_cast<uint32_t>(v.VisibleSamples);
  DisplayA->OffsetY = static_cast<int32_t>(v.OffsetY);
  DisplayA->RangeY = static_cast<int32_t>(v.RangeY);
  imgZoomPrev->setEnabled(fView.CanZoomPrevious());
}

void TfrmAnalog::InitDisplay() {
  const int32_t h = HalfRange();
  pChRulA->SetColor(R.Colors.AnalogRulerBackA);
  pChRulA->SetTextColor(R.Colors.AnalogChA);
  pChRulB->SetColor(R.Colors.AnalogRulerBackB);
  pChRulB->SetTextColor(R.Colors.AnalogChB);
  if (!ChannelBUsable() && R.EnabledChB) Change([this] { R.EnabledChB = false; });
  fView.SetRecord(R.BuffLength, h);
  fView.Init();
  TAnalogData &d = *DisplayA;
  d.SampleCount = R.BuffLength;
  d.TriggerLevel = R.AnalogThreshold;
  d.SampleRate = ClockFrequency();
  d.PositionA = d.PositionB = 0;
  d.InvertA = R.InvertChA;
  d.InvertB = R.InvertChB;
  d.ShowA = R.EnabledChA;
  d.ShowB = R.EnabledChB && ChannelBUsable();
  d.HalfRange = h;
  d.HalfScaleA =
      static_cast<int32_t>(HalfScaleMilliVolts(R.GainChA) * R.Probes[R.ProbeChA].Divider);
  d.HalfScaleB =
      static_cast<int32_t>(HalfScaleMilliVolts(R.GainChB) * R.Probes[R.ProbeChB].Divider);
  d.GridDiv = 5;
  ViewToDisplay();
  fUpdatingScrollBars = true;
  sbThreshold->setRange(-(h - 1), h - 1);
  sbThreshold->setPageStep(std::max(1, 2 * (h - 1) / 10));
  ChA.ScrollBarPosY->setRange(-h, h);
  ChB.ScrollBarPosY->setRange(-h, h);
  ChA.ScrollBarPosY->setValue(0);
  ChB.ScrollBarPosY->setValue(0);
  ScrollBarY->setRange(-2 * h, 2 * h);
  ScrollBarY->setPageStep(std::max(1, h / 4));
  fUpdatingScrollBars = false;
}

void TfrmAnalog::UpdateScrollBars() {
  ViewToDisplay();
  fUpdatingScrollBars = true;
  const int64_t len = fView.BuffLength(), vis = fView.VisibleSamples();
  ScrollBarX->setEnabled(vis < len);
  if (vis < len) {
    ScrollBarX->setRange(0, static_cast<int>(len - vis));
    ScrollBarX->setPageStep(static_cast<int>(vis));
    ScrollBarX->setSingleStep(std::max<int>(1, static_cast<int>(vis / 20)));
    ScrollBarX->setValue(static_cast<int>(fView.FirstSample()));
  } else {
    ScrollBarX->setRange(0, 0);
  }
  if (fView.RangeY() != 0) ScrollBarY->setValue(static_cast<int>(fView.OffsetY()));
  fUpdatingScrollBars = false;
}

void TfrmAnalog::UpdateDisplay() {
  TAnalogData &d = *DisplayA;
  const bool usableB = ChannelBUsable();
  ViewToDisplay();
  d.ShowA = R.EnabledChA;
  d.ShowB = R.EnabledChB && usableB;
  d.ShowRefA = R.EnabledChRA && R.EnabledChA && !R.RefSamplesA.empty();
  d.ShowRefB = R.EnabledChRB && R.EnabledChB && !R.RefSamplesB.empty();
  d.TriggerLevel = R.AnalogThreshold;
  d.TriggerChannel = R.TriggerSource;
  d.SampleCount = R.BuffLength;
  d.HalfRange = HalfRange();
  d.HalfScaleA =
      static_cast<int32_t>(HalfScaleMilliVolts(R.GainChA) * R.Probes[R.ProbeChA].Divider);
  d.HalfScaleB =
      static_cast<int32_t>(HalfScaleMilliVolts(R.GainChB) * R.Probes[R.ProbeChB].Divider);
  d.InvertA = R.InvertChA;
  d.InvertB = R.InvertChB;
  const TColors &c = R.Colors;
  d.CursorXColor = c.AnalogCurX;
  d.CursorYColor = c.AnalogCurY;
  d.CursorZColor = c.AnalogCurZ;
  d.CursorTColor = c.AnalogCurT;
  d.ColorA = c.AnalogChA;
  d.ColorB = c.AnalogChB;
  d.ColorRA = c.AnalogChRA;
  d.ColorRB = c.AnalogChRB;
  d.ColorM = c.AnalogChM;
  d.BackColor = c.AnalogBack;
  d.TextColor = c.AnalogText;
  d.GridColor = c.AnalogGrid;
  d.RulerBackColor = c.AnalogRulerBack;
  d.RulerTextColor = c.AnalogRulerText;
  d.RulerBackAColor = c.AnalogRulerBackA;
  d.RulerTextAColor = c.AnalogRulerTextA;
  d.RulerBackBColor = c.AnalogRulerBackB;
  d.RulerTextBColor = c.AnalogRulerTextB;
  if (ShowOverlay) {
    for (int i = 0; i < 2; ++i)
      fMeasText[i] = pMeasVal[i]->Caption().left(99).toLatin1();
    d.MeasText1 = fMeasText[0].constData();
    d.MeasText2 = fMeasText[1].constData();
    d.MeasType1 = MeasType[0];
    d.MeasType2 = MeasType[1];
    d.MeasChannel1 = MeasChannel[0];
    d.MeasChannel2 = MeasChannel[1];
    d.ShowAddText = true;
  } else {
    d.ShowAddText = false;
  }
  d.SampleRate = ClockFrequency();
  if (R.HasDigital() && R.ClockSource == 1) d.SampleRate = R.ExtGenFreq;
  if (R.HasDigital() && R.ClockSource == 2) d.SampleRate = 0;
  d.TriggerPos =
      R.ClockSource == 2 ? static_cast<uint32_t>(std::max(R.StopPosition, 0)) : R.TriggerAt;
  d.update();
}

void TfrmAnalog::UpdateChannel(char channel) {
  TChannelControls &c = Ch(channel);
  const bool b = channel == 'B';
  const int32_t gain = b ? R.GainChB : R.GainChA;
  const int32_t probe = std::clamp<int32_t>(b ? R.ProbeChB : R.ProbeChA, 0, 2);
  const bool ref = b ? R.EnabledChRB : R.EnabledChRA;
  const bool invert = b ? R.InvertChB : R.InvertChA;
  const bool enabled = b ? R.EnabledChB : R.EnabledChA;
  const uint32_t color = b ? R.Colors.AnalogChB : R.Colors.AnalogChA;
  const uint32_t refColor = b ? R.Colors.AnalogChRB : R.Colors.AnalogChRA;
  const bool usable = !b || ChannelBUsable();
  const int32_t position = b ? DisplayA->PositionB : DisplayA->PositionA;

  c.stColor->SetColor(usable ? color : kDisabledSwatch);
  c.stGain->SetCaption(
      FormatVoltage(R, -1, HalfScaleMilliVolts(gain) * R.Probes[probe].Divider * 0.2));
  c.stCoupling->SetCaption((b ? R.CouplingChB : R.CouplingChA) ? QStringLiteral("DC")
                                                               : QStringLiteral("AC"));
  if (ref) {
    c.stRef->SetColor(refColor);
    c.stRef->SetTextColor(ContrastColor(refColor));
  } else {
    c.stRef->SetColor(kFieldColor);
    c.stRef->SetTextColor(0x000000);
  }
  c.stProbe->SetCaption(QString::fromLatin1(R.Probes[probe].Caption));
  c.stInvert->SetColor(invert ? 0x000000 : kFieldColor);
  c.stInvert->SetTextColor(invert ? kFieldColor : 0x000000);
  c.stOnOff->SetCaption(enabled && usable ? QStringLiteral("ON") : QStringLiteral("OFF"));
  const QString ch(QChar::fromLatin1(channel));
  c.stOnOff->setToolTip(enabled ? QStringLiteral("Channel %1 enabled\nClick to disable").arg(ch)
                                : QStringLiteral("Channel %1 disabled\nClick to enable").arg(ch));
  c.stPosY->SetCaption(FormatVoltage(R, gain, position));
  fUpdatingScrollBars = true;
  c.ScrollBarPosY->setValue(-position);
  fUpdatingScrollBars = false;
  for (QWidget *w : {static_cast<QWidget *>(c.stColor), static_cast<QWidget *>(c.stGain),
                     static_cast<QWidget *>(c.stCoupling), static_cast<QWidget *>(c.stRef),
                     static_cast<QWidget *>(c.stProbe), static_cast<QWidget *>(c.stInvert),
                     static_cast<QWidget *>(c.stOnOff), static_cast<QWidget *>(c.stPosY),
                     static_cast<QWidget *>(c.ScrollBarPosY)})
    w->setEnabled(usable);
  if (b) {
    peBackChB->SetTextColor(usable ? 0x000000 : kGrey);
    pChRulB->setEnabled(usable);
  }
}

void TfrmAnalog::UpdateControls() {
  UpdateChannel('A');
  UpdateChannel('B');
  const int32_t h = HalfRange();
  const bool external = R.TriggerSource == 2;
  fUpdatingScrollBars = true;
  sbThreshold->setRange(-(h - 1), h - 1);
  sbThreshold->setValue(-R.AnalogThreshold);
  fUpdatingScrollBars = false;
  stClock->SetCaption(FormatFrequency(ClockFrequency()));
  static const char *const kSources[] = {"CHANNEL A", "CHANNEL B", "EXTERNAL"};
  stTriggerSrc->SetCaption(QString::fromLatin1(kSources[std::min<int>(R.TriggerSource, 2)]));
  const bool falling = R.AnalogEdgeType == 1;
  iTriggerEdge->setPixmap(
      ScopePicture(falling ? TScopePicture::EdgeFalling : TScopePicture::EdgeRising, 16));
  stTriggerEdge->SetCaption(falling ? QStringLiteral("FALLING") : QStringLiteral("RISING"));
  static const char *const kTypes[] = {"SINGLE", "REPEAT", "AUTO"};
  stTriggerType->SetCaption(QString::fromLatin1(kTypes[std::min<int>(R.TriggerType, 2)]));
  const int32_t trigGain = R.TriggerSource == 1 ? R.GainChB : R.GainChA;
  stThresholdVal->SetCaption(external ? QStringLiteral("-")
                                      : FormatVoltage(R, trigGain, R.AnalogThreshold));
  sbThreshold->setEnabled(!external);
  stThresholdVal->setEnabled(!external);
  stClock->setEnabled(!fLocked);
  stTriggerType->setEnabled(!fLocked);
}

TScopeMarkers TfrmAnalog::Markers() const {
  const TAnalogData &d = *DisplayA;
  TScopeMarkers m;
  m.PosX = d.CursorXPos;
  m.PosY = d.CursorYPos;
  m.PosZ = d.CursorZPos;
  m.LevelX = d.CursorXLevel;
  m.LevelY = d.CursorYLevel;
  m.LevelZ = d.CursorZLevel;
  m.TriggerPos = d.TriggerPos;
  m.TriggerLevel = d.TriggerLevel;
  m.PositionA = d.PositionA;
  m.PositionB = d.PositionB;
  return m;
}

void TfrmAnalog::UpdateStatus() {
  const TColors &c = R.Colors;
  auto cursorColor = [&c](char letter) {
    switch (letter) {
    case 'X':
      return c.AnalogCurX;
    case 'Y':
      return c.AnalogCurY;
    case 'Z':
      return c.AnalogCurZ;
    default:
      return c.AnalogCurT;
    }
  };
  auto channelColor = [&c](char ch) { return ch == 'B' ? c.AnalogChB : c.AnalogChA; };
  // Buffer (the capture-rate timer writes the value while it runs).
  if (R.ShowCaptureRate) {
    pBufferLabel->SetCaption(QStringLiteral("FPS"));
  } else {
    pBufferLabel->SetCaption(QStringLiteral("Buffer"));
    const double f = ClockFrequency();
    pBufferSize->SetCaption(BufferUnit == 's' || f <= 0 ? QString::number(R.BuffLength)
                                                        : FormatTime(R.BuffLength / f));
  }
  pDelayValue->SetCaption(QStringLiteral("0"));
  const TScopeMarkers m = Markers();
  pCPosLabel->SetCaption(QString(QChar::fromLatin1(PosCursor)));
  pCPosLabel->SetTextColor(cursorColor(PosCursor));
  pCPosValue->SetCaption(CursorPositionText(R, m, PosCursor, PosUnit));
  const QString posHint =
      QStringLiteral("Cursor %1 position (%2)")
          .arg(QChar::fromLatin1(PosCursor))
          .arg(PosUnit == 's' ? QStringLiteral("samples") : QStringLiteral("time"));
  pCPosLabel->setToolTip(posHint);
  pCPosValue->setToolTip(posHint);
  if (!ChannelBUsable()) {
    DistChannel[0] = DistChannel[1] = 'A';
    MeasChannel[0] = MeasChannel[1] = 'A';
  }
  for (int i = 0; i < 2; ++i) {
    pDistCursor1[i]->SetCaption(QString(QChar::fromLatin1(DistFrom[i])));
    pDistCursor1[i]->SetTextColor(cursorColor(DistFrom[i]));
    pDistCursor2[i]->SetCaption(QString(QChar::fromLatin1(DistTo[i])));
    pDistCursor2[i]->SetTextColor(cursorColor(DistTo[i]));
    const bool voltage = DistMode[i] == 'V';
    pDistCh[i]->setEnabled(voltage);
    pDistCh[i]->SetCaption(voltage ? QString(QChar::fromLatin1(DistChannel[i]))
                                   : QStringLiteral("-"));
    pDistCh[i]->SetTextColor(voltage ? channelColor(DistChannel[i]) : 0x808080);
    pDistValue[i]->SetCaption(
        DistanceText(R, m, DistFrom[i], DistTo[i], DistChannel[i], DistMode[i]));
    pDistValue[i]->setToolTip(DistanceHint(DistFrom[i], DistTo[i], DistChannel[i], DistMode[i]));
    pMeasCh[i]->SetCaption(QString(QChar::fromLatin1(MeasChannel[i])));
    pMeasCh[i]->SetTextColor(channelColor(MeasChannel[i]));
    pMeasType[i]->SetCaption(QString::fromLatin1(MeasurementShortName(MeasType[i])));
    pMeasVal[i]->SetCaption(MeasurementText(R, MeasChannel[i], MeasType[i]));
    pMeasVal[i]->setToolTip(MeasurementHint(MeasChannel[i], MeasType[i]));
  }
  if (fMeterPanel.IsBound() && fMeterPanel.IsVisible())
    fMeterPanel.Update(MultimeterRecord(R, fMeterHalfRange, fMeterChannelB));
  if (R.ProbeComp) {
    lWarning->setText(QStringLiteral("PROBE COMP"));
    lWarning->show();
  } else if (R.OverrangeA || R.OverrangeB) {
    lWarning->setText(QStringLiteral("OVER RANGED!"));
    lWarning->show();
  } else {
    lWarning->hide();
  }
}

void TfrmAnalog::RefreshAll() {
  pChRulA->SetColor(R.Colors.AnalogRulerBackA);
  pChRulA->SetTextColor(R.Colors.AnalogChA);
  pChRulB->SetColor(R.Colors.AnalogRulerBackB);
  pChRulB->SetTextColor(R.Colors.AnalogChB);
  TakeCapture();
  UpdateScrollBars();
  UpdateControls();
  UpdateStatus();
  UpdateDisplay();
}

void TfrmAnalog::BufferLengthChanged() {
  TAnalogData &d = *DisplayA;
  d.CursorXPos = d.CursorYPos = d.CursorZPos = 0;
  for (uint32_t &p : R.CursorPos[0])
    p = 0;
  InitDisplay();
  RefreshAll();
}

void TfrmAnalog::ApplyClockChange(bool analogAffected, bool digitalAffected) {
  if (isVisible()) {
    const bool usable = ChannelBUsable();
    if (analogAffected) {
      EnableButton(btMath, usable && !fLocked);
      if (!usable && R.TriggerSource == 1) {
        Change([this] { R.TriggerSource = 0; });
        R.ConfigApplied = 0;
      }
    }
    Layout();
    UpdateControls();
    UpdateStatus();
    DisplayA->DataValidA = DisplayA->DataValidB = false;
    fPendingChange[0] = fPendingChange[1] = true;
    UpdateDisplay();
  }
  if (Links.LogicClockChanged) Links.LogicClockChanged(digitalAffected);
}

void TfrmAnalog::EnableButton(TButtonId id, bool on) {
  switch (id) {
  case btDigital:
    bDigital->setEnabled(on && R.HasDigital());
    break;
  case btXYplot:
    break; // the XY window comes with a later part
  case btMath:
    bMath->setEnabled(on);
    if (!on) DisplayA->MathMode = 0;
    SetMathPicture();
    break;
  case btSetup:
    break; // the capture setup dialog comes with a later part
  case btPrint:
    break; // printing comes with a later part
  case btConfig:
    bConfig->setEnabled(on && Links.Configure);
    break;
  case btFile:
    bFile->setEnabled(on);
    break;
  case btCapture:
    bCapture->setEnabled(on);
    break;
  case btStop:
    bStop->setEnabled(on);
    break;
  case btTrigger:
    bTrigger->setEnabled(on);
    break;
  case btAutoset:
    bAutoset->setEnabled(on);
    break;
  }
}

void TfrmAnalog::SetMathPicture() {
  static const TScopePicture kPictures[] = {TScopePicture::MathOff, TScopePicture::MathAPlusB,
                                            TScopePicture::MathAMinusB, TScopePicture::MathBMinusA};
  bMath->SetBitmap(ScopePicture(kPictures[DisplayA->MathMode & 3], 16));
  bMath->SetDisBitmap(ScopePicture(TScopePicture::MathOff, 16, 0x8C8C8C));
}

// --- TMainView ---

void TfrmAnalog::ShowStatusText(const QString &text) {
  lMessage->setText(text);
}

void TfrmAnalog::LockControlsForCapture(bool locked) {
  fLocked = locked;
  EnableButton(btConfig, !locked);
  EnableButton(btFile, !locked);
  EnableButton(btCapture, !locked);
  EnableButton(btAutoset, !locked);
  EnableButton(btStop, locked);
  if (!locked) EnableButton(btTrigger, false);
  stClock->setEnabled(!locked);
  stTriggerType->setEnabled(!locked);
}

void TfrmAnalog::EnableForceTrigger(bool on) {
  EnableButton(btTrigger, on);
}

void TfrmAnalog::PresentCapture() {
  // The buffers were swapped: the display must not keep the old pointers even
  // while the window is hidden.
  if (!isVisible()) {
    TakeCapture();
    return;
  }
  TakeCapture();
  UpdateScrollBars();
  UpdateControls();
  UpdateStatus();
  // Solid only when taken with the settings now shown: a gain or clock change
  // made during this capture reaches the instrument with the next one.
  if (R.ConfigApplied) fPendingChange[0] = fPendingChange[1] = false;
  DisplayA->DataValidA = !fPendingChange[0];
  DisplayA->DataValidB = !fPendingChange[1];
  UpdateDisplay();
}

void TfrmAnalog::StatsChanged() {
  UpdateStatus();
}

void TfrmAnalog::AutosetSucceeded() {
  // Autoset chose gains, clock and level: the whole buffer is shown before its
  // closing capture.
  fView.SetRecord(R.BuffLength, HalfRange());
  fView.ZoomAll();
  UpdateScrollBars();
  UpdateControls();
  UpdateStatus();
  UpdateDisplay();
}

void TfrmAnalog::CaptureRateTick() {
  pBufferSize->SetCaption(QString::number(R.CaptureCount));
  R.CaptureCount = 0;
}
