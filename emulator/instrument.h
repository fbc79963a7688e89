// One emulated instrument as the host sees it through the USB bridge: the
// configuration state, the command stream, 128 registers, the memory banks, the
// information block, the bytes queued for the host and the capture.
#pragma once

#include "capture.h"
#include "command_parser.h"
#include "models.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace velkemu {

class TInstrument : private TCommandSink {
public:
  TInstrument(int model, int ordinal, const TBench &bench);
  TInstrument(const TInstrument &) = delete;
  TInstrument &operator=(const TInstrument &) = delete;

  int Model() const { return model_; }

  // Bytes from the host in normal mode. An unconfigured instrument drops them.
  void Receive(const uint8_t *data, size_t n);
  size_t Queued() const { return answers_.size() - answerHead_; }
  size_t TakeAnswer(uint8_t *out, size_t max);
  void DropAnswers();

  // Bit-bang mode: written bytes are pin states of an image download.
  // Entering it leaves the instrument unconfigured; leaving it decodes the
  // collected stream and configures the instrument when it carries an image
  // for this model.
  void EnterBitBang();
  void CollectPins(const uint8_t *data, size_t n);
  void LeaveBitBang();
  // Drops an unfinished download without decoding it.
  void AbandonBitBang();
  bool InBitBang() const { return bitBang_; }

  // Configures the instrument with a known image of its family (registers back
  // to their defaults); false for an image of another model.
  bool Configure(const char *imageName);
  // Power lost and back: unconfigured, registers at their defaults, banks and
  // queues empty. The information block is kept, as is the download count.
  void PowerCycle();

  const char *LoadedImage() const { return image_; }
  int DownloadCount() const { return downloads_; }
  bool Released() const { return released_; }

  // What a register read answers, and the raw setter of the control API. The
  // setter has no side effects, except that setting the status pins what
  // status reads answer until the host starts a capture (or a power-up).
  uint8_t ReadRegister(int reg) const { return (this->*readHooks_[reg])(reg); }
  void SetRegister(int reg, uint8_t value);

  // The capture as of the host's last contact, and whether the loaded image
  // provides the clock the registers select now.
  const TCapture &Capture() const { return capture_; }
  // Held time: the capture records n more samples.
  void Step(int64_t n) { capture_.Step(n); }
  TCaptureSetup DecodeNow() const;

  size_t BankSize(int bank) const { return banks_[bank].size(); }
  size_t ReadBank(int bank, uint8_t *out, size_t len) const;
  size_t WriteBank(int bank, const uint8_t *in, size_t len);

  const TInfoBlock &InfoBlock() const { return info_; }
  // Resizes the banks when the large-memory flag changes.
  void SetInfoBlock(const TInfoBlock &block);
  void SetBlankInfo(bool on) { blankInfo_ = on; }

private:
  using TWriteHook = void (TInstrument::*)(int reg, uint8_t value);
  using TReadHook = uint8_t (TInstrument::*)(int reg) const;
  enum TTarget { kToRegister, kToBank, kToPort, kDiscard };

  void WriteBegin(int reg, uint32_t length) override;
  void WriteData(const uint8_t *data, size_t n) override;
  void Read(int reg, uint32_t length) override;

  void InstallHooks();
  void ResetRegisters();
  void SizeBanks();
  bool IsBankPort(int reg) const;
  void QueueWrapped(const uint8_t *src, size_t size, size_t length);
  void QueueFill(uint8_t value, size_t length);

  void StoreWrite(int reg, uint8_t value) { regs_[reg] = value; }
  void IgnoreWrite(int, uint8_t) {}
  void InfoControlWrite(int reg, uint8_t value);
  void ReleaseWrite(int reg, uint8_t value);
  uint8_t StoredRead(int reg) const { return regs_[reg]; }
  // Capture control and what it reports.
  void RunWrite(int reg, uint8_t value);
  void ArmWrite(int reg, uint8_t value);
  void TriggerModeWrite(int reg, uint8_t value);
  void InterleaveFlagWrite(int reg, uint8_t value);
  uint8_t StatusRead(int reg) const;
  uint8_t StopPositionRead(int reg) const;
  uint8_t EdgeCountRead(int reg) const;

  int model_;
  const TBench &bench_;
  bool configured_ = false;
  bool released_ = false;
  bool bitBang_ = false;
  bool pinsOverflow_ = false;
  bool blankInfo_ = false;
  const char *image_ = "";
  int downloads_ = 0;

  std::array<uint8_t, 128> regs_{};
  std::array<TWriteHook, 128> writeHooks_{};
  std::array<TReadHook, 128> readHooks_{};
  std::array<std::vector<uint8_t>, kBankCount> banks_;
  TInfoBlock info_{};
  TInfoBlock port_{}; // register 60

  std::vector<uint8_t> answers_;
  size_t answerHead_ = 0;
  std::vector<uint8_t> pins_;

  TCapture capture_{model_, bench_, regs_, banks_, info_};
  // The combined model's register 53 as written (reads answer the latency).
  uint8_t interleaveFlag_ = 0;
  std::optional<uint8_t> pinnedStatus_;

  TCommandParser parser_{*this};
  TTarget target_ = kDiscard;
  int targetReg_ = 0;
  size_t targetAt_ = 0;
};

} // namespace velkemu
