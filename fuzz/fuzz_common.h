// What the loader targets share: records of the five simulated models bound to
// a snapshot of the real library's item lists, inputs that carry several files,
// a scratch folder, and the promises the settings reader makes about the record
// it fills.
#pragma once

#include "record.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

constexpr int kFuzzModels = 5;

// Binds libvelkio.so (the build's), takes the item lists of every simulated
// model and makes the scratch folder. Aborts when the library cannot be bound.
void FuzzSetUp();

// While it lives the scratch folder is the working directory, so that the
// relative state-definition paths of the seeds name files in it (libFuzzer's
// own relative paths must not move, so it is only for the load).
class TFuzzInScratch {
public:
  TFuzzInScratch();
  ~TFuzzInScratch();
  TFuzzInScratch(const TFuzzInScratch &) = delete;
  TFuzzInScratch &operator=(const TFuzzInScratch &) = delete;

private:
  int fBack;
};

// A record as start-up leaves it in demo mode for model k (0..4): the
// description, the capacity, the library's item lists and the buffers. The
// records are made once (slots 0 and 1 of each model) and kept: a run costs no
// buffer allocations, and the samples the previous run loaded are cleared here
// so that a run depends on its input only.
TVELK &FuzzRecord(int model, int slot = 0);

// The model whose description is `description` (-1: none).
int FuzzModelOf(const QString &description);

// The files of one input: they follow each other, each after the first behind
// kFuzzFileMark.
inline constexpr char kFuzzFileMark[] = "\n@@velk-next-file@@\n";
std::vector<QByteArray> FuzzSplitFiles(const uint8_t *data, size_t size);
QByteArray FuzzJoinFiles(const std::vector<QByteArray> &files);

// Writes (or, for a missing part, removes) a file of the scratch folder and
// returns its path.
QString FuzzPutFile(const QString &name, const QByteArray *bytes);

// Aborts unless the record holds what the settings reader promises: every
// value in its range, a channel table that holds together, one definition and
// one decoded array per interpreter row, a state-definition reference that is
// loaded or empty.
void FuzzCheckRecord(const TVELK &r);

// What the windows do with a loaded record: decode the interpreters, count the
// edges, take the statistics of the analog channels, search the trigger pattern.
void FuzzUseRecord(TVELK &r);
