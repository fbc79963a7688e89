// Transfers as the transport sees them: short reads, failed writes, unplugged
// devices, control faults, purges, pending mode and the transfer log.
#include "emu_test_support.h"

#include <iterator>
#include <thread>

namespace {

using Transfers = TEmuTest;

TEST_F(Transfers, AShortReadCompletesThroughThePendingPathWithTheBytesThere) {
  ASSERT_TRUE(Write(h, Cat({RegWrite(64, 0x11), ReadCmd(64, 8)})).ok);
  ASSERT_EQ(0, velkemu_fault_short_read(0, 1, 5));
  TBytes answer;
  TTransferResult r = Read(h, answer, 8);
  EXPECT_TRUE(r.pending);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(5u, r.count);
  EXPECT_EQ(TBytes(5, 0x11), answer);
  // The rest arrives late and stays queued until the next purge.
  DWORD queued = 0;
  ASSERT_EQ(FT_OK, FT_GetQueueStatus(h, &queued));
  EXPECT_EQ(3u, queued);
  EXPECT_TRUE(FT_W32_PurgeComm(h, 12));
  r = Read(h, answer, 1);
  EXPECT_TRUE(r.pending && r.ok && r.count == 0) << "nothing queued: the timeout ends the read";
  // A complete read answers at once.
  EXPECT_EQ(0x11, ReadReg(h, 64));
  EXPECT_FALSE(Read(h, answer, 0).pending);
}

TEST_F(Transfers, TheNthWriteFailsAndReachesNothing) {
  ASSERT_EQ(0, velkemu_fault_failed_write(0, 2));
  EXPECT_TRUE(Write(h, RegWrite(64, 1)).ok);
  TTransferResult r = Write(h, RegWrite(64, 2));
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.pending);
  EXPECT_NE(0u, r.error);
  EXPECT_EQ(1, velkemu_get_register(0, 64));
  EXPECT_TRUE(Write(h, RegWrite(64, 3)).ok) << "the fault strikes once";
  EXPECT_EQ(3, velkemu_get_register(0, 64));
}

TEST_F(Transfers, UnplugAfterNTransfersAndReplug) {
  SetUpDevices("Brisk,Dorian");
  ASSERT_EQ(0, velkemu_load_image(1, "Dorian"));
  ASSERT_EQ(0, velkemu_fault_unplug_after(1, 3));
  FT_HANDLE dorian = OpenByDescription("Dorian");
  ASSERT_NE(INVALID_HANDLE_VALUE, dorian);
  EXPECT_TRUE(Write(dorian, RegWrite(64, 9)).ok);
  EXPECT_EQ(9, ReadReg(dorian, 64)); // transfers 2 and 3; the device goes after the read
  TTransferResult r = Write(dorian, RegWrite(64, 1));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(1167u, r.error);
  TBytes answer;
  EXPECT_FALSE(Read(dorian, answer, 1).ok);
  EXPECT_NE(FT_OK, FT_Purge(dorian, 3));
  EXPECT_NE(FT_OK, FT_ResetDevice(dorian));

  DWORD n = 0;
  FT_ListDevices(&n, nullptr, FT_LIST_NUMBER_ONLY);
  EXPECT_EQ(1u, n);
  FT_HANDLE other = nullptr;
  EXPECT_EQ(FT_DEVICE_NOT_FOUND, FT_Open(1, &other));
  EXPECT_EQ(INVALID_HANDLE_VALUE, OpenByDescription("Dorian"));
  EXPECT_EQ(0, ReadReg(h, 64)) << "the other device carries on";

  ASSERT_EQ(0, velkemu_replug(1));
  FT_ListDevices(&n, nullptr, FT_LIST_NUMBER_ONLY);
  EXPECT_EQ(2u, n);
  EXPECT_FALSE(Write(dorian, RegWrite(64, 1)).ok) << "the old handle stays dead";
  FT_HANDLE fresh = OpenByDescription("Dorian");
  ASSERT_NE(INVALID_HANDLE_VALUE, fresh);
  EXPECT_STREQ("", velkemu_loaded_image(1)) << "plugging in powers the instrument up afresh";
  EXPECT_EQ(FT_OK, FT_Close(dorian));
  EXPECT_EQ(FT_OK, FT_Close(fresh));
}

