// The capture control driven as a window drives it: every notification is a
// blocking queued call onto a thread that runs an event loop, and the buttons
// are pressed on that thread, also from inside a notification. Nothing may
// wait there for a worker that waits for it.
#include "control.h"
#include "startup.h"
#include "ui.h"
#include "uicall.h"
#include "velkemu.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

QCoreApplication &App() {
  static int argc = 1;
  static char name[] = "test_engines";
  static char *argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
  return *QCoreApplication::instance();
}

// Ends the process when a step takes longer than it may: a deadlock shows as
// a failure with its name, not as a test that hangs until ctest kills it.
class TWatchdog {
public:
  explicit TWatchdog(const char *what, std::chrono::milliseconds limit)
      : fThread([this, what, limit] {
          std::unique_lock<std::mutex> lock(fMutex);
          if (!fDone.wait_for(lock, limit, [this] { return fDisarmed; })) {
            std::fprintf(stderr, "watchdog: %s did not return in %lld ms\n", what,
                         static_cast<long long>(limit.count()));
            std::abort();
          }
        }) {}
  ~TWatchdog() {
    {
      std::lock_guard<std::mutex> lock(fMutex);
      fDisarmed = true;
    }
    fDone.notify_all();
    fThread.join();
  }

private:
  std::mutex fMutex;
  std::condition_variable fDone;
  bool fDisarmed = false;
  std::thread fThread;
};

struct TQuietUi : TUserInterface {
  void ShowMessage(const QString &, const QString &, TMessageIcon) override {}
  bool AskOkCancel(const QString &, const QString &, TMessageIcon) override { return true; }
  int SelectDevice(const QString &, const QString &, const QStringList &) override { return 0; }
};

// A window's observer: notifications run on the event loop's thread (the
// test's main thread) through blocking queued calls; everything it records is
// touched on that thread only.
struct TWindowObserver : TCaptureObserver {
  TVELK *R = nullptr;
  std::vector<std::string> Events;
  int Finished = 0, Presents = 0;
  // Runs (on the main thread) after each shown status.
  std::function<void(const std::string &)> OnStatus;
  std::function<void()> OnPresent;

  // Made on the main thread once the application exists, as a window's is.
  std::shared_ptr<TUiCaller> Caller;
  void OnUiThread(const std::function<void()> &fn) override { Caller->Call(fn); }
  void ShowStatus() override {
    std::string text = R->Status().toStdString();
    Events.push_back(text);
    if (OnStatus) OnStatus(text);
  }
  void PresentCapture() override {
    Events.push_back("<present>");
    ++Presents;
    if (OnPresent) OnPresent();
  }
  void CaptureFinished() override {
    Events.push_back("<finished>");
    ++Finished;
  }
};

class ControlTest : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    ASSERT_TRUE(home.isValid());
    setenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit().constData(), 1);
    QDir().mkpath(home.filePath("run"));
    setenv("XDG_RUNTIME_DIR", home.filePath("run").toLocal8Bit().constData(), 1);
    setenv("VELK_D2XX_LIBRARY", VELK_TEST_EMULATOR, 1);
    velkemu_set_noise(0);
  }
  void TearDown() override { Close(); }
  void Close() {
    {
      TWatchdog dog("closing the control", std::chrono::seconds(10));
      control.reset();
    }
    if (startup) startup->Shutdown(false);
    startup.reset();
  }
  TVELK &Open(const char *inputs, double speed) {
    velkemu_reset("Dorian");
    velkemu_set_speed(speed);
    velkemu_set_signals(inputs);
    TStartupOptions options;
    options.AppFolder = QStringLiteral(VELK_TEST_BIN_DIR "/");
    options.InstallRecordFolder = home.filePath("etc");
    startup = std::make_unique<TStartup>(&ui, options);
    EXPECT_TRUE(startup->Init());
    TVELK &r = *startup->Record();
    observer = TWindowObserver();
    observer.Caller = std::make_shared<TUiCaller>();
    observer.R = &r;
    control = std::make_unique<TCaptureControl>(r, observer);
    r.BuffLength = 4096;
    r.TriggerAt = 2048;
    r.CaptureDelay = 0;
    r.TriggerBeep = 0;
    r.SamplingRate = 7; // 1 MHz
    return r;
  }
  // Runs the event loop until the condition holds; false after the limit.
  bool Serve(const std::function<bool()> &until, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!until()) {
      if (clock.elapsed() > ms) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
  }
  // A button press on the main thread, which must return within a second.
  void Press(const char *what, const std::function<void()> &press) {
    TWatchdog dog(what, std::chrono::seconds(1));
    press();
  }

  QTemporaryDir home;
  TQuietUi ui;
  TWindowObserver observer;
  std::unique_ptr<TStartup> startup;
  std::unique_ptr<TCaptureControl> control;
};

