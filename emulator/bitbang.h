// Decoding of the bit-bang stream that shifts a configuration image into an
// instrument. Every image byte arrives as 16 pin states, least significant bit
// first, two per bit: 0x85, 0x87 for a 1 and 0x04, 0x06 for a 0 (pin 1 is the
// clock, pins 0 and 7 the data bit, pin 2 held high).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velkemu {

// The bytes the stream clocks in, or false for an empty stream, a length that
// is not a multiple of 16, or any pair of pin states other than the two above.
bool DecodeBitBang(const std::vector<uint8_t> &stream, std::vector<uint8_t> &bytes);

} // namespace velkemu
