// TfrmAnalog: the menus of the setting fields, the commands they and the
// buttons run, zoom and scrolling, cursors and readouts, files, help and the
// multimeter panel.
#include "formanalog.h"

#include "dialoghooks.h"
#include "files.h"
#include "format.h"
#include "measure.h"
#include "ui.h"

#include <QActionGroup>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QSaveFile>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

// The analog file kinds of the save dialog's filters, in their order.
struct TSaveFilter {
  const char *Filter;
  const char *Ext;
  uint8_t Kind;
  const char *Saved; // the status text's beginning
};
const TSaveFilter kSaveFilters[] = {
    {"Project file (*.prj)", ".prj", kFileProject, "Project file "},
    {"Settings file (*.set)", ".set", kFileSettings, "Settings file "},
    {"Binary data file - Analog (*.bin)", ".bin", kFileBinaryAnalog, "Data file "},
    {"Text data file - Analog (*.txt)", ".txt", kFileTextAnalog, "Data file "},
    {"Screenshot (*.bmp)", ".bmp", kFileScreenAnalog, "Screenshot file "},
};
constexpr int kSaveFilterCount = 5;

QAction *AddRadio(QMenu *menu, QActionGroup *group, const QString &text, bool checked) {
  QAction *a = menu->addAction(text);
  a->setCheckable(true);
  a->setChecked(checked);
  group->addAction(a);
  return a;
}

QActionGroup *NewGroup(QMenu *menu) {
  auto *g = new QActionGroup(menu);
  g->setExclusive(true);
  return g;
}

} // namespace

void TfrmAnalog::BuildMenus() {
  pmGain = new QMenu(this);
  pmCoupling = new QMenu(this);
  pmRefChannel = new QMenu(this);
  pmProbe = new QMenu(this);
  pmClock = new QMenu(this);
  pmTriggerSrc = new QMenu(this);
  pmTriggerEdge = new QMenu(this);
  pmTriggerType = new QMenu(this);
  pmMath = new QMenu(this);
  pmFile = new QMenu(this);
}

void TfrmAnalog::PopupBelow(QMenu *menu, QWidget *field) {
  menu->popup(field->mapToGlobal(QPoint(0, field->height())));
}

// --- Channel panels ---

void TfrmAnalog::ShowGainMenu(char channel) {
  fMenuChannel = channel;
  pmGain->clear();
  QActionGroup *g = NewGroup(pmGain);
  const int32_t count = R.Lib.GetGainItems ? R.Lib.GetGainItems(0x100) : 0;
  const int32_t current = channel == 'B' ? R.GainChB : R.GainChA;
  const float divider =
      R.Probes[std::clamp(channel == 'B' ? R.ProbeChB : R.ProbeChA, 0, 2)].Divider;
  for (int32_t i = 0; i < count; ++i) {
    QAction *a = AddRadio(pmGain, g, FormatVoltage(R, -1, HalfScaleMilliVolts(i) * divider * 0.2),
                          i == current);
    connect(a, &QAction::triggered, this, [this, channel, i] { ChooseGain(channel, i); });
  }
  PopupBelow(pmGain, Ch(channel).stGain);
}

void TfrmAnalog::ChooseGain(char channel, int item) {
  int32_t &gain = channel == 'B' ? R.GainChB : R.GainChA;
  if (gain == item) return;
  Change([&] { gain = item; });
  UpdateControls();
  R.ConfigApplied = 0;
  (channel == 'B' ? DisplayA->DataValidB : DisplayA->DataValidA) = false;
  fPendingChange[channel == 'B' ? 1 : 0] = true;
  UpdateStatus();
  UpdateDisplay();
}

void TfrmAnalog::ShowCouplingMenu(char channel) {
  fMenuChannel = channel;
  pmCoupling->clear();
  QActionGroup *g = NewGroup(pmCoupling);
  const uint8_t current = channel == 'B' ? R.CouplingChB : R.CouplingChA;
  QAction *dc = AddRadio(pmCoupling, g, QStringLiteral("DC"), current == 1);
  QAction *ac = AddRadio(pmCoupling, g, QStringLiteral("AC"), current == 0);
  QAction *gnd = AddRadio(pmCoupling, g, QStringLiteral("Ground"), false);
  gnd->setEnabled(false);
  connect(dc, &QAction::triggered, this, [this, channel] { ChooseCoupling(channel, 1); });
  connect(ac, &QAction::triggered, this, [this, channel] { ChooseCoupling(channel, 0); });
  PopupBelow(pmCoupling, Ch(channel).stCoupling);
}

