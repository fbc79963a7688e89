#include "files.h"

#include "myini.h"
#include "settings.h"
#include "ui.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const QString kProject = QStringLiteral("Project");
const QString kDevice = QStringLiteral("Device");
const QString kFile = QStringLiteral("File");
const char *const kCouldNotSaveData = "Could not save data file.";
const char *const kCouldNotSave = "Could not save file.";
constexpr uint32_t kDefaultRamSize = 131072;

// Files written side by side under temporary names and renamed into place
// together once every one of them is complete; until then the old files stay.
class TFileBatch {
public:
  QSaveFile *Open(const QString &path) {
    auto file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly)) return nullptr;
    fFiles.push_back(std::move(file));
    return fFiles.back().get();
  }
  bool Commit() {
    bool ok = true;
    for (auto &f : fFiles)
      ok = f->commit() && ok;
    fFiles.clear();
    return ok;
  }

private:
  std::vector<std::unique_ptr<QSaveFile>> fFiles; // uncommitted ones are discarded
};

bool WriteBytes(QSaveFile &f, const char *data, qint64 size) {
  return f.write(data, size) == size;
}

// Ends a file of the batch: its buffered bytes must have been written, so that
// a full disk is found before anything is renamed (an error of the final
// flush inside QSaveFile::commit would not stop the rename).
bool Complete(QSaveFile &f) {
  return f.flush() && f.error() == QFileDevice::NoError;
}

// length 32-bit little-endian values; values past the buffer are written as 0.
bool WriteWords(QSaveFile &f, const void *words, size_t available, uint32_t length) {
  const size_t n = std::min<size_t>(available, length);
  if constexpr (std::endian::native == std::endian::little) {
    if (!WriteBytes(f, static_cast<const char *>(words), static_cast<qint64>(n * 4))) return false;
  } else {
    std::vector<uint32_t> le(n);
    std::memcpy(le.data(), words, n * 4);
    for (uint32_t &w : le)
      w = qToLittleEndian(w);
    if (!WriteBytes(f, reinterpret_cast<const char *>(le.data()), static_cast<qint64>(n * 4)))
      return false;
  }
  const QByteArray zeros(static_cast<qsizetype>((length - n) * 4), '\0');
  return WriteBytes(f, zeros.constData(), zeros.size());
}

bool AddWords(TFileBatch &batch, const QString &path, const void *words, size_t available,
              uint32_t length) {
  QSaveFile *f = batch.Open(path);
  return f && WriteWords(*f, words, available, length) && Complete(*f);
}

bool AddBytes(TFileBatch &batch, const QString &path, const QByteArray &bytes) {
  QSaveFile *f = batch.Open(path);
  return f && WriteBytes(*f, bytes.constData(), bytes.size()) && Complete(*f);
}

// The path with its extension (from the last '.' of the file name) replaced.
QString ReplaceExtension(const QString &path, const QString &ext) {
  const qsizetype slash = path.lastIndexOf(u'/');
  const qsizetype dot = path.lastIndexOf(u'.');
  return (dot > slash ? path.left(dot) : path) + ext;
}

std::vector<uint32_t> *LogicInView(TVELK &r) {
  if (r.ActiveDigitalTab < 0 || r.ActiveDigitalTab > 2) return nullptr;
  std::vector<uint32_t> &b = r.DigitalSamples[r.ActiveDigitalTab];
  return b.empty() ? nullptr : &b;
}

// Channel B works at the current clock (and has samples).
bool ChannelBWorks(const TVELK &r) {
  return !r.SamplesB.empty() && r.Lib.GetClockItems &&
         r.Lib.GetClockItems(0x400 + r.SamplingRate) != 0;
}

double ClockRate(const TVELK &r) {
  return r.Lib.GetClockItems ? r.Lib.GetClockItems(0x200 + r.SamplingRate) : 0;
}

// Volts per converter code at a gain index (before the probe's divider).
double VoltsPerCode(const TVELK &r, int32_t gain) {
  if (!r.Lib.GetGainItems || !r.Lib.GetConfigItems) return 0;
  const int32_t halfRange = r.Lib.GetConfigItems(0x200);
  if (halfRange <= 0) return 0;
  return static_cast<double>(r.Lib.GetGainItems(0x200 + gain)) / halfRange / 1000.0;
}