TEST_F(Transfers, ControlFaultsFailTheirCallOnly) {
  struct {
    int op;
    const char *what;
  } ops[] = {{VELKEMU_OP_RESET, "reset"},
             {VELKEMU_OP_BITMODE, "bit mode"},
             {VELKEMU_OP_USB_PARAMS, "USB parameters"},
             {VELKEMU_OP_TIMEOUTS, "timeouts"},
             {VELKEMU_OP_LATENCY, "latency"},
             {VELKEMU_OP_PURGE, "purge"},
             {VELKEMU_OP_PURGE_COMM, "purge comm"}};
  auto calls = [this] {
    int failed = 0;
    failed |= (FT_ResetDevice(h) != FT_OK) << VELKEMU_OP_RESET;
    failed |= (FT_SetBitMode(h, 0, 0) != FT_OK) << VELKEMU_OP_BITMODE;
    failed |= (FT_SetUSBParameters(h, 4096, 0) != FT_OK) << VELKEMU_OP_USB_PARAMS;
    failed |= (FT_SetTimeouts(h, 10000, 10000) != FT_OK) << VELKEMU_OP_TIMEOUTS;
    failed |= (FT_SetLatencyTimer(h, 2) != FT_OK) << VELKEMU_OP_LATENCY;
    failed |= (FT_Purge(h, 3) != FT_OK) << VELKEMU_OP_PURGE;
    failed |= !FT_W32_PurgeComm(h, 12) << VELKEMU_OP_PURGE_COMM;
    return failed;
  };
  EXPECT_EQ(0, calls());
  for (auto &o : ops) {
    ASSERT_EQ(0, velkemu_fault_control(0, o.op, 1));
    EXPECT_EQ(1 << o.op, calls()) << o.what;
    velkemu_fault_control(0, o.op, 0);
  }
  velkemu_fault_control(0, 0, 1);
  EXPECT_EQ(0x3F8, calls());
  velkemu_fault_control(0, 0, 0);
  EXPECT_EQ(0, calls());
  EXPECT_EQ(-1, velkemu_fault_control(0, VELKEMU_OP_WRITE, 1));
  UCHAR latency = 0;
  EXPECT_EQ(FT_OK, FT_GetLatencyTimer(h, &latency));
  EXPECT_EQ(2, latency);
}

TEST_F(Transfers, PurgeAndResetDropAnswersButNotAHalfReceivedCommand) {
  const TBytes command = RegWrite(64, 0x42);
  DWORD queued = 0;
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    velkemu_set_register(0, 64, 0);
    ASSERT_TRUE(Write(h, Cat({ReadCmd(53, 4), TBytes(command.begin(), command.begin() + 5)})).ok);
    FT_GetQueueStatus(h, &queued);
    ASSERT_EQ(4u, queued);
    bool done = way == 0   ? FT_W32_PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR) != 0
                : way == 1 ? FT_Purge(h, FT_PURGE_RX | FT_PURGE_TX) == FT_OK
                           : FT_ResetDevice(h) == FT_OK;
    EXPECT_TRUE(done);
    FT_GetQueueStatus(h, &queued);
    EXPECT_EQ(0u, queued);
    ASSERT_TRUE(Write(h, TBytes(command.begin() + 5, command.end())).ok);
    EXPECT_EQ(0x42, velkemu_get_register(0, 64));
  }
  EXPECT_STREQ("Dorian", velkemu_loaded_image(0)) << "a reset keeps the configuration";
  EXPECT_TRUE(Write(h, ReadCmd(64, 2)).ok);
  EXPECT_TRUE(FT_W32_PurgeComm(h, PURGE_TXCLEAR)) << "only the receive side drops answers";
  FT_GetQueueStatus(h, &queued);
  EXPECT_EQ(2u, queued);
}

// In pending mode the caller waits on the event's condition variable as the
// transport does; completions come from the emulator's worker thread.
TEST_F(Transfers, PendingModeCompletesEveryTransferFromTheWorker) {
  velkemu_set_pending(1);
  for (int i = 0; i < 50; ++i) {
    TTransferResult w = Write(h, Cat({RegWrite(64, uint8_t(i)), ReadCmd(64, 1)}));
    ASSERT_TRUE(w.pending && w.ok);
    EXPECT_EQ(15u, w.count);
    TBytes answer;
    TTransferResult r = Read(h, answer, 1);
    ASSERT_TRUE(r.pending && r.ok);
    EXPECT_EQ(TBytes{uint8_t(i)}, answer);
  }
  // Failures and short reads come through the overlapped result.
  velkemu_fault_failed_write(0, 1);
  TTransferResult w = Write(h, RegWrite(64, 1));
  EXPECT_TRUE(w.pending);
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(31u, w.error);
  TBytes answer;
  TTransferResult r = Read(h, answer, 4);
  EXPECT_TRUE(r.pending && r.ok && r.count == 0);
}

TEST_F(Transfers, PendingResultsAreIncompleteUntilSignalledAndStoppingFlushesThem) {
  velkemu_set_pending(1);
  TBytes command = RegWrite(64, 7);
  TEvent event;
  OVERLAPPED ov{};
  ov.hEvent = &event.ev;
  DWORD moved = 99, count = 0;
  ASSERT_FALSE(FT_W32_WriteFile(h, command.data(), DWORD(command.size()), &moved, &ov));
  ASSERT_EQ(ERROR_IO_PENDING, FT_W32_GetLastError(h));
  if (!FT_W32_GetOverlappedResult(h, &ov, &count, FALSE)) {
    EXPECT_EQ(996u, FT_W32_GetLastError(h)); // unless the worker was already there
  }
  velkemu_set_pending(0); // completes what is still in flight
  EXPECT_TRUE(event.Signalled());
  EXPECT_TRUE(FT_W32_GetOverlappedResult(h, &ov, &count, FALSE));
  EXPECT_EQ(8u, count);
  EXPECT_FALSE(Write(h, command).pending) << "normal mode answers at once again";

  velkemu_set_pending(1);
  TEvent second;
  OVERLAPPED ov2{};
  ov2.hEvent = &second.ev;
  ASSERT_FALSE(FT_W32_WriteFile(h, command.data(), DWORD(command.size()), &moved, &ov2));
  EXPECT_TRUE(FT_W32_GetOverlappedResult(h, &ov2, &count, TRUE)) << "waits for the worker";
  EXPECT_TRUE(second.Signalled());
}

