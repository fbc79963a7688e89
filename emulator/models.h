// What sets the emulated models apart: the USB description that names each,
// the memory banks it has, whether register 53 is the read-only device
// latency, and the information block it leaves the factory with.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace velkemu {

enum TModel {
  kNotInstrument = 0,
  kArdent = 1,
  kBrisk = 2,
  kCobalt = 3,
  kDorian = 4,
  kDorian12 = 5,
  kFenwick = 6, // a Dorian-12 with one flag
};

constexpr int kBankCount = 4;
constexpr int kFirstBankPort = 25; // ports 25..28 are banks 0..3
constexpr int kInfoPort = 60;
constexpr int kInfoControl = 61;
constexpr int kRelease = 63;
constexpr int kRun = 6;
constexpr int kArm = 9;
constexpr int kStatus = 10;
constexpr int kTriggerMode = 11;
constexpr int kLatency = 53;
constexpr uint8_t kDefaultLatency = 3;
constexpr size_t kSmallRam = 0x20000, kLargeRam = 0x80000;

using TInfoBlock = std::array<uint8_t, 256>;
constexpr int kInfoFlags = 255; // bit 0: large memory

// Exact, case-sensitive; any other description is not an instrument.
int ModelFromDescription(std::string_view description);
bool ModelHasBank(int model, int bank);
bool LatencyIsReadOnly(int model);
// The factory block of a model; ordinal (1, 2, ...) tells apart several
// instruments of one model by the last digits of the serial number.
TInfoBlock DefaultInfoBlock(int model, int ordinal);
size_t RamSizeOf(const TInfoBlock &block);

} // namespace velkemu
