// The minor dialogs and the GUI front end: message kinds, the selection dialog,
// the splash lines, the input box's fields (typed and pasted), the information
// window and the file versions it shows.
#include "bitmapbutton.h"
#include "dialoghooks.h"
#include "fileversion.h"
#include "formabout.h"
#include "formmessage.h"
#include "formselectdevice.h"
#include "formsimpleinput.h"
#include "formsplash.h"
#include "guiui.h"
#include "helpers.h"
#include "labelex.h"
#include "panelex.h"
#include "record.h"

#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Restores the hooks after each test.
class DialogTest : public ::testing::Test {
protected:
  void TearDown() override { DialogHooks() = {}; }
};

// Processes events until the condition holds (events only: no time window).
template <typename F> bool Eventually(F condition) {
  for (int i = 0; i < 1000 && !condition(); ++i)
    QTest::qWait(5);
  return condition();
}

} // namespace

using MessageTest = DialogTest;

TEST_F(MessageTest, KindsChooseCaptionPictureAndButtons) {
  struct Case {
    int kind;
    const char *caption;
    int picture; // 0 error, 1 confirm, 2 info
    bool cancel;
  } cases[] = {{0, "Error", 0, false},       {1, "Error", 0, false},
               {2, "Information", 2, false}, {3, "Confirmation", 1, true},
               {4, "Information", 2, false}, {-1, "Information", 2, false}};
  for (const Case &c : cases) {
    TfrmMessage box;
    box.Prepare(c.kind, QStringLiteral("Something happened."));
    EXPECT_EQ(box.Caption(), QString::fromLatin1(c.caption)) << c.kind;
    EXPECT_EQ(box.windowTitle(), QString::fromLatin1(c.caption));
    QLabel *pictures[] = {box.imgError, box.imgConfirm, box.imgInfo};
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(!pictures[i]->isHidden(), i == c.picture) << c.kind;
    EXPECT_FALSE(box.bOK->isHidden());
    EXPECT_EQ(!box.bCancel->isHidden(), c.cancel) << c.kind;
    EXPECT_EQ(box.stMessage->Text(), QStringLiteral("Something happened."));
  }
  TfrmMessage box;
  box.Prepare(1, QStringLiteral("x"), QStringLiteral("Warning"));
  EXPECT_EQ(box.Caption(), QStringLiteral("Warning")) << "a caption of the caller's own";
}

TEST_F(MessageTest, TheBoxGrowsWithEveryLineOfItsTextAndTheButtonsStayBelow) {
  // Line ends of the text count as lines: the clock warning ends in a blank
  // line and "Press OK to continue.", which a box measured without them cut.
  TfrmMessage one, more;
  one.Prepare(1, QStringLiteral("One line."));
  more.Prepare(1, QStringLiteral("One line.\n\nPress OK to continue.\nAnd one more."));
  const int lineH = QFontMetrics(more.stMessage->font()).lineSpacing();
  EXPECT_GE(more.stMessage->height(), 4 * lineH) << "four lines, the blank one included";
  EXPECT_GE(more.bOK->y(), more.stMessage->geometry().bottom());
  EXPECT_GT(more.height(), one.height());
}

TEST_F(MessageTest, EnterIsOkEscIsCancelAndTheNextShowStartsClean) {
  struct Case {
    int kind;
    Qt::Key key;
    int answer;
  } cases[] = {{3, Qt::Key_Escape, 1},
               {3, Qt::Key_Return, 0},
               {0, Qt::Key_Return, 0},
               {0, Qt::Key_Escape, 1}};
  TfrmMessage box;
  for (const Case &c : cases) {
    DialogHooks().Exec = [&](QDialog &d) {
      d.show();
      QTest::keyClick(&d, c.key);
      return d.result();
    };
    EXPECT_EQ(box.Execute(c.kind, QStringLiteral("Do you really want to quit?")), c.answer)
        << c.kind << " " << c.key;
    for (QWidget *w : std::initializer_list<QWidget *>{box.imgError, box.imgConfirm, box.imgInfo,
                                                       box.bOK, box.bCancel})
      EXPECT_TRUE(w->isHidden());
  }
  // Cancel button and close button.
  DialogHooks().Exec = [&](QDialog &d) {
    d.show();
    QTest::mouseClick(static_cast<TfrmMessage &>(d).bCancel, Qt::LeftButton, {}, {5, 5});
    return d.result();
  };
  EXPECT_EQ(box.Execute(3, QStringLiteral("?")), 1);
  DialogHooks().Exec = [&](QDialog &d) {
    d.show();
    QTest::mouseClick(static_cast<TfrmMessage &>(d).bOK, Qt::LeftButton, {}, {5, 5});
    return d.result();
  };
  EXPECT_EQ(box.Execute(3, QStringLiteral("?")), 0);
}

