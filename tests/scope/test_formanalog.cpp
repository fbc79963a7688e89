// The oscilloscope window on an emulated Dorian: what its panels show, what its
// menus and keys change in the record, and a real capture presented through the
// shared capture control.
#include "formanalog.h"
#include "uicall.h"

#include "dialoghooks.h"
#include "format.h"
#include "measure.h"
#include "startup.h"
#include "ui.h"
#include "velkemu.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMetaObject>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct TRecordingUi : TUserInterface {
  std::vector<std::string> Messages; // "caption: text"
  bool Answer = true;
  int Questions = 0;
  void ShowMessage(const QString &text, const QString &caption, TMessageIcon) override {
    Messages.push_back((caption + QStringLiteral(": ") + text).toStdString());
  }
  bool AskOkCancel(const QString &text, const QString &caption, TMessageIcon) override {
    ++Questions;
    Messages.push_back((caption + QStringLiteral(": ") + text).toStdString());
    return Answer;
  }
  int SelectDevice(const QString &, const QString &, const QStringList &) override { return 0; }
};

// The shared handlers as the shell provides them: here they count the presses,
// or, with Control set, drive the real capture control and pass its
// notifications to the window on this thread.
struct TTestShell : TCaptureCommands, TCaptureObserver {
  TVELK *R = nullptr;
  TfrmAnalog *Window = nullptr;
  std::unique_ptr<TCaptureControl> Control;
  int Captures = 0, Stops = 0, Triggers = 0, Autosets = 0, Quits = 0;
  bool QuitAnswer = false;

  void CaptureClick(TCaptureControl::TSender sender) override {
    ++Captures;
    if (!Control) return;
    Window->LockControlsForCapture(true);
    Control->Capture(sender);
  }
  void StopClick() override {
    ++Stops;
    if (Control) Control->Stop();
  }
  void TriggerClick() override { ++Triggers; }
  void AutosetClick() override { ++Autosets; }
  bool Busy() const override { return Control && Control->Busy(); }
  bool AskQuit() override { return QuitAnswer; }
  void Quit() override { ++Quits; }

  // As the shell does: a call the thread sanitizer can follow.
  TUiCaller Caller;
  void OnUiThread(const std::function<void()> &fn) override { Caller.Call(fn); }
  void ShowStatus() override { Window->ShowStatusText(R->Status()); }
  void PreTriggerFilled() override { Window->EnableForceTrigger(true); }
  void TriggerSeen() override { Window->EnableForceTrigger(false); }
  void PresentCapture() override { Window->PresentCapture(); }
  void CaptureFinished() override { Window->LockControlsForCapture(false); }
  void ControlsLocked(bool locked) override { Window->LockControlsForCapture(locked); }
};

class AnalogWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(home.isValid());
    setenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit().constData(), 1);
    QDir().mkpath(home.filePath("run"));
    setenv("XDG_RUNTIME_DIR", home.filePath("run").toLocal8Bit().constData(), 1);
    setenv("VELK_D2XX_LIBRARY", VELK_TEST_EMULATOR, 1);
    velkemu_set_speed(1);
    velkemu_set_noise(0);
  }
  void TearDown() override {
    DialogHooks() = TDialogHooks();
    window.reset();
    shell.Control.reset();
    if (startup) startup->Shutdown(false);
  }
  TVELK &Open(const char *inputs = "A=sine:10000:1500,B=square:5000:800") {
    velkemu_reset("Dorian");
    velkemu_set_signals(inputs);
    TStartupOptions options;
    options.AppFolder = QStringLiteral(VELK_TEST_BIN_DIR "/");
    options.InstallRecordFolder = home.filePath("etc");
    startup = std::make_unique<TStartup>(&ui, options);
    EXPECT_TRUE(startup->Init());
    TVELK &r = *startup->Record();
    r.BuffLength = 4096;
    r.TriggerAt = 2048;
    r.CaptureDelay = 0;
    r.TriggerBeep = 0;
    r.TriggerType = 0;
    r.SamplingRate = Clock(r, 1000000);
    r.EnabledChA = r.EnabledChB = true;
    shell.R = &r;
    window = std::make_unique<TfrmAnalog>(r, shell);
    shell.Window = window.get();
    return r;
  }
  void Show() {
    window->PrepareShow();
    window->show();
    window->RefreshAll();
  }
  static int Clock(TVELK &r, int hz) {
    for (int i = 0; i < r.Lib.GetClockItems(0x100); ++i)
      if (r.Lib.GetClockItems(0x200 + i) == hz) return i;
    ADD_FAILURE() << "no clock of " << hz << " Hz";
    return 0;
  }
  // The gain item of a scale in millivolts per division.
  static int Gain(TVELK &r, int mvPerDivision) {
    for (int i = 0; i < r.Lib.GetGainItems(0x100); ++i)
      if (r.Lib.GetGainItems(0x200 + i) == mvPerDivision * 5) return i;
    ADD_FAILURE() << "no gain of " << mvPerDivision << " mV per division";
    return 0;
  }
  static QAction *Checked(QMenu *menu) {
    for (QAction *a : menu->actions())
      if (a->isChecked()) return a;
    return nullptr;
  }
  static QAction *Item(QMenu *menu, const QString &text) {
    for (QAction *a : menu->actions())
      if (a->text() == text) return a;
    return nullptr;
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(window->DisplayA, static_cast<Qt::Key>(key), mods);
  }

  QTemporaryDir home;
  TRecordingUi ui;
  TTestShell shell;
  std::unique_ptr<TStartup> startup;
  std::unique_ptr<TfrmAnalog> window;
};