void TfrmAnalog::ChooseCoupling(char channel, int coupling) {
  Change(
      [&] { (channel == 'B' ? R.CouplingChB : R.CouplingChA) = static_cast<uint8_t>(coupling); });
  UpdateControls();
  R.ConfigApplied = 0;
}

void TfrmAnalog::ShowProbeMenu(char channel) {
  fMenuChannel = channel;
  pmProbe->clear();
  QActionGroup *g = NewGroup(pmProbe);
  const int32_t current = channel == 'B' ? R.ProbeChB : R.ProbeChA;
  for (int i = 0; i < 3; ++i) {
    QAction *a = AddRadio(pmProbe, g, QString::fromLatin1(R.Probes[i].Caption), i == current);
    connect(a, &QAction::triggered, this, [this, channel, i] { ChooseProbe(channel, i); });
  }
  PopupBelow(pmProbe, Ch(channel).stProbe);
}

void TfrmAnalog::ChooseProbe(char channel, int item) {
  int32_t &probe = channel == 'B' ? R.ProbeChB : R.ProbeChA;
  if (item < 0 || item > 2 || probe == item) return;
  Change([&] { probe = item; });
  (channel == 'B' ? DisplayA->DataValidB : DisplayA->DataValidA) = false;
  // The statistics carry the probe's divider.
  ComputeAnalogStats(R);
  UpdateStatus();
  UpdateDisplay();
  UpdateControls();
  UpdateStatus();
}

void TfrmAnalog::ToggleInvert(char channel) {
  bool &invert = channel == 'B' ? R.InvertChB : R.InvertChA;
  invert = !invert;
  UpdateControls();
  DisplayA->InvertA = R.InvertChA;
  DisplayA->InvertB = R.InvertChB;
  UpdateDisplay();
}

void TfrmAnalog::ToggleOnOff(char channel) {
  bool &enabled = channel == 'B' ? R.EnabledChB : R.EnabledChA;
  Change([&] { enabled = !enabled; });
  UpdateControls();
  if (!R.Capturing) UpdateDisplay();
}

void TfrmAnalog::ChooseColor(char channel) {
  uint32_t &color = channel == 'B' ? R.Colors.AnalogChB : R.Colors.AnalogChA;
  uint32_t chosen = color;
  if (!ColorDlg(this, chosen)) return;
  color = chosen;
  UpdateDisplay();
  UpdateStatus();
  UpdateControls();
  (channel == 'B' ? pChRulB : pChRulA)->SetTextColor(chosen);
}

void TfrmAnalog::SetPosition(char channel, int position) {
  (channel == 'B' ? DisplayA->PositionB : DisplayA->PositionA) = -position;
  UpdateDisplay();
  UpdateControls();
  UpdateStatus();
}

void TfrmAnalog::ShowRefMenu(char channel) {
  fMenuChannel = channel;
  pmRefChannel->clear();
  QActionGroup *g = NewGroup(pmRefChannel);
  const bool exists = !(channel == 'B' ? R.RefSamplesB : R.RefSamplesA).empty();
  const bool on = channel == 'B' ? R.EnabledChRB : R.EnabledChRA;
  QAction *aOn = AddRadio(pmRefChannel, g, QStringLiteral("On"), exists && on);
  QAction *aOff = AddRadio(pmRefChannel, g, QStringLiteral("Off"), !exists || !on);
  aOn->setEnabled(exists);
  aOff->setEnabled(exists);
  pmRefChannel->addSeparator();
  QAction *save = pmRefChannel->addAction(QStringLiteral("Save"));
  connect(aOn, &QAction::triggered, this, [this, channel] { ChooseReference(channel, true); });
  connect(aOff, &QAction::triggered, this, [this, channel] { ChooseReference(channel, false); });
  connect(save, &QAction::triggered, this, [this, channel] { SaveReference(channel); });
  PopupBelow(pmRefChannel, Ch(channel).stRef);
}