using SelectTest = DialogTest;

TEST_F(SelectTest, FirstItemPreselectedOkStoresTheChoiceCancelStoresMinusOne) {
  TfrmSelectDevice dialog;
  const QStringList models = {"Ardent", "Brisk", "Cobalt", "Dorian", "Dorian-12"};
  DialogHooks().Exec = [&](QDialog &d) {
    auto &s = static_cast<TfrmSelectDevice &>(d);
    EXPECT_EQ(s.cbSelect->currentIndex(), 0);
    EXPECT_EQ(s.lLabel1->Text(), QStringLiteral("Hardware not found."));
    EXPECT_EQ(s.Caption(), QStringLiteral("Select"));
    d.show();
    QTest::keyClick(&d, Qt::Key_Return);
    return d.result();
  };
  EXPECT_EQ(dialog.Execute("Hardware not found.", "Select device to enter Demo Mode.", models), 0);

  DialogHooks().Exec = [&](QDialog &d) {
    auto &s = static_cast<TfrmSelectDevice &>(d);
    s.cbSelect->setCurrentIndex(4);
    d.show();
    QTest::mouseClick(s.bOK, Qt::LeftButton, {}, {5, 5});
    return d.result();
  };
  EXPECT_EQ(dialog.Execute("Hardware not found.", "Select device to enter Demo Mode.", models), 4);

  for (int how = 0; how < 2; ++how) {
    DialogHooks().Exec = [&](QDialog &d) {
      auto &s = static_cast<TfrmSelectDevice &>(d);
      s.cbSelect->setCurrentIndex(2);
      d.show();
      if (how == 0)
        QTest::keyClick(&d, Qt::Key_Escape);
      else
        QTest::mouseClick(s.bCancel, Qt::LeftButton, {}, {5, 5});
      return d.result();
    };
    EXPECT_EQ(dialog.Execute("2 devices found.", "Select device to open.", {" 1: a", " 2: b"}), -1);
  }
}

TEST(Splash, LinesAreEnabledStepByStepAndTheTimerHidesIt) {
  TfrmSplash splash;
  splash.SetResult(1, QStringLiteral("left over"));
  splash.show();
  for (TLabelEx *l : splash.lInit)
    EXPECT_FALSE(l->isEnabled());
  for (TLabelEx *l : splash.lInitRes)
    EXPECT_TRUE(l->Text().isEmpty()) << "emptied on show";
  EXPECT_EQ(splash.lInit[0]->Text(), QStringLiteral("Searching for hardware..."));
  EXPECT_EQ(splash.lInit[4]->Text(), QStringLiteral("Starting User Interface..."));
  splash.EnableLine(2);
  splash.SetResult(2, QStringLiteral("OK"));
  splash.EnableLine(9); // not a line: ignored
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(splash.lInit[i]->isEnabled(), i == 1);
  EXPECT_EQ(splash.lInitRes[1]->Text(), QStringLiteral("OK"));

  EXPECT_EQ(splash.Timer.interval(), 1000);
  EXPECT_TRUE(splash.Timer.isSingleShot());
  splash.Timer.setInterval(0);
  splash.StartTimer();
  EXPECT_TRUE(Eventually([&] { return splash.isHidden(); }));
  EXPECT_FALSE(splash.Timer.isActive());
}

using GuiUiTest = DialogTest;