TEST_F(AnalogWindowTest, PanelsShowTheRecord) {
  TVELK &r = Open();
  r.GainChA = 2;
  r.CouplingChA = 1;
  r.CouplingChB = 0;
  r.ProbeChB = 1;
  r.InvertChA = true;
  r.EnabledChB = false;
  r.TriggerType = 1;
  r.TriggerSource = 2;
  r.AnalogEdgeType = 1;
  Show();
  const double hs = r.Lib.GetGainItems(0x200 + 2);
  EXPECT_EQ(window->ChA.stGain->Caption(), FormatVoltage(r, -1, hs * 0.2));
  const double hsB = r.Lib.GetGainItems(0x200 + r.GainChB) * r.Probes[1].Divider;
  EXPECT_EQ(window->ChB.stGain->Caption(), FormatVoltage(r, -1, hsB * 0.2));
  EXPECT_EQ(window->ChA.stCoupling->Caption(), "DC");
  EXPECT_EQ(window->ChB.stCoupling->Caption(), "AC");
  EXPECT_EQ(window->ChB.stProbe->Caption(), QString::fromLatin1(r.Probes[1].Caption));
  EXPECT_EQ(window->ChA.stInvert->Color(), 0x000000u) << "INV highlighted";
  EXPECT_EQ(window->ChB.stInvert->Color(), 0xE1FFFFu);
  EXPECT_EQ(window->ChA.stOnOff->Caption(), "ON");
  EXPECT_EQ(window->ChB.stOnOff->Caption(), "OFF");
  window->stTriggerSrc->OnClick();
  ASSERT_NE(Item(window->pmTriggerSrc, "External"), nullptr);
  EXPECT_TRUE(Item(window->pmTriggerSrc, "External")->isChecked());
  EXPECT_EQ(window->stClock->Caption(), FormatFrequency(1000000));
  EXPECT_EQ(window->stTriggerType->Caption(), "REPEAT");
  EXPECT_EQ(window->stTriggerSrc->Caption(), "EXTERNAL");
  EXPECT_EQ(window->stTriggerEdge->Caption(), "FALLING");
  EXPECT_EQ(window->stThresholdVal->Caption(), "-");
  EXPECT_FALSE(window->sbThreshold->isEnabled()) << "no level for an external trigger";
  EXPECT_EQ(window->peButtonsBack->Caption(), QString::fromLatin1(r.DeviceDescription));
  EXPECT_EQ(window->pBufferSize->Caption(), "4096");
  EXPECT_EQ(window->pBufferLabel->Caption(), "Buffer");
  EXPECT_FALSE(window->DisplayA->ShowB);
  EXPECT_EQ(window->DisplayA->SampleCount, 4096u);

  window->SetCaption(QStringLiteral("Analog (Dorian) - DEMO"));
  EXPECT_EQ(window->windowTitle(), "Analog (Dorian) - DEMO");
  EXPECT_EQ(window->Caption(), "Analog (Dorian) - DEMO");
}

