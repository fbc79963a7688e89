#include "instrument.h"

#include "bitbang.h"
#include "image_format.h"

#include <algorithm>
#include <cstring>

namespace velkemu {

namespace {
// Far more than any image stream; a runaway download is refused, not stored.
constexpr size_t kMaxPinStream = 4u << 20;
} // namespace

TInstrument::TInstrument(int model, int ordinal)
    : model_(model), info_(DefaultInfoBlock(model, ordinal)) {
  InstallHooks();
  ResetRegisters();
  SizeBanks();
}

void TInstrument::InstallHooks() {
  writeHooks_.fill(&TInstrument::StoreWrite);
  readHooks_.fill(&TInstrument::StoredRead);
  writeHooks_[kStatus] = &TInstrument::IgnoreWrite;
  if (LatencyIsReadOnly(model_)) writeHooks_[kLatency] = &TInstrument::IgnoreWrite;
  writeHooks_[kInfoControl] = &TInstrument::InfoControlWrite;
  writeHooks_[kRelease] = &TInstrument::ReleaseWrite;
}

void TInstrument::ResetRegisters() {
  regs_.fill(0);
  if (LatencyIsReadOnly(model_)) regs_[kLatency] = kDefaultLatency;
}

void TInstrument::SizeBanks() {
  size_t size = RamSizeOf(info_);
  for (int b = 0; b < kBankCount; ++b)
    banks_[b].resize(ModelHasBank(model_, b) ? size : 0, 0);
}

bool TInstrument::IsBankPort(int reg) const {
  return reg >= kFirstBankPort && reg < kFirstBankPort + kBankCount &&
         ModelHasBank(model_, reg - kFirstBankPort);
}

// ---- host bytes and answers ----

void TInstrument::Receive(const uint8_t *data, size_t n) {
  if (configured_) parser_.Feed(data, n);
}

size_t TInstrument::TakeAnswer(uint8_t *out, size_t max) {
  size_t n = std::min(max, Queued());
  if (n) std::memcpy(out, answers_.data() + answerHead_, n);
  answerHead_ += n;
  if (answerHead_ == answers_.size()) DropAnswers();
  return n;
}

void TInstrument::DropAnswers() {
  answers_.clear();
  answerHead_ = 0;
}

void TInstrument::QueueWrapped(const uint8_t *src, size_t size, size_t length) {
  answers_.reserve(answers_.size() + length);
  while (length > 0) {
    size_t n = std::min(length, size);
    answers_.insert(answers_.end(), src, src + n);
    length -= n;
  }
}

void TInstrument::QueueFill(uint8_t value, size_t length) {
  answers_.insert(answers_.end(), length, value);
}

// ---- commands ----

// A 1-byte write to a port goes to the port's first address like a block
// write. On a model without the bank the port number is an ordinary register
// (the pen-type scope keeps a trigger level in register 28); block transfers
// to it are ignored and read as zeros.
void TInstrument::WriteBegin(int reg, uint32_t length) {
  targetReg_ = reg;
  targetAt_ = 0;
  if (IsBankPort(reg))
    target_ = kToBank;
  else if (reg == kInfoPort)
    target_ = kToPort;
  else if (reg >= kFirstBankPort && reg < kFirstBankPort + kBankCount && length > 1)
    target_ = kDiscard;
  else
    target_ = kToRegister;
}

void TInstrument::WriteData(const uint8_t *data, size_t n) {
  switch (target_) {
  case kToRegister:
    // Every data byte is a write of the register; the last one stays.
    for (size_t i = 0; i < n; ++i)
      (this->*writeHooks_[targetReg_])(targetReg_, data[i]);
    break;
  case kToBank: {
    std::vector<uint8_t> &bank = banks_[targetReg_ - kFirstBankPort];
    while (n > 0) {
      size_t take = std::min(n, bank.size() - targetAt_);
      std::memcpy(bank.data() + targetAt_, data, take);
      data += take, n -= take;
      targetAt_ = (targetAt_ + take) % bank.size();
    }
    break;
  }
  case kToPort:
    for (size_t i = 0; i < n; ++i)
      port_[(targetAt_ + i) % port_.size()] = data[i];
    targetAt_ = (targetAt_ + n) % port_.size();
    break;
  case kDiscard:
    break;
  }
}

// Block reads start at address 0 and wrap around at the end of the bank or
// port, so a read longer than the memory still answers every byte asked for.
void TInstrument::Read(int reg, uint32_t length) {
  if (length == 0) return;
  if (IsBankPort(reg)) {
    const std::vector<uint8_t> &bank = banks_[reg - kFirstBankPort];
    QueueWrapped(bank.data(), bank.size(), length);
  } else if (reg == kInfoPort) {
    QueueWrapped(port_.data(), port_.size(), length);
  } else if (reg >= kFirstBankPort && reg < kFirstBankPort + kBankCount && length > 1) {
    QueueFill(0, length);
  } else {
    QueueFill(ReadRegister(reg), length);
  }
}

void TInstrument::InfoControlWrite(int reg, uint8_t value) {
  regs_[reg] = value;
  if (value == 1) {
    if (blankInfo_)
      port_.fill(0xFF);
    else
      port_ = info_;
  } else if (value == 2) {
    // The memory fitted to the instrument does not change with the stored
    // flag; only the control API resizes the banks.
    info_ = port_;
  }
}

void TInstrument::ReleaseWrite(int reg, uint8_t value) {
  regs_[reg] = value;
  if (value == 255) released_ = true;
}

// ---- configuration ----

void TInstrument::EnterBitBang() {
  bitBang_ = true;
  configured_ = false;
  image_ = "";
  pins_.clear();
  pinsOverflow_ = false;
}

void TInstrument::CollectPins(const uint8_t *data, size_t n) {
  if (pinsOverflow_ || pins_.size() + n > kMaxPinStream) {
    pinsOverflow_ = true;
    return;
  }
  pins_.insert(pins_.end(), data, data + n);
}

// The stream holds the image and then 16 more pin states (eight clocks) that
// push the last bit through: one decoded byte past the image, of any value.
void TInstrument::LeaveBitBang() {
  if (!bitBang_) return;
  std::vector<uint8_t> bytes;
  bool decoded = !pinsOverflow_ && DecodeBitBang(pins_, bytes);
  AbandonBitBang();
  if (!decoded || bytes.size() != kImageSize + 1) return;
  const char *name = VerifyImage(bytes.data(), kImageSize);
  if (name && Configure(name)) ++downloads_;
}

void TInstrument::AbandonBitBang() {
  bitBang_ = false;
  pinsOverflow_ = false;
  std::vector<uint8_t>().swap(pins_);
}

bool TInstrument::Configure(const char *imageName) {
  const char *name = imageName ? KnownImageName(imageName) : nullptr;
  if (!name || !ImageFitsModel(name, model_)) return false;
  configured_ = true;
  released_ = false;
  image_ = name;
  ResetRegisters();
  port_.fill(0);
  parser_.Restart();
  return true;
}

void TInstrument::PowerCycle() {
  AbandonBitBang();
  configured_ = false;
  released_ = false;
  image_ = "";
  ResetRegisters();
  port_.fill(0);
  parser_.Restart();
  DropAnswers();
  for (std::vector<uint8_t> &bank : banks_)
    std::fill(bank.begin(), bank.end(), 0);
}

// ---- control API access ----

size_t TInstrument::ReadBank(int bank, uint8_t *out, size_t len) const {
  size_t n = std::min(len, banks_[bank].size());
  if (n) std::memcpy(out, banks_[bank].data(), n);
  return n;
}

size_t TInstrument::WriteBank(int bank, const uint8_t *in, size_t len) {
  size_t n = std::min(len, banks_[bank].size());
  if (n) std::memcpy(banks_[bank].data(), in, n);
  return n;
}

void TInstrument::SetInfoBlock(const TInfoBlock &block) {
  bool resize = RamSizeOf(block) != RamSizeOf(info_);
  info_ = block;
  if (resize) SizeBanks();
}

} // namespace velkemu
