// The transfer log of the control API: every call that reaches an open
// device, in order, with a copy of the bytes moved.
#pragma once

#include "velkemu.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace velkemu {

class TTransferLog {
public:
  void Add(int dev, int op, uint32_t arg, bool ok) { Add(dev, op, arg, 0, 0, ok, nullptr, 0); }
  void Add(int dev, int op, uint32_t arg, uint32_t requested, uint32_t moved, bool ok,
           const uint8_t *data, size_t size);
  size_t Count() const { return entries_.size(); }
  bool Entry(size_t i, velkemu_transfer *out) const;
  void Clear() { entries_.clear(); }
  void SetDataLogging(bool on) { withData_ = on; }

private:
  struct TEntry {
    velkemu_transfer head;
    std::vector<uint8_t> bytes;
  };
  // A deque keeps the entries (and so their byte buffers) in place as it
  // grows: the data pointers handed out stay valid until Clear.
  std::deque<TEntry> entries_;
  bool withData_ = true;
};

} // namespace velkemu
