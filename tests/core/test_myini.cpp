// CMyIni, the settings store: its file layout, value encodings, limits, and
// the files it refuses.
#include "fake_library.h"
#include "file_helpers.h"
#include "myini.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString S = QStringLiteral("S");

class MyIni : public ::testing::Test {
protected:
  QTemporaryDir dir;
  QString Path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
};

TEST_F(MyIni, WritesTheLayoutByteForByte) {
  const QString path = Path("a.ini");
  {
    CMyIni ini;
    ASSERT_TRUE(ini.Open(path, QStringLiteral("Settings"), false));
    ini.WriteInt(QStringLiteral("General"), QStringLiteral("BuffLength"), 131072);
    ini.WriteInt(QStringLiteral("General"), QStringLiteral("SamplingRate"), 2);
    ini.WriteInt(QStringLiteral("Digital"), QStringLiteral("StateDefIntp"), -1);
    ini.WriteFloat(QStringLiteral("Digital"), QStringLiteral("Divider"), 12345678.0);
    ini.WriteFloat(QStringLiteral("Digital"), QStringLiteral("Small"), 1e-6);
    ini.WriteString(QStringLiteral("Digital"), QStringLiteral("Ch0Name"), "Bob's \"<&>\"");
    ini.WriteInt(QStringLiteral("General"), QStringLiteral("SamplingRate"), 10); // kept in place
  } // the destructor writes the file

  const char *expected = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                         "<Settings>\r\n"
                         "<General>\r\n"
                         " <BuffLength value = \"20000\"/>\r\n"
                         " <SamplingRate value = \"a\"/>\r\n"
                         "</General>\r\n"
                         "<Digital>\r\n"
                         " <StateDefIntp value = \"ffffffff\"/>\r\n"
                         " <Divider value = \"1.23457e+07\"/>\r\n"
                         " <Small value = \"1e-06\"/>\r\n"
                         " <Ch0Name value = \"Bob&apos;s &quot;&lt;&amp;&gt;&quot;\"/>\r\n"
                         "</Digital>\r\n"
                         "</Settings>";
  EXPECT_EQ(FileBytes(path), Utf16File(QString::fromLatin1(expected)));
}

TEST_F(MyIni, ReadsAHandWrittenFileOfTheOldKind) {
  // Written without entities, with tabs, single quotes, text between the tags
  // and upper-case digits: everything the old reader accepted.
  const QString path = Path("old.ini");
  PutFile(path, Utf16File(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                         "<Settings>\r\n"
                                         "<General> stray text\r\n"
                                         " <BuffLength value = \"20000\"/>\r\n"
                                         "\t<Rate\tvalue='FFFFFFFF'/>\r\n"
                                         " <Name value = \"Fish &chips &#39; &lt\"/>\r\n"
                                         " <Ratio value = \"2.5\"/>\r\n"
                                         "</General>\r\n"
                                         "</Settings>")));
  CMyIni ini;
  ASSERT_TRUE(ini.Open(path, QStringLiteral("Settings"), true));
  const QString g = QStringLiteral("General");
  EXPECT_EQ(ini.ReadInt(g, QStringLiteral("BuffLength"), 0), 0x20000);
  EXPECT_EQ(ini.ReadInt(g, QStringLiteral("Rate"), 0), -1);
  EXPECT_EQ(ini.ReadWideString(g, QStringLiteral("Name"), QString()),
            QStringLiteral("Fish &chips &#39; &lt"));
  EXPECT_EQ(ini.ReadFloat(g, QStringLiteral("Ratio"), 0), 2.5);
  // Names are compared exactly, case included.
  EXPECT_EQ(ini.ReadInt(QStringLiteral("general"), QStringLiteral("BuffLength"), 7), 7);
  EXPECT_EQ(ini.ReadInt(g, QStringLiteral("bufflength"), 7), 7);
  EXPECT_FALSE(ini.Modified());
}