TEST_F(GuiUiTest, MessagesSplashAndSelectionGoThroughTheDialogs) {
  struct Shown {
    int kind;
    QString text, caption;
  };
  std::vector<Shown> shown;
  int answer = 0;
  DialogHooks().Message = [&](int kind, const QString &text, const QString &caption) {
    shown.push_back({kind, text, caption});
    return answer;
  };
  TfrmSplash splash;
  TfrmSelectDevice select;
  TGuiUserInterface ui(&splash, &select);

  ui.ShowMessage("Missing library.", "Error", TMessageIcon::Error);
  ui.ShowMessage("Could not restore config.", "Warning", TMessageIcon::Warning);
  ui.ShowMessage("Done.", "Information", TMessageIcon::Information);
  EXPECT_TRUE(ui.AskOkCancel("Overwrite?", "Confirmation", TMessageIcon::None));
  answer = 1;
  EXPECT_FALSE(ui.AskOkCancel("Overwrite?", "Confirmation", TMessageIcon::None));
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0].kind, 0);
  EXPECT_EQ(shown[0].caption, QStringLiteral("Error"));
  EXPECT_EQ(shown[1].kind, 1);
  EXPECT_EQ(shown[1].caption, QStringLiteral("Warning"));
  EXPECT_EQ(shown[2].kind, 2);
  EXPECT_EQ(shown[3].kind, 3);

  ui.SplashLine(1);
  ui.SplashResult(1, "Hardware not found.");
  EXPECT_TRUE(splash.lInit[0]->isEnabled());
  EXPECT_EQ(splash.lInitRes[0]->Text(), QStringLiteral("Hardware not found."));

  DialogHooks().Exec = [](QDialog &d) {
    auto &s = static_cast<TfrmSelectDevice &>(d);
    s.cbSelect->setCurrentIndex(3);
    s.accept();
    return s.result();
  };
  EXPECT_EQ(ui.SelectDevice("Hardware not found.", "Select device to enter Demo Mode.",
                            {"Ardent", "Brisk", "Cobalt", "Dorian", "Dorian-12"}),
            3);
  EXPECT_EQ(select.lLabel2->Text(), QStringLiteral("Select device to enter Demo Mode."));
}

class InputTest : public DialogTest {
protected:
  void SetUp() override {
    box.show();
    box.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
  }
  // Replaces the field's text by typing; what the field kept.
  QString Type(QLineEdit *e, const QString &keys) {
    e->clear();
    QTest::keyClicks(e, keys);
    return e->text();
  }
  QString Paste(QLineEdit *e, const QString &before, const QString &clip) {
    e->setText(before);
    e->end(false);
    QGuiApplication::clipboard()->setText(clip);
    e->paste();
    return e->text();
  }
  TfrmSimpleInput box;
};

TEST_F(InputTest, HexPatternTakesFourUpperCaseDigitsWithinTheBus) {
  box.PreparePattern(0x2A, 0);
  EXPECT_EQ(box.ePattern->text(), QStringLiteral("002A")) << "shown with 4 digits";
  EXPECT_EQ(box.ePattern->selectedText(), QStringLiteral("002A")) << "fully selected";
  EXPECT_EQ(box.stPatternValType->Text(), QStringLiteral("h"));
  struct Case {
    const char *typed, *kept;
  } cases[] = {{"a", "A"},        {"G", ""},   {"1g2", "12"}, {"fFfF", "FFFF"},
               {"12345", "1234"}, {" 1", "1"}, {"-1", "1"}};
  for (const Case &c : cases)
    EXPECT_EQ(Type(box.ePattern, c.typed), QString::fromLatin1(c.kept)) << c.typed;
  // Pasted text passes the same check: refused whole, cut to the field's length,
  // or upper-cased.
  EXPECT_EQ(Paste(box.ePattern, "1", "2G"), QStringLiteral("1"));
  EXPECT_EQ(Paste(box.ePattern, "1", "2345"), QStringLiteral("1234"));
  EXPECT_EQ(Paste(box.ePattern, "1", "ab"), QStringLiteral("1AB"));

  // A four-member bus holds 0..F.
  box.PreparePattern(3, 2, 0xF);
  EXPECT_EQ(Type(box.ePattern, "1F"), QStringLiteral("1"));
  EXPECT_EQ(Type(box.ePattern, "F"), QStringLiteral("F"));
  QTest::keyClick(box.ePattern, Qt::Key_Return);
  EXPECT_EQ(box.result(), QDialog::Accepted);
  EXPECT_EQ(box.Value(), 15);
}

