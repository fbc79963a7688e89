#include "command_parser.h"

#include <algorithm>

namespace velkemu {

void TCommandParser::Feed(const uint8_t *data, size_t n) {
  static constexpr uint8_t kSyncBytes[3] = {'A', 'D', 'C'};
  size_t i = 0;
  while (i < n) {
    switch (state_) {
    case kSync: {
      uint8_t b = data[i++];
      if (b == kSyncBytes[matched_]) {
        if (++matched_ == 3) state_ = kHeader, matched_ = 0;
      } else {
        matched_ = b == 'A' ? 1 : 0;
      }
      break;
    }
    case kHeader: {
      header_[matched_++] = data[i++];
      if (matched_ < 4) break;
      int reg = header_[0] & 0x7F;
      uint32_t length = header_[1] | uint32_t(header_[2]) << 8 | uint32_t(header_[3]) << 16;
      matched_ = 0;
      state_ = kSync;
      if (header_[0] & 0x80) {
        sink_.WriteBegin(reg, length);
        if (length > 0) state_ = kData, remaining_ = length;
      } else {
        sink_.Read(reg, length);
      }
      break;
    }
    case kData: {
      size_t take = std::min<size_t>(remaining_, n - i);
      sink_.WriteData(data + i, take);
      i += take;
      remaining_ -= uint32_t(take);
      if (remaining_ == 0) state_ = kSync;
      break;
    }
    }
  }
}

} // namespace velkemu
