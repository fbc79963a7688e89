// The instrument's command parser: "ADC", a register byte (bits 0-6 the
// register, bit 7 set for a write), a 24-bit little-endian length, then for
// writes the data. Commands may be split across transfers and a transfer may
// hold several; bytes before "ADC" are skipped.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velkemu {

class TCommandSink {
public:
  virtual ~TCommandSink() = default;
  // A write command begins; its data follows in one or more WriteData calls.
  virtual void WriteBegin(int reg, uint32_t length) = 0;
  virtual void WriteData(const uint8_t *data, size_t n) = 0;
  virtual void Read(int reg, uint32_t length) = 0;
};

class TCommandParser {
public:
  explicit TCommandParser(TCommandSink &sink) : sink_(sink) {}
  void Feed(const uint8_t *data, size_t n);
  // Forgets a partly received command (the instrument was reconfigured).
  void Restart() { state_ = kSync, matched_ = 0; }

private:
  enum TState { kSync, kHeader, kData };
  TCommandSink &sink_;
  TState state_ = kSync;
  int matched_ = 0;     // bytes of "ADC" seen, or header bytes after it
  uint8_t header_[4]{}; // register byte and length
  uint32_t remaining_ = 0;
};

} // namespace velkemu