void TfrmAnalog::ChooseReference(char channel, bool on) {
  (channel == 'B' ? R.EnabledChRB : R.EnabledChRA) = on;
  UpdateControls();
  UpdateDisplay();
}

void TfrmAnalog::SaveReference(char channel) {
  const std::vector<float> &live = channel == 'B' ? R.SamplesB : R.SamplesA;
  std::vector<float> &ref = channel == 'B' ? R.RefSamplesB : R.RefSamplesA;
  if (live.empty()) return;
  if (ref.size() != R.BufferCapacity) ref.assign(R.BufferCapacity, 0.0f);
  std::copy_n(live.begin(), std::min<size_t>(live.size(), ref.size()), ref.begin());
  TakeCapture();
  DisplayA->ShowRefA = R.EnabledChRA && R.EnabledChA;
  DisplayA->ShowRefB = R.EnabledChRB && R.EnabledChB;
  UpdateDisplay();
}

// --- Trigger panel ---

void TfrmAnalog::ShowTriggerSrcMenu() {
  pmTriggerSrc->clear();
  QActionGroup *g = NewGroup(pmTriggerSrc);
  static const char *const kItems[] = {"Channel A", "Channel B", "External"};
  for (int i = 0; i < 3; ++i) {
    QAction *a = AddRadio(pmTriggerSrc, g, QString::fromLatin1(kItems[i]), R.TriggerSource == i);
    if (i == 1) a->setEnabled(ChannelBUsable());
    if (i == 2) a->setEnabled(R.HasChannelB && R.ExtTrigMode == 0);
    connect(a, &QAction::triggered, this, [this, i] { ChooseTriggerSource(i); });
  }
  PopupBelow(pmTriggerSrc, stTriggerSrc);
}

void TfrmAnalog::ChooseTriggerSource(int source) {
  if (source < 0 || source > 2) return;
  Change([&] { R.TriggerSource = static_cast<uint8_t>(source); });
  UpdateControls();
  UpdateDisplay();
  R.ConfigApplied = 0;
}

void TfrmAnalog::ShowTriggerEdgeMenu() {
  pmTriggerEdge->clear();
  QActionGroup *g = NewGroup(pmTriggerEdge);
  QAction *rising = AddRadio(pmTriggerEdge, g, QStringLiteral("Rising"), R.AnalogEdgeType == 0);
  QAction *falling = AddRadio(pmTriggerEdge, g, QStringLiteral("Falling"), R.AnalogEdgeType == 1);
  connect(rising, &QAction::triggered, this, [this] { ChooseTriggerEdge(0); });
  connect(falling, &QAction::triggered, this, [this] { ChooseTriggerEdge(1); });
  PopupBelow(pmTriggerEdge, stTriggerEdge);
}

void TfrmAnalog::ChooseTriggerEdge(int edge) {
  Change([&] { R.AnalogEdgeType = static_cast<uint8_t>(edge != 0); });
  UpdateControls();
  R.ConfigApplied = 0;
}

void TfrmAnalog::ShowTriggerTypeMenu() {
  pmTriggerType->clear();
  QActionGroup *g = NewGroup(pmTriggerType);
  static const char *const kItems[] = {"Single", "Repeat", "Auto"};
  for (int i = 0; i < 3; ++i) {
    QAction *a = AddRadio(pmTriggerType, g, QString::fromLatin1(kItems[i]), R.TriggerType == i);
    connect(a, &QAction::triggered, this, [this, i] { ChooseTriggerType(i); });
  }
  PopupBelow(pmTriggerType, stTriggerType);
}

void TfrmAnalog::ChooseTriggerType(int type) {
  // The capture mode cannot change under a running worker.
  if (type < 0 || type > 2 || R.Capturing || R.AutosetRunning) return;
  R.TriggerType = static_cast<uint8_t>(type);
  if (R.HasAnalog()) UpdateControls();
  if (R.HasDigital() && Links.LogicRefresh) Links.LogicRefresh();
}

