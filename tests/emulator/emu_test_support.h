// Helpers of the emulator tests: a host that talks to the emulator through
// its D2XX entry points the way velkio does (overlapped transfers waiting on
// an EVENT_HANDLE), command and bit-bang stream builders, and the image files.
#pragma once

#include "d2xx.h"
#include "velkemu.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using TBytes = std::vector<uint8_t>;

// A manual-reset event as the transport creates it for every transfer.
struct TEvent {
  EVENT_HANDLE ev;
  TEvent();
  ~TEvent();
  bool Signalled();
  void Wait();
};

struct TTransferResult {
  bool ok = false;
  bool pending = false; // answered FALSE with 997
  DWORD count = 0;
  DWORD error = 0; // last error of a failed transfer
};

// One overlapped transfer: waits on the event when it is answered pending,
// then takes the overlapped result.
TTransferResult Write(FT_HANDLE h, const TBytes &data);
TTransferResult Read(FT_HANDLE h, TBytes &out, DWORD n);

// "ADC" packets.
TBytes RegWrite(int reg, uint8_t value);
TBytes BlockWrite(int reg, const TBytes &data);
TBytes ReadCmd(int reg, uint32_t length);
TBytes Cat(std::initializer_list<TBytes> parts);

// Sends a command and reads n bytes of answer; empty when the read fails or
// comes up short.
TBytes Ask(FT_HANDLE h, const TBytes &command, DWORD n);
int ReadReg(FT_HANDLE h, int reg); // -1 when nothing answers

// Image bytes from bin/Lib/NAME.v10 (key removed), and the bit-bang stream of
// an image: 16 pin states per byte and 16 trailing ones.
TBytes ImageFile(const std::string &name);
TBytes BitBangStream(const TBytes &image);
// Sends a stream as velkio does: reset, bit-bang mode, the stream in chunks,
// normal mode.
void Download(FT_HANDLE h, const TBytes &stream, size_t chunk = 0x40000);

FT_HANDLE OpenByDescription(const char *description);

// Every test starts from its own device list and normal mode, whatever
// VELK_EMULATE says; the first device is open as h.
class TEmuTest : public ::testing::Test {
protected:
  void SetUpDevices(const char *list, bool configure = true);
  void SetUp() override { SetUpDevices("Dorian"); }
  void TearDown() override;
  FT_HANDLE h = nullptr;
};

using TRegs = std::vector<std::pair<int, int>>;

// Captures programmed register by register, as a host would.
class TCaptureTest : public TEmuTest {
protected:
  // A fresh instrument of model with image loaded, instant captures, exact
  // samples and the default signals overridden by signals.
  void Use(const char *model, const char *image, const char *signals = nullptr);
  // Register writes in one transfer.
  void Set(const TRegs &regs);
  // Memory positions per bank and the post-trigger count (registers 3..5, 0..2).
  void Memory(uint32_t positions, uint32_t post);
  void Start() { Set({{9, 0}, {6, 1}}); }
  int Status() { return ReadReg(h, 10); }
  // Polls the status until it has all of bits; false after a second.
  bool WaitFor(int bits);
  // With held time (velkemu_hold_time): moves the capture on one sample at a
  // time until the status has all of bits, at most limit samples. Answers
  // every status that differs from the one before, the first one included.
  std::vector<int> StepUntil(int bits, int64_t limit);
  velkemu_capture Info();
  TBytes Bank(int port, uint32_t n) { return Ask(h, ReadCmd(port, n), n); }
  // The logic analyzer at 1 MHz, triggered by force: the 32-bit samples of
  // the positions its memory holds, sample first_sample first.
  std::vector<uint32_t> LogicCapture(uint32_t positions);
};