TEST_F(MyIni, ValuesSurviveASaveAndReload) {
  const QString path = Path("round.ini");
  const QString texts[] = {QStringLiteral("Bob's"),     QStringLiteral("say \"hi\""),
                           QStringLiteral("a<b>&c"),    QStringLiteral("&amp; stays literal"),
                           QStringLiteral("&quot;'\""), QString()};
  const int32_t ints[] = {-1, 0, 0x7FFFFFFF, static_cast<int32_t>(0x80000000), 131072};
  {
    CMyIni ini;
    ini.Open(path, QStringLiteral("Settings"), false);
    for (int i = 0; i < 6; ++i)
      ini.WriteWideString(S, QStringLiteral("T%1").arg(i), texts[i]);
    for (int i = 0; i < 5; ++i)
      ini.WriteInt(S, QStringLiteral("I%1").arg(i), ints[i]);
    ini.WriteString(S, QStringLiteral("Micro"), "\xB5s");
    ini.WriteFloat(S, QStringLiteral("F"), 0.1);
    ASSERT_TRUE(ini.Save());
    EXPECT_FALSE(ini.Modified());
  }
  CMyIni ini;
  ASSERT_TRUE(ini.Open(path, QStringLiteral("Settings"), true));
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(ini.ReadWideString(S, QStringLiteral("T%1").arg(i), QStringLiteral("x")), texts[i]);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(ini.ReadInt(S, QStringLiteral("I%1").arg(i), 1), ints[i]);
  char micro[8];
  ini.ReadString(S, QStringLiteral("Micro"), "", micro, sizeof micro);
  EXPECT_STREQ(micro, "\xB5s");
  EXPECT_EQ(ini.ReadFloat(S, QStringLiteral("F"), 0), 0.1);
}

TEST_F(MyIni, ReadsFallBackAndCut) {
  CMyIni ini;
  ini.Open(Path("x.ini"), QStringLiteral("Settings"), false);
  ini.WriteWideString(S, QStringLiteral("Long"), QStringLiteral("Channel name too long"));
  for (const char *bad : {"12zz", "", " ", "123456789", "-1", "0x10"}) {
    ini.WriteWideString(S, QStringLiteral("Int"), QString::fromLatin1(bad));
    EXPECT_EQ(ini.ReadInt(S, QStringLiteral("Int"), 42), 42) << bad;
  }
  ini.WriteWideString(S, QStringLiteral("Float"), QStringLiteral("1,5"));
  EXPECT_EQ(ini.ReadFloat(S, QStringLiteral("Float"), 3.0), 3.0);

  char name[16];
  ini.ReadString(S, QStringLiteral("Long"), "", name, sizeof name);
  EXPECT_STREQ(name, "Channel name to"); // 15 characters and the zero
  ini.ReadString(S, QStringLiteral("Missing"), "Default", name, sizeof name);
  EXPECT_STREQ(name, "Default");
  EXPECT_EQ(ini.ReadWideString(S, QStringLiteral("Long"), QString(), 7), QStringLiteral("Channel"));
  EXPECT_EQ(ini.ReadWideString(S, QStringLiteral("Missing"), QStringLiteral("d")),
            QStringLiteral("d"));
  ini.Discard();
}

TEST_F(MyIni, RefusesFilesThatAreNotItsOwn) {
  const QString body = QStringLiteral("<Settings>\r\n<General>\r\n <A value = \"1\"/>\r\n"
                                      "</General>\r\n</Settings>");
  const QByteArray good = Utf16File(body);
  QByteArray bigEndian("\xFE\xFF", 2);
  for (QChar c : body)
    bigEndian += static_cast<char>(0), bigEndian += c.toLatin1();
  const struct {
    const char *Name;
    QByteArray Bytes;
  } cases[] = {
      {"UTF-8 text", body.toUtf8()},
      {"no byte-order mark", good.mid(2)},
      {"odd length", good + 'x'},
      {"big-endian", bigEndian},
      {"truncated in an entry", good.left(good.size() / 2)},
      {"truncated before the root's close tag", good.left(good.size() - 4)},
      {"section close tag missing",
       Utf16File(QStringLiteral("<Settings><General> <A value = \"1\"/></Settings>"))},
      {"section close tag misspelled",
       Utf16File(QStringLiteral("<Settings><General> <A value = \"1\"/></Genral></Settings>"))},
      {"entry without quotes",
       Utf16File(QStringLiteral("<Settings><General> <A value = 1/></General></Settings>"))},
      {"entry without its end",
       Utf16File(QStringLiteral("<Settings><General> <A value = \"1\"</General></Settings>"))},
      {"other root", Utf16File(QStringLiteral("<Project><General></General></Project>"))},
      {"byte-order mark only", QByteArray("\xFF\xFE", 2)},
  };
  for (const auto &c : cases) {
    const QString path = Path("bad.ini");
    PutFile(path, c.Bytes);
    CMyIni ini;
    EXPECT_FALSE(ini.Open(path, QStringLiteral("Settings"), true)) << c.Name;
    EXPECT_EQ(ini.ReadInt(QStringLiteral("General"), QStringLiteral("A"), 9), 9) << c.Name;
  }

  PutHugeFile(Path("huge.ini"));
  CMyIni ini;
  EXPECT_FALSE(ini.Open(Path("huge.ini"), QStringLiteral("Settings"), true));
  EXPECT_FALSE(ini.Open(dir.path(), QStringLiteral("Settings"), true)); // a folder

  // A missing or empty file is an empty store: every read gives its default.
  EXPECT_TRUE(ini.Open(Path("missing.ini"), QStringLiteral("Settings"), true));
  PutFile(Path("empty.ini"), QByteArray());
  EXPECT_TRUE(ini.Open(Path("empty.ini"), QStringLiteral("Settings"), true));
  EXPECT_EQ(ini.ReadInt(QStringLiteral("General"), QStringLiteral("A"), 9), 9);
}