void TfrmAnalog::SetThreshold(int level) {
  const int32_t h = HalfRange();
  level = std::clamp(level, -(h - 1), h - 1);
  Change([&] { R.AnalogThreshold = level; });
  DisplayA->TriggerLevel = level;
  R.ThresholdApplied = 0;
  UpdateDisplay();
  UpdateControls();
  UpdateStatus();
}

void TfrmAnalog::ShowClockMenu() {
  pmClock->clear();
  QActionGroup *g = NewGroup(pmClock);
  const int32_t count = R.Lib.GetClockItems ? R.Lib.GetClockItems(0x100) : 0;
  bool interpreters = false;
  if (R.ModelCode == 2 || R.ModelCode == 3)
    for (uint32_t w : R.ChConfig)
      if ((w & kChKindMask) == kChIntp) interpreters = true;
  for (int32_t i = 0; i < count; ++i) {
    const double f = R.Lib.GetClockItems(0x200 + i);
    const QString text = FormatFrequency(f) + QStringLiteral("\t(max ") +
                         FormatTime(f > 0 ? R.BuffLength / f : 0) + QStringLiteral(")");
    QAction *a = AddRadio(pmClock, g, text, i == R.SamplingRate);
    if (interpreters && R.Lib.GetClockItems(0x1000 + i) != 1) a->setEnabled(false);
    connect(a, &QAction::triggered, this, [this, i] { ChooseClock(i); });
  }
  PopupBelow(pmClock, stClock);
}

bool TfrmAnalog::ChooseClock(int item) {
  const int32_t count = R.Lib.GetClockItems ? R.Lib.GetClockItems(0x100) : 0;
  if (item < 0 || item >= count) return false;
  const int32_t current = R.SamplingRate;
  // The same clock again changes nothing (and keeps the capture valid).
  if (item == current) return true;
  if (R.Lib.GetClockItems(0x1000 + item) != 1) {
    const int32_t n = R.Lib.GetClockItems(0x800 + item);
    bool warn = false;
    if (Links.LogicVisible && Links.LogicVisible() &&
        (R.EdgeChannel > n - 1 || R.EdgeCounterCh > n - 1))
      warn = true;
    if (isVisible() && R.Lib.GetClockItems(0x400 + item) == 0 && R.TriggerSource == 1) warn = true;
    if (warn && R.Ui &&
        !R.Ui->AskOkCancel(QStringLiteral("Selection of this sampling frequency will reduce count "
                                          "of available channels\nand may change or disable some "
                                          "of options.\n\nPress OK to continue."),
                           QStringLiteral("Warning"), TMessageIcon::Warning))
      return false;
  }
  const bool analogAffected = R.ClockAffectsChannelB(current, item);
  const bool digitalAffected = R.ClockAffectsDigitalChannels(current, item);
  Change([&] { R.SamplingRate = item; });
  ApplyClockChange(analogAffected, digitalAffected);
  R.ConfigApplied = 0;
  return true;
}

void TfrmAnalog::ShowMathMenu() {
  pmMath->clear();
  QActionGroup *g = NewGroup(pmMath);
  static const char *const kItems[] = {"Off", "A + B", "A - B", "B - A"};
  for (int i = 0; i < 4; ++i) {
    QAction *a = AddRadio(pmMath, g, QString::fromLatin1(kItems[i]), DisplayA->MathMode == i);
    connect(a, &QAction::triggered, this, [this, i] { ChooseMath(i); });
  }
  PopupBelow(pmMath, bMath);
}

void TfrmAnalog::ChooseMath(int mode) {
  DisplayA->MathMode = static_cast<uint8_t>(std::clamp(mode, 0, 3));
  SetMathPicture();
  UpdateDisplay();
}

// --- Zoom and scrolling ---

void TfrmAnalog::AfterZoom() {
  UpdateScrollBars();
  UpdateDisplay();
  UpdateStatus();
}

void TfrmAnalog::ZoomInX() {
  ViewToDisplay();
  fView.ZoomInX();
  AfterZoom();
}