// "%u" and "%g" (C locale) appended to a text.
void AppendUnsigned(QByteArray &text, uint32_t v) {
  char b[16];
  text.append(b, std::to_chars(b, b + sizeof b, v).ptr - b);
}
void AppendG(QByteArray &text, double v) {
  char b[32];
  text.append(b, std::to_chars(b, b + sizeof b, v, std::chars_format::general, 6).ptr - b);
}

void AppendCursorLine(QByteArray &text, const uint32_t (&cursors)[4]) {
  for (int k = 0; k < 4; ++k) {
    if (k) text += ", ";
    AppendUnsigned(text, cursors[k]);
  }
  text += "\r\n";
}

// Seconds of sample i from the trigger.
double SampleTime(uint32_t i, uint32_t triggerAt, double rate) {
  return rate > 0 ? (static_cast<double>(i) - static_cast<double>(triggerAt)) / rate : 0.0;
}

bool SaveOne(TVELK &r, const QString &path, const QByteArray &bytes) {
  TFileBatch batch;
  if (!AddBytes(batch, path, bytes) || !batch.Commit()) {
    r.SetStatus(kCouldNotSaveData);
    return false;
  }
  return true;
}

bool SaveProject(TVELK &r) {
  const uint8_t kind = r.LastFileKind;
  CMyIni ini;
  ini.Open(r.FileName, kProject, false);
  ini.WriteWideString(
      kDevice, QStringLiteral("Signature"),
      QString::fromLatin1(r.DeviceDescription, qstrnlen(r.DeviceDescription, kDescriptionSize)));
  ini.WriteInt(kDevice, QStringLiteral("RamSize"), static_cast<int32_t>(r.BufferCapacity));
  ini.WriteInt(kDevice, QStringLiteral("Analog"), static_cast<int32_t>(r.DeviceFeatures & 1));
  ini.WriteInt(kDevice, QStringLiteral("Digital"), static_cast<int32_t>(r.DeviceFeatures & 2));
  ini.WriteInt(kFile, QStringLiteral("Type"), kind);
  WriteSettings(r, ini);

  TFileBatch batch;
  if (kind == kFileProject) {
    bool ok = true;
    if (const std::vector<uint32_t> *logic = LogicInView(r); r.HasDigital() && logic) {
      ok = AddWords(batch, ReplaceExtension(r.FileName, QStringLiteral(".dtd")), logic->data(),
                    logic->size(), r.BuffLength);
      ini.WriteInt(kFile, QStringLiteral("DataD"), 1);
    }
    if (ok && r.HasAnalog() && !r.SamplesA.empty()) {
      ok = AddWords(batch, ReplaceExtension(r.FileName, QStringLiteral(".dta")), r.SamplesA.data(),
                    r.SamplesA.size(), r.BuffLength);
      ini.WriteInt(kFile, QStringLiteral("DataA"), 1);
    }
    if (ok && r.HasAnalog() && !r.SamplesB.empty()) {
      ok = AddWords(batch, ReplaceExtension(r.FileName, QStringLiteral(".dtb")), r.SamplesB.data(),
                    r.SamplesB.size(), r.BuffLength);
      ini.WriteInt(kFile, QStringLiteral("DataB"), 1);
    }
    if (!ok) {
      // Nothing is renamed: the old project and its sample files stay whole.
      ini.Discard();
      r.SetStatus(kCouldNotSaveData);
      return false;
    }
  }
  // The project file is renamed last, after its sample files.
  const QByteArray bytes = ini.Serialize();
  ini.Discard();
  if (!AddBytes(batch, r.FileName, bytes) || !batch.Commit()) {
    r.SetStatus(kCouldNotSave);
    return false;
  }
  return true;
}

bool SaveBinaryAnalog(TVELK &r) {
  if (r.SamplesA.empty()) {
    r.SetStatus(kCouldNotSaveData);
    return false;
  }
  TFileBatch batch;
  bool ok;
  if (ChannelBWorks(r)) {
    ok = AddWords(batch, ReplaceExtension(r.FileName, QStringLiteral("A.bin")), r.SamplesA.data(),
                  r.SamplesA.size(), r.BuffLength) &&
         AddWords(batch, ReplaceExtension(r.FileName, QStringLiteral("B.bin")), r.SamplesB.data(),
                  r.SamplesB.size(), r.BuffLength);
  } else {
    ok = AddWords(batch, r.FileName, r.SamplesA.data(), r.SamplesA.size(), r.BuffLength);
  }
  if (!ok || !batch.Commit()) {
    r.SetStatus(kCouldNotSaveData);
    return false;
  }
  return true;
}

