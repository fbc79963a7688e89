// The instrument command protocol: "ADC" packets, the register primitives, the
// register batch, configuration image download and the information block.
#pragma once

#include "state.h"
#include "usb.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velkio {

constexpr uint8_t kImageKey = 0x3C;
constexpr size_t kPacketSize = 8;
constexpr size_t kHeaderSize = 7;

// Registers every model shares.
enum : uint8_t {
  kRegRun = 6,
  kRegArm = 9,
  kRegStatus = 10,
  kRegTriggerMode = 11,
  kRegClockMode = 15,
  kRegLED = 32,
  kRegLatency = 53,
  kRegInfoData = 60,
  kRegInfoControl = 61,
  kRegRelease = 63
};

// Packet layouts, also used by the tests.
void MakeHeader(uint8_t out[kHeaderSize], uint8_t reg, bool write, uint32_t length);
void MakeRegisterWrite(uint8_t out[kPacketSize], uint8_t reg, uint8_t value);

// The bit-bang stream of an image: 16 bytes per image byte, least significant
// bit first, then eight clock pulses with the data line low.
std::vector<uint8_t> ExpandImage(const std::vector<uint8_t> &image);

enum class TImageParse { Ok, Missing, Empty, BadText };
// Reads a configuration image file (bytes XORed with the key).
TImageParse ReadImageFile(const std::string &path, std::vector<uint8_t> &image);
// Reads the service form: hexadecimal digit pairs, nothing between them;
// line ends after the last pair are allowed.
TImageParse ReadServiceFile(const std::string &path, std::vector<uint8_t> &image);

class TProtocol {
public:
  TProtocol(TUSB &usb, TVelkio &state) : fUSB(usb), fState(state) {}

  bool WriteRegister(uint8_t reg, uint8_t value);
  // value is left alone when the read fails; callers preset it.
  bool ReadRegister(uint8_t reg, uint8_t &value);
  bool WriteBlock(uint8_t reg, const uint8_t *data, uint32_t length);
  bool ReadBlock(uint8_t reg, uint8_t *data, uint32_t length);

  void BeginBatch();
  void QueueRegister(uint8_t reg, uint8_t value);
  bool SendBatch();

  // Downloads the image Lib/<name>.v10 of the library folder unless it is the
  // one loaded last.
  bool DownloadImage(const std::u16string &name);
  // Downloads the service form from exactly this path; LoadedImage stays.
  bool DownloadServiceImage(const std::u16string &path);

  void ReadInfoBlock(uint8_t block[kInfoSize]);
  void WriteInfoBlock(const uint8_t block[kInfoSize]);
  // high * 65536 + middle * 256 + low; a failed read contributes 0.
  int32_t ReadCounter24(uint8_t high, uint8_t middle, uint8_t low);

  // After a failed transfer: false, with error 1 "Communication error. Device
  // not found.", when the instrument has gone away.
  bool StillThere() { return Purge(); }

  TUSB &USB() { return fUSB; }
  TVelkio &State() { return fState; }

private:
  bool Purge();
  bool SendStream(const std::vector<uint8_t> &image);

  TUSB &fUSB;
  TVelkio &fState;
};

} // namespace velkio
