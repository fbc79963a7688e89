// Injected USB faults during a capture: every failed transfer of the set-up,
// the start and the read-out must end that step with an error code, so that
// the caller stops instead of polling an instrument that never started or
// presenting samples that were never read.
#include "fixture.h"

#include <algorithm>
#include <chrono>
#include <thread>

using namespace velktest;

namespace {

class FaultTest : public LibraryTest {
protected:
  // A fresh library on one instrument with instant captures and its capture
  // image already downloaded, so that the writes counted are the set-up's.
  void Bench(const char *model) {
    VELK_FreeDriver();
    VELK_InitDriver();
    SetPath(BinDir());
    Attach(model);
    velkemu_set_speed(0);
    VELK_CPBuffers(4096, 2048);
    VELK_CPSampling(0, 7, 0);
    VELK_CPGain(4, 4);
    VELK_CPCoupling(1, 1);
    VELK_CPThresholdA(0, 0);
    uint8_t source = 0, edge = 0;
    VELK_CPTrigger(0, &source, &edge, nullptr, nullptr);
    VELK_CPSet();
    ASSERT_EQ(LastError().code, 0) << LastError().text;
    velkemu_log_clear();
  }

  static size_t Writes() { return Log(VELKEMU_OP_WRITE).size(); }
  static bool AWriteFailed() {
    auto writes = Log(VELKEMU_OP_WRITE);
    return std::any_of(writes.begin(), writes.end(), [](const TTransfer &t) { return !t.ok; });
  }
};

TEST_F(FaultTest, EveryFailedWriteOfSetUpAndStartEndsWithACode) {
  for (int pending : {0, 1}) {
    velkemu_set_pending(pending);
    for (const char *model : {"Dorian", "Brisk", "Cobalt", "Ardent"}) {
      SCOPED_TRACE(std::string(model) + (pending ? " pending" : " immediate"));
      Bench(model);
      VELK_CPSet();
      VELK_StartCapture();
      const size_t writes = Writes();
      ASSERT_GT(writes, 1u);
      for (size_t n = 1; n <= writes; ++n) {
        SCOPED_TRACE(n);
        velkemu_log_clear();
        velkemu_fault_failed_write(device, static_cast<int>(n));
        VELK_CPSet();
        if (LastError().code == 0) VELK_StartCapture();
        ASSERT_TRUE(AWriteFailed());
        EXPECT_NE(LastError().code, 0) << "the instrument never started: say so";
        EXPECT_NE(LastError().text, "");
      }
    }
  }
}

TEST_F(FaultTest, LostInstrumentDuringSetUpSaysSo) {
  Bench("Dorian");
  velkemu_fault_unplug_after(device, 2);
  const auto begin = std::chrono::steady_clock::now();
  VELK_CPSet();
  EXPECT_EQ(LastError().code, 1);
  EXPECT_EQ(LastError().text, "Communication error. Device not found.");
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1900))
      << "not the ready poll's time-out";
}

TEST_F(FaultTest, IncompleteAnalogReadOutIsAnError) {
  // A short read of a bank, and a bank read whose request does not go out
  // (the first write of the read-out is the mode switch, the second the
  // first bank's request).
  for (const char *model : {"Dorian", "Ardent", "Cobalt", "Dorian-12"}) {
    SCOPED_TRACE(model);
    for (bool shortRead : {true, false}) {
      Bench(model);
      VELK_StartCapture();
      while (!(VELK_ReadStatus() & 0x01))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      VELK_StopCapture();
      ASSERT_EQ(LastError().code, 0);
      if (shortRead)
        velkemu_fault_short_read(device, 1, 100);
      else
        velkemu_fault_failed_write(device, 2);
      std::vector<float> a(4096), b(4096);
      VELK_GetDataA(a.data(), b.data());
      EXPECT_EQ(LastError().code, 6) << (shortRead ? "short read" : "failed request");
      EXPECT_EQ(LastError().text, "Communication error. Could not read memory.");
    }
  }
}

} // namespace