bool SaveBinaryDigital(TVELK &r) {
  const std::vector<uint32_t> *logic = LogicInView(r);
  TFileBatch batch;
  if (!logic || !AddWords(batch, r.FileName, logic->data(), logic->size(), r.BuffLength) ||
      !batch.Commit()) {
    r.SetStatus(kCouldNotSaveData);
    return false;
  }
  return true;
}

bool SaveTextAnalog(TVELK &r) {
  if (r.SamplesA.empty()) {
    r.SetStatus(kCouldNotSaveData);
    return false;
  }
  const bool withB = ChannelBWorks(r);
  const double rate = ClockRate(r);
  // The columns say volts, so volts it is (the millivolt figures of the
  // displays divided by 1000).
  const double scaleA = VoltsPerCode(r, r.GainChA);
  const double scaleB = VoltsPerCode(r, r.GainChB);
  auto sample = [](const std::vector<float> &s, uint32_t i) {
    return i < s.size() ? static_cast<double>(s[i]) : 0.0;
  };
  QByteArray text;
  text.reserve(static_cast<qsizetype>(r.BuffLength) * (withB ? 40 : 28) + 128);
  text += "Cursor T, CursorX, CursorY, CursorZ (X)\r\n";
  AppendCursorLine(text, r.CursorPos[0]);
  text += withB ? "Sample,Time (s),Channel A (V),Channel B (V)\r\n"
                : "Sample,Time (s),Channel A (V)\r\n";
  for (uint32_t i = 0; i < r.BuffLength; ++i) {
    AppendUnsigned(text, i);
    text += ',';
    AppendG(text, SampleTime(i, r.TriggerAt, rate));
    text += ',';
    AppendG(text, sample(r.SamplesA, i) * scaleA);
    if (withB) {
      text += ',';
      AppendG(text, sample(r.SamplesB, i) * scaleB);
    }
    text += "\r\n";
  }
  return SaveOne(r, r.FileName, text);
}

bool SaveTextDigital(TVELK &r) {
  const std::vector<uint32_t> *logic = LogicInView(r);
  if (!logic) {
    r.SetStatus(kCouldNotSaveData);
    return false;
  }
  int n = r.DigitalChannelCount;
  if (r.ClockSource == 0 && r.Lib.GetClockItems) n = r.Lib.GetClockItems(0x800 + r.SamplingRate);
  n = std::clamp(n, 0, kMaxChannels);
  const double rate = ClockRate(r);
  QByteArray text;
  text.reserve(static_cast<qsizetype>(r.BuffLength) * (20 + 2 * n) + 512);
  text += "Cursor T, CursorX, CursorY, CursorZ\r\n";
  AppendCursorLine(text, r.CursorPos[1]);
  text += "Sample,Time (s)";
  for (int c = n; c >= 1; --c) {
    text += ",Ch ";
    AppendUnsigned(text, static_cast<uint32_t>(c));
  }
  text += "\r\n";
  for (uint32_t i = 0; i < r.BuffLength; ++i) {
    const uint32_t word = i < logic->size() ? (*logic)[i] : 0;
    AppendUnsigned(text, i);
    text += ',';
    AppendG(text, SampleTime(i, r.TriggerAt, rate));
    for (int c = n; c >= 1; --c)
      text += (word >> (c - 1)) & 1 ? ",1" : ",0";
    text += "\r\n";
  }
  return SaveOne(r, r.FileName, text);
}

enum class TReadResult { Failed, Complete, Short };

// Reads length 32-bit little-endian values (at most as many as the buffer
// holds); a shorter file fills what it has and the rest is cleared, a longer
// one is read only that far.
TReadResult ReadWords(const QString &path, void *dest, size_t available, uint32_t length) {
  QFile f(path);
  if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) return TReadResult::Failed;
  const size_t count = std::min<size_t>(available, length);
  char *bytes = static_cast<char *>(dest);
  const qint64 got = f.read(bytes, static_cast<qint64>(count * 4));
  if (got < 0) return TReadResult::Failed;
  const size_t values = static_cast<size_t>(got) / 4;
  if constexpr (std::endian::native != std::endian::little) {
    auto *w = static_cast<uint32_t *>(dest);
    for (size_t i = 0; i < values; ++i)
      w[i] = qFromLittleEndian(w[i]);
  }
  std::memset(bytes + values * 4, 0, (count - values) * 4);
  return values < count ? TReadResult::Short : TReadResult::Complete;
}

