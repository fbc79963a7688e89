// Renders every control and dialog of app/controls into PNG files, for looking
// at them without a display: controls_render OUTPUT_FOLDER (offscreen platform).
#include "bitmapbutton.h"
#include "colors.h"
#include "formabout.h"
#include "formconfig.h"
#include "formmessage.h"
#include "formselectdevice.h"
#include "formsimpleinput.h"
#include "formsplash.h"
#include "labelex.h"
#include "panelex.h"
#include "pictures.h"
#include "record.h"
#include "tabcontrolex.h"
#include "windowframe.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QStackedWidget>
#include <QTreeWidget>

#include <cstring>

namespace {
QString gFolder;

void Save(QWidget &w, const char *name) {
  w.show();
  w.activateWindow();
  QApplication::processEvents();
  w.grab().save(gFolder + '/' + name + ".png");
}

void FillRecord(TVELK &r) {
  r.DeviceFeatures = 0x03;
  r.HasChannelB = true;
  r.DigitalChannelCount = 16;
  r.BufferCapacity = 131072;
  r.BuffLength = 8192;
  r.HardwarePresent = true;
  std::strcpy(r.DeviceDescription, "Cobalt");
  std::strcpy(r.FirmwareVersion, "2.1");
  std::strcpy(r.SerialNumber, "C0042");
  r.TriggerBeep = 3;
  r.ThreadPriority = 3;
  for (int i = 0; i < 16; ++i)
    std::snprintf(r.ChName[i], kChNameSize, "D%d", i);
  r.Colors.AnalogChA = 0x00FFFF;
  r.Colors.AnalogChB = 0xFFFF00;
  r.Colors.AnalogChM = 0xFF00FF;
  r.AppFolder = QCoreApplication::applicationDirPath() + "/../bin/";
}
} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  gFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/controls-png");
  QDir().mkpath(gFolder);

  {
    QWidget host;
    host.resize(420, 150);
    QPalette pal = host.palette();
    pal.setColor(QPalette::Window, FromBGR(kPanelColor));
    host.setPalette(pal);
    host.setAutoFillBackground(true);
    auto *b1 = new TBitmapButton(QStringLiteral("Capture"), &host);
    b1->move(10, 10);
    auto *b2 = new TBitmapButton(QStringLiteral("Disabled"), &host);
    b2->move(95, 10);
    b2->setEnabled(false);
    auto *b3 = new TBitmapButton(QStringLiteral("Rect"), &host);
    b3->SetShape(TBitmapButton::bsRect);
    b3->SetBitmap(GlyphPicture(TGlyph::Close, 14, 0x0000C0));
    b3->SetGap(4);
    b3->move(180, 10);
    auto *l1 = new TLabelEx(QStringLiteral("Clickable text"), &host);
    l1->SetColor(kFieldColor);
    l1->setGeometry(10, 45, 120, 18);
    auto *l2 = new TLabelEx(QStringLiteral("Disabled text"), &host);
    l2->setGeometry(140, 45, 120, 18);
    l2->setEnabled(false);
    auto *p1 = new TPanelEx(&host);
    p1->setGeometry(10, 72, 120, 60);
    p1->SetFaceColor(kPanelColor);
    p1->SetHeaderColor(0xD1FFD1);
    p1->SetHeaderHeight(16);
    p1->SetCaption(QStringLiteral("Channel A"));
    p1->SetBorderStyle(TPanelEx::pbsRounded);
    p1->SetBorderOpen(TPanelEx::boRight);
    auto *p2 = new TPanelEx(&host);
    p2->setGeometry(130, 72, 80, 60);
    p2->SetFaceColor(kFieldColor);
    p2->SetBorderOpen(TPanelEx::boLeft);
    auto *t = new TTabControlEx(&host);
    t->setGeometry(220, 72, 190, 22);
    t->SetTabs({"General", "-", "Probe", "Colors"});
    t->SetActive(2);
    Save(host, "controls");
  }
  {
    TFrameWindow w;
    w.SetCaption(QStringLiteral("Analog (Dorian) - DEMO"));
    w.resize(420, 160);
    w.Frame()->Content();
    Save(w, "frame-main");
  }
  TfrmSplash splash;
  splash.show();
  for (int i = 1; i <= 3; ++i)
    splash.EnableLine(i);
  splash.SetResult(1, "Hardware not found.");
  splash.SetResult(2, "OK");
  Save(splash, "splash");

  TfrmSelectDevice select;
  select.Prepare("Hardware not found.", "Select device to enter Demo Mode.",
                 {"Ardent", "Brisk", "Cobalt", "Dorian", "Dorian-12"});
  Save(select, "select-device");

  const struct {
    int kind;
    const char *text, *name;
  } messages[] = {{0, "Missing library.", "message-error"},
                  {3, "Do you really want to quit?", "message-confirm"},
                  {2,
                   "The settings were saved. This longer text wraps over several lines of "
                   "the message box so the box grows to hold it.",
                   "message-info"},
                  {0,
                   "Could not open /home/user/measurements/2026-12-10/"
                   "a-very-long-project-name-without-any-spaces-at-all.prj",
                   "message-path"}};
  for (const auto &m : messages) {
    TfrmMessage box;
    box.Prepare(m.kind, QString::fromLatin1(m.text));
    Save(box, m.name);
  }

  TfrmSimpleInput input;
  input.PrepareName("CLK", 0x00C000);
  Save(input, "input-name");
  input.PrepareEdgeSkipCount(25);
  Save(input, "input-edgeskip");
  input.PreparePattern(0x2A, 0);
  Save(input, "input-pattern");

  TVELK r;
  FillRecord(r);
  TfrmAbout about(r);
  about.Prepare();
  Save(about, "about");
  TVELK demo;
  demo.HardwarePresent = false;
  demo.BufferCapacity = 131072;
  TfrmAbout aboutDemo(demo);
  aboutDemo.Prepare();
  Save(aboutDemo, "about-demo");

  TfrmConfig config(r);
  Save(config, "config-general");
  config.tceTabs->SetActive(1);
  config.Pages->setCurrentIndex(1);
  Save(config, "config-probe");
  config.tceTabs->SetActive(2);
  config.Pages->setCurrentIndex(2);
  config.tvColors->setCurrentItem(config.tvColors->topLevelItem(1)->child(0));
  Save(config, "config-colors");
  return 0;
}
