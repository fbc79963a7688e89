// Start-up through the windows' front end, against the real library and the
// emulator: the splash lines, the selection dialog and the one "Error" box.
#include "dialoghooks.h"
#include "formselectdevice.h"
#include "formsplash.h"
#include "guiui.h"
#include "helpers.h"
#include "labelex.h"
#include "record.h"
#include "startup.h"
#include "velkemu.h"

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class GuiStartupTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(home.isValid());
    setenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit().constData(), 1);
    QDir().mkpath(home.filePath("run"));
    setenv("XDG_RUNTIME_DIR", home.filePath("run").toLocal8Bit().constData(), 1);
    setenv("VELK_D2XX_LIBRARY", VELK_TEST_EMULATOR, 1);
    options.AppFolder = QStringLiteral(VELK_TEST_BIN_DIR "/");
    options.InstallRecordFolder = home.filePath("etc");
    DialogHooks().Message = [this](int kind, const QString &text, const QString &caption) {
      messages << QStringLiteral("%1 %2: %3").arg(kind).arg(caption, text);
      return 0;
    };
    DialogHooks().Exec = [this](QDialog &d) {
      auto &s = dynamic_cast<TfrmSelectDevice &>(d);
      offered.clear();
      for (int i = 0; i < s.cbSelect->count(); ++i)
        offered << s.cbSelect->itemText(i);
      label1 = s.lLabel1->Text();
      s.cbSelect->setCurrentIndex(choice);
      choice < 0 ? s.reject() : s.accept();
      return s.result();
    };
  }
  void TearDown() override { DialogHooks() = {}; }

  QTemporaryDir home;
  TStartupOptions options;
  TfrmSplash splash;
  TfrmSelectDevice select;
  TGuiUserInterface ui{&splash, &select};
  QStringList messages, offered;
  QString label1;
  int choice = 0;
};

} // namespace

TEST_F(GuiStartupTest, SeveralInstrumentsOpenTheSelectionDialog) {
  velkemu_reset("Dorian,Brisk");
  splash.show();
  choice = 1;
  TStartup startup(&ui, options);
  ASSERT_TRUE(startup.Init()) << startup.Record()->StatusText;
  EXPECT_EQ(label1, QStringLiteral("2 devices found."));
  EXPECT_EQ(offered, QStringList({" 1: Dorian", " 2: Brisk"}));
  EXPECT_EQ(startup.Record()->ModelCode, 2);
  EXPECT_EQ(splash.lInitRes[0]->Text(), QStringLiteral("2 devices found"));
  EXPECT_EQ(splash.lInitRes[1]->Text(), QStringLiteral("OK"));
  EXPECT_EQ(splash.lInitRes[3]->Text(), QStringLiteral("OK"));
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(splash.lInit[i]->isEnabled()) << i;
  EXPECT_FALSE(splash.lInit[4]->isEnabled()) << "line 5 belongs to the first idle moment";
  startup.Shutdown(false);
  EXPECT_TRUE(messages.isEmpty()) << messages.join('\n');
}

TEST_F(GuiStartupTest, NoInstrumentOffersTheSimulatedModelsAndCancelEndsSilently) {
  velkemu_reset("");
  choice = -1;
  TStartup startup(&ui, options);
  EXPECT_FALSE(startup.Init());
  EXPECT_TRUE(startup.CancelledFlag);
  EXPECT_EQ(offered, QStringList({"Ardent", "Brisk", "Cobalt", "Dorian", "Dorian-12"}));
  startup.Shutdown(true);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(GuiStartupTest, AFailedStartShowsOneErrorBox) {
  options.AppFolder = home.filePath("empty/");
  velkemu_reset("Dorian");
  TStartup startup(&ui, options);
  EXPECT_FALSE(startup.Init());
  startup.Shutdown(true);
  EXPECT_EQ(messages, QStringList{"0 Error: Missing library."});
}
