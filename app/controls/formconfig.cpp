#include "formconfig.h"

#include "bitmapbutton.h"
#include "colors.h"
#include "dialoghooks.h"
#include "labelex.h"
#include "panelex.h"
#include "tabcontrolex.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTreeWidget>

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr int kColorRole = Qt::UserRole;
constexpr int kW = 380, kH = 338;

TPanelEx *Group(QWidget *parent, const QString &caption, QRect geometry) {
  auto *g = new TPanelEx(parent);
  g->SetFaceColor(kPanelColor);
  g->SetHeaderColor(kPanelColor);
  g->SetBorderColor(kFrameDark);
  g->SetBorderStyle(TPanelEx::pbsRounded);
  g->SetCaption(caption);
  g->SetCaptionPadding(6);
  g->SetCaptionTop(2);
  g->SetHeaderHeight(18);
  QFont f = g->font();
  f.setBold(true);
  g->setFont(f);
  g->setGeometry(geometry);
  return g;
}

TPanelEx *Page(QStackedWidget *pages) {
  auto *p = new TPanelEx;
  p->SetFaceColor(kPanelColor);
  p->SetBorderColor(0);
  p->SetBorderOpen(TPanelEx::boTop);
  pages->addWidget(p);
  return p;
}

template <typename W> W *Plain(W *w) {
  // Controls inside bold group panels keep the normal weight.
  QFont f = w->font();
  f.setBold(false);
  w->setFont(f);
  return w;
}

QString Latin1(const char *text, size_t size) {
  return QString::fromLatin1(text, static_cast<qsizetype>(strnlen(text, size)));
}

} // namespace

int TfrmConfig::MaxLengthIndex(uint32_t capacity) {
  if (capacity < 256) return 0;
  return std::bit_width(capacity / 256) - 1;
}

int TfrmConfig::LengthIndex(uint32_t length, uint32_t capacity) {
  const int k = length < 256 ? 0 : std::bit_width(length / 256) - 1;
  return std::clamp(k, 0, MaxLengthIndex(capacity));
}

