// Project, settings-only and data files: what is written, what is refused, and
// that a failure never costs the old files or the record's state.
#include "fake_library.h"
#include "file_helpers.h"
#include "files.h"
#include "myini.h"
#include "settings.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The settings part of the record as it would be saved.
QByteArray Snapshot(TVELK &r) {
  CMyIni ini;
  WriteSettings(r, ini);
  const QByteArray bytes = ini.Serialize();
  ini.Discard();
  return bytes;
}

template <typename T> QByteArray Raw(const std::vector<T> &v, size_t n) {
  return QByteArray(reinterpret_cast<const char *>(v.data()), static_cast<qsizetype>(n * 4));
}

class Files : public ::testing::Test {
protected:
  QTemporaryDir dir;
  TRecordingUi ui;

  QString Path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

  // A record after start-up with the defaults, a capture of 1024 samples and
  // samples in every buffer.
  void Prepare(TVELK &r, TFakeModel model, const char *description, uint32_t capacity = 4096) {
    SetUpFakeRecord(r, model, description, capacity);
    CMyIni empty;
    ReadSettings(r, empty);
    r.BuffLength = 1024;
    r.TriggerAt = 512;
    r.SamplingRate = 7;
    r.Ui = &ui;
    for (uint32_t i = 0; i < r.SamplesA.size(); ++i)
      r.SamplesA[i] = static_cast<float>(i) * 0.5f - 100;
    for (uint32_t i = 0; i < r.SamplesB.size(); ++i)
      r.SamplesB[i] = -static_cast<float>(i);
    for (uint32_t i = 0; i < r.DigitalSamples[0].size(); ++i)
      r.DigitalSamples[0][i] = i * 2654435761u;
  }

  bool Save(TVELK &r, const char *name, TFileKind kind) {
    r.FileName = Path(name);
    r.LastFileKind = kind;
    return SaveFile(r);
  }
};

TEST_F(Files, AProjectOfAScopeWritesItsSampleFiles) {
  TVELK r;
  Prepare(r, TFakeModel::Scope, "Dorian");
  ASSERT_TRUE(Save(r, "p.prj", kFileProject));
  EXPECT_EQ(
      FolderEntries(dir.path()),
      (QStringList{QStringLiteral("p.dta"), QStringLiteral("p.dtb"), QStringLiteral("p.prj")}));
  EXPECT_EQ(FileBytes(Path("p.dta")), Raw(r.SamplesA, 1024));
  EXPECT_EQ(FileBytes(Path("p.dtb")), Raw(r.SamplesB, 1024));

  CMyIni ini;
  ASSERT_TRUE(ini.Open(Path("p.prj"), QStringLiteral("Project"), true));
  char signature[32];
  ini.ReadString(QStringLiteral("Device"), QStringLiteral("Signature"), "", signature,
                 sizeof signature);
  EXPECT_STREQ(signature, "Dorian");
  EXPECT_EQ(ini.ReadInt(QStringLiteral("Device"), QStringLiteral("RamSize"), 0), 4096);
  EXPECT_EQ(ini.ReadInt(QStringLiteral("Device"), QStringLiteral("Analog"), -1), 1);
  EXPECT_EQ(ini.ReadInt(QStringLiteral("Device"), QStringLiteral("Digital"), -1), 0);
  EXPECT_EQ(ini.ReadInt(QStringLiteral("File"), QStringLiteral("Type"), -1), 0);
  EXPECT_EQ(ini.ReadInt(QStringLiteral("File"), QStringLiteral("DataA"), -1), 1);
  EXPECT_EQ(ini.ReadInt(QStringLiteral("File"), QStringLiteral("DataB"), -1), 1);
  EXPECT_EQ(ini.ReadInt(QStringLiteral("File"), QStringLiteral("DataD"), -1), -1);
  EXPECT_EQ(ini.ReadInt(QStringLiteral("General"), QStringLiteral("BuffLength"), -1), 1024);
}

