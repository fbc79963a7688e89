#include "protocol.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace velkio {

void MakeHeader(uint8_t out[kHeaderSize], uint8_t reg, bool write, uint32_t length) {
  out[0] = 'A';
  out[1] = 'D';
  out[2] = 'C';
  out[3] = write ? static_cast<uint8_t>(reg | 0x80) : static_cast<uint8_t>(reg & 0x7F);
  out[4] = static_cast<uint8_t>(length);
  out[5] = static_cast<uint8_t>(length >> 8);
  out[6] = static_cast<uint8_t>(length >> 16);
}

void MakeRegisterWrite(uint8_t out[kPacketSize], uint8_t reg, uint8_t value) {
  MakeHeader(out, reg, true, 1);
  out[7] = value;
}

std::vector<uint8_t> ExpandImage(const std::vector<uint8_t> &image) {
  std::vector<uint8_t> stream;
  stream.reserve(16 * image.size() + 16);
  for (uint8_t byte : image) {
    for (int bit = 0; bit < 8; ++bit) {
      if (byte & (1u << bit)) {
        stream.push_back(0x85);
        stream.push_back(0x87);
      } else {
        stream.push_back(0x04);
        stream.push_back(0x06);
      }
    }
  }
  // Eight more clock pulses let the device finish its start-up.
  for (int i = 0; i < 8; ++i) {
    stream.push_back(0x04);
    stream.push_back(0x06);
  }
  return stream;
}