TEST_F(AnalogWindowTest, GainMenuChangesTheRecordAndMarksTheTraceOnlyForANewGain) {
  TVELK &r = Open();
  r.GainChA = 3;
  Show();
  window->ChA.stGain->OnClick();
  QMenu *menu = window->pmGain;
  ASSERT_EQ(menu->actions().size(), r.Lib.GetGainItems(0x100));
  ASSERT_NE(Checked(menu), nullptr);
  EXPECT_EQ(menu->actions().indexOf(Checked(menu)), 3);

  // The item already checked: nothing changes.
  r.ConfigApplied = 1;
  Checked(menu)->trigger();
  EXPECT_EQ(r.GainChA, 3);
  EXPECT_EQ(r.ConfigApplied, 1);
  EXPECT_TRUE(window->DataValidA());

  menu->actions().at(5)->trigger();
  EXPECT_EQ(r.GainChA, 5);
  EXPECT_EQ(r.ConfigApplied, 0) << "a running capture sends the new gain";
  EXPECT_FALSE(window->DataValidA()) << "the trace was taken with another gain";
  EXPECT_TRUE(window->DataValidB());
  EXPECT_EQ(window->ChA.stGain->Caption(),
            FormatVoltage(r, -1, r.Lib.GetGainItems(0x200 + 5) * 0.2));
  window->ChA.stGain->OnClick();
  EXPECT_EQ(window->pmGain->actions().indexOf(Checked(window->pmGain)), 5) << "rebuilt at popup";
}

TEST_F(AnalogWindowTest, ACaptureTakenBeforeTheNewGainWasSentStaysDotted) {
  TVELK &r = Open();
  Show();
  window->ChooseGain('B', r.GainChB == 0 ? 1 : 0);
  ASSERT_EQ(r.ConfigApplied, 0);
  window->PresentCapture(); // a pass that began before the change
  EXPECT_TRUE(window->DataValidA());
  EXPECT_FALSE(window->DataValidB());
  r.ConfigApplied = 1; // the worker has sent the new gain
  window->PresentCapture();
  EXPECT_TRUE(window->DataValidB());
}

TEST_F(AnalogWindowTest, ReferenceIsACopyOfTheLiveTraceShownWhenSwitchedOn) {
  TVELK &r = Open();
  Show();
  window->ChA.stRef->OnClick();
  EXPECT_FALSE(Item(window->pmRefChannel, "On")->isEnabled()) << "nothing saved yet";
  EXPECT_TRUE(Item(window->pmRefChannel, "Off")->isChecked());
  std::fill(r.SamplesA.begin(), r.SamplesA.end(), 7.0f);
  Item(window->pmRefChannel, "Save")->trigger();
  ASSERT_EQ(r.RefSamplesA.size(), r.BufferCapacity);
  EXPECT_EQ(r.RefSamplesA.back(), 7.0f);
  EXPECT_EQ(window->DisplayA->RefDataA, r.RefSamplesA.data());
  std::fill(r.SamplesA.begin(), r.SamplesA.end(), 1.0f);
  EXPECT_EQ(r.RefSamplesA.front(), 7.0f) << "a copy, not the live buffer";
  window->ChA.stRef->OnClick();
  ASSERT_TRUE(Item(window->pmRefChannel, "On")->isEnabled());
  Item(window->pmRefChannel, "On")->trigger();
  EXPECT_TRUE(r.EnabledChRA);
  EXPECT_TRUE(window->DisplayA->ShowRefA);
  EXPECT_EQ(window->ChA.stRef->Color(), r.Colors.AnalogChRA);
}

TEST_F(AnalogWindowTest, ProbeChangeRecomputesTheStatisticsAndMarksTheTrace) {
  TVELK &r = Open();
  Show();
  std::fill(r.SamplesA.begin(), r.SamplesA.end(), 10.0f);
  window->RefreshAll();
  EXPECT_DOUBLE_EQ(r.StatsA.Mean, 10.0);
  window->ChA.stProbe->OnClick();
  ASSERT_EQ(window->pmProbe->actions().size(), 3);
  window->pmProbe->actions().at(1)->trigger();
  EXPECT_EQ(r.ProbeChA, 1);
  EXPECT_DOUBLE_EQ(r.StatsA.Mean, 10.0 * r.Probes[1].Divider);
  EXPECT_FALSE(window->DataValidA());
  EXPECT_TRUE(window->DataValidB());
  EXPECT_EQ(window->ChA.stProbe->Caption(), QString::fromLatin1(r.Probes[1].Caption));
}