TEST_F(Files, AProjectRestoresSettingsAndSamples) {
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  r.GainChB = 5;
  std::strcpy(r.ChName[3], "Bob's");
  ASSERT_TRUE(Save(r, "p.prj", kFileProject));
  EXPECT_EQ(FileBytes(Path("p.dtd")), Raw(r.DigitalSamples[0], 1024));

  TVELK back;
  Prepare(back, TFakeModel::Mixed, "Cobalt");
  std::fill(back.SamplesA.begin(), back.SamplesA.end(), 0.0f);
  std::fill(back.SamplesB.begin(), back.SamplesB.end(), 0.0f);
  std::fill(back.DigitalSamples[0].begin(), back.DigitalSamples[0].end(), 0u);
  back.LastFileKind = kFileTextDigital;
  ASSERT_TRUE(LoadFile(back, Path("p.prj")));
  EXPECT_TRUE(ui.Messages.empty());
  EXPECT_STREQ(back.StatusText, "");
  EXPECT_EQ(back.LastFileKind, kFileProject);
  EXPECT_EQ(Snapshot(back), Snapshot(r));
  EXPECT_EQ(Raw(back.SamplesA, 1024), Raw(r.SamplesA, 1024));
  EXPECT_EQ(Raw(back.SamplesB, 1024), Raw(r.SamplesB, 1024));
  EXPECT_EQ(Raw(back.DigitalSamples[0], 1024), Raw(r.DigitalSamples[0], 1024));
}

TEST_F(Files, ASettingsFileOpensOnlyForItsInstrumentName) {
  TVELK r;
  Prepare(r, TFakeModel::Logic, "Brisk");
  r.HardwarePresent = false; // saved from the simulated instrument
  r.TriggerCond = 2;
  ASSERT_TRUE(Save(r, "s.set", kFileSettings));
  EXPECT_EQ(FolderEntries(dir.path()), QStringList{QStringLiteral("s.set")});

  TVELK other;
  Prepare(other, TFakeModel::Logic, "Brisk 2");
  const QByteArray before = Snapshot(other);
  EXPECT_FALSE(LoadFile(other, Path("s.set")));
  ASSERT_EQ(ui.Messages.size(), 1u);
  EXPECT_EQ(ui.Messages[0].Text, QStringLiteral("Incorrect file.\nFile saved for 'Brisk' device."));
  EXPECT_EQ(ui.Messages[0].Caption, QStringLiteral("Error"));
  EXPECT_EQ(ui.Messages[0].Icon, TMessageIcon::Error);
  EXPECT_EQ(Snapshot(other), before);

  TVELK same;
  Prepare(same, TFakeModel::Logic, "Brisk");
  std::fill(same.DigitalSamples[0].begin(), same.DigitalSamples[0].end(), 7u);
  ASSERT_TRUE(LoadFile(same, Path("s.set")));
  EXPECT_EQ(same.LastFileKind, kFileSettings);
  EXPECT_EQ(same.TriggerCond, 2);
  EXPECT_EQ(same.DigitalSamples[0][0], 7u); // settings only
}

TEST_F(Files, ADifferentBufferSizeRestoresOnlyTheSettingsAfterAsking) {
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  r.SamplingRate = 9;
  ASSERT_TRUE(Save(r, "p.prj", kFileProject));

  TVELK big;
  Prepare(big, TFakeModel::Mixed, "Cobalt", 8192);
  big.LastFileKind = kFileTextAnalog;
  const QByteArray before = Snapshot(big);
  const std::vector<float> samples = big.SamplesA;
  ui.Answer = false;
  EXPECT_FALSE(LoadFile(big, Path("p.prj")));
  ASSERT_EQ(ui.Messages.size(), 1u);
  EXPECT_EQ(ui.Messages[0].Text,
            QStringLiteral("File saved for device with different buffer size.\n"
                           "Only settings will be restored."));
  EXPECT_EQ(ui.Messages[0].Caption, QStringLiteral("Warning"));
  EXPECT_EQ(ui.Messages[0].Icon, TMessageIcon::Warning);
  EXPECT_EQ(Snapshot(big), before);
  EXPECT_EQ(big.LastFileKind, kFileTextAnalog);

  ui.Answer = true;
  ASSERT_TRUE(LoadFile(big, Path("p.prj")));
  EXPECT_EQ(big.SamplingRate, 9);
  EXPECT_EQ(big.SamplesA, samples);

  big.Ui = nullptr; // without a front end the warning counts as OK
  big.SamplingRate = 1;
  EXPECT_TRUE(LoadFile(big, Path("p.prj")));
  EXPECT_EQ(big.SamplingRate, 9);
}