struct TStage {
  uint8_t mode; // TriggerType
  const char *inputs;
  uint32_t captureDelay;
  const char *stage; // stop when a status starting with this is shown
};

TEST_F(ControlTest, StopFromInsideANotificationInEveryStateEndsTheCapture) {
  const TStage stages[] = {
      {0, "", 0, "Capture starting..."},
      {0, "", 0, "Starting capture..."},
      {0, "A=dc:0", 0, "Filling pre-trigger buffer..."},
      {0, "A=dc:0", 0, "Waiting for analog trigger..."},
      {0, "", 1000000, "Capture delay..."},
      {0, "", 0, "Filling post-trigger buffer..."},
      {0, "", 0, "Transfering data..."},
      {1, "", 0, "<present>"},
      {1, "A=dc:0", 0, "Waiting for analog trigger..."},
      {1, "", 0, "Filling post-trigger buffer..."},
      {2, "A=dc:0", 0, "Triggered."},
      {2, "", 0, "Transfering data..."},
  };
  for (const TStage &s : stages) {
    SCOPED_TRACE(std::string("mode ") + std::to_string(s.mode) + ", " + s.stage);
    TVELK &r = Open(s.inputs, 1);
    r.TriggerType = s.mode;
    r.CaptureDelay = s.captureDelay;
    bool stopped = false;
    auto stopHere = [&](const std::string &what) {
      if (stopped || what.rfind(s.stage, 0) != 0) return;
      stopped = true;
      Press("Stop", [&] { control->Stop(); });
    };
    observer.OnStatus = stopHere;
    observer.OnPresent = [&] { stopHere("<present>"); };
    Press("Capture", [&] { control->Capture(TCaptureControl::kAnalogWindow); });
    ASSERT_TRUE(Serve([&] { return observer.Finished > 0 && !control->Busy(); }))
        << ::testing::PrintToString(observer.Events);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(observer.Finished, 1);
    EXPECT_EQ(r.Capturing, 0);
    EXPECT_EQ(observer.Events.back(), "Capture stopped.");
    EXPECT_EQ(velkemu_get_register(0, 6), 0) << "the instrument was stopped";
    Close();
  }
}

TEST_F(ControlTest, CapturePressedRightAfterAStopStartsOnceTheWorkerHasEnded) {
  for (uint8_t mode : {0, 1}) {
    SCOPED_TRACE(mode);
    TVELK &r = Open("A=dc:0", 1);
    r.TriggerType = mode;
    int waits = 0;
    observer.OnStatus = [&](const std::string &text) {
      if (text != "Waiting for analog trigger...") return;
      if (++waits == 1) {
        // Stop, then Capture at once: the second press must not be lost
        // and must not start a second worker beside the first.
        Press("Stop", [&] { control->Stop(); });
        Press("Capture", [&] { control->Capture(TCaptureControl::kAnalogWindow); });
      } else {
        control->ForceTrigger();
        if (mode == 1) Press("Stop", [&] { control->Stop(); });
      }
    };
    Press("Capture", [&] { control->Capture(TCaptureControl::kAnalogWindow); });
    ASSERT_TRUE(Serve([&] { return observer.Finished == 2 && !control->Busy(); }))
        << ::testing::PrintToString(observer.Events);
    EXPECT_EQ(waits, 2) << ::testing::PrintToString(observer.Events);
    // The first capture ended before the second started.
    auto first = std::find(observer.Events.begin(), observer.Events.end(), "<finished>");
    auto second = std::find(first, observer.Events.end(), "Capture starting...");
    EXPECT_NE(second, observer.Events.end());
    EXPECT_EQ(r.Capturing, 0);
    Close();
  }
}