TEST_F(AnalogWindowTest, SettingsChangedDuringACaptureAreHandedToTheWorker) {
  TVELK &r = Open();
  Show();
  struct TCase {
    const char *what;
    std::function<void()> change;
    std::function<bool()> changed;
    bool threshold;
  } cases[] = {
      {"coupling", [&] { window->ChooseCoupling('B', 1 - r.CouplingChB); }, nullptr, false},
      {"trigger source", [&] { window->ChooseTriggerSource(1); },
       [&] { return r.TriggerSource == 1; }, false},
      {"edge", [&] { window->ChooseTriggerEdge(1); }, [&] { return r.AnalogEdgeType == 1; }, false},
      {"level", [&] { window->sbThreshold->setValue(-40); },
       [&] { return r.AnalogThreshold == 40; }, true},
  };
  for (TCase &c : cases) {
    SCOPED_TRACE(c.what);
    r.ConfigApplied = 1;
    r.ThresholdApplied = 1;
    c.change();
    if (c.changed) {
      EXPECT_TRUE(c.changed());
    }
    EXPECT_EQ(c.threshold ? r.ThresholdApplied.load() : r.ConfigApplied.load(), 0);
  }
  EXPECT_EQ(window->stThresholdVal->Caption(), FormatVoltage(r, r.GainChB, 40));
}

TEST_F(AnalogWindowTest, ClockWarningCancelKeepsTheOldClock) {
  TVELK &r = Open();
  Show();
  // A clock that interleaves both converters into channel A.
  int interleaved = -1;
  for (int i = 0; i < r.Lib.GetClockItems(0x100); ++i)
    if (r.Lib.GetClockItems(0x1000 + i) != 1 && r.Lib.GetClockItems(0x400 + i) == 0)
      interleaved = i;
  ASSERT_GE(interleaved, 0);
  const int before = r.SamplingRate;

  r.TriggerSource = 1;
  ui.Answer = false;
  r.ConfigApplied = 1;
  EXPECT_FALSE(window->ChooseClock(interleaved));
  EXPECT_EQ(ui.Questions, 1);
  ASSERT_FALSE(ui.Messages.empty());
  EXPECT_EQ(
      ui.Messages.back().rfind("Warning: Selection of this sampling frequency will reduce", 0), 0u);
  EXPECT_EQ(r.SamplingRate, before);
  EXPECT_EQ(r.TriggerSource, 1);
  EXPECT_EQ(r.ConfigApplied, 1);
  EXPECT_TRUE(window->DataValidA());

  ui.Answer = true;
  EXPECT_TRUE(window->ChooseClock(interleaved));
  EXPECT_EQ(r.SamplingRate, interleaved);
  EXPECT_EQ(r.TriggerSource, 0) << "channel B is gone at this clock";
  EXPECT_EQ(r.ConfigApplied, 0);
  EXPECT_FALSE(window->DataValidA());
  EXPECT_FALSE(window->ChB.stGain->isEnabled());
  EXPECT_FALSE(window->bMath->isEnabled());
  window->stTriggerSrc->OnClick();
  ASSERT_NE(Item(window->pmTriggerSrc, "Channel B"), nullptr);
  EXPECT_FALSE(Item(window->pmTriggerSrc, "Channel B")->isEnabled());
  EXPECT_TRUE(Item(window->pmTriggerSrc, "Channel A")->isChecked());
  EXPECT_EQ(window->ChB.stOnOff->Caption(), "OFF");

  // Without channel B at stake there is no question.
  const int questions = ui.Questions;
  EXPECT_TRUE(window->ChooseClock(before));
  EXPECT_EQ(ui.Questions, questions);
  EXPECT_TRUE(window->ChB.stGain->isEnabled());
}