TEST_F(Files, ARefusedFileLeavesTheRecordAsItWas) {
  TVELK saved;
  Prepare(saved, TFakeModel::Mixed, "Cobalt");
  ASSERT_TRUE(Save(saved, "good.prj", kFileProject));
  const QByteArray good = FileBytes(Path("good.prj"));
  QByteArray settingsRoot = good;
  settingsRoot.replace(Utf16File(QStringLiteral("Project")).mid(2),
                       Utf16File(QStringLiteral("Settings")).mid(2));
  QByteArray otherType = good;
  otherType.replace(Utf16File(QStringLiteral("<Type value = \"0\"/>")).mid(2),
                    Utf16File(QStringLiteral("<Type value = \"7\"/>")).mid(2));
  ASSERT_NE(otherType, good);

  const struct {
    const char *Name;
    QByteArray Bytes;
  } cases[] = {
      {"missing", QByteArray()},
      {"malformed", Utf16File(QStringLiteral("<Project><Device></Project>"))},
      {"truncated", good.left(good.size() / 2)},
      {"not UTF-16", QByteArray("<Project></Project>")},
      {"huge", QByteArray("huge")},
      {"a settings store", settingsRoot},
      {"an unknown type", otherType},
  };
  for (const auto &c : cases) {
    const QString path = Path("bad.prj");
    QFile::remove(path);
    if (c.Bytes == "huge")
      PutHugeFile(path);
    else if (!c.Bytes.isEmpty())
      PutFile(path, c.Bytes);
    TVELK r;
    Prepare(r, TFakeModel::Mixed, "Cobalt");
    r.SamplingRate = 11;
    r.LastFileKind = kFileTextDigital;
    std::fill(r.SamplesA.begin(), r.SamplesA.end(), 3.0f);
    const QByteArray before = Snapshot(r);
    EXPECT_FALSE(LoadFile(r, path)) << c.Name;
    EXPECT_STREQ(r.StatusText, "Could not open file.") << c.Name;
    EXPECT_EQ(Snapshot(r), before) << c.Name;
    EXPECT_EQ(r.LastFileKind, kFileTextDigital) << c.Name;
    EXPECT_EQ(r.SamplesA[0], 3.0f) << c.Name;
  }
  EXPECT_TRUE(ui.Messages.empty());
}

TEST_F(Files, ShortAndLongSampleFiles) {
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  ASSERT_TRUE(Save(r, "p.prj", kFileProject));
  // A project as the original product writes it: no stamps of its sample files.
  CMyIni prj;
  ASSERT_TRUE(prj.Open(Path("p.prj"), QStringLiteral("Project"), true));
  for (const char *key : {"DataDStamp", "DataAStamp", "DataBStamp"})
    prj.WriteWideString(QStringLiteral("File"), QLatin1String(key), QString());
  ASSERT_TRUE(prj.Save());
  // .dta ends after 100 values and half of another, .dtb runs on past the capture.
  PutFile(Path("p.dta"), Raw(r.SamplesA, 100) + QByteArray("\1\2", 2));
  const std::vector<float> extra(10, 99.0f);
  PutFile(Path("p.dtb"), Raw(r.SamplesB, 1024) + Raw(extra, 10));

  TVELK back;
  Prepare(back, TFakeModel::Mixed, "Cobalt");
  std::fill(back.SamplesA.begin(), back.SamplesA.end(), 7.0f);
  std::fill(back.SamplesB.begin(), back.SamplesB.end(), 7.0f);
  ASSERT_TRUE(LoadFile(back, Path("p.prj")));
  EXPECT_STREQ(back.StatusText, "Data file shorter: 100 of 1024 samples, the rest cleared.");
  EXPECT_EQ(Raw(back.SamplesA, 100), Raw(r.SamplesA, 100));
  EXPECT_EQ(std::count(back.SamplesA.begin() + 100, back.SamplesA.begin() + 1024, 0.0f), 924);
  EXPECT_EQ(back.SamplesA[1024], 7.0f); // past the capture: untouched
  EXPECT_EQ(Raw(back.SamplesB, 1024), Raw(r.SamplesB, 1024));
  EXPECT_EQ(back.SamplesB[1024], 7.0f);
}