void Message(TVELK &r, const QString &text, const QString &caption, TMessageIcon icon) {
  if (r.Ui) r.Ui->ShowMessage(text, caption, icon);
}

bool AskOkCancel(TVELK &r, const QString &text, const QString &caption, TMessageIcon icon) {
  return r.Ui ? r.Ui->AskOkCancel(text, caption, icon) : true;
}

} // namespace

bool SaveFile(TVELK &r) {
  switch (r.LastFileKind) {
  case kFileProject:
  case kFileSettings:
    return SaveProject(r);
  case kFileBinaryAnalog:
    return SaveBinaryAnalog(r);
  case kFileTextAnalog:
    return SaveTextAnalog(r);
  case kFileBinaryDigital:
    return SaveBinaryDigital(r);
  case kFileTextDigital:
    return SaveTextDigital(r);
  default:
    r.SetStatus(kCouldNotSaveData);
    return false;
  }
}

bool LoadFile(TVELK &r, const QString &path) {
  // Every check comes before the first change to the record.
  CMyIni ini;
  if (!QFileInfo(path).isFile() || !ini.Open(path, kProject, true)) {
    r.SetStatus("Could not open file.");
    return false;
  }
  char signature[101];
  ini.ReadString(kDevice, QStringLiteral("Signature"), "", signature, sizeof signature);
  if (std::strncmp(signature, r.DeviceDescription, kDescriptionSize) != 0) {
    Message(r,
            QStringLiteral("Incorrect file.\nFile saved for '%1' device.")
                .arg(QString::fromLatin1(signature)),
            QStringLiteral("Error"), TMessageIcon::Error);
    return false;
  }
  const int32_t kind = ini.ReadInt(kFile, QStringLiteral("Type"), kFileSettings);
  if (kind != kFileProject && kind != kFileSettings) {
    r.SetStatus("Could not open file.");
    return false;
  }
  bool samples = kind == kFileProject;
  const uint32_t ram = static_cast<uint32_t>(
      ini.ReadInt(kDevice, QStringLiteral("RamSize"), static_cast<int32_t>(kDefaultRamSize)));
  if (samples && ram != r.BufferCapacity) {
    if (!AskOkCancel(r,
                     QStringLiteral("File saved for device with different buffer size.\n"
                                    "Only settings will be restored."),
                     QStringLiteral("Warning"), TMessageIcon::Warning))
      return false;
    samples = false;
  }

  r.LastFileKind = static_cast<uint8_t>(kind);
  ReadSettings(r, ini);
  if (!samples) return true;

  bool shorter = false;
  struct TData {
    const char *Key, *Ext;
    void *Words;
    size_t Available;
    const char *Failure;
  };
  std::vector<uint32_t> *logic = LogicInView(r);
  const TData data[] = {
      {"DataD", ".dtd", r.HasDigital() && logic ? logic->data() : nullptr,
       logic ? logic->size() : 0, "Could not open data file. Settings loaded anyway."},
      {"DataA", ".dta", r.HasAnalog() && !r.SamplesA.empty() ? r.SamplesA.data() : nullptr,
       r.SamplesA.size(), "Could not open data file. Settings loaded anyway."},
      {"DataB", ".dtb", r.HasAnalog() && !r.SamplesB.empty() ? r.SamplesB.data() : nullptr,
       r.SamplesB.size(), "Could not open data file."},
  };
  for (const TData &d : data) {
    if (!d.Words || ini.ReadInt(kFile, QLatin1String(d.Key), 0) == 0) continue;
    switch (ReadWords(ReplaceExtension(path, QLatin1String(d.Ext)), d.Words, d.Available,
                      r.BuffLength)) {
    case TReadResult::Failed:
      r.SetStatus(d.Failure);
      return false;
    case TReadResult::Short:
      shorter = true;
      break;
    case TReadResult::Complete:
      break;
    }
  }
  if (shorter) r.SetStatus("Data file shorter than the capture; the rest was cleared.");
  return true;
}
