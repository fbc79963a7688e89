#include "files.h"

#include "myini.h"
#include "settings.h"
#include "ui.h"

#include "filesys.h"

#include <QCryptographicHash>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
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
constexpr qint64 kMaxStoreSize = 4 * 1024 * 1024;
constexpr qint64 kMaxSampleFileSize = 64 * 1024 * 1024;

// length 32-bit little-endian values; values past the buffer are 0.
QByteArray WordBytes(const void *words, size_t available, uint32_t length) {
  QByteArray out(static_cast<qsizetype>(length) * 4, '\0');
  const size_t n = std::min<size_t>(available, length);
  if (n > 0) std::memcpy(out.data(), words, n * 4);
  if constexpr (std::endian::native != std::endian::little) {
    auto *w = reinterpret_cast<uint32_t *>(out.data());
    for (size_t i = 0; i < n; ++i)
      w[i] = qToLittleEndian(w[i]);
  }
  return out;
}

// What a project file records of each sample file, so that a sample file of
// another save (a save cut short between its renames, a file copied over) is
// found instead of being shown beside the wrong capture.
QString Stamp(const QByteArray &bytes) {
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

// The status text of a failed save: a path that may not be replaced is
// "Could not save file." whatever the kind.
bool SaveFailed(TVELK &r, const TFileSet &set, const char *text, QString *problem) {
  r.SetStatus(set.Refused() ? kCouldNotSave : text);
  if (problem) *problem = set.Problem();
  return false;
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

bool SaveOne(TVELK &r, const QString &path, const QByteArray &bytes, QString *problem) {
  TFileSet set;
  if (!set.Add(path, bytes) || !set.Commit()) return SaveFailed(r, set, kCouldNotSaveData, problem);
  return true;
}

bool SaveProject(TVELK &r, QString *problem) {
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

  // Every file is complete on disk before the first rename, and the project
  // file is renamed last: see docs/ARCHITECTURE.md for what a crash leaves.
  TFileSet set;
  if (kind == kFileProject) {
    const std::vector<uint32_t> *logic = LogicInView(r);
    struct {
      const char *Key, *Ext;
      const void *Words;
      size_t Available;
    } const data[] = {
        {"DataD", ".dtd", r.HasDigital() && logic ? logic->data() : nullptr,
         logic ? logic->size() : 0},
        {"DataA", ".dta", r.HasAnalog() && !r.SamplesA.empty() ? r.SamplesA.data() : nullptr,
         r.SamplesA.size()},
        {"DataB", ".dtb", r.HasAnalog() && !r.SamplesB.empty() ? r.SamplesB.data() : nullptr,
         r.SamplesB.size()},
    };
    for (const auto &d : data) {
      if (!d.Words) continue;
      const QByteArray bytes = WordBytes(d.Words, d.Available, r.BuffLength);
      if (!set.Add(ReplaceExtension(r.FileName, QLatin1String(d.Ext)), bytes)) {
        // Nothing is renamed: the old project and its sample files stay whole.
        ini.Discard();
        return SaveFailed(r, set, kCouldNotSaveData, problem);
      }
      const QString key = QLatin1String(d.Key);
      ini.WriteInt(kFile, key, 1);
      ini.WriteInt(kFile, key + QStringLiteral("Size"), static_cast<int32_t>(bytes.size()));
      ini.WriteWideString(kFile, key + QStringLiteral("Stamp"), Stamp(bytes));
    }
  }
  const QByteArray bytes = ini.Serialize();
  ini.Discard();
  if (!set.Add(r.FileName, bytes) || !set.Commit())
    return SaveFailed(r, set, kCouldNotSave, problem);
  return true;
}

bool SaveBinaryAnalog(TVELK &r, QString *problem) {
  if (r.SamplesA.empty()) {
    r.SetStatus(kCouldNotSaveData);
    return false;
  }
  TFileSet set;
  bool ok;
  if (ChannelBWorks(r)) {
    ok = set.Add(ReplaceExtension(r.FileName, QStringLiteral("A.bin")),
                 WordBytes(r.SamplesA.data(), r.SamplesA.size(), r.BuffLength)) &&
         set.Add(ReplaceExtension(r.FileName, QStringLiteral("B.bin")),
                 WordBytes(r.SamplesB.data(), r.SamplesB.size(), r.BuffLength));
  } else {
    ok = set.Add(r.FileName, WordBytes(r.SamplesA.data(), r.SamplesA.size(), r.BuffLength));
  }
  if (!ok || !set.Commit()) return SaveFailed(r, set, kCouldNotSaveData, problem);
  return true;
}

bool SaveBinaryDigital(TVELK &r, QString *problem) {
  const std::vector<uint32_t> *logic = LogicInView(r);
  if (!logic) {
    r.SetStatus(kCouldNotSaveData);
    return false;
  }
  return SaveOne(r, r.FileName, WordBytes(logic->data(), logic->size(), r.BuffLength), problem);
}

bool SaveTextAnalog(TVELK &r, QString *problem) {
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
  return SaveOne(r, r.FileName, text, problem);
}

bool SaveTextDigital(TVELK &r, QString *problem) {
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
  return SaveOne(r, r.FileName, text, problem);
}

// The converter's full scale in codes (the 12-bit one when no library says).
float FullScale(const TVELK &r) {
  const int32_t halfRange = r.Lib.GetConfigItems ? r.Lib.GetConfigItems(0x200) : 0;
  return static_cast<float>(halfRange > 0 ? halfRange : 2048);
}

// A sample file may hold values no converter makes: NaN and infinities become
// the full scale on their side (NaN the positive one), so they show as over
// range and the statistics stay numbers.
void ClampNonFinite(float *v, size_t n, float fullScale) {
  for (size_t i = 0; i < n; ++i)
    if (!std::isfinite(v[i])) v[i] = v[i] < 0 ? -fullScale : fullScale;
}

void Message(TVELK &r, const QString &text, const QString &caption, TMessageIcon icon) {
  if (r.Ui) r.Ui->ShowMessage(text, caption, icon);
}

bool AskOkCancel(TVELK &r, const QString &text, const QString &caption, TMessageIcon icon) {
  return r.Ui ? r.Ui->AskOkCancel(text, caption, icon) : true;
}

} // namespace

bool SaveFile(TVELK &r, QString *problem) {
  switch (r.LastFileKind) {
  case kFileProject:
  case kFileSettings:
    return SaveProject(r, problem);
  case kFileBinaryAnalog:
    return SaveBinaryAnalog(r, problem);
  case kFileTextAnalog:
    return SaveTextAnalog(r, problem);
  case kFileBinaryDigital:
    return SaveBinaryDigital(r, problem);
  case kFileTextDigital:
    return SaveTextDigital(r, problem);
  default:
    r.SetStatus(kCouldNotSaveData);
    return false;
  }
}

bool LoadFile(TVELK &r, const QString &path, QString *problem) {
  // Every check comes before the first change to the record.
  auto refuse = [&](const QString &why) {
    r.SetStatus("Could not open file.");
    if (problem) *problem = why;
    return false;
  };
  CMyIni ini;
  QByteArray bytes;
  QString why;
  if (!ReadWholeFile(path, kMaxStoreSize, bytes, &why)) return refuse(why);
  const QString kMissing = QStringLiteral("\x01");
  if (!ini.OpenBytes(bytes, kProject) ||
      ini.ReadWideString(kDevice, QStringLiteral("Signature"), kMissing) == kMissing)
    return refuse(DisplayName(path) + QStringLiteral(": not a project or settings file"));
  char signature[101];
  ini.ReadString(kDevice, QStringLiteral("Signature"), "", signature, sizeof signature);
  if (std::strncmp(signature, r.DeviceDescription, kDescriptionSize) != 0) {
    Message(r,
            QStringLiteral("Incorrect file.\nFile saved for '%1' device.")
                .arg(QString::fromLatin1(signature)),
            QStringLiteral("Error"), TMessageIcon::Error);
    if (problem) *problem = DisplayName(path);
    return false;
  }
  const int32_t kind = ini.ReadInt(kFile, QStringLiteral("Type"), kFileSettings);
  if (kind != kFileProject && kind != kFileSettings)
    return refuse(DisplayName(path) + QStringLiteral(": not a project or settings file"));
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
  const int64_t asked = ini.ReadInt(QStringLiteral("General"), QStringLiteral("BuffLength"),
                                    static_cast<int32_t>(r.BufferCapacity));
  ReadSettings(r, ini);
  // What the status line says about the length and the samples, once.
  QStringList notes;
  if (asked != r.BuffLength)
    notes << QStringLiteral("Length %1 not offered, %2 used.").arg(asked).arg(r.BuffLength);
  auto noted = [&] {
    if (!notes.isEmpty()) r.SetStatus(notes.join(u' '));
    return true;
  };
  if (!samples) return noted();

  std::vector<uint32_t> *logic = LogicInView(r);
  struct TData {
    const char *Key, *Ext;
    void *Words;
    size_t Available;
    const char *Failure;
  };
  const TData data[] = {
      {"DataD", ".dtd", r.HasDigital() && logic ? logic->data() : nullptr,
       logic ? logic->size() : 0, "Could not open data file. Settings loaded anyway."},
      {"DataA", ".dta", r.HasAnalog() && !r.SamplesA.empty() ? r.SamplesA.data() : nullptr,
       r.SamplesA.size(), "Could not open data file. Settings loaded anyway."},
      {"DataB", ".dtb", r.HasAnalog() && !r.SamplesB.empty() ? r.SamplesB.data() : nullptr,
       r.SamplesB.size(), "Could not open data file."},
  };
  // Every sample file is read and checked before any sample changes, so the
  // channels in view never come from different saves.
  QByteArray contents[3];
  for (int k = 0; k < 3; ++k) {
    const TData &d = data[k];
    if (!d.Words || ini.ReadInt(kFile, QLatin1String(d.Key), 0) == 0) continue;
    const QString dataPath = ReplaceExtension(path, QLatin1String(d.Ext));
    if (!ReadWholeFile(dataPath, kMaxSampleFileSize, contents[k], &why)) {
      r.SetStatus(d.Failure);
      if (problem) *problem = why;
      return false;
    }
    const QString key = QLatin1String(d.Key);
    const QString stamp = ini.ReadWideString(kFile, key + QStringLiteral("Stamp"), QString());
    if (!stamp.isEmpty() &&
        (contents[k].size() != ini.ReadInt(kFile, key + QStringLiteral("Size"), -1) ||
         Stamp(contents[k]) != stamp)) {
      r.SetStatus("Data file does not match the project. Settings loaded anyway.");
      if (problem) *problem = DisplayName(dataPath) + QStringLiteral(": written by another save");
      return false;
    }
  }
  size_t fewest = r.BuffLength;
  for (int k = 0; k < 3; ++k) {
    const TData &d = data[k];
    if (!d.Words || ini.ReadInt(kFile, QLatin1String(d.Key), 0) == 0) continue;
    // A shorter file fills what it has and the rest is cleared, a longer one
    // is read only that far.
    const size_t count = std::min<size_t>(d.Available, r.BuffLength);
    const size_t values = std::min<size_t>(count, static_cast<size_t>(contents[k].size()) / 4);
    std::memcpy(d.Words, contents[k].constData(), values * 4);
    if constexpr (std::endian::native != std::endian::little) {
      auto *w = static_cast<uint32_t *>(d.Words);
      for (size_t i = 0; i < values; ++i)
        w[i] = qFromLittleEndian(w[i]);
    }
    std::memset(static_cast<char *>(d.Words) + values * 4, 0, (count - values) * 4);
    if (k > 0) ClampNonFinite(static_cast<float *>(d.Words), values, FullScale(r));
    fewest = std::min(fewest, values);
  }
  if (fewest < r.BuffLength)
    notes << QStringLiteral("Data file shorter: %1 of %2 samples, the rest cleared.")
                 .arg(fewest)
                 .arg(r.BuffLength);
  return noted();
}