TEST_F(MyIni, KeepsAtMost256SectionsAnd256Entries) {
  QString sections, entries;
  for (int i = 0; i < 300; ++i) {
    sections += QStringLiteral("<S%1> <K value = \"%2\"/></S%1>\r\n").arg(i).arg(i, 0, 16);
    entries += QStringLiteral(" <K%1 value = \"%2\"/>\r\n").arg(i).arg(i, 0, 16);
  }
  const QString path = Path("many.ini");
  PutFile(path, Utf16File(QStringLiteral("<R><E>") + entries + QStringLiteral("</E>") + sections +
                          QStringLiteral("</R>")));
  CMyIni ini;
  ASSERT_TRUE(ini.Open(path, QStringLiteral("R"), true));
  EXPECT_EQ(ini.ReadInt(QStringLiteral("E"), QStringLiteral("K255"), -1), 255);
  EXPECT_EQ(ini.ReadInt(QStringLiteral("E"), QStringLiteral("K256"), -1), -1);
  EXPECT_EQ(ini.ReadInt(QStringLiteral("S254"), QStringLiteral("K"), -1), 254);
  EXPECT_EQ(ini.ReadInt(QStringLiteral("S255"), QStringLiteral("K"), -1), -1);
  EXPECT_EQ(ini.ReadInt(QStringLiteral("S299"), QStringLiteral("K"), -1), -1);
  // Writing keeps the same limits, so that whatever is written reads back.
  CMyIni out;
  out.Open(Path("out.ini"), QStringLiteral("R"), false);
  for (int i = 0; i < 300; ++i) {
    out.WriteInt(QStringLiteral("S%1").arg(i), QStringLiteral("K"), i);
    out.WriteInt(S, QStringLiteral("K%1").arg(i), i);
  }
  EXPECT_EQ(out.ReadInt(QStringLiteral("S254"), QStringLiteral("K"), -1), 254);
  EXPECT_EQ(out.ReadInt(QStringLiteral("S255"), QStringLiteral("K"), -1), -1); // S took a place
  EXPECT_EQ(out.ReadInt(S, QStringLiteral("K255"), -1), 255);
  EXPECT_EQ(out.ReadInt(S, QStringLiteral("K256"), -1), -1);
  out.Discard();
}

TEST_F(MyIni, SavingNeverLeavesATruncatedFile) {
  const QString path = Path("keep.ini");
  {
    CMyIni ini;
    ini.Open(path, QStringLiteral("Settings"), false);
    ini.WriteInt(S, QStringLiteral("Old"), 1);
  }
  const QByteArray old = FileBytes(path);
  ASSERT_FALSE(old.isEmpty());

  CMyIni ini;
  ASSERT_TRUE(ini.Open(path, QStringLiteral("Settings"), false)); // starts empty
  for (int i = 0; i < 200; ++i)
    ini.WriteInt(S, QStringLiteral("Key%1").arg(i), i);
  {
    TDiskFull full(old.size() + 64);
    EXPECT_FALSE(ini.Save());
  }
  EXPECT_EQ(FileBytes(path), old);
  EXPECT_EQ(FolderEntries(dir.path()), QStringList{QStringLiteral("keep.ini")});
  EXPECT_TRUE(ini.Modified());
  EXPECT_TRUE(ini.Save());
  EXPECT_NE(FileBytes(path), old);

  CMyIni nowhere;
  nowhere.Open(Path("no/such/folder.ini"), QStringLiteral("Settings"), false);
  nowhere.WriteInt(S, QStringLiteral("A"), 1);
  EXPECT_FALSE(nowhere.Save());
  nowhere.Discard();

  // Nothing written, nothing saved.
  {
    CMyIni unused;
    unused.Open(Path("unused.ini"), QStringLiteral("Settings"), false);
  }
  EXPECT_FALSE(QFile::exists(Path("unused.ini")));
}

} // namespace
