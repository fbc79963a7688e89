#include "formsplash.h"

#include "colors.h"
#include "labelex.h"
#include "pictures.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

namespace {
const char *const kStages[5] = {"Searching for hardware...", "Initializing device...",
                                "Getting device info...", "Initializing software...",
                                "Starting User Interface..."};
}

TfrmSplash::TfrmSplash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Velk"));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, FromBGR(kPanelColor));
  setPalette(pal);
  setAutoFillBackground(true);
  setCursor(Qt::WaitCursor);
  resize(500, 150);

  imgVelk = new QLabel(this);
  imgVelk->setPixmap(VelkPicture(150, 120));
  imgVelk->setGeometry(14, 15, 150, 120);
  for (int i = 0; i < 5; ++i) {
    lInit[i] = new TLabelEx(QString::fromLatin1(kStages[i]), this);
    lInit[i]->setGeometry(180, 22 + i * 22, 168, 18);
    lInit[i]->setEnabled(false);
    lInitRes[i] = new TLabelEx(this);
    lInitRes[i]->setGeometry(350, 22 + i * 22, 145, 18);
    lInitRes[i]->SetTextColor(0x004000);
  }
  Timer.setInterval(1000);
  Timer.setSingleShot(true);
  connect(&Timer, &QTimer::timeout, this, &QWidget::hide);

  if (QScreen *s = QGuiApplication::primaryScreen())
    move(s->availableGeometry().center() - rect().center());
}

void TfrmSplash::EnableLine(int line) {
  if (line >= 1 && line <= 5) lInit[line - 1]->setEnabled(true);
}

void TfrmSplash::SetResult(int line, const QString &text) {
  if (line >= 1 && line <= 5) lInitRes[line - 1]->SetCaption(text);
}

void TfrmSplash::showEvent(QShowEvent *e) {
  for (TLabelEx *l : lInitRes)
    l->SetCaption(QString());
  QWidget::showEvent(e);
}

void TfrmSplash::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.setPen(FromBGR(kFrameLight));
  p.drawLine(0, 0, width() - 1, 0);
  p.drawLine(0, 0, 0, height() - 1);
  p.setPen(FromBGR(kFrameDark));
  p.drawLine(0, height() - 1, width() - 1, height() - 1);
  p.drawLine(width() - 1, 0, width() - 1, height() - 1);
}
