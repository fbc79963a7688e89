#include "bitbang.h"

namespace velkemu {

bool DecodeBitBang(const std::vector<uint8_t> &stream, std::vector<uint8_t> &bytes) {
  bytes.clear();
  if (stream.empty() || stream.size() % 16 != 0) return false;
  bytes.reserve(stream.size() / 16);
  for (size_t at = 0; at < stream.size(); at += 16) {
    uint8_t value = 0;
    for (int bit = 0; bit < 8; ++bit) {
      uint8_t low = stream[at + 2 * bit], high = stream[at + 2 * bit + 1];
      if (low == 0x85 && high == 0x87)
        value |= uint8_t(1u << bit);
      else if (low != 0x04 || high != 0x06)
        return false;
    }
    bytes.push_back(value);
  }
  return true;
}

} // namespace velkemu