TEST_F(Files, AMissingSampleFileKeepsTheSettingsAndSaysSo) {
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  r.SamplingRate = 12;
  ASSERT_TRUE(Save(r, "p.prj", kFileProject));
  const struct {
    const char *Removed, *Status;
  } cases[] = {{"p.dtd", "Could not open data file. Settings loaded anyway."},
               {"p.dta", "Could not open data file. Settings loaded anyway."},
               {"p.dtb", "Could not open data file."}};
  for (const auto &c : cases) {
    const QString removed = Path(c.Removed);
    const QByteArray bytes = FileBytes(removed);
    QFile::remove(removed);
    TVELK back;
    Prepare(back, TFakeModel::Mixed, "Cobalt");
    EXPECT_FALSE(LoadFile(back, Path("p.prj"))) << c.Removed;
    EXPECT_STREQ(back.StatusText, c.Status) << c.Removed;
    EXPECT_EQ(back.SamplingRate, 12) << c.Removed;
    PutFile(removed, bytes);
  }
}

TEST_F(Files, AFailedSaveKeepsTheOldFiles) {
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  r.BuffLength = 4096; // 16 KiB per sample file
  ASSERT_TRUE(Save(r, "p.prj", kFileProject));
  ASSERT_TRUE(Save(r, "s.set", kFileSettings));
  const QStringList names = FolderEntries(dir.path());
  std::vector<QByteArray> old;
  for (const QString &n : names)
    old.push_back(FileBytes(dir.filePath(n)));

  r.SamplingRate = 3;
  std::fill(r.SamplesA.begin(), r.SamplesA.end(), 1.0f);
  {
    TDiskFull full(8192);
    EXPECT_FALSE(Save(r, "p.prj", kFileProject));
    EXPECT_STREQ(r.StatusText, "Could not save data file.");
    EXPECT_FALSE(Save(r, "s.set", kFileSettings));
    EXPECT_STREQ(r.StatusText, "Could not save file.");
    for (TFileKind kind :
         {kFileBinaryAnalog, kFileTextAnalog, kFileBinaryDigital, kFileTextDigital}) {
      r.SetStatus("");
      EXPECT_FALSE(Save(r, "p.dta", kind)) << int(kind);
      EXPECT_STREQ(r.StatusText, "Could not save data file.") << int(kind);
    }
  }
  EXPECT_EQ(FolderEntries(dir.path()), names);
  for (int i = 0; i < names.size(); ++i)
    EXPECT_EQ(FileBytes(dir.filePath(names[i])), old[i]) << i;

  // A folder that does not exist.
  for (TFileKind kind : {kFileProject, kFileBinaryAnalog, kFileTextDigital}) {
    r.SetStatus("");
    EXPECT_FALSE(Save(r, "none/p.prj", kind));
    EXPECT_STREQ(r.StatusText, "Could not save data file.") << int(kind);
  }
}

TEST_F(Files, BinaryExportsSplitTheChannelsWhenBWorks) {
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  r.SamplingRate = 2; // channel B works
  ASSERT_TRUE(Save(r, "d.bin", kFileBinaryAnalog));
  EXPECT_EQ(FolderEntries(dir.path()),
            (QStringList{QStringLiteral("dA.bin"), QStringLiteral("dB.bin")}));
  EXPECT_EQ(FileBytes(Path("dA.bin")), Raw(r.SamplesA, 1024));
  EXPECT_EQ(FileBytes(Path("dB.bin")), Raw(r.SamplesB, 1024));

  r.SamplingRate = 0; // channel A alone
  ASSERT_TRUE(Save(r, "a.bin", kFileBinaryAnalog));
  EXPECT_EQ(FileBytes(Path("a.bin")), Raw(r.SamplesA, 1024));
  ASSERT_TRUE(Save(r, "l.bin", kFileBinaryDigital));
  EXPECT_EQ(FileBytes(Path("l.bin")), Raw(r.DigitalSamples[0], 1024));
  EXPECT_EQ(FolderEntries(dir.path()).size(), 4);
}

