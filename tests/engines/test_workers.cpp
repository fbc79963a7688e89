// The capture workers and autoset against the emulator: status sequences, the
// hand-over flags, stopping in every state, and simulated mode.
#include "acquire.h"
#include "control.h"
#include "startup.h"
#include "ui.h"
#include "velkemu.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct TQuietUi : TUserInterface {
  int Choice = 0;
  void ShowMessage(const QString &, const QString &, TMessageIcon) override {}
  bool AskOkCancel(const QString &, const QString &, TMessageIcon) override { return true; }
  int SelectDevice(const QString &, const QString &, const QStringList &) override {
    return Choice;
  }
};

// Records what the workers report; called from the worker thread.
struct TRecorder : TCaptureObserver {
  TVELK *R = nullptr;
  std::mutex Mutex;
  std::vector<std::string> Events;
  int Presents = 0;

  void Add(const std::string &e) {
    std::lock_guard<std::mutex> lock(Mutex);
    Events.push_back(e);
  }
  void ShowStatus() override { Add(R->Status().toStdString()); }
  void PreTriggerFilled() override { Add("<pre-trigger filled>"); }
  void TriggerSeen() override { Add("<trigger seen>"); }
  void PresentCapture() override {
    std::lock_guard<std::mutex> lock(Mutex);
    Events.push_back("<present>");
    ++Presents;
  }
  void CaptureFinished() override { Add("<finished>"); }
  void TriggerSound(bool beep) override { Add(beep ? "<beep>" : "<tone>"); }
  void DelayCountdown(int seconds) override { Add("<countdown " + std::to_string(seconds) + ">"); }