TEST_F(Transfers, PendingModeServesSeveralCallersAtOnce) {
  SetUpDevices("Dorian,Brisk");
  FT_HANDLE brisk = nullptr;
  ASSERT_EQ(FT_OK, FT_Open(1, &brisk));
  ASSERT_EQ(0, velkemu_load_image(1, "Brisk"));
  velkemu_set_pending(1);
  auto roundTrips = [](FT_HANDLE handle, int *good) {
    for (int i = 0; i < 100; ++i)
      if (Write(handle, RegWrite(70, uint8_t(i))).ok && ReadReg(handle, 70) == i) ++*good;
  };
  int good0 = 0, good1 = 0;
  std::thread other(roundTrips, brisk, &good1);
  roundTrips(h, &good0);
  other.join();
  EXPECT_EQ(100, good0);
  EXPECT_EQ(100, good1);
}

TEST_F(Transfers, TheLogRecordsEveryCallThatReachesADevice) {
  SetUpDevices("Acme UART,Dorian");
  FT_Close(h);
  velkemu_log_clear();
  FT_HANDLE d = OpenByDescription("Dorian");
  FT_SetUSBParameters(d, 4096, 0);
  FT_ResetDevice(d);
  FT_SetTimeouts(d, 10000, 10000);
  FT_SetLatencyTimer(d, 2);
  FT_SetBitMode(d, 0xFF, 1);
  FT_SetBitMode(d, 0, 0);
  FT_W32_PurgeComm(d, 12);
  FT_Purge(d, 3);
  const TBytes command = ReadCmd(60, 3);
  Write(d, command);
  TBytes answer;
  Read(d, answer, 2);
  velkemu_fault_failed_write(1, 1);
  Write(d, RegWrite(1, 1));
  FT_W32_CloseHandle(d);

  struct {
    int op;
    uint32_t arg, requested, moved;
    int ok;
  } want[] = {
      {VELKEMU_OP_OPEN, 0, 0, 0, 1},    {VELKEMU_OP_USB_PARAMS, 4096, 0, 0, 1},
      {VELKEMU_OP_RESET, 0, 0, 0, 1},   {VELKEMU_OP_TIMEOUTS, 10000, 0, 0, 1},
      {VELKEMU_OP_LATENCY, 2, 0, 0, 1}, {VELKEMU_OP_BITMODE, 0xFF01, 0, 0, 1},
      {VELKEMU_OP_BITMODE, 0, 0, 0, 1}, {VELKEMU_OP_PURGE_COMM, 12, 0, 0, 1},
      {VELKEMU_OP_PURGE, 3, 0, 0, 1},   {VELKEMU_OP_WRITE, 0, 7, 7, 1},
      {VELKEMU_OP_READ, 0, 2, 0, 1},    {VELKEMU_OP_WRITE, 0, 8, 0, 0},
      {VELKEMU_OP_CLOSE, 0, 0, 0, 1},
  };
  ASSERT_EQ(std::size(want), velkemu_log_count());
  for (size_t i = 0; i < std::size(want); ++i) {
    velkemu_transfer t{};
    ASSERT_EQ(0, velkemu_log_entry(i, &t));
    SCOPED_TRACE(i);
    EXPECT_EQ(1, t.dev);
    EXPECT_EQ(want[i].op, t.op);
    EXPECT_EQ(want[i].arg, t.arg);
    EXPECT_EQ(want[i].requested, t.requested);
    EXPECT_EQ(want[i].moved, t.moved);
    EXPECT_EQ(want[i].ok, t.ok);
  }
  velkemu_transfer t{};
  velkemu_log_entry(9, &t);
  ASSERT_EQ(command.size(), t.size);
  EXPECT_EQ(command, TBytes(t.data, t.data + t.size));
  EXPECT_EQ(-1, velkemu_log_entry(std::size(want), &t));
}

TEST_F(Transfers, LoggedReadsCarryTheirBytesUnlessDataLoggingIsOff) {
  ASSERT_EQ(0, ReadReg(h, 64));
  velkemu_transfer t{};
  ASSERT_EQ(0, velkemu_log_entry(velkemu_log_count() - 1, &t));
  EXPECT_EQ(VELKEMU_OP_READ, t.op);
  ASSERT_EQ(1u, t.size);
  EXPECT_EQ(0, t.data[0]);

  velkemu_log_data(0);
  ReadReg(h, 64);
  velkemu_log_entry(velkemu_log_count() - 1, &t);
  EXPECT_EQ(1u, t.moved);
  EXPECT_EQ(0u, t.size);
  EXPECT_EQ(nullptr, t.data);
  velkemu_log_clear();
  EXPECT_EQ(0u, velkemu_log_count());
}

} // namespace
