// A capture hit by an injected USB fault at every one of its writes: the
// worker must end (within a 15 s watchdog, the transport's timeout is 10 s)
// with the library's text and must not present what it did not read.
#include "control.h"
#include "startup.h"
#include "ui.h"
#include "velkemu.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

struct TQuietUi : TUserInterface {
  void ShowMessage(const QString &, const QString &, TMessageIcon) override {}
  bool AskOkCancel(const QString &, const QString &, TMessageIcon) override { return true; }
  int SelectDevice(const QString &, const QString &, const QStringList &) override { return 0; }
};

// Counts presented captures and waits for the end of one.
struct TOutcome : TCaptureObserver {
  std::mutex Mutex;
  std::condition_variable Changed;
  int Presents = 0;
  bool Finished = false;

  void ShowStatus() override {}
  void PresentCapture() override {
    std::lock_guard<std::mutex> lock(Mutex);
    ++Presents;
  }
  void CaptureFinished() override {
    std::lock_guard<std::mutex> lock(Mutex);
    Finished = true;
    Changed.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(Mutex);
    Presents = 0;
    Finished = false;
  }
  bool WaitFinished(std::chrono::seconds limit) {
    std::unique_lock<std::mutex> lock(Mutex);
    return Changed.wait_for(lock, limit, [&] { return Finished; });
  }
};

bool AWriteFailed() {
  for (size_t i = 0; i < velkemu_log_count(); ++i) {
    velkemu_transfer t{};
    velkemu_log_entry(i, &t);
    if (t.op == VELKEMU_OP_WRITE && !t.ok) return true;
  }
  return false;
}

size_t WritesLogged() {
  size_t n = 0;
  for (size_t i = 0; i < velkemu_log_count(); ++i) {
    velkemu_transfer t{};
    velkemu_log_entry(i, &t);
    n += t.op == VELKEMU_OP_WRITE;
  }
  return n;
}

TEST(CaptureFaultTest, AFailedWriteAnywhereInACaptureEndsItWithTheLibraryText) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  setenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit().constData(), 1);
  QDir().mkpath(home.filePath("run"));
  setenv("XDG_RUNTIME_DIR", home.filePath("run").toLocal8Bit().constData(), 1);
  setenv("VELK_D2XX_LIBRARY", VELK_TEST_EMULATOR, 1);
  velkemu_set_speed(0);
  for (int pending : {0, 1}) {
    for (const char *model : {"Dorian", "Brisk"}) {
      SCOPED_TRACE(std::string(model) + (pending ? " pending" : " immediate"));
      velkemu_set_pending(pending);
      velkemu_reset(model);
      TQuietUi ui;
      TStartupOptions options;
      options.AppFolder = QStringLiteral(VELK_TEST_BIN_DIR "/");
      options.InstallRecordFolder = home.filePath("etc");
      TStartup startup(&ui, options);
      ASSERT_TRUE(startup.Init());
      TVELK &r = *startup.Record();
      r.BuffLength = 4096;
      r.TriggerAt = 2048;
      r.SamplingRate = 7; // 1 MHz
      TOutcome outcome;
      TCaptureControl control(r, outcome);
      const auto sender =
          r.HasAnalog() ? TCaptureControl::kAnalogWindow : TCaptureControl::kLogicWindow;
      // n = 0 is a clean capture, which also says how many writes one takes;
      // the first capture downloads its image, so the sweep starts afresh.
      size_t writes = 0;
      for (size_t n = 0; n <= writes + 1; ++n) {
        SCOPED_TRACE("write " + std::to_string(n));
        outcome.Reset();
        velkemu_log_clear();
        if (n > 0) velkemu_fault_failed_write(0, static_cast<int>(n));
        control.Capture(sender);
        if (!outcome.WaitFinished(std::chrono::seconds(15))) {
          ADD_FAILURE() << "the worker hangs at " << r.Status().toStdString();
          control.Stop();
          control.Wait();
          break;
        }
        control.Wait();
        if (n == 0) {
          ASSERT_EQ(outcome.Presents, 1) << r.Status().toStdString();
          writes = WritesLogged();
          continue;
        }
        if (AWriteFailed()) {
          EXPECT_EQ(outcome.Presents, 0) << "a capture the instrument did not finish";
          EXPECT_NE(r.Status().toStdString(), "Capture stopped.");
          EXPECT_FALSE(r.Status().isEmpty());
        } else {
          EXPECT_EQ(outcome.Presents, 1) << r.Status().toStdString();
        }
      }
      startup.Shutdown(false);
    }
  }
  velkemu_set_pending(0);
}

TEST(CaptureFaultTest, RepeatedCapturesEndAtAFailedReadWithTheLibraryText) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  setenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit().constData(), 1);
  QDir().mkpath(home.filePath("run"));
  setenv("XDG_RUNTIME_DIR", home.filePath("run").toLocal8Bit().constData(), 1);
  setenv("VELK_D2XX_LIBRARY", VELK_TEST_EMULATOR, 1);
  velkemu_set_speed(0);
  velkemu_set_pending(0);
  velkemu_reset("Dorian");
  TQuietUi ui;
  TStartupOptions options;
  options.AppFolder = QStringLiteral(VELK_TEST_BIN_DIR "/");
  options.InstallRecordFolder = home.filePath("etc");
  TStartup startup(&ui, options);
  ASSERT_TRUE(startup.Init());
  TVELK &r = *startup.Record();
  r.BuffLength = 4096;
  r.TriggerAt = 2048;
  r.SamplingRate = 7;
  r.TriggerType = 1;
  TOutcome outcome;
  {
    TCaptureControl control(r, outcome);
    control.Capture(TCaptureControl::kAnalogWindow);
    for (int i = 0; i < 15000; ++i) {
      {
        std::lock_guard<std::mutex> lock(outcome.Mutex);
        if (outcome.Presents > 0 || outcome.Finished) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Whatever the next read is (a status poll, a bank), it comes back empty.
    velkemu_fault_short_read(0, 1, 0);
    const bool ended = outcome.WaitFinished(std::chrono::seconds(15));
    EXPECT_TRUE(ended) << "repeat mode must end, it polls on at " << r.Status().toStdString();
    if (!ended) control.Stop();
    control.Wait();
  }
  EXPECT_GE(outcome.Presents, 1);
  EXPECT_TRUE(r.Status().startsWith("Communication error")) << r.Status().toStdString();
  startup.Shutdown(false);
}

} // namespace