  std::vector<std::string> Snapshot() {
    std::lock_guard<std::mutex> lock(Mutex);
    return Events;
  }
  bool Saw(const std::string &e) {
    auto events = Snapshot();
    return std::find(events.begin(), events.end(), e) != events.end();
  }
  int PresentCount() {
    std::lock_guard<std::mutex> lock(Mutex);
    return Presents;
  }
  // Waits (bounded) until an event has been seen.
  bool WaitFor(const std::string &e, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 2) {
      if (Saw(e)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }
};

class WorkerTest : public ::testing::Test {
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
    control.reset();
    if (startup) startup->Shutdown(false);
  }
  // Starts the application's core on an emulated instrument (or simulated).
  TVELK &Open(const char *instruments, int choice = 0) {
    velkemu_reset(instruments);
    // A reset reads the signals from the environment again; the test's own come after.
    velkemu_set_signals(inputs.c_str());
    ui.Choice = choice;
    TStartupOptions options;
    options.AppFolder = QStringLiteral(VELK_TEST_BIN_DIR "/");
    options.InstallRecordFolder = home.filePath("etc");
    startup = std::make_unique<TStartup>(&ui, options);
    EXPECT_TRUE(startup->Init());
    TVELK &r = *startup->Record();
    recorder.R = &r;
    control = std::make_unique<TCaptureControl>(r, recorder);
    r.BuffLength = 4096;
    r.TriggerAt = 2048;
    r.CaptureDelay = 0;
    r.TriggerBeep = 0;
    return r;
  }
  // The clock entry of a frequency.
  int Clock(TVELK &r, int hz) {
    for (int i = 0; i < r.Lib.GetClockItems(0x100); ++i)
      if (r.Lib.GetClockItems(0x200 + i) == hz) return i;
    ADD_FAILURE() << "no clock of " << hz << " Hz";
    return 0;
  }
  bool WaitIdle(TVELK &r, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 2) {
      if (!r.Capturing) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  QTemporaryDir home;
  std::string inputs; // the emulator's signals for the next Open
  TQuietUi ui;
  TRecorder recorder;
  std::unique_ptr<TStartup> startup;
  std::unique_ptr<TCaptureControl> control;
};

TEST_F(WorkerTest, SingleCaptureRunsThroughEveryStage) {
  TVELK &r = Open("Dorian");
  r.SamplingRate = Clock(r, 1000000);
  r.TriggerBeep = 1;
  control->Capture(TCaptureControl::kAnalogWindow);
  control->Wait();
  EXPECT_EQ(recorder.Snapshot(),
            (std::vector<std::string>{"Capture starting...", "Starting capture...",
                                      "Filling pre-trigger buffer...", "<pre-trigger filled>",
                                      "Waiting for analog trigger...", "<tone>", "<trigger seen>",
                                      "Filling post-trigger buffer...", "Transfering data...",
                                      "<present>", "<finished>", "Capture stopped."}));
  EXPECT_EQ(r.Capturing, 0);
  EXPECT_EQ(r.ConfigApplied, 1);
  // The default sine crosses the level upwards at the trigger position.
  EXPECT_LT(r.SamplesA[2040], r.SamplesA[2056]);
}

TEST_F(WorkerTest, ForcedTriggerAndReappliedConfigurationWhileWaiting) {
  inputs = "A=dc:0";
  TVELK &r = Open("Dorian");
  r.SamplingRate = Clock(r, 1000000);
  r.AnalogThreshold = 50;
  control->Capture(TCaptureControl::kAnalogWindow);
  ASSERT_TRUE(recorder.WaitFor("Waiting for analog trigger..."));
  {
    std::lock_guard<std::mutex> lock(r.ConfigMutex);
    r.GainChA = 4; // correction 1.0: the level reaches the converter as it is
    r.AnalogThreshold = 20;
    r.ThresholdMargin = 0;
  }
  r.ConfigApplied = 0;
  for (int i = 0; i < 5000 && velkemu_get_register(0, 52) != 128 + 20; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(velkemu_get_register(0, 52), 128 + 20) << "the new level reached the instrument";
  control->ForceTrigger();
  control->Wait();
  EXPECT_TRUE(recorder.Saw("<present>"));
  EXPECT_EQ(r.ForceTriggerRequest, 0);
  velkemu_capture c{};
  velkemu_get_capture(0, &c);
  EXPECT_EQ(c.forced, 1);
}

struct TStopCase {
  const char *inputs;
  int hz;
  const char *stage;
};

TEST_F(WorkerTest, StopEndsTheCaptureInEveryStage) {
  const TStopCase cases[] = {
      {"", 200, "Filling pre-trigger buffer..."},
      {"A=dc:0", 1000000, "Waiting for analog trigger..."},
      {"A=sine:7:2000", 200, "Filling post-trigger buffer..."},
  };
  for (const TStopCase &c : cases) {
    SCOPED_TRACE(c.stage);
    recorder.Events.clear();
    inputs = c.inputs;
    TVELK &r = Open("Dorian");
    r.SamplingRate = Clock(r, c.hz);
    r.TriggerAt = 8; // at 200 Hz the pre-trigger part fills in 40 ms, the rest takes 20 s
    if (std::string(c.stage) == "Filling pre-trigger buffer...") r.TriggerAt = 4000;
    control->Capture(TCaptureControl::kAnalogWindow);
    ASSERT_TRUE(recorder.WaitFor(c.stage)) << ::testing::PrintToString(recorder.Snapshot());
    control->Stop();
    control->Wait();
    EXPECT_EQ(r.Capturing, 0);
    EXPECT_EQ(r.Status(), "Capture stopped.");
    EXPECT_EQ(recorder.Snapshot().back(), "Capture stopped.");
    EXPECT_TRUE(recorder.Saw("<finished>")) << "a stopped worker ends with its notification";
    EXPECT_FALSE(recorder.Saw("<present>"));
    EXPECT_EQ(velkemu_get_register(0, 6), 0) << "the instrument was stopped";
    control.reset();
    startup->Shutdown(false);
    startup.reset();
  }
}

TEST_F(WorkerTest, CaptureDelayShowsItsSecondsAndCountsDownPastTwo) {
  velkemu_set_speed(1000);
  inputs = "A=sine:7:2000"; // a signal the 1 kHz clock does not alias into a constant
  TVELK &r = Open("Cobalt");
  r.SamplingRate = Clock(r, 1000);
  r.CaptureDelay = 3000;
  control->Capture(TCaptureControl::kAnalogWindow);
  control->Wait();
  EXPECT_TRUE(recorder.Saw("Capture delay...3s"));
  EXPECT_TRUE(recorder.Saw("<countdown 3>"));
  EXPECT_TRUE(recorder.Saw("<countdown 0>"));
  EXPECT_TRUE(recorder.Saw("<present>"));

  recorder.Events.clear();
  r.CaptureDelay = 1500;
  control->Capture(TCaptureControl::kAnalogWindow);
  control->Wait();
  EXPECT_TRUE(recorder.Saw("Capture delay...1s"));
  EXPECT_FALSE(recorder.Saw("<countdown 1>"));
  EXPECT_TRUE(recorder.Saw("<present>"));
}

TEST_F(WorkerTest, RepeatModeReconfiguresAfterAForcedTrigger) {
  inputs = "A=dc:0";
  TVELK &r = Open("Dorian");
  r.SamplingRate = Clock(r, 1000000);
  r.TriggerType = 1;
  control->Capture(TCaptureControl::kAnalogWindow);
  ASSERT_TRUE(recorder.WaitFor("Waiting for analog trigger..."));
  velkemu_log_clear();
  control->ForceTrigger();
  for (int i = 0; i < 2000 && recorder.PresentCount() < 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(recorder.WaitFor("<present>"));
  for (int i = 0; i < 2000 && r.ConfigApplied == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  control->Stop();
  control->Wait();
  // The next cycle sent the set-up again: its batch starts with run = 0, arm = 0.
  bool resent = false;
  for (size_t i = 0; i < velkemu_log_count(); ++i) {
    velkemu_transfer t{};
    velkemu_log_entry(i, &t);
    if (t.op == VELKEMU_OP_WRITE && t.size > 16 && t.data[3] == (0x80 | 6) &&
        t.data[11] == (0x80 | 9))
      resent = true;
  }
  EXPECT_TRUE(resent);
}

TEST_F(WorkerTest, AutoModeForcesTheTriggerAfterOneBufferTime) {
  // 131072 samples at 1 MHz: the trigger is forced no earlier than 131 ms
  // after the capture started, and only when the signal gives none.
  struct TCase {
    const char *inputs;
    bool forced;
  } cases[] = {{"A=dc:0", true}, {"A=sine:1000:2000", false}};
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.inputs);
    recorder.Events.clear();
    inputs = c.inputs;
    TVELK &r = Open("Dorian");
    r.SamplingRate = Clock(r, 1000000);
    r.BuffLength = 131072;
    r.TriggerAt = 1024;
    r.TriggerType = 2;
    auto begin = std::chrono::steady_clock::now();
    control->Capture(TCaptureControl::kAnalogWindow);
    ASSERT_TRUE(recorder.WaitFor(c.forced ? "Triggered." : "<present>"));
    auto elapsed = std::chrono::steady_clock::now() - begin;
    ASSERT_TRUE(recorder.WaitFor("<present>"));
    control->Stop();
    control->Wait();
    if (c.forced) {
      EXPECT_GE(elapsed, std::chrono::milliseconds(131)) << "forced before one buffer time";
    } else {
      EXPECT_FALSE(recorder.Saw("Triggered.")) << "a signal that triggers is never forced";
    }
    EXPECT_TRUE(recorder.Saw("<present>"));
    EXPECT_FALSE(recorder.Saw("<pre-trigger filled>")) << "auto mode has no trigger notifications";
    control.reset();
    startup->Shutdown(false);
    startup.reset();
  }
}

TEST_F(WorkerTest, ExternalStrobeClearsWhatCameAfterTheLastStrobe) {
  velkemu_set_speed(0.002); // 2000 strobes a second from the 1 MHz generator: far from full
  TVELK &r = Open("Brisk");
  r.ClockSource = 2;
  r.TriggerDomain = 1;
  std::fill(r.DigitalSamples[0].begin(), r.DigitalSamples[0].end(), 0xFFFFFFFFu);
  control->Capture(TCaptureControl::kLogicWindow);
  ASSERT_TRUE(recorder.WaitFor("Filling buffer..."));
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  control->Stop();
  control->Wait();
  ASSERT_GT(r.StopPosition, 0);
  ASSERT_LT(r.StopPosition, 4096);
  for (size_t i = r.StopPosition; i < 4096; ++i)
    ASSERT_EQ(r.DigitalSamples[0][i], 0u) << i;
}

TEST_F(WorkerTest, UnpluggedInstrumentEndsTheCaptureWithTheLibraryText) {
  inputs = "A=dc:0";
  TVELK &r = Open("Dorian");
  r.SamplingRate = Clock(r, 1000000);
  control->Capture(TCaptureControl::kAnalogWindow);
  ASSERT_TRUE(recorder.WaitFor("Waiting for analog trigger..."));
  velkemu_fault_unplug_after(0, 0);
  ASSERT_TRUE(recorder.WaitFor("<finished>", 3000)) << "the worker must not poll for ever";
  control->Wait();
  EXPECT_EQ(r.Capturing, 0);
  EXPECT_EQ(r.Status(), "Communication error. Device not found.");
  EXPECT_FALSE(recorder.Saw("<present>"));
}

TEST_F(WorkerTest, SimulatedModeGeneratesCaptures) {
  TVELK &r = Open("", 2); // simulated Cobalt
  ASSERT_FALSE(r.HardwarePresent);
  control->Capture(TCaptureControl::kAnalogWindow);
  control->Wait();
  EXPECT_EQ(recorder.PresentCount(), 1);
  EXPECT_NE(*std::max_element(r.SamplesA.begin(), r.SamplesA.begin() + 4096), 0.0f);
  EXPECT_EQ(r.DigitalSamples[0][7] & 0xFF, 1u);

  r.TriggerType = 1;
  control->Capture(TCaptureControl::kAnalogWindow);
  for (int i = 0; i < 3000 && recorder.PresentCount() < 3; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  control->Stop();
  control->Wait();
  EXPECT_GE(recorder.PresentCount(), 3);
  EXPECT_EQ(r.Capturing, 0);
}

TEST_F(WorkerTest, AutosetChoosesGainAndClockForTheSignal) {
  velkemu_set_speed(50);
  inputs = "A=sine:1000:5000";
  TVELK &r = Open("Dorian");
  // A 1:10 probe changes what the statistics show, not what the input sees.
  r.ProbeChA = 1;
  r.GainChA = 7;
  r.SamplingRate = 0;
  control->Autoset();
  control->Wait();
  EXPECT_TRUE(control->AutosetSucceeded()) << r.Status().toStdString();
  EXPECT_EQ(r.GainChA, 1) << "10000 mV: the most sensitive range above 5000 mV";
  EXPECT_EQ(r.BuffLength, 4096u);
  EXPECT_NEAR(r.StatsA.Freq, 1000, 10);
  EXPECT_NEAR(r.AnalogThreshold, 0, 3) << "in the instrument's codes, without the divider";
}

TEST_F(WorkerTest, AutosetWithoutSignalRestoresTheSettings) {
  velkemu_set_speed(1000);
  inputs = "A=dc:0,B=dc:0";
  TVELK &r = Open("Dorian");
  r.GainChA = 5;
  r.SamplingRate = 3;
  control->Autoset();
  control->Wait();
  EXPECT_FALSE(control->AutosetSucceeded());
  EXPECT_EQ(r.Status(), "Autoset error.");
  EXPECT_EQ(r.GainChA, 5);
  EXPECT_EQ(r.SamplingRate, 3);
  EXPECT_EQ(r.BuffLength, 4096u);
  EXPECT_EQ(r.AutosetRunning, 0);
}

TEST_F(WorkerTest, AutosetStoppedIsNotComplete) {
  velkemu_set_speed(1);
  inputs = "A=dc:0,B=dc:0";
  TVELK &r = Open("Dorian");
  control->Autoset();
  ASSERT_TRUE(recorder.WaitFor("Autoset in progress..."));
  control->Stop();
  control->Wait();
  EXPECT_EQ(r.Status(), "Autoset not complete.");
  EXPECT_EQ(r.AutosetRunning, 0);
}

} // namespace
