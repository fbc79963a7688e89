#include "emu_test_support.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

TEvent::TEvent() {
  pthread_cond_init(&ev.eCondVar, nullptr);
  pthread_mutex_init(&ev.eMutex, nullptr);
  ev.iVar = 0;
}

TEvent::~TEvent() {
  pthread_cond_destroy(&ev.eCondVar);
  pthread_mutex_destroy(&ev.eMutex);
}

bool TEvent::Signalled() {
  pthread_mutex_lock(&ev.eMutex);
  bool set = ev.iVar != 0;
  pthread_mutex_unlock(&ev.eMutex);
  return set;
}

void TEvent::Wait() {
  pthread_mutex_lock(&ev.eMutex);
  while (!ev.iVar)
    pthread_cond_wait(&ev.eCondVar, &ev.eMutex);
  pthread_mutex_unlock(&ev.eMutex);
}

static TTransferResult Transfer(FT_HANDLE h, bool write, void *buf, DWORD n) {
  TEvent event;
  OVERLAPPED ov{};
  ov.hEvent = &event.ev;
  DWORD moved = 0;
  TTransferResult r;
  BOOL done =
      write ? FT_W32_WriteFile(h, buf, n, &moved, &ov) : FT_W32_ReadFile(h, buf, n, &moved, &ov);
  if (done) {
    r.ok = true;
    r.count = moved;
    return r;
  }
  r.error = FT_W32_GetLastError(h);
  if (r.error != ERROR_IO_PENDING) return r;
  r.pending = true;
  event.Wait();
  r.ok = FT_W32_GetOverlappedResult(h, &ov, &r.count, FALSE) != 0;
  r.error = r.ok ? 0 : FT_W32_GetLastError(h);
  return r;
}

TTransferResult Write(FT_HANDLE h, const TBytes &data) {
  return Transfer(h, true, const_cast<uint8_t *>(data.data()), DWORD(data.size()));
}

TTransferResult Read(FT_HANDLE h, TBytes &out, DWORD n) {
  out.assign(n, 0xEE);
  TTransferResult r = Transfer(h, false, out.data(), n);
  out.resize(r.ok ? r.count : 0);
  return r;
}

static TBytes Header(int reg, uint32_t length) {
  return {
      'A', 'D', 'C', uint8_t(reg), uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16)};
}

TBytes RegWrite(int reg, uint8_t value) {
  return Cat({Header(reg | 0x80, 1), {value}});
}
TBytes BlockWrite(int reg, const TBytes &data) {
  return Cat({Header(reg | 0x80, uint32_t(data.size())), data});
}
TBytes ReadCmd(int reg, uint32_t length) {
  return Header(reg & 0x7F, length);
}

TBytes Cat(std::initializer_list<TBytes> parts) {
  TBytes all;
  for (const TBytes &p : parts)
    all.insert(all.end(), p.begin(), p.end());
  return all;
}

TBytes Ask(FT_HANDLE h, const TBytes &command, DWORD n) {
  FT_W32_PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR);
  if (!Write(h, command).ok) return {};
  TBytes answer;
  TTransferResult r = Read(h, answer, n);
  return r.ok && r.count == n ? answer : TBytes{};
}

int ReadReg(FT_HANDLE h, int reg) {
  TBytes answer = Ask(h, ReadCmd(reg, 1), 1);
  return answer.size() == 1 ? answer[0] : -1;
}

TBytes ImageFile(const std::string &name) {
  std::ifstream in(std::filesystem::path(VELK_TEST_BIN_DIR) / "Lib" / (name + ".v10"),
                   std::ios::binary);
  TBytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  for (uint8_t &b : bytes)
    b ^= 0x3C;
  return bytes;
}

TBytes BitBangStream(const TBytes &image) {
  TBytes stream;
  stream.reserve(16 * (image.size() + 1));
  auto clockIn = [&stream](uint8_t byte) {
    for (int bit = 0; bit < 8; ++bit) {
      bool one = byte >> bit & 1;
      stream.push_back(one ? 0x85 : 0x04);
      stream.push_back(one ? 0x87 : 0x06);
    }
  };
  for (uint8_t b : image)
    clockIn(b);
  clockIn(0);
  return stream;
}