namespace {

bool ReadWholeFile(const std::string &path, std::vector<uint8_t> &bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

} // namespace

TImageParse ReadImageFile(const std::string &path, std::vector<uint8_t> &image) {
  if (!ReadWholeFile(path, image)) return TImageParse::Missing;
  if (image.empty()) return TImageParse::Empty;
  for (uint8_t &b : image)
    b ^= kImageKey;
  return TImageParse::Ok;
}

TImageParse ReadServiceFile(const std::string &path, std::vector<uint8_t> &image) {
  std::vector<uint8_t> text;
  if (!ReadWholeFile(path, text)) return TImageParse::Missing;
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r'))
    --end;
  if (end == 0) return TImageParse::Empty;
  if (end % 2 != 0) return TImageParse::BadText;
  image.clear();
  image.reserve(end / 2);
  for (size_t i = 0; i < end; i += 2) {
    int hi = HexDigit(text[i]);
    int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return TImageParse::BadText;
    image.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return TImageParse::Ok;
}

bool TProtocol::Purge() {
  if (fUSB.PurgeBeforeCommand()) return true;
  // The bridge refuses even to clear its queues: the instrument is gone (or
  // there is no driver). Saying so with a code lets a caller that polls the
  // status stop instead of reading zeros forever.
  fState.ReportError(1, "Communication error. Device not found.");
  return false;
}

bool TProtocol::WriteRegister(uint8_t reg, uint8_t value) {
  if (!Purge()) return false;
  uint8_t packet[kPacketSize];
  MakeRegisterWrite(packet, reg, value);
  return fUSB.Write(packet, kPacketSize);
}

bool TProtocol::ReadRegister(uint8_t reg, uint8_t &value) {
  if (!Purge()) return false;
  uint8_t header[kHeaderSize];
  MakeHeader(header, reg, false, 1);
  if (!fUSB.Write(header, kHeaderSize)) return false;
  uint8_t answer = 0;
  if (!fUSB.Read(&answer, 1)) return false;
  value = answer;
  return true;
}

bool TProtocol::WriteBlock(uint8_t reg, const uint8_t *data, uint32_t length) {
  if (!Purge()) return false;
  uint8_t header[kHeaderSize];
  MakeHeader(header, reg, true, length);
  if (!fUSB.Write(header, kHeaderSize)) return false;
  return fUSB.Write(data, length);
}

bool TProtocol::ReadBlock(uint8_t reg, uint8_t *data, uint32_t length) {
  if (!Purge()) return false;
  uint8_t header[kHeaderSize];
  MakeHeader(header, reg, false, length);
  if (!fUSB.Write(header, kHeaderSize)) return false;
  return fUSB.Read(data, length);
}

void TProtocol::BeginBatch() {
  fUSB.Batch.clear();
}

void TProtocol::QueueRegister(uint8_t reg, uint8_t value) {
  uint8_t packet[kPacketSize];
  MakeRegisterWrite(packet, reg, value);
  fUSB.Batch.insert(fUSB.Batch.end(), packet, packet + kPacketSize);
}

bool TProtocol::SendBatch() {
  bool ok = fUSB.Batch.empty() || fUSB.Write(fUSB.Batch.data(), fUSB.Batch.size());
  fUSB.Batch.clear();
  return ok;
}

bool TProtocol::SendStream(const std::vector<uint8_t> &image) {
  std::vector<uint8_t> stream = ExpandImage(image);
  if (!fUSB.Reset()) {
    if (!fUSB.Reopen()) {
      fState.ReportError(1, "Communication error. Device not found.");
      return false;
    }
  }
  if (!WriteRegister(kRegRelease, 255)) {
    fState.ReportError(3, "Could not clear device.");
    return false;
  }
  // Every step runs even after one failed, so the bridge always ends up back
  // in normal mode with empty queues.
  bool ok = fUSB.Reset();
  ok = fUSB.BitBangMode() && ok;
  ok = fUSB.Write(stream.data(), stream.size()) && ok;
  ok = fUSB.NormalMode() && ok;
  ok = fUSB.Reset() && ok;
  ok = fUSB.PurgeQueues() && ok;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  // A configured device answers its status register; one that refused the
  // stream (a truncated or damaged image) stays silent, and reporting success
  // then would only move the failure to the first capture.
  uint8_t status = 0;
  if (ok) ok = ReadRegister(kRegStatus, status);
  if (!ok) {
    fState.ReportError(4, "Could not configure device");
    return false;
  }
  return true;
}

bool TProtocol::DownloadImage(const std::u16string &name) {
  if (name == fState.LoadedImage) return true;
  std::vector<uint8_t> image;
  std::string path = ToUtf8(fState.LibraryFolder) + "Lib/" + ToUtf8(name) + ".v10";
  if (ReadImageFile(path, image) != TImageParse::Ok) {
    fState.ReportError(2, "Missing library.");
    return false;
  }
  if (!SendStream(image)) return false;
  fState.LoadedImage = name.substr(0, kLoadedImageChars - 1);
  return true;
}

bool TProtocol::DownloadServiceImage(const std::u16string &path) {
  std::vector<uint8_t> image;
  switch (ReadServiceFile(ToUtf8(path), image)) {
  case TImageParse::Ok:
    break;
  case TImageParse::BadText:
    // Nothing reaches the device from a damaged file.
    fState.ReportError(4, "Could not configure device");
    return false;
  default:
    fState.ReportError(2, "Missing library.");
    return false;
  }
  return SendStream(image);
}

void TProtocol::ReadInfoBlock(uint8_t block[kInfoSize]) {
  uint8_t status = 0;
  WriteRegister(kRegInfoControl, 1);
  ReadRegister(kRegStatus, status);
  ReadBlock(kRegInfoData, block, kInfoSize);
}

void TProtocol::WriteInfoBlock(const uint8_t block[kInfoSize]) {
  uint8_t status = 0;
  WriteBlock(kRegInfoData, block, kInfoSize);
  WriteRegister(kRegInfoControl, 2);
  ReadRegister(kRegStatus, status);
}

int32_t TProtocol::ReadCounter24(uint8_t high, uint8_t middle, uint8_t low) {
  uint8_t h = 0, m = 0, l = 0;
  ReadRegister(high, h);
  ReadRegister(middle, m);
  ReadRegister(low, l);
  return h * 65536 + m * 256 + l;
}

} // namespace velkio
