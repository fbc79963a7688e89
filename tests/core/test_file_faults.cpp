// Saving and loading as a hostile user meets them: targets that are not
// regular files, a project whose sample files come from another save, a
// process killed in the middle of saves, and file names that are not UTF-8.
#include "fake_library.h"
#include "file_helpers.h"
#include "files.h"
#include "filesys.h"
#include "myini.h"
#include "settings.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class FileFaults : public ::testing::Test {
protected:
  QTemporaryDir dir;
  TRecordingUi ui;

  QString Path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

  void Prepare(TVELK &r) {
    SetUpFakeRecord(r, TFakeModel::Scope, "Dorian", 4096);
    CMyIni empty;
    ReadSettings(r, empty);
    r.BuffLength = 1024;
    r.Ui = &ui;
  }
  // Channel A holds k, channel B -k: a loaded project shows which save each came from.
  static void Fill(TVELK &r, int k) {
    std::fill(r.SamplesA.begin(), r.SamplesA.end(), static_cast<float>(k));
    std::fill(r.SamplesB.begin(), r.SamplesB.end(), static_cast<float>(-k));
  }
  static bool Save(TVELK &r, const QString &path, TFileKind kind, QString *problem = nullptr) {
    r.FileName = path;
    r.LastFileKind = kind;
    return SaveFile(r, problem);
  }
};