void Download(FT_HANDLE h, const TBytes &stream, size_t chunk) {
  ASSERT_EQ(FT_OK, FT_ResetDevice(h));
  ASSERT_EQ(FT_OK, FT_SetBitMode(h, 0xFF, FT_BITMODE_ASYNC_BITBANG));
  for (size_t at = 0; at < stream.size(); at += chunk) {
    TBytes part(stream.begin() + at, stream.begin() + std::min(stream.size(), at + chunk));
    ASSERT_TRUE(Write(h, part).ok);
  }
  ASSERT_EQ(FT_OK, FT_SetBitMode(h, 0, FT_BITMODE_RESET));
}

FT_HANDLE OpenByDescription(const char *description) {
  return FT_W32_CreateFile(description, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED | FT_OPEN_BY_DESCRIPTION,
                           nullptr);
}

void TEmuTest::SetUpDevices(const char *list, bool configure) {
  velkemu_set_pending(0);
  velkemu_log_data(1);
  velkemu_reset(list);
  ASSERT_EQ(FT_OK, FT_Open(0, &h));
  if (configure && velkemu_model(0) > 0) {
    const char *image[] = {"", "Ardent", "Brisk", "Cobalt", "Dorian", "Dorian-12", "Dorian-12"};
    ASSERT_EQ(0, velkemu_load_image(0, image[velkemu_model(0)]));
  }
}

void TEmuTest::TearDown() {
  velkemu_set_pending(0);
  velkemu_reset("");
}

void TCaptureTest::Use(const char *model, const char *image, const char *signals) {
  SetUpDevices(model, false);
  ASSERT_EQ(0, velkemu_load_image(0, image));
  velkemu_set_speed(0);
  velkemu_set_noise(0);
  ASSERT_EQ(0, velkemu_set_signals(signals)) << signals;
}

void TCaptureTest::Set(const TRegs &regs) {
  TBytes batch;
  for (auto [reg, value] : regs)
    batch = Cat({batch, RegWrite(reg, uint8_t(value))});
  ASSERT_TRUE(Write(h, batch).ok);
}

void TCaptureTest::Memory(uint32_t positions, uint32_t post) {
  uint32_t last = positions - 1;
  Set({{3, last & 0xFF},
       {4, last >> 8 & 0xFF},
       {5, last >> 16 & 0xFF},
       {0, post & 0xFF},
       {1, post >> 8 & 0xFF},
       {2, post >> 16 & 0xFF}});
}

bool TCaptureTest::WaitFor(int bits) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while ((Status() & bits) != bits)
    if (std::chrono::steady_clock::now() > deadline) return false;
  return true;
}

std::vector<int> TCaptureTest::StepUntil(int bits, int64_t limit) {
  std::vector<int> seen{Status()};
  for (int64_t i = 0; i < limit && (seen.back() & bits) != bits; ++i) {
    velkemu_advance(0, 1);
    int s = Status();
    if (s != seen.back()) seen.push_back(s);
  }
  return seen;
}

velkemu_capture TCaptureTest::Info() {
  velkemu_capture c{};
  EXPECT_EQ(0, velkemu_get_capture(0, &c));
  return c;
}

std::vector<uint32_t> TCaptureTest::LogicCapture(uint32_t positions) {
  Memory(positions, positions / 2);
  Set({{15, 0}, {40, 9}, {41, 0}, {11, 12}});
  Start();
  EXPECT_EQ(0x01, Status() & 0x01);
  std::vector<uint32_t> words(positions, 0);
  for (int b = 0; b < 4; ++b) {
    TBytes bank = Bank(25 + b, positions);
    for (uint32_t i = 0; i < bank.size(); ++i)
      words[i] |= uint32_t(bank[i]) << (8 * b);
  }
  return words;
}