TEST_F(ControlTest, QuittingDuringACaptureServesTheWorkerUntilItEnds) {
  Open("A=dc:0", 1).TriggerType = 1;
  bool waiting = false;
  observer.OnStatus = [&](const std::string &text) {
    waiting = waiting || text == "Waiting for analog trigger...";
  };
  control->Capture(TCaptureControl::kAnalogWindow);
  ASSERT_TRUE(Serve([&] { return waiting; }));
  // The destructor stops the worker and waits, answering its notifications.
  Close();
  EXPECT_EQ(observer.Events.back(), "Capture stopped.");
}

TEST_F(ControlTest, AutosetEndsWithTheSameNotificationsAndThenCaptures) {
  TVELK &r = Open("A=sine:1000:5000", 50);
  Press("Autoset", [&] { control->Autoset(); });
  EXPECT_EQ(r.AutosetRunning, 1) << "set before any event is processed";
  // Autoset's own end, then the single capture that follows it.
  ASSERT_TRUE(Serve([&] { return observer.Finished == 2 && !control->Busy(); }, 30000))
      << ::testing::PrintToString(observer.Events);
  EXPECT_TRUE(control->AutosetSucceeded()) << r.Status().toStdString();
  EXPECT_EQ(observer.Presents, 1);
  EXPECT_EQ(r.AutosetRunning, 0);
  EXPECT_EQ(r.GainChA, 1) << "10000 mV: the most sensitive range above 5000 mV";
}

TEST_F(ControlTest, SettingsChangedDuringRepeatCapturesReachTheInstrument) {
  // A window changes gain, clock and threshold on its own thread while
  // captures run back to back and are presented there; run this under the
  // thread sanitizer to see the hand-over is clean.
  TVELK &r = Open("", 1);
  r.TriggerType = 1;
  double sum = 0;
  observer.OnPresent = [&] {
    // What a window does with a presented capture: read all of it.
    for (uint32_t i = 0; i < r.BuffLength; ++i)
      sum += r.SamplesA[i];
  };
  int changes = 0;
  QTimer changer;
  QObject::connect(&changer, &QTimer::timeout, [&] {
    {
      std::lock_guard<std::mutex> lock(r.ConfigMutex);
      r.GainChA = 3 + changes % 3;
      r.SamplingRate = 7 + changes % 2;
      r.AnalogThreshold = changes % 20;
    }
    r.ConfigApplied = 0;
    r.ThresholdApplied = 0;
    ++changes;
  });
  changer.start(1);
  control->Capture(TCaptureControl::kAnalogWindow);
  ASSERT_TRUE(Serve([&] { return observer.Presents >= 20 && changes >= 20; }, 30000));
  changer.stop();
  // The last settings reach the instrument on the next cycle.
  {
    std::lock_guard<std::mutex> lock(r.ConfigMutex);
    r.GainChA = 4;
  }
  r.ConfigApplied = 0;
  const int before = observer.Presents;
  ASSERT_TRUE(Serve([&] { return observer.Presents >= before + 2; }, 30000));
  Press("Stop", [&] { control->Stop(); });
  ASSERT_TRUE(Serve([&] { return !control->Busy(); }));
  velkemu_capture c{};
  velkemu_get_capture(0, &c);
  EXPECT_EQ(c.gain_a, 4) << "the last gain reached the instrument";
  EXPECT_NE(sum, 0);
}

} // namespace
