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

TInstrument::TInstrument(int model, int ordinal, const TBench &bench)
    : model_(model), bench_(bench), info_(DefaultInfoBlock(model, ordinal)) {
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
  if (model_ == kNotInstrument) return;
  writeHooks_[kRun] = &TInstrument::RunWrite;
  writeHooks_[kArm] = &TInstrument::ArmWrite;
  writeHooks_[kTriggerMode] = &TInstrument::TriggerModeWrite;
  readHooks_[kStatus] = &TInstrument::StatusRead;
  if (model_ == kCobalt) writeHooks_[kLatency] = &TInstrument::InterleaveFlagWrite;
  if (model_ == kBrisk || model_ == kCobalt) {
    for (int reg : {0, 1, 2})
      readHooks_[reg] = &TInstrument::StopPositionRead;
    for (int reg : {43, 44, 45})
      readHooks_[reg] = &TInstrument::EdgeCountRead;
  }
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
// Every read is a moment at which the capture catches up with the clock.
void TInstrument::Read(int reg, uint32_t length) {
  capture_.Advance(TClock::now());
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

// ---- capture ----

void TInstrument::SetRegister(int reg, uint8_t value) {
  regs_[reg] = value;
  if (reg == kStatus) pinnedStatus_ = value;
}

TCaptureSetup TInstrument::DecodeNow() const {
  size_t bankSize = 0;
  for (const std::vector<uint8_t> &bank : banks_)
    bankSize = std::max(bankSize, bank.size());
  return DecodeSetup(model_, configured_ ? image_ : "", regs_, interleaveFlag_, bankSize,
                     bench_.signals);
}

// Start is arm = 0 then run = 1; run = 0 stops at any point.
void TInstrument::RunWrite(int reg, uint8_t value) {
  TClock::time_point now = TClock::now();
  capture_.Advance(now);
  regs_[reg] = value;
  if (!(value & 1)) {
    capture_.Stop();
  } else if (capture_.State() != TCapture::kRunning) {
    pinnedStatus_.reset();
    capture_.Start(image_, interleaveFlag_, now);
  }
}

// Arm = 0 clears the capture logic: the status bits go, the memory stays.
void TInstrument::ArmWrite(int reg, uint8_t value) {
  capture_.Advance(TClock::now());
  regs_[reg] = value;
  if (value == 0) capture_.Clear();
}

void TInstrument::TriggerModeWrite(int reg, uint8_t value) {
  capture_.Advance(TClock::now());
  regs_[reg] = value;
  capture_.TriggerModeWritten(value);
}

void TInstrument::InterleaveFlagWrite(int, uint8_t value) {
  interleaveFlag_ = value;
}

// Idle (after a set-up) the status reads 0x40 when the image provides the
// clock, else 0; a capture adds its bits to that.
uint8_t TInstrument::StatusRead(int) const {
  if (pinnedStatus_) return *pinnedStatus_;
  if (capture_.State() == TCapture::kIdle) return DecodeNow().runnable ? 0x40 : 0;
  return capture_.Status();
}

// Registers 0..2 read back the samples an external-clock capture recorded.
uint8_t TInstrument::StopPositionRead(int reg) const {
  if (capture_.State() == TCapture::kIdle || !capture_.Setup().externalClock) return regs_[reg];
  return static_cast<uint8_t>(static_cast<uint64_t>(capture_.Recorded()) >> (8 * reg));
}

// Registers 43..45 read the edge counter while it counts (register 42 bit 7
// clear); in edge-skip mode they keep the skip count written.
uint8_t TInstrument::EdgeCountRead(int reg) const {
  if (capture_.State() == TCapture::kIdle || !capture_.Setup().counting) return regs_[reg];
  return static_cast<uint8_t>(capture_.EdgeCount() >> (8 * (reg - 43)));
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
  capture_.Reset();
  interleaveFlag_ = 0;
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
  capture_.Reset();
  interleaveFlag_ = 0;
  pinnedStatus_.reset();
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
