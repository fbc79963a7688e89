// The multimeter panel: a small tool window that stays above the oscilloscope and
// shows the five measurements of both channels, each channel's average and RMS as
// bars against the converter's half range, and the over-range flags.
//
// The library lives inside the host's Qt application and is unloaded after
// _Destroy, so it keeps no static objects with destructors and deletes its window
// at once (never deleteLater: the code would be gone when the event runs).
#include "pimbra.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cstring>

namespace {

QColor Bgr(uint32_t c) {
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

QString Text(const char (&field)[10]) {
  return QString::fromLatin1(field, static_cast<qsizetype>(strnlen(field, sizeof field)));
}

// Average and RMS of one channel as two horizontal bars over the half range.
class TLevelBars : public QWidget {
public:
  explicit TLevelBars(QWidget *parent) : QWidget(parent) { setFixedHeight(14); }
  int32_t Mean = 0, Rms = 0, HalfRange = 1;
  QColor Color = Qt::black;
  bool Enabled = true;

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(0xE1, 0xFF, 0xFF));
    p.setPen(QColor(0x41, 0x69, 0x69));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!Enabled) return;
    const double range = std::max(HalfRange, 1);
    const int w = width() - 2;
    const auto bar = [&](int32_t value, int top, int height, int alpha) {
      const int len = static_cast<int>(std::clamp(value / range, 0.0, 1.0) * w);
      QColor c = Color;
      c.setAlpha(alpha);
      p.fillRect(1, top, len, height, c);
    };
    bar(Rms, 1, 6, 255);
    bar(Mean, 7, 6, 140);
  }
};

class TPanel : public QWidget {
public:
  explicit TPanel(bool channelB)
      : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint), ChannelB(channelB) {
    setWindowTitle(QStringLiteral("Multimeter"));
    setObjectName(QStringLiteral("pimbraPanel"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xDE, 0xDB, 0x9C)); // the panels' colour
    setPalette(pal);
    setAutoFillBackground(true);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    static const char *const kNames[5] = {"Frequency", "Period", "Average", "RMS", "Pk-Pk"};
    for (int ch = 0; ch < 2; ++ch) {
      Header[ch] = new QLabel(ch == 0 ? QStringLiteral("Channel A") : QStringLiteral("Channel B"));
      Header[ch]->setAlignment(Qt::AlignRight);
      QFont bold = Header[ch]->font();
      bold.setBold(true);
      Header[ch]->setFont(bold);
      grid->addWidget(Header[ch], 0, 1 + ch);
    }
    for (int row = 0; row < 5; ++row) {
      grid->addWidget(new QLabel(QString::fromLatin1(kNames[row])), 1 + row, 0);
      for (int ch = 0; ch < 2; ++ch) {
        Values[ch][row] = new QLabel(QStringLiteral("-"));
        Values[ch][row]->setAlignment(Qt::AlignRight);
        Values[ch][row]->setObjectName(QStringLiteral("value%1%2").arg(QChar('A' + ch)).arg(row));
        QFont f = Values[ch][row]->font();
        f.setPointSizeF(f.pointSizeF() * 1.3);
        f.setBold(true);
        Values[ch][row]->setFont(f);
        Values[ch][row]->setMinimumWidth(90);
        grid->addWidget(Values[ch][row], 1 + row, 1 + ch);
      }
    }
    for (int ch = 0; ch < 2; ++ch) {
      Bars[ch] = new TLevelBars(this);
      grid->addWidget(Bars[ch], 6, 1 + ch);
      Warning[ch] = new QLabel(QStringLiteral("OVER RANGED!"));
      Warning[ch]->setObjectName(QStringLiteral("overrange%1").arg(QChar('A' + ch)));
      Warning[ch]->setStyleSheet(QStringLiteral("color: #FF0000; font-weight: bold;"));
      Warning[ch]->setAlignment(Qt::AlignRight);
      QSizePolicy keep = Warning[ch]->sizePolicy();
      keep.setRetainSizeWhenHidden(true);
      Warning[ch]->setSizePolicy(keep);
      Warning[ch]->hide();
      grid->addWidget(Warning[ch], 7, 1 + ch);
    }
    grid->addWidget(new QLabel(QStringLiteral("RMS / avg")), 6, 0);
    ApplyChannelB();
  }

  void Show(const TPimbraRecord &r) {
    const char(*texts[2])[10] = {r.TextsA, r.TextsB};
    const uint32_t colors[2] = {r.ColorA, r.ColorB};
    const int32_t means[2] = {r.MeanA, r.MeanB}, rms[2] = {r.RmsA, r.RmsB};
    const bool over[2] = {r.OverrangeA != 0, r.OverrangeB != 0};
    for (int ch = 0; ch < 2; ++ch) {
      const bool on = ch == 0 || ChannelB;
      const QString color = Bgr(colors[ch]).name();
      Header[ch]->setStyleSheet(on ? QStringLiteral("color: %1;").arg(color) : QString());
      for (int row = 0; row < 5; ++row)
        Values[ch][row]->setText(on ? Text(texts[ch][row]) : QStringLiteral("-"));
      Bars[ch]->Mean = means[ch];
      Bars[ch]->Rms = rms[ch];
      Bars[ch]->HalfRange = r.HalfRange;
      Bars[ch]->Color = Bgr(colors[ch]);
      Bars[ch]->update();
      Warning[ch]->setVisible(on && over[ch]);
    }
  }

  void SetChannelB(bool channelB) {
    ChannelB = channelB;
    ApplyChannelB();
  }

private:
  void ApplyChannelB() {
    Header[1]->setEnabled(ChannelB);
    for (QLabel *l : Values[1])
      l->setEnabled(ChannelB);
    Bars[1]->Enabled = ChannelB;
    Bars[1]->update();
  }

  bool ChannelB;
  QLabel *Header[2] = {};
  QLabel *Values[2][5] = {};
  TLevelBars *Bars[2] = {};
  QLabel *Warning[2] = {};
};

TPanel *Panel = nullptr; // plain pointer: nothing to destroy at unload

} // namespace

extern "C" {

__attribute__((visibility("default"))) void _Create(uint8_t channelB) {
  // Widgets need the host's application object; without one there is no panel.
  if (!qobject_cast<QApplication *>(QCoreApplication::instance())) return;
  if (Panel)
    Panel->SetChannelB(channelB != 0);
  else
    Panel = new TPanel(channelB != 0);
}

__attribute__((visibility("default"))) void _Visible(uint8_t show) {
  if (Panel) Panel->setVisible(show != 0);
}

__attribute__((visibility("default"))) uint8_t _IsVisible() {
  return Panel && Panel->isVisible() ? 1 : 0;
}

__attribute__((visibility("default"))) void _Update(TPimbraRecord record) {
  if (Panel) Panel->Show(record);
}

__attribute__((visibility("default"))) void _Destroy() {
  delete Panel;
  Panel = nullptr;
}
}