TEST_F(FileFaults, OnlyRegularFilesAreReplaced) {
  ASSERT_EQ(mkfifo(Path("fifo").toLocal8Bit().constData(), 0600), 0);
  ASSERT_EQ(symlink(Path("fifo").toLocal8Bit().constData(),
                    Path("to-fifo.prj").toLocal8Bit().constData()),
            0);
  ASSERT_EQ(symlink("/dev/null", Path("to-null.txt").toLocal8Bit().constData()), 0);
  ASSERT_EQ(symlink(Path("nowhere").toLocal8Bit().constData(),
                    Path("dangling.set").toLocal8Bit().constData()),
            0);
  ASSERT_TRUE(QDir().mkpath(Path("folder.dta")));
  ASSERT_EQ(mkfifo(Path("pipe.txt").toLocal8Bit().constData(), 0600), 0);
  const struct {
    const char *name;
    TFileKind kind;
  } cases[] = {
      {"to-fifo.prj", kFileProject},   {"to-null.txt", kFileTextAnalog},
      {"dangling.set", kFileSettings}, {"folder.prj", kFileProject}, // its .dta is a folder
      {"pipe.txt", kFileTextAnalog},
  };
  TVELK r;
  Prepare(r);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    QString problem;
    EXPECT_FALSE(Save(r, Path(c.name), c.kind, &problem));
    EXPECT_STREQ(r.StatusText, "Could not save file.");
    EXPECT_TRUE(problem.startsWith(dir.path())) << problem.toStdString();
    EXPECT_TRUE(problem.contains("not a regular file") || problem.contains("a link to nothing"))
        << problem.toStdString();
  }
  struct stat st {};
  ASSERT_EQ(lstat(Path("fifo").toLocal8Bit().constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the node is still a node";
  ASSERT_EQ(lstat(Path("to-null.txt").toLocal8Bit().constData(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link is still a link";
  EXPECT_FALSE(QFileInfo::exists(Path("folder.prj"))) << "nothing of the project was renamed";
  EXPECT_FALSE(QFileInfo::exists(Path("nowhere")));

  // A link to a regular file: the file is replaced, the link stays.
  PutFile(Path("real.set"), "old");
  ASSERT_EQ(symlink(Path("real.set").toLocal8Bit().constData(),
                    Path("link.set").toLocal8Bit().constData()),
            0);
  ASSERT_TRUE(Save(r, Path("link.set"), kFileSettings));
  ASSERT_EQ(lstat(Path("link.set").toLocal8Bit().constData(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_NE(FileBytes(Path("real.set")), "old");
  EXPECT_EQ(FolderEntries(dir.path()).filter(".part").size(), 0) << "no temporary file is left";
}

TEST_F(FileFaults, ASampleFileOfAnotherSaveIsRefused) {
  TVELK r;
  Prepare(r);
  Fill(r, 1);
  ASSERT_TRUE(Save(r, Path("p.prj"), kFileProject));
  const QByteArray first = FileBytes(Path("p.dta"));
  Fill(r, 2);
  ASSERT_TRUE(Save(r, Path("p.prj"), kFileProject));
  const struct {
    const char *what;
    QByteArray dta;
  } cases[] = {{"the first save's channel A", first},
               {"a truncated channel A", FileBytes(Path("p.dta")).left(4000)}};
  const QByteArray second = FileBytes(Path("p.dta"));
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    PutFile(Path("p.dta"), c.dta);
    TVELK back;
    Prepare(back);
    Fill(back, 7);
    QString problem;
    EXPECT_FALSE(LoadFile(back, Path("p.prj"), &problem));
    EXPECT_STREQ(back.StatusText, "Data file does not match the project. Settings loaded anyway.");
    EXPECT_EQ(problem, Path("p.dta") + ": written by another save");
    EXPECT_EQ(back.SamplesA[0], 7.0f) << "no sample of either channel changed";
    EXPECT_EQ(back.SamplesB[0], -7.0f);
  }
  PutFile(Path("p.dta"), second);
  TVELK back;
  Prepare(back);
  ASSERT_TRUE(LoadFile(back, Path("p.prj"))) << back.StatusText;
  EXPECT_EQ(back.SamplesA[5], 2.0f);
  EXPECT_EQ(back.SamplesB[5], -2.0f);
}

// A child saves the project over and over and is killed at a random moment;
// whatever it leaves either loads with both channels from one save or is
// refused with a message.
TEST_F(FileFaults, KillingASaveNeverMixesTwoSaves) {
  TVELK r;
  Prepare(r);
  QElapsedTimer clock;
  clock.start();
  for (int k = 1; k <= 10; ++k) {
    Fill(r, k);
    ASSERT_TRUE(Save(r, Path("p.prj"), kFileProject));
  }
  const qint64 saveNs = std::max<qint64>(clock.nsecsElapsed() / 10, 1000);
  std::mt19937 random(12345);
  std::uniform_int_distribution<qint64> delayNs(0, 4 * saveNs);
  int loaded = 0, refused = 0, kills = 0;
  clock.restart();
  while (kills < 400 && clock.elapsed() < 3000) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int k = 100 * (kills + 1);; ++k) {
        Fill(r, k);
        QString problem;
        if (!Save(r, Path("p.prj"), kFileProject, &problem)) {
          std::fprintf(stderr, "child: %s %s\n", r.StatusText, qPrintable(problem));
          _exit(3);
        }
      }
    }
    const qint64 ns = delayNs(random);
    const timespec pause{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    nanosleep(&pause, nullptr);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child failed on its own";
    ++kills;
    TVELK back;
    Prepare(back);
    if (!LoadFile(back, Path("p.prj"))) {
      ++refused;
      EXPECT_STREQ(back.StatusText,
                   "Data file does not match the project. Settings loaded anyway.");
      continue;
    }
    ++loaded;
    ASSERT_EQ(back.SamplesA[0], -back.SamplesB[0])
        << "channel A and B of two saves, kill " << kills;
    ASSERT_EQ(back.SamplesA[1023], back.SamplesA[0]);
  }
  EXPECT_GT(loaded, 0);
  RecordProperty("kills", kills);
  RecordProperty("refused", refused);
}

TEST_F(FileFaults, FileNamesThatAreNotUtf8KeepTheirBytes) {
  const QByteArray native = QFile::encodeName(dir.path()) + "/caf\xe9 \xff.prj";
  const QString name = NameFromNative(native);
  EXPECT_EQ(NativeName(name), native);
  TVELK r;
  Prepare(r);
  Fill(r, 3);
  ASSERT_TRUE(Save(r, name, kFileProject)) << r.StatusText;
  struct stat st {};
  EXPECT_EQ(stat(native.constData(), &st), 0) << "saved under its own bytes";
  EXPECT_EQ(stat((QFile::encodeName(dir.path()) + "/caf\xe9 \xff.dta").constData(), &st), 0);
  TVELK back;
  Prepare(back);
  ASSERT_TRUE(LoadFile(back, name)) << back.StatusText;
  EXPECT_EQ(back.SamplesA[9], 3.0f);
  EXPECT_EQ(DisplayName(name), dir.path() + QStringLiteral("/caf\uFFFD \uFFFD.prj"));
  // QTemporaryDir cannot name these files to remove them.
  for (const char *ext : {".prj", ".dta", ".dtb"})
    unlink((QFile::encodeName(dir.path()) + "/caf\xe9 \xff" + ext).constData());
}

} // namespace
