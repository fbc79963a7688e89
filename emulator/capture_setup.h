// What an instrument's registers say about a capture: the clock (as far as the
// loaded image provides it), memory length, post-trigger count, trigger, front
// end and counters, decoded per model.
#pragma once

#include "signals.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace velkemu {

using TRegisters = std::array<uint8_t, 128>;

// Trigger kinds the instruments know.
enum TTriggerKind {
  kTriggerNone,    // a mode the model does not know: waits for ever
  kTriggerForced,  // the model's force value
  kTriggerAnalog,  // edges of A, B or X (sources below)
  kTriggerDigital, // edge, pattern and their combinations on the logic channels
};

// Edges of the analog trigger sources, one bit per source and direction.
enum TAnalogEdges : uint8_t {
  kRiseA = 0x01,
  kFallA = 0x02,
  kRiseB = 0x04,
  kFallB = 0x08,
  kRiseX = 0x40,
  kFallX = 0x80
};

struct TCaptureSetup {
  bool runnable = false; // the loaded image provides the selected clock
  double rate = 0;       // samples per second of the sample stream (both banks together)
  int externalClock = 0; // 0 internal, 1 rising, 2 falling edges of CLK
  int interleave = 1;    // 2: two banks take turns, one sample each
  int64_t positions = 0; // memory positions per bank in use
  int64_t samples = 0;   // positions × interleave
  int64_t post = 0;      // samples recorded after the trigger sample's position
  int64_t latency = 0;   // post-trigger samples the host left out (device latency, pipeline)
  bool strobe = false;   // external clock without a post-trigger count: fills once, no trigger

  uint8_t triggerMode = 0; // register 11
  TTriggerKind trigger = kTriggerNone;
  uint8_t analogEdges = 0; // TAnalogEdges
  uint8_t digitalMode = 0; // 1..11 as register 11 of the logic models
  // The digital trigger: an edge of one channel, a pattern, or both.
  enum TCombine { kEdge, kPattern, kEdgeAndPattern, kEdgeOrPattern };
  TCombine combine = kEdge;
  int edgeChannel = 0;
  int edgeType = 0;                             // 0 rising, 1 falling, 2 either
  uint32_t patternLevel = 0, patternMask = ~0u; // mask bit 1: don't care
  uint32_t skips = 0;                           // qualifying events passed over before the trigger

  int gainA = 0, gainB = 0;
  bool acA = false, acB = false;
  int digitalChannels = 0; // recorded logic channels
  bool channelB = false;   // channel B recorded (not when both converters take A)

  bool counting = false; // the edge counter runs (logic models, register 42 bit 7 clear)
  int counterChannel = 0;
  bool counterFalling = false;

  bool probeComp = false;
  uint32_t probePeriod = 0;
  int extTrigger = 0; // 12-bit scope: 0 input, 1 trigger output, 2 probe-compensation output
};

// Decodes the registers of a model as configured with image. cobaltInterleave
// is the last value the combined model's host wrote to register 53 (its reads
// answer the latency instead). bankSize bounds the memory length.
TCaptureSetup DecodeSetup(int model, const char *image, const TRegisters &regs,
                          uint8_t cobaltInterleave, size_t bankSize, const TSignalSet &signals);

// Register 11's value that forces a trigger on a model.
uint8_t ForceValue(int model);

// The capture delay registers (0 for a model without them), in memory positions.
uint32_t DelayPositions(int model, const TRegisters &regs);

// Analog trigger levels in raw converter codes: 8-bit codes 0..255 or signed
// 12-bit codes.
void AnalogLevels(int model, const TRegisters &regs, int &upper, int &lower);

// Gain tables: half-scale millivolts and the host's correction per gain index.
struct TGain {
  double halfScale;
  double correction;
};
const TGain &Gain(int model, int index);
bool TwelveBit(int model);

} // namespace velkemu