TEST_F(Files, TheAnalogTextExportIsInVolts) {
  TVELK r;
  Prepare(r, TFakeModel::Scope, "Dorian");
  r.BuffLength = 4;
  r.TriggerAt = 2;
  r.SamplingRate = 7; // 1 MHz
  r.GainChA = 4;      // 1000 mV at half scale
  r.GainChB = 1;      // 10000 mV
  const float a[] = {64, -128, 0, 12.8f}, b[] = {1, -1, 128, 64};
  std::copy(a, a + 4, r.SamplesA.begin());
  std::copy(b, b + 4, r.SamplesB.begin());
  const uint32_t cursors[4] = {2, 0, 1, 3};
  std::copy(cursors, cursors + 4, r.CursorPos[0]);
  ASSERT_TRUE(Save(r, "a.txt", kFileTextAnalog));
  EXPECT_EQ(FileBytes(Path("a.txt")), QByteArray("Cursor T, CursorX, CursorY, CursorZ (X)\r\n"
                                                 "2, 0, 1, 3\r\n"
                                                 "Sample,Time (s),Channel A (V),Channel B (V)\r\n"
                                                 "0,-2e-06,0.5,0.078125\r\n"
                                                 "1,-1e-06,-1,-0.078125\r\n"
                                                 "2,0,0,10\r\n"
                                                 "3,1e-06,0.1,5\r\n"));
  r.SamplingRate = 0; // 200 MHz, channel A only
  ASSERT_TRUE(Save(r, "a.txt", kFileTextAnalog));
  EXPECT_EQ(FileBytes(Path("a.txt")), QByteArray("Cursor T, CursorX, CursorY, CursorZ (X)\r\n"
                                                 "2, 0, 1, 3\r\n"
                                                 "Sample,Time (s),Channel A (V)\r\n"
                                                 "0,-1e-08,0.5\r\n"
                                                 "1,-5e-09,-1\r\n"
                                                 "2,0,0\r\n"
                                                 "3,5e-09,0.1\r\n"));
}

TEST_F(Files, TheLogicTextExportHasAColumnPerChannel) {
  TVELK r;
  Prepare(r, TFakeModel::Logic, "Brisk");
  r.BuffLength = 3;
  r.TriggerAt = 1;
  r.SamplingRate = 0; // 200 MHz, 16 channels
  const uint32_t words[] = {0x0001, 0x8000, 0xFFFF0003};
  std::copy(words, words + 3, r.DigitalSamples[0].begin());
  r.CursorPos[1][0] = 1;
  r.CursorPos[1][1] = 2;
  ASSERT_TRUE(Save(r, "l.txt", kFileTextDigital));
  EXPECT_EQ(FileBytes(Path("l.txt")),
            QByteArray("Cursor T, CursorX, CursorY, CursorZ\r\n"
                       "1, 2, 0, 0\r\n"
                       "Sample,Time (s),Ch 16,Ch 15,Ch 14,Ch 13,Ch 12,Ch 11,Ch 10,Ch 9,Ch 8,Ch 7,"
                       "Ch 6,Ch 5,Ch 4,Ch 3,Ch 2,Ch 1\r\n"
                       "0,-5e-09,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1\r\n"
                       "1,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n"
                       "2,5e-09,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1,1\r\n"));
  r.ClockSource = 1; // an external clock: every channel of the device
  ASSERT_TRUE(Save(r, "l.txt", kFileTextDigital));
  const QList<QByteArray> lines = FileBytes(Path("l.txt")).split('\n');
  EXPECT_TRUE(lines[2].startsWith("Sample,Time (s),Ch 32,Ch 31,"));
  EXPECT_TRUE(lines[5].startsWith("2,5e-09,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,0,"));
}

} // namespace