TfrmConfig::TfrmConfig(TVELK &record, QWidget *parent) : TFrameDialog(parent), fRecord(record) {
  SetCaption(QStringLiteral("Configuration"));
  resize(kW, kH);
  TPanelEx *panel = Content();

  tceTabs = new TTabControlEx(panel);
  tceTabs->setGeometry(8, 8, kW - 20, 22);
  tceTabs->SetTabColor(kPanelColor);
  tceTabs->SetTabColorU(Dark3D(kPanelColor));
  tceTabs->SetBorderColor(0);
  QFont bold = tceTabs->font();
  bold.setBold(true);
  tceTabs->SetFont(bold);
  Pages = new QStackedWidget(panel);
  Pages->setGeometry(8, 30, kW - 20, kH - 18 - 30 - 50);
  connect(tceTabs, &TTabControlEx::changed, Pages, &QStackedWidget::setCurrentIndex);

  // General
  TPanelEx *general = Page(Pages);
  const int gw = Pages->width() - 16;
  TPanelEx *gBuffer = Group(general, QStringLiteral(" Data Buffer Size "), {8, 8, gw, 62});
  tbBufferSize = Plain(new QSlider(Qt::Horizontal, gBuffer));
  tbBufferSize->setGeometry(8, 24, gw - 120, 28);
  tbBufferSize->setTickPosition(QSlider::TicksBelow);
  tbBufferSize->setPageStep(1);
  lBufferSize = Plain(new TLabelEx(gBuffer));
  lBufferSize->setGeometry(gw - 108, 26, 100, 20);
  lBufferSize->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
  connect(tbBufferSize, &QSlider::valueChanged, this, [this](int k) {
    fChosenLength = 256u << k;
    ShowLength();
  });

  TPanelEx *gBeep = Group(general, QStringLiteral(" Trigger Notification "), {8, 78, gw, 72});
  cbTriggerBeep = Plain(new QCheckBox(QStringLiteral("Enabled"), gBeep));
  cbTriggerBeep->setGeometry(10, 22, 100, 20);
  rbBeepSystemDefault = Plain(new QRadioButton(QStringLiteral("System Default"), gBeep));
  rbBeepSystemDefault->setGeometry(28, 44, 130, 20);
  rbBeepSpeaker = Plain(new QRadioButton(QStringLiteral("PC Speaker"), gBeep));
  rbBeepSpeaker->setGeometry(170, 44, 120, 20);
  connect(cbTriggerBeep, &QCheckBox::toggled, this, [this](bool on) {
    rbBeepSystemDefault->setEnabled(on);
    rbBeepSpeaker->setEnabled(on);
  });

  TPanelEx *gPriority = Group(general, QStringLiteral(" Thread priority "), {8, 158, gw, 56});
  cbPriority = Plain(new QComboBox(gPriority));
  cbPriority->setGeometry(10, 22, 200, 24);
  cbPriority->addItems({QStringLiteral("Idle"), QStringLiteral("Lowest"), QStringLiteral("Lower"),
                        QStringLiteral("Normal (recomended)"), QStringLiteral("Higher"),
                        QStringLiteral("Highest"), QStringLiteral("Time Critical")});

  // Probe
  TPanelEx *probe = Page(Pages);
  TPanelEx *gProbe = Group(probe, QStringLiteral(" Probe compensation "), {8, 8, gw, 50});
  cbProbeComp = Plain(new QCheckBox(QStringLiteral("Enabled"), gProbe));
  cbProbeComp->setGeometry(10, 22, 200, 20);

  // Colors
  TPanelEx *colors = Page(Pages);
  tvColors = new QTreeWidget(colors);
  tvColors->setGeometry(8, 8, gw - 80, Pages->height() - 16);
  tvColors->setHeaderHidden(true);
  tvColors->setRootIsDecorated(true);
  QPalette pal = tvColors->palette();
  pal.setColor(QPalette::Base, FromBGR(kFieldColor));
  tvColors->setPalette(pal);
  pColor = new TPanelEx(colors);
  pColor->setGeometry(gw - 56, 8, 64, 40);
  pColor->SetBorderColor(0);
  pColor->setCursor(Qt::PointingHandCursor);
  pColor->setToolTip(QStringLiteral("Click to change the colour"));
  connect(tvColors, &QTreeWidget::currentItemChanged, this, [this] { SelectColor(); });
  connect(pColor, &TPanelEx::clicked, this, [this] { ChangeColor(); });

  bOK = new TBitmapButton(QStringLiteral("OK"), panel);
  bOK->move(kW / 2 - 80, kH - 18 - 40);
  bCancel = new TBitmapButton(QStringLiteral("Cancel"), panel);
  bCancel->move(kW / 2 + 5, kH - 18 - 40);
  for (TBitmapButton *b : {bOK, bCancel}) {
    b->SetBorderColor(kFrameDark);
    b->SetBorderOver(0xFFFFFF);
  }
  connect(bOK, &TBitmapButton::clicked, this, &TfrmConfig::accept);
  connect(bCancel, &TBitmapButton::clicked, this, &QDialog::reject);
  Frame()->CloseButton()->setToolTip(QStringLiteral("Close"));

  Prepare();
}

void TfrmConfig::showEvent(QShowEvent *e) {
  Prepare();
  emit spectrumCloseRequested();
  TFrameDialog::showEvent(e);
}

