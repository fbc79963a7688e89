// Passing the configuration to the library, and the simulated generators.
#include "acquire.h"
#include "autoevent.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> gCalls;
int32_t gStoredGainA = 0;
int32_t gLevelAtGain = -1;

void CPBuffers(int32_t, int32_t) {
  gCalls.push_back("CPBuffers");
}
void CPCaptureDelay(int32_t) {
  gCalls.push_back("CPCaptureDelay");
}
void CPThresholdA(int32_t, int32_t) {
  gCalls.push_back("CPThresholdA");
  gLevelAtGain = gStoredGainA;
}
void CPGain(int32_t a, int32_t) {
  gCalls.push_back("CPGain");
  gStoredGainA = a;
}
void CPCoupling(uint8_t, uint8_t) {
  gCalls.push_back("CPCoupling");
}
void CPExtTrig(uint8_t) {
  gCalls.push_back("CPExtTrig");
}
void CPProbeComp(uint8_t) {
  gCalls.push_back("CPProbeComp");
}
std::vector<uint8_t> gTrigger;
void CPTrigger(uint8_t kind, const uint8_t *a, const uint8_t *b, const uint8_t *c,
               const uint8_t *pattern) {
  gCalls.push_back("CPTrigger" + std::to_string(kind));
  gTrigger = {*a, *b};
  if (c) gTrigger.push_back(*c);
  if (pattern) gTrigger.push_back(pattern[0]);
}
void CPSkip(int32_t n) {
  gCalls.push_back("CPSkip" + std::to_string(n));
}
void CPThresholdD(int32_t) {
  gCalls.push_back("CPThresholdD");
}
void CPEdgeCounter(uint8_t, uint8_t, uint8_t) {
  gCalls.push_back("CPEdgeCounter");
}
std::vector<int32_t> gSampling;
void CPSampling(uint8_t source, int32_t value, uint8_t edge) {
  gCalls.push_back("CPSampling");
  gSampling = {source, value, edge};
}
void CPSet() {
  gCalls.push_back("CPSet");
}
int32_t ConfigItems(int32_t s) {
  return s == 0x200 ? 128 : 0x03;
}
int32_t ClockItems(int32_t s) {
  return s >= 0x200 && s < 0x300 ? 1000000 : (s >= 0x400 ? 1 : 19);
}
int32_t GainItems(int32_t s) {
  return s == 0x100 ? 8 : 1000;
}

TVELK &Record(TVELK &r) {
  r.Lib.CPBuffers = CPBuffers;
  r.Lib.CPCaptureDelay = CPCaptureDelay;
  r.Lib.CPThresholdA = CPThresholdA;
  r.Lib.CPGain = CPGain;
  r.Lib.CPCoupling = CPCoupling;
  r.Lib.CPExtTrig = CPExtTrig;
  r.Lib.CPProbeComp = CPProbeComp;
  r.Lib.CPTrigger = CPTrigger;
  r.Lib.CPSkip = CPSkip;
  r.Lib.CPThresholdD = CPThresholdD;
  r.Lib.CPEdgeCounter = CPEdgeCounter;
  r.Lib.CPSampling = CPSampling;
  r.Lib.CPSet = CPSet;
  r.Lib.GetConfigItems = ConfigItems;
  r.Lib.GetClockItems = ClockItems;
  r.Lib.GetGainItems = GainItems;
  r.DeviceFeatures = 0x03;
  gCalls.clear();
  return r;
}

TEST(ApplyCaptureConfig, GainsReachTheLibraryBeforeTheTriggerLevel) {
  TVELK r;
  Record(r);
  r.GainChA = 5;
  r.TriggerDomain = 0;
  r.TriggerSource = 1;
  r.AnalogEdgeType = 1;
  ApplyCaptureConfig(r);
  EXPECT_EQ(gLevelAtGain, 5) << "the level is converted with the new gain";
  EXPECT_EQ(gCalls, (std::vector<std::string>{
                        "CPBuffers", "CPCaptureDelay", "CPGain", "CPThresholdA", "CPCoupling",
                        "CPExtTrig", "CPProbeComp", "CPTrigger0", "CPSkip0", "CPThresholdD",
                        "CPEdgeCounter", "CPSampling", "CPSet"}));
  EXPECT_EQ(gTrigger, (std::vector<uint8_t>{1, 1}));
}

TEST(ApplyCaptureConfig, DigitalTriggerAndExternalClock) {
  TVELK r;
  Record(r);
  r.TriggerDomain = 1;
  r.TriggerCond = 2;
  r.DigitalEdgeType = 1;
  r.EdgeChannel = 7;
  r.ChPattern[0] = 1;
  r.EdgeSkip = 12;
  r.ClockSource = 2;
  r.ExtStbType = 1;
  r.ExtClkEdge = 1;
  ApplyCaptureConfig(r);
  EXPECT_EQ(gTrigger, (std::vector<uint8_t>{2, 1, 7, 1}));
  EXPECT_NE(std::find(gCalls.begin(), gCalls.end(), "CPSkip12"), gCalls.end());
  EXPECT_EQ(gSampling, (std::vector<int32_t>{2, 1, 1}));
}

TEST(SimulatedData, GeneratorsFillTheCaptureAndHandOverToTheSpectrum) {
  TVELK r;
  Record(r);
  r.HardwarePresent = false;
  r.BufferCapacity = r.BuffLength = 4096;
  r.HasChannelB = true;
  r.DigitalChannelCount = 32;
  r.SamplesA.assign(4096, 0);
  r.SamplesB.assign(4096, 0);
  r.FFTInputA.assign(4096, 0);
  r.FFTInputB.assign(4096, 0);
  r.DigitalSamples[0].assign(4096, 0xFFFFFFFF);
  r.SpectrumEvent = std::make_unique<TAutoResetEvent>();
  ReadAnalogData(r, TakeCaptureSettings(r), r.SamplesA, r.SamplesB);
  ReadDigitalData(r, TakeCaptureSettings(r), r.DigitalSamples[0]);
  // A: 5000 mV sine at 1000 mV half scale = 640 codes peak, plus ripple and noise.
  float peak = *std::max_element(r.SamplesA.begin(), r.SamplesA.end());
  EXPECT_GT(peak, 600);
  EXPECT_LT(peak, 800);
  EXPECT_EQ(r.FFTInputA, r.SamplesA);
  EXPECT_EQ(r.FFTInputB, r.SamplesB);
  EXPECT_TRUE(r.SpectrumEvent->Wait(std::chrono::milliseconds(0)));
  EXPECT_EQ(r.DigitalSamples[0][7] & 0xFFFF, 1u) << "a counter advancing every 4 samples";
  EXPECT_EQ(r.DigitalSamples[0][4095] & 0xFFFF, 1023u);

  r.FFTBusy = 1;
  r.FFTInputA.assign(4096, 0);
  ReadAnalogData(r, TakeCaptureSettings(r), r.SamplesA, r.SamplesB);
  EXPECT_EQ(r.FFTInputA[100], 0) << "nothing is copied while the spectrum is busy";
}

} // namespace
