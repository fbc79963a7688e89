// Helpers of the emulator tests: a host that talks to the emulator through
// its D2XX entry points the way velkio does (overlapped transfers waiting on
// an EVENT_HANDLE), command and bit-bang stream builders, and the image files.
#pragma once

#include "d2xx.h"
#include "velkemu.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
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
