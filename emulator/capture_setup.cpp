#include "capture_setup.h"

#include "models.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace velkemu {

namespace {

// The clock band an image provides.
enum TBand { kBandNone, kBand200, kBandHF, kBandLF, kBandTwelveBit };

bool EndsWith(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

TBand BandOf(const char *image) {
  std::string_view name = image ? image : "";
  if (name == "Dorian-12") return kBandTwelveBit;
  if (EndsWith(name, "200")) return kBand200;
  if (EndsWith(name, "HF")) return kBandHF;
  if (EndsWith(name, "LF")) return kBandLF;
  return kBandNone; // the base images capture nothing
}

uint32_t Bytes(const TRegisters &regs, std::initializer_list<int> lowToHigh) {
  uint32_t value = 0;
  int shift = 0;
  for (int reg : lowToHigh) {
    value |= static_cast<uint32_t>(regs[reg]) << shift;
    shift += 8;
  }
  return value;
}

constexpr TGain kGains8[8] = {{25000, 1.025641026}, {10000, 1.240694789}, {5000, 1.296349252},
                              {2500, 0.996574276},  {1000, 1.0},          {500, 0.967741935},
                              {250, 1.011152416},   {100, 0.971659919}};
constexpr TGain kGains12[6] = {{10000, 1.0}, {5000, 1.0}, {2500, 1.0},
                               {1000, 1.0},  {500, 1.0},  {250, 1.0}};

// The 12-bit scope's trigger pipeline, in samples, by the clock it runs.
int64_t PipelineDelay(uint8_t clockMode, uint32_t divider) {
  if (clockMode == 0) return 6;
  uint32_t b = divider + 1;
  if (b == 1) return 5;
  if (b == 2) return 3;
  if (b <= 20) return 2;
  return 1;
}

void DecodeClock(int model, TBand band, const TRegisters &regs, uint8_t cobaltInterleave,
                 const TSignalSet &signals, TCaptureSetup &s) {
  uint8_t mode = regs[15];
  if ((model == kCobalt || model == kDorian) && !(mode & 0x10)) {
    s.probeComp = mode & 0x20;
    mode &= static_cast<uint8_t>(~0x20);
  }
  const bool bit6 = regs[32] & 0x40;
  bool interleave = false, consistent = true;
  switch (model) {
  case kBrisk:
    interleave = band == kBand200; // no register: the image interleaves
    break;
  case kCobalt:
    interleave = bit6 && cobaltInterleave == 1;
    consistent = bit6 == (cobaltInterleave == 1);
    break;
  case kDorian:
  case kDorian12:
  case kFenwick:
    interleave = bit6;
    break;
  default:
    break;
  }
  if (!consistent) return;
  const uint32_t divider16 = Bytes(regs, {40, 41});
  const uint32_t divider24 = Bytes(regs, {21, 22, 23});
  switch (band) {
  case kBand200:
    if (mode != 0 || !interleave || model == kArdent) return;
    s.rate = 200e6;
    s.interleave = 2;
    break;
  case kBandHF:
    if (mode > 2 || interleave) return;
    s.rate = mode == 0 ? 100e6 : mode == 1 ? 50e6 : 20e6;
    break;
  case kBandLF:
    if (interleave) return;
    if (mode == 0) {
      s.rate = 10e6 / (divider16 + 1.0);
    } else if ((mode == 0x10 || mode == 0x90) && model != kArdent) {
      s.rate = signals.clockRate;
      s.externalClock = mode == 0x90 ? 2 : 1;
    } else {
      return;
    }
    break;
  case kBandTwelveBit:
    if (mode == 0) {
      s.rate = interleave ? 100e6 : 50e6;
      s.interleave = interleave ? 2 : 1;
    } else if (mode == 1 && !interleave) {
      s.rate = 20e6 / (divider24 + 1.0);
    } else {
      return;
    }
    break;
  case kBandNone:
    return;
  }
  s.runnable = true;
}

// Pattern level and don't-care words, channels a model lacks as don't care.
void PatternWords(int model, const TRegisters &regs, uint32_t &level, uint32_t &mask) {
  if (model == kBrisk) {
    level = Bytes(regs, {13, 20, 30, 31});
    mask = Bytes(regs, {14, 21, 22, 29});
  } else {
    level = Bytes(regs, {13, 20});
    mask = Bytes(regs, {14, 21}) | 0xFFFF0000u;
  }
}

// Modes 1..10: edge (falling, rising, either), pattern, edge and pattern, edge
// or pattern; 11 (logic analyzer): the edge of register 42 after skipped ones.
void DecodeDigitalMode(int model, const TRegisters &regs, uint8_t mode, TCaptureSetup &s) {
  s.trigger = kTriggerDigital;
  s.digitalMode = mode;
  PatternWords(model, regs, s.patternLevel, s.patternMask);
  s.edgeChannel = regs[12] & 0x1F;
  if (mode == 11) {
    s.combine = TCaptureSetup::kEdge;
    s.edgeChannel = regs[42] & 0x1F;
    s.edgeType = regs[42] & 0x40 ? 1 : 0;
    return;
  }
  s.combine = mode <= 3   ? TCaptureSetup::kEdge
              : mode == 4 ? TCaptureSetup::kPattern
              : mode <= 7 ? TCaptureSetup::kEdgeAndPattern
                          : TCaptureSetup::kEdgeOrPattern;
  static const int kEdgeTypes[11] = {0, 1, 0, 2, 0, 1, 0, 2, 1, 0, 2};
  s.edgeType = kEdgeTypes[mode];
}

void DecodeTrigger(int model, const TRegisters &regs, TCaptureSetup &s) {
  const uint8_t m = regs[11];
  s.triggerMode = m;
  if (m == ForceValue(model)) {
    s.trigger = kTriggerForced;
    return;
  }
  switch (model) {
  case kArdent:
    s.analogEdges = m == 2 ? kRiseA : m == 3 ? kFallA : 0;
    break;
  case kBrisk:
    if (m >= 1 && m <= 11) DecodeDigitalMode(model, regs, m, s);
    break;
  case kCobalt:
  case kDorian:
    switch (m) {
    case 12:
      s.analogEdges = kFallA;
      break;
    case 13:
      s.analogEdges = kRiseA;
      break;
    case 14:
      s.analogEdges = kFallB;
      break;
    case 15:
      s.analogEdges = kRiseB;
      break;
    case 16:
      s.analogEdges = kRiseX;
      break;
    case 17:
      s.analogEdges = kFallX;
      break;
    default:
      if (model == kCobalt && m >= 1 && m <= 10) DecodeDigitalMode(model, regs, m, s);
      break;
    }
    break;
  case kDorian12:
  case kFenwick:
    s.analogEdges = m & (kRiseA | kFallA | kRiseB | kFallB | kRiseX | kFallX);
    break;
  default:
    break;
  }
  if (s.analogEdges) s.trigger = kTriggerAnalog;
  if (s.trigger != kTriggerDigital) return;
  if (model == kBrisk && m == 11) {
    uint32_t count = Bytes(regs, {43, 44, 45});
    s.skips = count > 0 ? count - 1 : 0;
  } else if (model == kCobalt && ((m >= 1 && m <= 3) || (m >= 5 && m <= 7))) {
    s.skips = Bytes(regs, {54, 55, 56});
  }
}

} // namespace

bool TwelveBit(int model) {
  return model == kDorian12 || model == kFenwick;
}

uint8_t ForceValue(int model) {
  switch (model) {
  case kArdent:
    return 1;
  case kBrisk:
    return 12;
  case kCobalt:
  case kDorian:
    return 18;
  case kDorian12:
  case kFenwick:
    return 32;
  default:
    return 0;
  }
}

const TGain &Gain(int model, int index) {
  if (TwelveBit(model)) return kGains12[std::clamp(index, 0, 5)];
  return kGains8[std::clamp(index, 0, 7)];
}

uint32_t DelayPositions(int model, const TRegisters &regs) {
  switch (model) {
  case kBrisk:
  case kCobalt:
  case kDorian:
    return Bytes(regs, {47, 48, 49, 50});
  case kDorian12:
  case kFenwick:
    return Bytes(regs, {17, 18, 19, 20});
  default:
    return 0;
  }
}

void AnalogLevels(int model, const TRegisters &regs, int &upper, int &lower) {
  if (TwelveBit(model)) {
    upper = static_cast<int16_t>(Bytes(regs, {51, 52}));
    lower = static_cast<int16_t>(Bytes(regs, {53, 54}));
  } else if (model == kArdent) {
    upper = regs[22];
    lower = regs[28];
  } else {
    upper = regs[52];
    lower = regs[51];
  }
}

TCaptureSetup DecodeSetup(int model, const char *image, const TRegisters &regs,
                          uint8_t cobaltInterleave, size_t bankSize, const TSignalSet &signals) {
  TCaptureSetup s;
  if (model <= kNotInstrument || model > kFenwick) return s;
  const bool twelve = TwelveBit(model);
  DecodeClock(model, BandOf(image), regs, cobaltInterleave, signals, s);
  DecodeTrigger(model, regs, s);

  const int64_t last = Bytes(regs, {3, 4, 5});
  s.positions = std::min<int64_t>(last + 1, static_cast<int64_t>(bankSize));
  s.samples = s.positions * s.interleave;
  uint32_t post = Bytes(regs, {0, 1, 2});
  if (twelve) {
    post &= 0x7FFFFF; // bit 23 is the Fenwick flag
    bool externalOnly = (s.analogEdges & (kRiseX | kFallX)) && !(s.analogEdges & 0x0F);
    s.latency = externalOnly ? 0 : PipelineDelay(regs[15], Bytes(regs, {21, 22, 23}));
  } else {
    s.latency = regs[kLatency];
  }
  s.post = (post + s.latency) * s.interleave;
  s.strobe = s.externalClock != 0 && post == 0;

  if (twelve) {
    s.gainA = std::min(5, (regs[33] & 1 ? 3 : 0) + (regs[32] & 3));
    s.gainB = std::min(5, (regs[33] & 2 ? 3 : 0) + (regs[32] >> 4 & 3));
  } else {
    s.gainA = (regs[33] & 1 ? 4 : 0) + (regs[32] & 3);
    s.gainB = (regs[33] & 2 ? 4 : 0) + (regs[32] >> 4 & 3);
  }
  s.acA = regs[36] & 1;
  s.acB = regs[36] & 2;
  s.channelB = model != kArdent && model != kBrisk && s.interleave == 1;
  if (model == kBrisk) s.digitalChannels = s.interleave == 2 ? 16 : 32;
  if (model == kCobalt) s.digitalChannels = s.interleave == 2 ? 8 : 16;

  if (model == kBrisk || model == kCobalt) {
    s.counting = !(regs[42] & 0x80);
    s.counterChannel = regs[42] & 0x3F;
    s.counterFalling = regs[42] & 0x40;
  }
  if (twelve) {
    s.probeComp = regs[40] == 2;
    s.probePeriod = Bytes(regs, {37, 38, 39});
    s.extTrigger = regs[40] == 3 ? 1 : regs[40] == 2 ? 2 : 0;
  }
  return s;
}

} // namespace velkemu