TEST_F(InputTest, DecimalPatternAndTheEmptyPattern) {
  box.PreparePattern(-1, 1);
  EXPECT_TRUE(box.ePattern->text().isEmpty());
  EXPECT_EQ(box.stPatternValType->Text(), QStringLiteral("d"));
  EXPECT_EQ(Type(box.ePattern, "65536"), QStringLiteral("6553"));
  EXPECT_EQ(Type(box.ePattern, "65535"), QStringLiteral("65535"));
  EXPECT_EQ(Type(box.ePattern, "1a"), QStringLiteral("1"));
  box.accept();
  EXPECT_EQ(box.Value(), 1);

  // An empty pattern is a value of its own (all members don't care).
  box.show();
  box.PreparePattern(7, 1);
  box.ePattern->clear();
  box.accept();
  EXPECT_EQ(box.result(), QDialog::Accepted);
  EXPECT_EQ(box.Value(), -1);
}

TEST_F(InputTest, EdgeSkipCountTakesDigitsOnlyAndEmptyIsACancel) {
  box.PrepareEdgeSkipCount(25);
  EXPECT_EQ(box.eEdgeSkipCount->selectedText(), QStringLiteral("25"));
  EXPECT_EQ(Type(box.eEdgeSkipCount, "12a-3.4 5"), QStringLiteral("1234"));
  EXPECT_EQ(Paste(box.eEdgeSkipCount, "1", "2x"), QStringLiteral("1"));
  EXPECT_EQ(Paste(box.eEdgeSkipCount, "", "123456"), QStringLiteral("1234"));
  EXPECT_EQ(Paste(box.eEdgeSkipCount, "1", "-5"), QStringLiteral("1"));
  EXPECT_EQ(Paste(box.eEdgeSkipCount, "1", "999"), QStringLiteral("1999"));
  box.accept();
  EXPECT_EQ(box.Value(), 1999);

  box.show();
  box.PrepareEdgeSkipCount(25);
  box.eEdgeSkipCount->clear();
  box.accept();
  EXPECT_EQ(box.result(), QDialog::Rejected);
  EXPECT_EQ(box.Value(), 1999) << "nothing stored";

  box.show();
  box.PrepareEdgeSkipCount(123456);
  EXPECT_EQ(box.eEdgeSkipCount->text(), QStringLiteral("9999"));
  QTest::keyClick(box.eEdgeSkipCount, Qt::Key_Escape);
  EXPECT_EQ(box.result(), QDialog::Rejected);
}

TEST_F(InputTest, NameAndColour) {
  box.PrepareName(QStringLiteral("CLK"), 0x0000FF);
  EXPECT_FALSE(box.pName->isHidden());
  EXPECT_TRUE(box.pPattern->isHidden());
  EXPECT_EQ(box.eName->selectedText(), QStringLiteral("CLK"));
  EXPECT_EQ(Type(box.eName, "ABCDEFGHIJKLMNOPQ"), QStringLiteral("ABCDEFGHIJKLMNO"));
  EXPECT_EQ(Paste(box.eName, "a", QStringLiteral("\u20AC")), QStringLiteral("a"))
      << "a character an 8-bit name cannot hold";
  EXPECT_EQ(Paste(box.eName, "a", QStringLiteral("b\tc")), QStringLiteral("a"));
  EXPECT_EQ(Paste(box.eName, "a", QStringLiteral("\u00B5s")), QStringLiteral("a\u00B5s"));

  int asked = 0;
  bool choose = false;
  DialogHooks().Color = [&](QColor &c) {
    ++asked;
    EXPECT_EQ(ToBGR(c), 0x0000FFu);
    c = QColor(0, 255, 0);
    return choose;
  };
  QTest::mouseClick(box.pColor, Qt::LeftButton, {}, {5, 5});
  EXPECT_EQ(box.Color(), 0x0000FFu) << "colour dialog cancelled";
  choose = true;
  QTest::mouseClick(box.pColor, Qt::LeftButton, {}, {5, 5});
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(box.Color(), 0x00FF00u);
  EXPECT_EQ(box.pColor->FaceColor(), 0x00FF00u);
  box.eName->setText(QStringLiteral("DATA"));
  QTest::mouseClick(box.bAccept, Qt::LeftButton, {}, {5, 5});
  EXPECT_EQ(box.result(), QDialog::Accepted);
  EXPECT_EQ(box.Name(), QStringLiteral("DATA"));
}