TEST_F(AnalogWindowTest, KeysRespectTheLocksOfTheirButtons) {
  TVELK &r = Open();
  bool logicShown = false;
  window->Links.LogicVisible = [] { return true; };
  window->Links.ShowLogic = [&] { logicShown = true; };
  int saveDialogs = 0;
  DialogHooks().SaveFile = [&](const QString &, const QString &, const QStringList &, int &) {
    ++saveDialogs;
    return QString();
  };
  Show();
  r.DeviceFeatures |= 0x02; // with a logic part, so bDigital is on
  window->PrepareShow();

  Key(Qt::Key_Return);
  EXPECT_EQ(shell.Captures, 1);
  Key(Qt::Key_Escape);
  Key(Qt::Key_Space);
  EXPECT_EQ(shell.Stops, 0) << "stop is disabled while idle";
  EXPECT_EQ(shell.Triggers, 0);

  window->LockControlsForCapture(true);
  r.Capturing = 1;
  Key(Qt::Key_Return);
  EXPECT_EQ(shell.Captures, 1) << "capture is locked";
  Key(Qt::Key_Space);
  EXPECT_EQ(shell.Triggers, 0) << "force trigger waits for the pre-trigger part";
  window->EnableForceTrigger(true);
  Key(Qt::Key_Space);
  EXPECT_EQ(shell.Triggers, 1);
  const uint8_t type = r.TriggerType;
  Key(Qt::Key_A);
  Key(Qt::Key_R);
  EXPECT_EQ(r.TriggerType, type) << "no trigger type change under a capture";
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(saveDialogs, 0) << "the file menu is locked";
  Key(Qt::Key_Escape);
  EXPECT_EQ(shell.Stops, 1);

  window->LockControlsForCapture(false);
  r.Capturing = 0;
  Key(Qt::Key_Space);
  EXPECT_EQ(shell.Triggers, 1) << "unlocking disables force trigger";
  Key(Qt::Key_A);
  EXPECT_EQ(r.TriggerType, 2);
  EXPECT_EQ(window->stTriggerType->Caption(), "AUTO");
  Key(Qt::Key_R);
  EXPECT_EQ(r.TriggerType, 1);
  Key(Qt::Key_S);
  EXPECT_EQ(r.TriggerType, 0);
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(saveDialogs, 1) << "quick save without a name asks for one";

  // Autoset locks the same way.
  r.AutosetRunning = 1;
  Key(Qt::Key_A);
  EXPECT_EQ(r.TriggerType, 0);
  r.AutosetRunning = 0;

  // Zoom keys on the keypad, jumps with Ctrl, Tab to the logic window.
  Key(Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(window->View().VisibleSamples(), 2048);
  EXPECT_EQ(window->View().FirstSample(), 1024);
  EXPECT_TRUE(window->imgZoomPrev->isEnabled());
  EXPECT_TRUE(window->ScrollBarX->isEnabled());
  EXPECT_EQ(window->ScrollBarX->value(), 1024);
  window->DisplayA->CursorXPos = 100;
  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(window->View().FirstSample(), 0) << "held at the start";
  Key(Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(window->View().FirstSample(), 2048 - 1024);
  Key(Qt::Key_Slash, Qt::KeypadModifier);
  EXPECT_EQ(window->View().VisibleSamples(), 4096);
  EXPECT_FALSE(window->imgZoomPrev->isEnabled());
  EXPECT_FALSE(window->ScrollBarX->isEnabled());
  Key(Qt::Key_Plus, Qt::KeypadModifier);
  r.BuffLength = 1024; // the configuration dialog's OK
  window->BufferLengthChanged();
  EXPECT_EQ(window->View().VisibleSamples(), 1024);
  EXPECT_FALSE(window->imgZoomPrev->isEnabled()) << "the history belongs to the old length";
  EXPECT_EQ(window->DisplayA->CursorXPos, 0u);
  Key(Qt::Key_Tab);
  EXPECT_TRUE(logicShown);
  EXPECT_EQ(r.ActiveWindow, 1);
}

TEST_F(AnalogWindowTest, MissingMultimeterLibraryDisablesItsButtonOnly) {
  TVELK &r = Open();
  QTemporaryDir empty;
  const QString folder = r.AppFolder;
  r.AppFolder = empty.path() + QLatin1Char('/');
  Show();
  EXPECT_FALSE(window->MeterPanelBound());
  EXPECT_FALSE(window->bMultimeter->isEnabled());
  ASSERT_EQ(ui.Messages.size(), 1u);
  EXPECT_EQ(ui.Messages[0].rfind("Error: Missing library 'libpimbra.so'.", 0), 0u);
  EXPECT_TRUE(window->isVisible());
  r.AppFolder = folder;
}

TEST_F(AnalogWindowTest, SavedProjectOpensAgainWithItsSettings) {
  TVELK &r = Open();
  Show();
  const QString base = home.filePath("scope");
  DialogHooks().SaveFile = [&](const QString &, const QString &, const QStringList &filters,
                               int &filter) {
    EXPECT_EQ(filters.size(), 5);
    filter = 0;
    return base + QStringLiteral(".txt"); // the filter's extension replaces it
  };
  r.GainChA = 4;
  window->SaveFileClick(false);
  EXPECT_EQ(window->lMessage->text(), "Project file 'scope.prj' saved.");
  EXPECT_TRUE(QFileInfo::exists(base + ".prj"));
  EXPECT_EQ(r.LastSaveFileName, base + ".prj");
  // Quick save reuses the name and kind without a dialog.
  int dialogs = 0;
  auto dialog = DialogHooks().SaveFile;
  DialogHooks().SaveFile = [&](const QString &, const QString &, const QStringList &, int &) {
    ++dialogs;
    return QString();
  };
  window->lMessage->clear();
  window->SaveFileClick(true);
  EXPECT_EQ(window->lMessage->text(), "Project file 'scope.prj' saved.");
  EXPECT_EQ(dialogs, 0);
  DialogHooks().SaveFile = dialog;

  r.GainChA = 1;
  DialogHooks().OpenFile = [&](const QString &, const QString &path, const QStringList &, int &) {
    return path;
  };
  r.LastOpenFileName = base + ".prj";
  window->OpenFileClick();
  EXPECT_EQ(window->lMessage->text(), "'scope.prj' loaded.");
  EXPECT_EQ(r.GainChA, 4);
  EXPECT_EQ(window->ChA.stGain->Caption(),
            FormatVoltage(r, -1, r.Lib.GetGainItems(0x200 + 4) * 0.2));

  // A file that cannot be read leaves the settings.
  EXPECT_FALSE(window->OpenFile(home.filePath("missing.prj")));
  EXPECT_EQ(window->lMessage->text(), "Could not open file.");
  EXPECT_EQ(r.GainChA, 4);
}

TEST_F(AnalogWindowTest, PresentedCaptureIsLentAgainAndDrawnSolid) {
  TVELK &r = Open("A=sine:2000:1500,B=square:5000:400:200");
  shell.Control = std::make_unique<TCaptureControl>(r, shell);
  r.GainChA = Gain(r, 200);
  r.GainChB = Gain(r, 200);
  Show();
  window->ChooseGain('A', Gain(r, 500)); // a capture of the old settings is not valid
  ASSERT_FALSE(window->DataValidA());
  const float *before = r.SamplesA.data();
  ASSERT_EQ(window->DisplayA->DataA, before);

  window->bCapture->Click();
  EXPECT_FALSE(window->bCapture->isEnabled()) << "locked until the capture ends";
  shell.Control->Wait();
  ASSERT_EQ(r.Capturing, 0);
  EXPECT_NE(r.SamplesA.data(), before) << "the worker's buffer was swapped in";
  EXPECT_EQ(window->DisplayA->DataA, r.SamplesA.data());
  EXPECT_EQ(window->DisplayA->DataB, r.SamplesB.data());
  EXPECT_TRUE(window->DataValidA());
  EXPECT_TRUE(window->DataValidB());
  EXPECT_TRUE(window->bCapture->isEnabled());
  EXPECT_FALSE(window->bStop->isEnabled());
  EXPECT_GT(r.StatsA.Freq, 0.0);
  EXPECT_EQ(window->pMeasVal[0]->Caption(), MeasurementText(r, 'A', 'F'));

  const QImage shot = window->grab().toImage();
  if (const char *dir = std::getenv("VELK_SCREENSHOT_DIR"))
    shot.save(QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("analog.png")));
  // Channel A's colour is drawn across the plot.
  const QRect plot = window->DisplayA->geometry().translated(window->pWindow->pos());
  const QColor a = FromBGR(r.Colors.AnalogChA);
  int columns = 0;
  for (int x = plot.left() + 20; x < plot.right() - 20; x += 10) {
    for (int y = plot.top(); y < plot.bottom(); ++y)
      if (shot.pixelColor(x, y) == a) {
        ++columns;
        break;
      }
  }
  EXPECT_GT(columns, (plot.width() - 40) / 10 * 9 / 10);
}

TEST_F(AnalogWindowTest, CloseAsksTheSharedQuitQuestion) {
  TVELK &r = Open();
  Show();
  shell.QuitAnswer = false;
  window->bClose->Click();
  EXPECT_EQ(shell.Stops, 1) << "close first stops";
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(shell.Quits, 0);
  shell.QuitAnswer = true;
  window->move(40, 50);
  window->close();
  EXPECT_EQ(shell.Quits, 1);
  EXPECT_EQ(r.AnalogWindowRect.Right - r.AnalogWindowRect.Left, window->width());

  // The shell ending the program closes without a second question.
  shell.QuitAnswer = false;
  window->show();
  window->CloseForExit();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(shell.Quits, 1);
}

} // namespace
