#include "formabout.h"

#include "bitmapbutton.h"
#include "colors.h"
#include "dialoghooks.h"
#include "fileversion.h"
#include "labelex.h"
#include "panelex.h"
#include "pictures.h"
#include "record.h"

#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

#include <cstring>

const char *const kMakerWebAddress = "https://www.torvask.example/velk";

namespace {
constexpr uint32_t kLinkOver = 0xFF0000, kLinkNormal = 0x800000;

TLabelEx *Label(QWidget *parent, const QString &text, int x, int y, int w, bool bold = false) {
  auto *l = new TLabelEx(text, parent);
  l->setGeometry(x, y, w, 17);
  if (bold) {
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
  }
  return l;
}
} // namespace

TfrmAbout::TfrmAbout(TVELK &record, QWidget *parent) : TFrameDialog(parent), fRecord(record) {
  SetCaption(QStringLiteral("Info"));
  Frame()->SetButtonCorner(30);
  resize(476, 214);
  TPanelEx *panel = Content();

  imgVelk = new QLabel(panel);
  imgVelk->setPixmap(VelkPicture(120, 96));
  imgVelk->setGeometry(10, 10, 120, 96);

  const int lx = 150, vx = 264, vw = 204;
  Label(panel, QStringLiteral("Instrument:"), lx - 6, 8, 120, true);
  Label(panel, QStringLiteral("Device:"), lx, 26, 100);
  lDeviceName = Label(panel, {}, vx, 26, vw);
  Label(panel, QStringLiteral("Version:"), lx, 43, 100);
  lHardwareVer = Label(panel, {}, vx, 43, vw);
  Label(panel, QStringLiteral("Serial number:"), lx, 60, 100);
  lSerialNumber = Label(panel, {}, vx, 60, vw);
  Label(panel, QStringLiteral("Data buffer size:"), lx, 77, 108);
  lBuffSize = Label(panel, {}, vx, 77, vw);
  Label(panel, QStringLiteral("Software:"), lx - 6, 102, 120, true);
  Label(panel, QStringLiteral("Application:"), lx, 120, 100);
  lExeRelease = Label(panel, {}, vx, 120, vw);
  Label(panel, QStringLiteral("Library:"), lx, 137, 100);
  lLibRelease = Label(panel, {}, vx, 137, vw);

  lWebAddress =
      Label(panel, QString::fromLatin1(kMakerWebAddress).mid(8), 12, panel->height() - 30, 220);
  lWebAddress->SetTextColor(kLinkNormal);
  lWebAddress->setCursor(Qt::PointingHandCursor);
  connect(lWebAddress, &TLabelEx::mouseOver, this, [this] {
    lWebAddress->SetTextColor(kLinkOver);
    lWebAddress->SetUnderline(true);
  });
  connect(lWebAddress, &TLabelEx::mouseOut, this, [this] {
    lWebAddress->SetTextColor(kLinkNormal);
    lWebAddress->SetUnderline(false);
  });
  connect(lWebAddress, &TLabelEx::clicked, this,
          [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerWebAddress))); });

  bClose = new TBitmapButton(QStringLiteral("Close"), panel);
  bClose->move(panel->width() - 75 - 12, panel->height() - 25 - 10);
  bClose->SetBorderColor(kFrameDark);
  bClose->SetBorderOver(0xFFFFFF);
  connect(bClose, &TBitmapButton::clicked, this, &QDialog::reject);
  Prepare();
}

void TfrmAbout::Prepare() {
  const TVELK &r = fRecord;
  const bool real = r.HardwarePresent;
  auto text = [](const auto &field) {
    return QString::fromLatin1(field, static_cast<qsizetype>(strnlen(field, sizeof field)));
  };
  auto orDash = [&](const auto &field) {
    return real && field[0] ? text(field) : QStringLiteral("-");
  };
  lDeviceName->SetCaption(real ? text(r.DeviceDescription) : QStringLiteral("Demo"));
  lHardwareVer->SetCaption(orDash(r.FirmwareVersion));
  lSerialNumber->SetCaption(orDash(r.SerialNumber));
  lBuffSize->SetCaption(QString::number(r.BufferCapacity) + QStringLiteral(" samples per channel"));
  lExeRelease->SetCaption(QStringLiteral(VELK_VERSION));
  lLibRelease->SetCaption(FileVersion(r.AppFolder + QStringLiteral("libvelkio.so")));
  bClose->setFocus();
}

void TfrmAbout::Execute() {
  Prepare();
  ExecDialog(*this);
}