void TfrmConfig::Prepare() {
  const TVELK &r = fRecord;
  tceTabs->SetActive(0);
  tceTabs->SetTabs({QStringLiteral("General"),
                    r.HasAnalog() && r.HasChannelB ? QStringLiteral("Probe") : QStringLiteral("-"),
                    QStringLiteral("Colors")});
  Pages->setCurrentIndex(0);

  // A length read from a file need not be 256 * 2^k: it is kept as it is until
  // the bar moves, and the bar never offers more than the memory holds.
  fChosenLength = r.BuffLength;
  {
    const QSignalBlocker block(tbBufferSize);
    tbBufferSize->setRange(0, MaxLengthIndex(r.BufferCapacity));
    tbBufferSize->setValue(LengthIndex(r.BuffLength, r.BufferCapacity));
  }
  ShowLength();

  cbTriggerBeep->setChecked(r.TriggerBeep & 1);
  rbBeepSystemDefault->setChecked(r.TriggerBeep & 2);
  rbBeepSpeaker->setChecked(!(r.TriggerBeep & 2));
  rbBeepSystemDefault->setEnabled(cbTriggerBeep->isChecked());
  rbBeepSpeaker->setEnabled(cbTriggerBeep->isChecked());
  cbPriority->setCurrentIndex(std::clamp<int>(r.ThreadPriority, 0, 6));
  cbProbeComp->setChecked(r.ProbeComp.load() != 0);

  fColors = r.Colors;
  fColorsChanged = false;
  BuildColorTree();
  bOK->setFocus();
}

void TfrmConfig::ShowLength() {
  lBufferSize->SetCaption(QString::number(fChosenLength) + QStringLiteral(" samples"));
}

uint32_t *TfrmConfig::ColorOf(QTreeWidgetItem *item) {
  if (!item) return nullptr;
  const QVariant v = item->data(0, kColorRole);
  if (!v.isValid()) return nullptr;
  return reinterpret_cast<uint32_t *>(&fColors) + v.toInt();
}

void TfrmConfig::BuildColorTree() {
  tvColors->clear();
  const TVELK &r = fRecord;
  uint32_t *base = reinterpret_cast<uint32_t *>(&fColors);
  auto group = [&](const QString &title) {
    auto *g = new QTreeWidgetItem(tvColors, {title});
    g->setFlags(Qt::ItemIsEnabled);
    g->setExpanded(true);
    return g;
  };
  auto item = [&](QTreeWidgetItem *g, const QString &title, uint32_t &field) {
    auto *i = new QTreeWidgetItem(g, {title});
    i->setData(0, kColorRole, static_cast<int>(&field - base));
    QPixmap chip(12, 12);
    chip.fill(FromBGR(field));
    i->setIcon(0, chip);
    return i;
  };
  TColors &c = fColors;
  if (r.HasDigital()) {
    QTreeWidgetItem *g = group(QStringLiteral("Digital Channels"));
    for (int n = 0; n < std::min(r.DigitalChannelCount, kMaxChannels); ++n)
      item(g, Latin1(r.ChName[n], kChNameSize), c.DigitalCh[n]);
  }
  if (r.HasAnalog()) {
    QTreeWidgetItem *g = group(QStringLiteral("Analog Channels"));
    item(g, QStringLiteral("Channel A"), c.AnalogChA);
    if (r.HasChannelB) item(g, QStringLiteral("Channel B"), c.AnalogChB);
    item(g, QStringLiteral("Channel A (Ref)"), c.AnalogChRA);
    if (r.HasChannelB) {
      item(g, QStringLiteral("Channel B (Ref)"), c.AnalogChRB);
      item(g, QStringLiteral("Channel M (Math)"), c.AnalogChM);
    }
  }
  if (r.HasDigital()) {
    QTreeWidgetItem *g = group(QStringLiteral("Digital Display"));
    item(g, QStringLiteral("Cursor X"), c.DigitalCurX);
    item(g, QStringLiteral("Cursor Y"), c.DigitalCurY);
    item(g, QStringLiteral("Cursor Z"), c.DigitalCurZ);
    item(g, QStringLiteral("Cursor T (Trigger)"), c.DigitalCurT);
    item(g, QStringLiteral("Background"), c.DigitalBack);
    item(g, QStringLiteral("Grid"), c.DigitalGrid);
    item(g, QStringLiteral("Ruler color"), c.DigitalRulerBack);
    item(g, QStringLiteral("Ruler text"), c.DigitalRulerText);
    for (int i = 0; i < kMaxInterpreters; ++i)
      item(g,
           r.Interpreters[i] ? Latin1(r.Interpreters[i]->Name, sizeof r.Interpreters[i]->Name)
                             : QString(),
           c.DigitalIntp[i]);
  }
  if (r.HasAnalog()) {
    QTreeWidgetItem *g = group(QStringLiteral("Analog Display"));
    item(g, QStringLiteral("Cursor X"), c.AnalogCurX);
    item(g, QStringLiteral("Cursor Y"), c.AnalogCurY);
    item(g, QStringLiteral("Cursor Z"), c.AnalogCurZ);
    item(g, QStringLiteral("Cursor T (Trigger)"), c.AnalogCurT);
    item(g, QStringLiteral("Background"), c.AnalogBack);
    item(g, QStringLiteral("Grid"), c.AnalogGrid);
    item(g, QStringLiteral("Text"), c.AnalogText);
    item(g, QStringLiteral("Time ruler color"), c.AnalogRulerBack);
    item(g, QStringLiteral("Time ruler text"), c.AnalogRulerText);
    item(g, QStringLiteral("Ruler color (Channel A)"), c.AnalogRulerBackA);
    item(g, QStringLiteral("Ruler text (Channel A)"), c.AnalogRulerTextA);
    if (r.HasChannelB) {
      item(g, QStringLiteral("Ruler color (Channel B)"), c.AnalogRulerBackB);
      item(g, QStringLiteral("Ruler text (Channel B)"), c.AnalogRulerTextB);
    }
  }
  tvColors->expandAll();
  SelectColor();
}