void TfrmAnalog::ZoomOutX() {
  ViewToDisplay();
  fView.ZoomOutX();
  AfterZoom();
}

void TfrmAnalog::ZoomInY() {
  ViewToDisplay();
  fView.ZoomInY();
  AfterZoom();
}

void TfrmAnalog::ZoomOutY() {
  ViewToDisplay();
  fView.ZoomOutY();
  AfterZoom();
}

void TfrmAnalog::ZoomXY() {
  ViewToDisplay();
  if (DisplayA->CursorXPos == DisplayA->CursorYPos) return;
  fView.ZoomXY(DisplayA->CursorXPos, DisplayA->CursorYPos);
  AfterZoom();
}

void TfrmAnalog::ZoomAll() {
  ViewToDisplay();
  fView.ZoomAll();
  AfterZoom();
}

void TfrmAnalog::ZoomPrevious() {
  ViewToDisplay();
  if (!fView.ZoomPrevious()) return;
  AfterZoom();
}

void TfrmAnalog::Zoom11() {
  ViewToDisplay();
  fView.Zoom11(DisplayA->GetDisplayWidth());
  AfterZoom();
}

void TfrmAnalog::JumpTo(char cursor) {
  ViewToDisplay();
  int64_t position = DisplayA->TriggerPos;
  if (cursor == 'X') position = DisplayA->CursorXPos;
  if (cursor == 'Y') position = DisplayA->CursorYPos;
  if (cursor == 'Z') position = DisplayA->CursorZPos;
  fView.JumpTo(position);
  UpdateScrollBars();
  UpdateDisplay();
}

void TfrmAnalog::ScrollTo(int firstSample) {
  ViewToDisplay();
  fView.ScrollX(firstSample);
  if (fView.FirstSample() != firstSample) UpdateScrollBars();
  UpdateDisplay();
}

void TfrmAnalog::ScrollYTo(int offsetY) {
  ViewToDisplay();
  fView.ScrollY(offsetY);
  UpdateDisplay();
}

// --- Cursors and readouts ---

void TfrmAnalog::PlotMouseDown(Qt::MouseButtons button, Qt::KeyboardModifiers mods, int x, int y) {
  TAnalogData &d = *DisplayA;
  if (d.PixelsPerSample <= 0 || d.PixelsPerCode <= 0 || R.BuffLength == 0) return;
  const bool shift = mods & Qt::ShiftModifier;
  const int64_t pos = std::clamp<int64_t>(RoundHalfUp(x / d.PixelsPerSample) + d.FirstSample, 0,
                                          static_cast<int64_t>(R.BuffLength) - 1);
  const int64_t half = RoundHalfUp(d.GetDisplayHeight() * 0.5);
  const int32_t level = static_cast<int32_t>(RoundHalfUp((half - y) / d.PixelsPerCode - d.OffsetY));
  if (button == Qt::LeftButton && !shift) {
    d.CursorXEn = true;
    d.CursorXPos = static_cast<uint32_t>(pos);
    d.CursorXLevel = level;
  } else if (button == Qt::RightButton && !shift) {
    d.CursorYEn = true;
    d.CursorYPos = static_cast<uint32_t>(pos);
    d.CursorYLevel = level;
  } else if (button == Qt::MiddleButton || (button == Qt::LeftButton && shift)) {
    d.CursorZEn = true;
    d.CursorZPos = static_cast<uint32_t>(pos);
    d.CursorZLevel = level;
  } else {
    return;
  }
  R.CursorPos[0][1] = d.CursorXPos;
  R.CursorPos[0][2] = d.CursorYPos;
  R.CursorPos[0][3] = d.CursorZPos;
  UpdateDisplay();
  UpdateStatus();
}

void TfrmAnalog::RulerMouseDown(Qt::MouseButtons button, Qt::KeyboardModifiers mods) {
  TAnalogData &d = *DisplayA;
  const bool shift = mods & Qt::ShiftModifier;
  if (button == Qt::LeftButton && !shift) {
    d.CursorXEn = false;
    d.CursorXPos = 0;
    d.CursorXLevel = 0;
  } else if (button == Qt::RightButton && !shift) {
    d.CursorYEn = false;
    d.CursorYPos = 0;
    d.CursorYLevel = 0;
  } else if (button == Qt::MiddleButton || (button == Qt::LeftButton && shift)) {
    d.CursorZEn = false;
    d.CursorZPos = 0;
    d.CursorZLevel = 0;
  } else {
    return;
  }
  UpdateDisplay();
  UpdateStatus();
}

