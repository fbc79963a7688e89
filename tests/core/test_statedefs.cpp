// State-definition files: reading both line formats, the limits, and saving.
#include "fake_library.h"
#include "file_helpers.h"
#include "statedefs.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using TPairs = std::vector<std::pair<int32_t, std::string>>;

TPairs Pairs(const std::vector<TStateDef> &defs) {
  TPairs out;
  for (const TStateDef &d : defs)
    out.emplace_back(d.Value, d.Name);
  return out;
}

TStateDefTable Parse(const std::string &text, bool decimal) {
  return ParseStateDefs(text.data(), text.size(), decimal);
}

TEST(StateDefs, ReadsHexadecimalLines) {
  const std::string longLine = "0015 " + std::string(94, 'x') + "0042 Ghost"; // 109 characters
  const TStateDefTable t = Parse("Idle state\r\n"
                                 "\r\n0000 ZERO\n"
                                 "00ff\tLower\r\r\n"
                                 "FFFF Max\n"
                                 "10000 TooBig\n"
                                 "zz NotANumber\n"
                                 "0012\n"
                                 "12G4 Glued\n"
                                 "0013 Name_longer_than_sixteen\n"
                                 "0014 two words\n" +
                                     longLine + "\r0016 Next",
                                 false);
  EXPECT_EQ(t.Title, QStringLiteral("Idle"));
  EXPECT_EQ(Pairs(t.Defs), (TPairs{{0, "ZERO"},
                                   {0xFF, "Lower"},
                                   {0xFFFF, "Max"},
                                   {0x13, "Name_longer_than"},
                                   {0x14, "two"},
                                   {0x15, std::string(16, 'x')},
                                   {0x16, "Next"}}));
}

TEST(StateDefs, CsvFilesOfAnyCaseHoldDecimalLines) {
  for (const char *name : {"a.csv", "B.CSV", "dir/c.Csv"})
    EXPECT_TRUE(IsDecimalStateDefFile(QString::fromLatin1(name))) << name;
  for (const char *name : {"a.def", "csv", "a.csv.def", "a.csv/b"})
    EXPECT_FALSE(IsDecimalStateDefFile(QString::fromLatin1(name))) << name;

  const TStateDefTable t = Parse(
      "Others\n65535,Max\n65536,Over\n-1,Negative\n12, Spaced\n7;Semicolon\n0010,Ten\n", true);
  EXPECT_EQ(t.Title, QStringLiteral("Others"));
  EXPECT_EQ(Pairs(t.Defs), (TPairs{{65535, "Max"}, {12, "Spaced"}, {10, "Ten"}}));
  // The same lines read as hexadecimal give nothing usable.
  EXPECT_TRUE(Parse("Others\n12,Twelve\n", false).Defs.empty());
}

TEST(StateDefs, TitleAndTableLimits) {
  TStateDefTable t = Parse("AVeryLongTitleForOthers\n", false);
  EXPECT_EQ(t.Title, QStringLiteral("AVeryLongTitleF")); // 15 characters
  EXPECT_TRUE(t.Defs.empty());
  t = Parse("", false);
  EXPECT_TRUE(t.Title.isEmpty());
  EXPECT_TRUE(t.Defs.empty());
  t = Parse("\xB5s\n0001 \xB5V\n", false); // 8-bit texts are Latin-1
  EXPECT_EQ(t.Title, QStringLiteral("\u00B5s"));
  EXPECT_EQ(Pairs(t.Defs), (TPairs{{1, "\xB5V"}}));

  std::string many = "T\n";
  for (int i = 0; i < 70000; ++i)
    many += std::to_string(i % 65536) + ",S\n";
  EXPECT_EQ(Parse(many, true).Defs.size(), 65536u);
}

TEST(StateDefs, LoadingReplacesTheTableOrLeavesItAsItWas) {
  QTemporaryDir dir;
  TVELK r;
  r.StateDefs = {TStateDef{7, "Seven"}};
  r.StateDefTitle = QStringLiteral("Old");
  r.StateDefFile = QStringLiteral("old.def");

  EXPECT_FALSE(LoadStateDefs(r, dir.filePath(QStringLiteral("missing.def"))));
  EXPECT_FALSE(LoadStateDefs(r, dir.path()));
  EXPECT_EQ(Pairs(r.StateDefs), (TPairs{{7, "Seven"}}));
  EXPECT_EQ(r.StateDefTitle, QStringLiteral("Old"));
  EXPECT_EQ(r.StateDefFile, QStringLiteral("old.def"));

  const QString csv = dir.filePath(QStringLiteral("states.CSV"));
  PutFile(csv, "Rest\r\n1,One\r\n2,Two\r\n");
  ASSERT_TRUE(LoadStateDefs(r, csv));
  EXPECT_EQ(Pairs(r.StateDefs), (TPairs{{1, "One"}, {2, "Two"}}));
  EXPECT_EQ(r.StateDefTitle, QStringLiteral("Rest"));
  EXPECT_EQ(r.StateDefFile, csv);
  EXPECT_EQ(r.StateDefFileType, 1);
}

TEST(StateDefs, SavingWritesHexadecimalLinesWhateverTheName) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("states.csv"));
  PutFile(path, "old contents");
  ASSERT_TRUE(
      SaveStateDefs(path, QStringLiteral("Others"),
                    {TStateDef{0, "ZERO"}, TStateDef{255, "Max"}, TStateDef{4660, "\xB5"}}));
  EXPECT_EQ(FileBytes(path), QByteArray("Others\n0000 ZERO\n00FF Max\n1234 \xB5\n"));
  // An empty title is an empty first line, which must not swallow the first
  // definition when the file is read back.
  const QByteArray untitled = FormatStateDefs(QString(), {TStateDef{1, "One"}});
  EXPECT_EQ(untitled, QByteArray("\n0001 One\n"));
  const TStateDefTable back = ParseStateDefs(untitled.constData(), untitled.size(), false);
  EXPECT_TRUE(back.Title.isEmpty());
  EXPECT_EQ(Pairs(back.Defs), (TPairs{{1, "One"}}));

  EXPECT_FALSE(SaveStateDefs(dir.filePath(QStringLiteral("no/such.def")), QString(), {}));
  {
    TDiskFull full(16);
    EXPECT_FALSE(SaveStateDefs(path, QStringLiteral("A longer title than fits"), {}));
  }
  EXPECT_EQ(FileBytes(path), QByteArray("Others\n0000 ZERO\n00FF Max\n1234 \xB5\n"));
  EXPECT_EQ(FolderEntries(dir.path()), QStringList{QStringLiteral("states.csv")});
}

} // namespace