void TfrmConfig::SelectColor() {
  uint32_t *field = ColorOf(tvColors->currentItem());
  pColor->setEnabled(field != nullptr);
  pColor->SetFaceColor(field ? *field : kPanelColor);
  pColor->SetBorderless(field == nullptr);
}

void TfrmConfig::ChangeColor() {
  QTreeWidgetItem *current = tvColors->currentItem();
  uint32_t *field = ColorOf(current);
  if (!field) return;
  uint32_t c = *field;
  if (!ColorDlg(this, c)) return;
  *field = c;
  fColorsChanged = true;
  QPixmap chip(12, 12);
  chip.fill(FromBGR(c));
  current->setIcon(0, chip);
  SelectColor();
}

void TfrmConfig::accept() {
  TVELK &r = fRecord;
  if (fChosenLength != r.BuffLength) {
    // The worker writes into the buffers: they change only between captures.
    if (r.Capturing) {
      MessageDlg(this, 1, QStringLiteral("Stop the capture before changing the data buffer size."),
                 QStringLiteral("Warning"));
      return;
    }
    if (r.HasAnalog()) {
      std::fill(r.SamplesA.begin(), r.SamplesA.end(), 0.0f);
      std::fill(r.SamplesB.begin(), r.SamplesB.end(), 0.0f);
    }
    if (r.HasDigital() && r.ActiveDigitalTab >= 0 && r.ActiveDigitalTab < 3) {
      auto &buffer = r.DigitalSamples[static_cast<size_t>(r.ActiveDigitalTab)];
      std::fill(buffer.begin(), buffer.end(), 0u);
    }
    {
      std::lock_guard<std::mutex> lock(r.ConfigMutex);
      r.BuffLength = fChosenLength;
      r.TriggerAt = r.BuffLength / 2;
    }
    emit bufferLengthChanged();
  }
  if (fColorsChanged) {
    r.Colors = fColors;
    emit colorsChanged();
  }
  r.TriggerBeep = static_cast<uint8_t>((cbTriggerBeep->isChecked() ? 1 : 0) +
                                       (rbBeepSystemDefault->isChecked() ? 2 : 0));
  r.ProbeComp = cbProbeComp->isChecked() ? 1 : 0;
  r.ThreadPriority = static_cast<uint8_t>(std::max(0, cbPriority->currentIndex()));
  TFrameDialog::accept();
}