void TfrmAnalog::CyclePosCursor() {
  static const char kOrder[] = "TXYZ";
  const char *p = std::strchr(kOrder, PosCursor);
  PosCursor = p && p[1] ? p[1] : 'T';
  UpdateStatus();
}

void TfrmAnalog::CycleDistCursor(int dist, int which) {
  static const char kOrder[] = "XYZT";
  char &letter = which == 0 ? DistFrom[dist] : DistTo[dist];
  const char other = which == 0 ? DistTo[dist] : DistFrom[dist];
  for (int step = 0; step < 2; ++step) {
    const char *p = std::strchr(kOrder, letter);
    letter = p && p[1] ? p[1] : 'X';
    if (letter != other) break;
  }
  UpdateStatus();
}

void TfrmAnalog::CycleDistChannel(int dist) {
  DistChannel[dist] = DistChannel[dist] == 'A' && ChannelBUsable() ? 'B' : 'A';
  UpdateStatus();
}

void TfrmAnalog::CycleDistMode(int dist) {
  static const char kOrder[] = "tsfV";
  const char *p = std::strchr(kOrder, DistMode[dist]);
  DistMode[dist] = p && p[1] ? p[1] : 't';
  UpdateStatus();
}

void TfrmAnalog::CycleMeasChannel(int meas) {
  MeasChannel[meas] = MeasChannel[meas] == 'A' && ChannelBUsable() ? 'B' : 'A';
  UpdateStatus();
  UpdateDisplay();
}

void TfrmAnalog::CycleMeasType(int meas) {
  static const char kOrder[] = "FPARK";
  const char *p = std::strchr(kOrder, MeasType[meas]);
  MeasType[meas] = p && p[1] ? p[1] : 'F';
  UpdateStatus();
  UpdateDisplay();
}

void TfrmAnalog::ToggleOverlay() {
  ShowOverlay = !ShowOverlay;
  UpdateDisplay();
}

void TfrmAnalog::ToggleCaptureRate() {
  R.ShowCaptureRate = !R.ShowCaptureRate;
  if (R.ShowCaptureRate) {
    R.CaptureCount = 0;
    Timer->start();
  } else {
    Timer->stop();
  }
  UpdateStatus();
}

// --- Files ---

void TfrmAnalog::ShowFileMenu() {
  pmFile->clear();
  connect(pmFile->addAction(QStringLiteral("Open file")), &QAction::triggered, this,
          [this] { OpenFileClick(); });
  connect(pmFile->addAction(QStringLiteral("Save file")), &QAction::triggered, this,
          [this] { SaveFileClick(false); });
  QAction *quick = pmFile->addAction(QStringLiteral("Quick save file"));
  quick->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
  quick->setToolTip(QStringLiteral("Saves a file with last settings"));
  connect(quick, &QAction::triggered, this, [this] { SaveFileClick(true); });
  pmFile->addSeparator();
  QAction *onExit = pmFile->addAction(QStringLiteral("Save settings on exit"));
  onExit->setCheckable(true);
  onExit->setChecked(R.SaveSettingsOnExit);
  connect(onExit, &QAction::triggered, this,
          [this] { R.SaveSettingsOnExit = !R.SaveSettingsOnExit; });
  PopupBelow(pmFile, bFile);
}

void TfrmAnalog::OpenFileClick() {
  const QStringList filters = {QStringLiteral("Project and settings files (*.prj *.set)"),
                               QStringLiteral("Project file (*.prj)"),
                               QStringLiteral("Settings file (*.set)"),
                               QStringLiteral("All files (*)")};
  int filter = std::clamp(R.LastOpenFileType - 1, 0, 3);
  const QString path =
      OpenFileDlg(this, QStringLiteral("Open file"), R.LastOpenFileName, filters, filter);
  if (path.isEmpty()) return;
  R.LastOpenFileName = path;
  R.LastOpenFileType = filter + 1;
  OpenFile(path);
}