TEST(FileVersion, ReadFromTheLibraryAndRefusedForOtherFiles) {
  EXPECT_EQ(FileVersion(QStringLiteral(VELK_TEST_VELKIO)), QStringLiteral(VELK_VERSION));
  EXPECT_EQ(FileVersion(QCoreApplication::applicationFilePath()), QStringLiteral(VELK_VERSION));

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile lib(QStringLiteral(VELK_TEST_VELKIO));
  ASSERT_TRUE(lib.open(QIODevice::ReadOnly));
  const QByteArray elf = lib.readAll();
  const struct {
    const char *name;
    QByteArray content;
  } files[] = {{"text.so", "not a library"},
               {"empty.so", {}},
               {"header-only.so", elf.left(64)},
               {"cut.so", elf.left(elf.size() / 2)}};
  for (const auto &f : files) {
    QFile out(dir.filePath(f.name));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(f.content);
    out.close();
    EXPECT_EQ(FileVersion(out.fileName()), QStringLiteral("unknown")) << f.name;
  }
  EXPECT_EQ(FileVersion(dir.filePath("missing.so")), QStringLiteral("unknown"));
}

class UrlCatcher : public QObject {
  Q_OBJECT
public:
  QList<QUrl> urls;
public slots:
  void Open(const QUrl &url) { urls << url; }
};

TEST(About, SimulatedAndRealInstrument) {
  TVELK r;
  r.HardwarePresent = false;
  r.BufferCapacity = 131072;
  std::strcpy(r.DeviceDescription, "Dorian");
  std::strcpy(r.FirmwareVersion, "1.2");
  r.AppFolder = QFileInfo(QStringLiteral(VELK_TEST_VELKIO)).absolutePath() + '/';
  TfrmAbout about(r);
  about.Prepare();
  EXPECT_EQ(about.Caption(), QStringLiteral("Info"));
  EXPECT_EQ(about.Frame()->ButtonCorner(), 30);
  EXPECT_EQ(about.lDeviceName->Text(), QStringLiteral("Demo"));
  EXPECT_EQ(about.lHardwareVer->Text(), QStringLiteral("-"));
  EXPECT_EQ(about.lSerialNumber->Text(), QStringLiteral("-"));
  EXPECT_EQ(about.lBuffSize->Text(), QStringLiteral("131072 samples per channel"));
  EXPECT_EQ(about.lExeRelease->Text(), QStringLiteral(VELK_VERSION));
  EXPECT_EQ(about.lLibRelease->Text(), QStringLiteral(VELK_VERSION));

  r.HardwarePresent = true;
  std::strcpy(r.SerialNumber, "A1234");
  r.BufferCapacity = 524288;
  r.AppFolder = QStringLiteral("/nonexistent/");
  about.Prepare();
  EXPECT_EQ(about.lDeviceName->Text(), QStringLiteral("Dorian"));
  EXPECT_EQ(about.lHardwareVer->Text(), QStringLiteral("1.2"));
  EXPECT_EQ(about.lSerialNumber->Text(), QStringLiteral("A1234"));
  EXPECT_EQ(about.lBuffSize->Text(), QStringLiteral("524288 samples per channel"));
  EXPECT_EQ(about.lLibRelease->Text(), QStringLiteral("unknown"));
}

TEST(About, LinkTurnsBlueWhileHoveredAndOpensTheAddress) {
  TVELK r;
  TfrmAbout about(r);
  EXPECT_EQ(about.lWebAddress->TextColor(), 0x800000u);
  EXPECT_FALSE(about.lWebAddress->font().underline());
  SendEnter(*about.lWebAddress);
  EXPECT_EQ(about.lWebAddress->TextColor(), 0xFF0000u);
  EXPECT_TRUE(about.lWebAddress->font().underline());
  SendLeave(*about.lWebAddress);
  EXPECT_EQ(about.lWebAddress->TextColor(), 0x800000u);

  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
  QTest::mouseClick(about.lWebAddress, Qt::LeftButton, {}, {5, 5});
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  ASSERT_EQ(catcher.urls.size(), 1);
  EXPECT_EQ(catcher.urls[0].toString(), QString::fromLatin1(kMakerWebAddress));

  about.show();
  QTest::keyClick(&about, Qt::Key_Escape);
  EXPECT_FALSE(about.isVisible());
}

#include "test_dialogs.moc"
