// Stand-ins for the tests and benchmarks of the acquisition core that run
// without libvelkio.so and without a display: the library's item lists of
// three models, a front end that records its messages, and a full disk.
#pragma once

#include "record.h"
#include "ui.h"

#include <QString>

#include <sys/resource.h>
#include <vector>

enum class TFakeModel {
  Scope, // two channels, 8 bits: 19 clocks 200 MHz .. 200 Hz, channel B except at index 0,
         // 8 gains 25000 .. 100 mV, half range 128, features 0x01
  Logic, // 32 channels (16 at index 0), features 0x1E
  Mixed  // two channels and 16 digital channels (8 at index 0), features 0x1F
};

// Binds the item queries of r.Lib (GetClockItems, GetGainItems, GetConfigItems)
// to the model's tables; every other entry point stays null.
void InstallFakeLibrary(TVELK &r, TFakeModel model);

// A record as start-up leaves it: the fake library, the description, the
// capacity and the buffers (AllocateBuffers).
void SetUpFakeRecord(TVELK &r, TFakeModel model, const char *description,
                     uint32_t capacity = kSimulatedCapacity);

// Records every message box; AskOkCancel answers Answer.
class TRecordingUi : public TUserInterface {
public:
  struct TMessage {
    QString Text, Caption;
    TMessageIcon Icon;
  };
  std::vector<TMessage> Messages;
  bool Answer = true;

  void ShowMessage(const QString &text, const QString &caption, TMessageIcon icon) override;
  bool AskOkCancel(const QString &text, const QString &caption, TMessageIcon icon) override;
  int SelectDevice(const QString &, const QString &, const QStringList &) override { return -1; }
};

// While it lives, no file of this process can grow past bytes: writes beyond
// fail as on a full disk (even for root, unlike a read-only folder).
class TDiskFull {
public:
  explicit TDiskFull(rlim_t bytes);
  ~TDiskFull();
  TDiskFull(const TDiskFull &) = delete;
  TDiskFull &operator=(const TDiskFull &) = delete;

private:
  rlimit fOld{};
  void (*fOldHandler)(int) = nullptr;
};