bool TfrmAnalog::OpenFile(const QString &path) {
  if (R.Capturing || R.AutosetRunning) {
    // Loading replaces settings and samples a running worker is using.
    ShowStatusText(QStringLiteral("Stop the capture before opening a file."));
    return false;
  }
  R.SetStatus("");
  const bool ok = LoadFile(R, path);
  if (ok) {
    if (R.Status().isEmpty())
      R.SetStatus(QStringLiteral("'%1' loaded.").arg(QFileInfo(path).fileName()));
    R.ConfigApplied = 0;
    R.ThresholdApplied = 0;
  }
  ShowStatusText(R.Status());
  if (R.HasAnalog()) {
    Layout();
    InitDisplay();
    TakeCapture();
    if (ok) DisplayA->DataValidA = DisplayA->DataValidB = true;
    UpdateControls();
    UpdateScrollBars();
    UpdateDisplay();
    UpdateStatus();
  }
  if (R.HasDigital() && Links.FileLoaded) Links.FileLoaded();
  return ok;
}

bool TfrmAnalog::SaveScreenshot(const QString &path) {
  const QImage image = grab().toImage();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "BMP") || !file.commit()) {
    R.SetStatus("Could not save file.");
    return false;
  }
  return true;
}

void TfrmAnalog::SaveFileClick(bool quick) {
  const QString before = lMessage->text();
  ShowStatusText(QStringLiteral("Saving a file..."));
  int filter = -1;
  QString name;
  if (quick && !R.LastSaveFileName.isEmpty()) {
    for (int i = 0; i < kSaveFilterCount; ++i)
      if (kSaveFilters[i].Kind == R.LastFileKind) filter = i;
    if (filter >= 0) name = R.LastSaveFileName;
  }
  if (name.isEmpty()) {
    QStringList filters;
    for (const TSaveFilter &f : kSaveFilters)
      filters << QString::fromLatin1(f.Filter);
    filter = std::clamp(R.LastSaveFileType - 1, 0, kSaveFilterCount - 1);
    name = SaveFileDlg(this, QStringLiteral("Save file"), R.LastSaveFileName, filters, filter);
    if (name.isEmpty()) {
      ShowStatusText(before);
      return;
    }
    filter = std::clamp(filter, 0, kSaveFilterCount - 1);
    const QFileInfo fi(name);
    name = fi.path() + QLatin1Char('/') + fi.completeBaseName() +
           QString::fromLatin1(kSaveFilters[filter].Ext);
  }
  const TSaveFilter &f = kSaveFilters[filter];
  R.LastFileKind = f.Kind;
  R.FileName = name;
  const bool ok = f.Kind == kFileScreenAnalog ? SaveScreenshot(name) : SaveFile(R);
  if (ok) {
    R.LastSaveFileName = name;
    R.LastSaveFileType = filter + 1;
    R.SetStatus(QString::fromLatin1(f.Saved) + QLatin1Char('\'') + QFileInfo(name).fileName() +
                QStringLiteral("' saved."));
  } else {
    R.SetStatus("File not saved.");
  }
  ShowStatusText(R.Status());
}

// --- Help and the multimeter panel ---

void TfrmAnalog::HelpClick() {
  const QString path = R.AppFolder + QStringLiteral("Help/VELKen.pdf");
  if (!QFileInfo::exists(path)) {
    ShowStatusText(QStringLiteral("Help file not found."));
    return;
  }
  if (!OpenDocument || !OpenDocument(path))
    ShowStatusText(QStringLiteral("Could not open the help file."));
}

void TfrmAnalog::MultimeterClick() {
  if (!fMeterPanel.IsBound()) return;
  if (fMeterPanel.IsVisible()) {
    fMeterPanel.Visible(false);
  } else {
    fMeterPanel.Update(MultimeterRecord(R, fMeterHalfRange, fMeterChannelB));
    fMeterPanel.Visible(true);
  }
}
