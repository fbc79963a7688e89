#include "models.h"

#include <cstdio>
#include <cstring>

namespace velkemu {

namespace {

struct TModelInfo {
  const char *description;
  uint8_t bankMask; // bit n: bank n (port 25 + n) exists
  const char *identity;
  const char *version;
  const char *serialPrefix;
  uint8_t flags;
  uint8_t calibration[8];
};

// Indexed by model code. Zero codes stay 0 (nominal mid-scale 128).
constexpr TModelInfo kModels[] = {
    {"", 0x0, "", "", "", 0, {}},
    {"Ardent",
     0x4,
     "VELK Ardent",
     "1.20",
     "VA2611",
     0x00,
     {131, 129, 128, 126, 130, 127, 129, 128}},
    {"Brisk", 0xF, "VELK Brisk", "1.20", "VB2611", 0x01, {128, 128, 128, 128, 128, 128, 128, 128}},
    {"Cobalt",
     0xF,
     "VELK Cobalt",
     "1.20",
     "VC2611",
     0x00,
     {130, 128, 127, 129, 131, 126, 128, 130}},
    {"Dorian",
     0xC,
     "VELK Dorian",
     "1.20",
     "VD2611",
     0x00,
     {129, 131, 127, 128, 126, 130, 129, 127}},
    {"Dorian-12",
     0x7,
     "VELK Dorian-12",
     "2.03",
     "VE2611",
     0x00,
     {128, 127, 129, 130, 128, 126, 131, 129}},
    {"Fenwick",
     0x7,
     "VELK Fenwick",
     "2.03",
     "VF2611",
     0x00,
     {127, 129, 128, 131, 129, 128, 126, 130}},
};

} // namespace

int ModelFromDescription(std::string_view description) {
  for (int m = kArdent; m <= kFenwick; ++m)
    if (description == kModels[m].description) return m;
  return kNotInstrument;
}

bool ModelHasBank(int model, int bank) {
  if (model < 0 || model > kFenwick || bank < 0 || bank >= kBankCount) return false;
  return kModels[model].bankMask >> bank & 1;
}

// On the 12-bit scopes register 53 is a trigger-level byte.
bool LatencyIsReadOnly(int model) {
  return model != kDorian12 && model != kFenwick;
}

TInfoBlock DefaultInfoBlock(int model, int ordinal) {
  TInfoBlock block;
  if (model <= kNotInstrument || model > kFenwick) {
    block.fill(0xFF); // a blank memory, as on a bridge without an instrument
    return block;
  }
  block.fill(0);
  const TModelInfo &m = kModels[model];
  std::memcpy(&block[0], m.identity, std::strlen(m.identity));
  std::memcpy(&block[21], m.version, std::strlen(m.version));
  std::snprintf(reinterpret_cast<char *>(&block[27]), 211, "%s%03d", m.serialPrefix,
                ordinal % 1000);
  std::memcpy(&block[238], m.calibration, 8);
  block[kInfoFlags] = m.flags;
  return block;
}

size_t RamSizeOf(const TInfoBlock &block) {
  return block[kInfoFlags] & 1 ? kLargeRam : kSmallRam;
}

} // namespace velkemu
