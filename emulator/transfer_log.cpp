#include "transfer_log.h"

namespace velkemu {

void TTransferLog::Add(int dev, int op, uint32_t arg, uint32_t requested, uint32_t moved, bool ok,
                       const uint8_t *data, size_t size) {
  TEntry &e = entries_.emplace_back();
  e.head = velkemu_transfer{dev, op, arg, requested, moved, ok ? 1 : 0, nullptr, 0};
  if (withData_ && data && size) e.bytes.assign(data, data + size);
}

bool TTransferLog::Entry(size_t i, velkemu_transfer *out) const {
  if (i >= entries_.size() || !out) return false;
  const TEntry &e = entries_[i];
  *out = e.head;
  out->data = e.bytes.empty() ? nullptr : e.bytes.data();
  out->size = e.bytes.size();
  return true;
}

} // namespace velkemu
