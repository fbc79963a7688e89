// TfrmAnalog: construction, layout, the title strip, showing and closing, and
// the keyboard. The commands are in formanalog_commands.cpp, the refreshes in
// formanalog_update.cpp.
#include "formanalog.h"

#include "ui.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QWindow>

namespace {

constexpr uint32_t kWindowColor = 0x466439;
constexpr uint32_t kPanelColor = 0x9CDBDE;
constexpr uint32_t kFieldColor = 0xE1FFFF;
constexpr int kDesignWidth = 780, kDesignHeight = 504;
constexpr int kStrip = 20;        // the title strip: drags except the button corner
constexpr int kButtonCorner = 80; // the caption buttons' corner of the strip
constexpr int kStatusHeight = 26;
constexpr int kPanelHeight = 104;
constexpr int kScrollBarSize = 16;

QPushButton *MakeButton(QWidget *parent, const QString &caption, const QString &hint) {
  auto *b = new QPushButton(caption, parent);
  b->setToolTip(hint);
  b->setFocusPolicy(Qt::NoFocus);
  QFont f = b->font();
  f.setPixelSize(11);
  f.setBold(true);
  b->setFont(f);
  return b;
}

QPushButton *MakeImage(QWidget *parent, TScopePicture picture, const QString &hint) {
  QPushButton *b = MakeButton(parent, {}, hint);
  b->setIcon(QIcon(ScopePicture(picture, 32)));
  b->setIconSize(QSize(16, 16));
  b->setFlat(true);
  return b;
}

TFieldText *MakeField(QWidget *parent, const QString &hint) {
  auto *f = new TFieldText({}, parent);
  f->setToolTip(hint);
  f->SetColor(kFieldColor);
  return f;
}

QScrollBar *MakeBar(QWidget *parent, Qt::Orientation o) {
  auto *bar = new QScrollBar(o, parent);
  bar->setFocusPolicy(Qt::NoFocus);
  bar->setContextMenuPolicy(Qt::CustomContextMenu);
  return bar;
}

} // namespace

TfrmAnalog::TfrmAnalog(TVELK &record, TCaptureCommands &commands, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), R(record), fCommands(commands) {
  setObjectName(QStringLiteral("frmAnalog"));
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ScopeColor(kWindowColor));
  setPalette(pal);

  ColorDialog = [this](uint32_t &bgr) {
    const QColor c = QColorDialog::getColor(ScopeColor(bgr), this);
    if (!c.isValid()) return false;
    bgr = static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
          static_cast<uint32_t>(c.blue()) << 16;
    return true;
  };
  auto fileDialog = [this](bool save) {
    return [this, save](const QString &path, const QStringList &filters, int &filter) {
      QString selected = filters.value(filter);
      const QString f = filters.join(QStringLiteral(";;"));
      const QString name = save ? QFileDialog::getSaveFileName(this, {}, path, f, &selected)
                                : QFileDialog::getOpenFileName(this, {}, path, f, &selected);
      if (!name.isEmpty()) filter = std::max<int>(0, static_cast<int>(filters.indexOf(selected)));
      return name;
    };
  };
  OpenDialog = fileDialog(false);
  SaveDialog = fileDialog(true);
  OpenDocument = [](const QString &path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  };

  BuildCaption();
  pWindow = new QWidget(this);
  pWindow->setObjectName(QStringLiteral("pWindow"));
  pWindow->setAutoFillBackground(true);
  QPalette pp = pWindow->palette();
  pp.setColor(QPalette::Window, ScopeColor(kPanelColor));
  pWindow->setPalette(pp);

  DisplayA = new TAnalogData(pWindow);
  DisplayA->OnMouseDown = [this](Qt::MouseButtons b, Qt::KeyboardModifiers m, int x, int y) {
    PlotMouseDown(b, m, x, y);
  };
  DisplayA->OnRulerClick = [this](Qt::MouseButtons b, Qt::KeyboardModifiers m, int, int) {
    RulerMouseDown(b, m);
  };
  ScrollBarX = MakeBar(pWindow, Qt::Horizontal);
  ScrollBarY = MakeBar(pWindow, Qt::Vertical);
  connect(ScrollBarX, &QScrollBar::valueChanged, this, [this](int v) {
    if (!fUpdatingScrollBars) ScrollTo(v);
  });
  connect(ScrollBarX, &QWidget::customContextMenuRequested, this, [this] { JumpTo('T'); });
  connect(ScrollBarY, &QScrollBar::valueChanged, this, [this](int v) {
    if (!fUpdatingScrollBars) ScrollYTo(v);
  });
  connect(ScrollBarY, &QWidget::customContextMenuRequested, this, [this] {
    ScrollBarY->setValue(0);
    ScrollYTo(0);
  });
  pChRulA = new TFieldText(QStringLiteral("A"), pWindow);
  pChRulB = new TFieldText(QStringLiteral("B"), pWindow);
  pChRulA->setCursor(Qt::ArrowCursor);
  pChRulB->setCursor(Qt::ArrowCursor);

  peBackChA = new TCaptionPanel(QStringLiteral("    Channel A"), pWindow);
  peBackChB = new TCaptionPanel(QStringLiteral("    Channel B"), pWindow);
  peBackTrigger = new TCaptionPanel(QStringLiteral("Trigger"), pWindow);
  peButtonsBack = new TCaptionPanel(QString::fromLatin1(R.DeviceDescription), pWindow);
  BuildChannelPanel(peBackChA, ChA, 'A');
  BuildChannelPanel(peBackChB, ChB, 'B');
  BuildTriggerPanel();
  BuildButtonPanel();
  BuildStatusPanel();
  BuildMenus();

  Timer = new QTimer(this);
  Timer->setInterval(1000);
  connect(Timer, &QTimer::timeout, this, [this] { CaptureRateTick(); });

  resize(kDesignWidth + 10, kDesignHeight + 23);
  fMinimumWidth = width();
  setMinimumSize(fMinimumWidth, 400);
  qApp->installEventFilter(this);

  if (R.HasAnalog()) {
    InitDisplay();
    TakeCapture();
  }
  Layout();
  UpdateControls();
  UpdateStatus();
}

TfrmAnalog::~TfrmAnalog() {
  qApp->removeEventFilter(this);
}

// --- The title strip ---

void TfrmAnalog::BuildCaption() {
  lCaption = new QLabel(QStringLiteral("Analog"), this);
  QFont f = lCaption->font();
  f.setBold(true);
  f.setPixelSize(12);
  lCaption->setFont(f);
  lCaption->setAttribute(Qt::WA_TransparentForMouseEvents);
  bInfo = MakeButton(this, QStringLiteral("i"), QStringLiteral("Information"));
  bMinimize = MakeButton(this, QStringLiteral("_"), QStringLiteral("Minimize"));
  bMaximize = MakeButton(this, QStringLiteral("\u25A1"), QStringLiteral("Maximize"));
  bClose = MakeButton(this, QStringLiteral("\u00D7"), QStringLiteral("Close"));
  connect(bInfo, &QPushButton::clicked, this, [this] {
    if (Links.About) Links.About();
  });
  connect(bMinimize, &QPushButton::clicked, this, [this] { showMinimized(); });
  connect(bMaximize, &QPushButton::clicked, this, [this] {
    if (isMaximized())
      showNormal();
    else
      showMaximized();
  });
  connect(bClose, &QPushButton::clicked, this, [this] {
    fCommands.StopClick();
    close();
  });
  SetCaption(QStringLiteral("Analog"));
}

void TfrmAnalog::SetCaption(const QString &caption) {
  lCaption->setText(caption);
  setWindowTitle(caption);
}

QString TfrmAnalog::Caption() const {
  return lCaption->text();
}

void TfrmAnalog::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.fillRect(rect(), ScopeColor(kWindowColor));
  // The 3-D line around the content panel.
  const QRect r = pWindow->geometry().adjusted(-1, -1, 0, 0);
  p.setPen(ScopeColor(0xE1FFFF));
  p.drawLine(r.topLeft(), r.topRight());
  p.drawLine(r.topLeft(), r.bottomLeft());
  p.setPen(ScopeColor(0x416969));
  p.drawLine(r.bottomLeft(), r.bottomRight());
  p.drawLine(r.topRight(), r.bottomRight());
}

void TfrmAnalog::changeEvent(QEvent *e) {
  if (e->type() == QEvent::ActivationChange) {
    QPalette pal = lCaption->palette();
    pal.setColor(QPalette::WindowText, ScopeColor(isActiveWindow() ? 0x00FFFF : kPanelColor));
    lCaption->setPalette(pal);
  } else if (e->type() == QEvent::WindowStateChange) {
    bMaximize->setText(isMaximized() ? QStringLiteral("\u2750") : QStringLiteral("\u25A1"));
    bMaximize->setToolTip(isMaximized() ? QStringLiteral("Restore") : QStringLiteral("Maximize"));
  }
  QWidget::changeEvent(e);
}

void TfrmAnalog::mousePressEvent(QMouseEvent *e) {
  const QPoint pos = e->position().toPoint();
  if (e->button() == Qt::LeftButton && pos.y() < kStrip && pos.x() < width() - kButtonCorner) {
    if (QWindow *w = windowHandle()) w->startSystemMove();
    return;
  }
  QWidget::mousePressEvent(e);
}

// --- Panels ---

void TfrmAnalog::BuildChannelPanel(TCaptionPanel *panel, TChannelControls &c, char channel) {
  const QString ch(QChar::fromLatin1(channel));
  c.stColor = MakeField(panel, QStringLiteral("Select channel %1 color").arg(ch));
  c.stGain = MakeField(panel, QStringLiteral("Channel %1 gain\nClick to change").arg(ch));
  c.stCoupling =
      MakeField(panel, channel == 'A' ? QStringLiteral("Channel A coupling.\nClick to change")
                                      : QStringLiteral("Channel B coupling\nClick to change"));
  c.stRef = MakeField(panel, QStringLiteral("Signal referece\nClick for options"));
  c.stRef->SetCaption(QStringLiteral("REF"));
  c.stProbe =
      MakeField(panel, QStringLiteral("Channel %1 probe attenuation\nClick to change").arg(ch));
  c.stInvert =
      MakeField(panel, channel == 'A' ? QStringLiteral("Channel A inversion\nClick to change.")
                                      : QStringLiteral("Channel B inversion\nClick to change"));
  c.stInvert->SetCaption(QStringLiteral("INV"));
  c.stOnOff = MakeField(panel, {});
  c.stPosY = MakeField(panel, QStringLiteral("Channel %1 position.").arg(ch));
  c.stPosY->setCursor(Qt::ArrowCursor);
  c.ScrollBarPosY = MakeBar(panel, Qt::Vertical);

  c.stColor->OnClick = [this, channel] { ChooseColor(channel); };
  c.stGain->OnClick = [this, channel] { ShowGainMenu(channel); };
  c.stCoupling->OnClick = [this, channel] { ShowCouplingMenu(channel); };
  c.stRef->OnClick = [this, channel] { ShowRefMenu(channel); };
  c.stProbe->OnClick = [this, channel] { ShowProbeMenu(channel); };
  c.stInvert->OnClick = [this, channel] { ToggleInvert(channel); };
  c.stOnOff->OnClick = [this, channel] { ToggleOnOff(channel); };
  connect(c.ScrollBarPosY, &QScrollBar::valueChanged, this, [this, channel](int v) {
    if (!fUpdatingScrollBars) SetPosition(channel, v);
  });
  connect(c.ScrollBarPosY, &QWidget::customContextMenuRequested, this,
          [this, channel] { SetPosition(channel, 0); });
}

void TfrmAnalog::BuildTriggerPanel() {
  QWidget *p = peBackTrigger;
  sbThreshold = MakeBar(p, Qt::Vertical);
  stClock = MakeField(p, QStringLiteral("Sampling clock rate\nClick to change"));
  stTriggerSrc = MakeField(p, QStringLiteral("Trigger source\nClick to change"));
  iTriggerEdge = new QLabel(p);
  iTriggerEdge->setToolTip(QStringLiteral("Trigger edge\nClick to change"));
  stTriggerEdge = MakeField(p, QStringLiteral("Trigger edge\nClick to change"));
  stTriggerType = MakeField(p, QStringLiteral("Trigger type\nClick to change"));
  stThresholdVal = MakeField(p, QStringLiteral("Threshold value\nClick to display/hide T cursor"));
  iTriggerEdge->installEventFilter(this);
  stClock->OnClick = [this] { ShowClockMenu(); };
  stTriggerSrc->OnClick = [this] { ShowTriggerSrcMenu(); };
  stTriggerEdge->OnClick = [this] { ShowTriggerEdgeMenu(); };
  stTriggerType->OnClick = [this] { ShowTriggerTypeMenu(); };
  stThresholdVal->OnClick = [this] {
    DisplayA->CursorTEn = !DisplayA->CursorTEn;
    UpdateDisplay();
  };
  connect(sbThreshold, &QScrollBar::valueChanged, this, [this](int v) {
    if (!fUpdatingScrollBars) SetThreshold(-v);
  });
  connect(sbThreshold, &QScrollBar::sliderReleased, this,
          [this] { SetThreshold(-sbThreshold->value()); });
  connect(sbThreshold, &QWidget::customContextMenuRequested, this, [this] { SetThreshold(0); });
}

void TfrmAnalog::BuildButtonPanel() {
  QWidget *p = peButtonsBack;
  using P = TScopePicture;
  imgZoomOutX = MakeImage(p, P::ZoomOutX, QStringLiteral("Zoom out (time axis)"));
  imgZoomInX = MakeImage(p, P::ZoomInX, QStringLiteral("Zoom in (time axis)"));
  imgZoomInY = MakeImage(p, P::ZoomInY, QStringLiteral("Zoom in (Y axis)"));
  imgZoomOutY = MakeImage(p, P::ZoomOutY, QStringLiteral("Zoom out (Y axis)"));
  imgZoomXY = MakeImage(p, P::ZoomXY, QStringLiteral("Zoom area between X and Y"));
  imgZoomAll = MakeImage(p, P::ZoomAll, QStringLiteral("Zoom all"));
  imgZoomPrev = MakeImage(p, P::ZoomPrev, QStringLiteral("Zoom previous"));
  imgZoom11 = MakeImage(p, P::Zoom11, QStringLiteral("Zoom 1 sample per pixel"));
  bJumpToT = MakeButton(p, QStringLiteral("T"), QStringLiteral("Jump To T [Ctrl + T]"));
  bJumpToX = MakeButton(p, QStringLiteral("X"), QStringLiteral("Jump To X [Ctrl + X]"));
  bJumpToY = MakeButton(p, QStringLiteral("Y"), QStringLiteral("Jump To Y [Ctrl + Y]"));
  bJumpToZ = MakeButton(p, QStringLiteral("Z"), QStringLiteral("Jump To Z [Ctrl + Z]"));
  bDigital = MakeImage(p, P::Digital, QStringLiteral("Switch to Digital [Ctrl + Tab]"));
  bConfig = MakeImage(p, P::Config, QStringLiteral("Configuration"));
  bFile = MakeImage(p, P::File, QStringLiteral("File operations"));
  bPrint = MakeImage(p, P::Print, QStringLiteral("Print signals"));
  bHelp = MakeImage(p, P::Help, QStringLiteral("Help"));
  bXYplot = MakeImage(p, P::XYPlot, QStringLiteral("XY plot"));
  bMultimeter = MakeImage(p, P::Multimeter, QStringLiteral("Multimeter"));
  bMath = MakeImage(p, P::MathOff, QStringLiteral("Math operations"));
  bSetup = MakeImage(p, P::Setup, QStringLiteral("Capture setup"));
  bFFT = MakeImage(p, P::FFT, QStringLiteral("Spectral analysis"));
  bCapture = MakeButton(p, QStringLiteral("Capture"), QStringLiteral("Capture [Enter]"));
  bStop = MakeButton(p, QStringLiteral("Stop"), QStringLiteral("Stop capture [Esc]"));
  bTrigger =
      MakeButton(p, QStringLiteral("Trigger"), QStringLiteral("Force analog trigger [Space]"));
  bAutoset = MakeButton(p, QStringLiteral("Autoset"), QStringLiteral("Autoset"));
  for (QPushButton *b :
       {bDigital, bConfig, bFile, bPrint, bHelp, bXYplot, bMultimeter, bMath, bSetup, bFFT})
    b->setFlat(false);

  connect(imgZoomOutX, &QPushButton::clicked, this, [this] { ZoomOutX(); });
  connect(imgZoomInX, &QPushButton::clicked, this, [this] { ZoomInX(); });
  connect(imgZoomInY, &QPushButton::clicked, this, [this] { ZoomInY(); });
  connect(imgZoomOutY, &QPushButton::clicked, this, [this] { ZoomOutY(); });
  connect(imgZoomXY, &QPushButton::clicked, this, [this] { ZoomXY(); });
  connect(imgZoomAll, &QPushButton::clicked, this, [this] { ZoomAll(); });
  connect(imgZoomPrev, &QPushButton::clicked, this, [this] { ZoomPrevious(); });
  connect(imgZoom11, &QPushButton::clicked, this, [this] { Zoom11(); });
  connect(bJumpToT, &QPushButton::clicked, this, [this] { JumpTo('T'); });
  connect(bJumpToX, &QPushButton::clicked, this, [this] { JumpTo('X'); });
  connect(bJumpToY, &QPushButton::clicked, this, [this] { JumpTo('Y'); });
  connect(bJumpToZ, &QPushButton::clicked, this, [this] { JumpTo('Z'); });
  connect(bDigital, &QPushButton::clicked, this, [this] {
    if (Links.LogicVisible && Links.LogicVisible() && Links.ShowLogic) {
      R.ActiveWindow = 1;
      Links.ShowLogic();
    }
  });
  connect(bConfig, &QPushButton::clicked, this, [this] {
    if (!Links.Configure) return;
    Links.Configure();
    UpdateStatus();
  });
  connect(bFile, &QPushButton::clicked, this, [this] { ShowFileMenu(); });
  connect(bHelp, &QPushButton::clicked, this, [this] { HelpClick(); });
  connect(bMultimeter, &QPushButton::clicked, this, [this] { MultimeterClick(); });
  connect(bMath, &QPushButton::clicked, this, [this] { ShowMathMenu(); });
  connect(bCapture, &QPushButton::clicked, this,
          [this] { fCommands.CaptureClick(TCaptureControl::kAnalogWindow); });
  connect(bStop, &QPushButton::clicked, this, [this] { fCommands.StopClick(); });
  connect(bTrigger, &QPushButton::clicked, this, [this] { fCommands.TriggerClick(); });
  connect(bAutoset, &QPushButton::clicked, this, [this] { fCommands.AutosetClick(); });

  peStatus = new QWidget(p);
  peStatus->setAutoFillBackground(true);
  QPalette sp = peStatus->palette();
  sp.setColor(QPalette::Window, ScopeColor(kFieldColor));
  peStatus->setPalette(sp);
  lMessage = new QLabel(peStatus);
  lWarning = new QLabel(peStatus);
  QFont mf = lMessage->font();
  mf.setPixelSize(11);
  lMessage->setFont(mf);
  mf.setBold(true);
  mf.setPixelSize(10);
  lWarning->setFont(mf);
  QPalette wp = lWarning->palette();
  wp.setColor(QPalette::WindowText, Qt::red);
  lWarning->setPalette(wp);
  lWarning->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lWarning->hide();

  // Buttons of later parts: present and disabled until their windows exist.
  bPrint->setEnabled(false);
  bSetup->setEnabled(false);
  bXYplot->setEnabled(false);
  bFFT->setEnabled(false);
  bStop->setEnabled(false);
  bTrigger->setEnabled(false);
  imgZoomPrev->setEnabled(false);
  bDigital->setEnabled(R.HasDigital());
  bConfig->setEnabled(false); // until the shell gives the dialog (PrepareShow)
}

void TfrmAnalog::BuildStatusPanel() {
  peBackStatus = new QWidget(pWindow);
  auto field = [this](const QString &caption, const QString &hint = {}) {
    TFieldText *f = MakeField(peBackStatus, hint);
    f->SetCaption(caption);
    f->SetBevel(true);
    f->SetColor(kPanelColor);
    return f;
  };
  pBufferLabel = field(QStringLiteral("Buffer"));
  pBufferSize = field({});
  pDelayLabel = field(QStringLiteral("Delay"));
  pDelayValue = field(QStringLiteral("0"));
  pCPosLabel = field({});
  pCPosValue = field({});
  for (int i = 0; i < 2; ++i) {
    pDistCursor1[i] = field({});
    pDistCursor2[i] = field({});
    pDistCh[i] = field({});
    pDistValue[i] = field({});
    pMeasCh[i] = field({});
    pMeasType[i] = field({});
    pMeasVal[i] = field({});
    pDistCursor1[i]->OnClick = [this, i] { CycleDistCursor(i, 0); };
    pDistCursor2[i]->OnClick = [this, i] { CycleDistCursor(i, 1); };
    pDistCh[i]->OnClick = [this, i] { CycleDistChannel(i); };
    pDistValue[i]->OnClick = [this, i] { CycleDistMode(i); };
    pMeasCh[i]->OnClick = [this, i] { CycleMeasChannel(i); };
    pMeasType[i]->OnClick = [this, i] { CycleMeasType(i); };
    pMeasVal[i]->OnClick = [this] { ToggleOverlay(); };
  }
  pBufferLabel->OnDoubleClick = [this] { ToggleCaptureRate(); };
  pBufferSize->OnClick = [this] {
    BufferUnit = BufferUnit == 's' ? 't' : 's';
    UpdateStatus();
  };
  pCPosLabel->OnClick = [this] { CyclePosCursor(); };
  pCPosValue->OnClick = [this] {
    PosUnit = PosUnit == 't' ? 's' : 't';
    UpdateStatus();
  };
  pDelayLabel->setCursor(Qt::ArrowCursor);
  pDelayValue->setCursor(Qt::ArrowCursor);
}

// --- Layout ---

void TfrmAnalog::resizeEvent(QResizeEvent *e) {
  QWidget::resizeEvent(e);
  Layout();
}

void TfrmAnalog::Layout() {
  if (!pWindow) return;
  pWindow->setGeometry(5, 18, width() - 10, height() - 23);
  lCaption->setGeometry(6, 1, width() - kButtonCorner - 12, kStrip - 2);
  int x = width() - 4 - 16;
  for (QPushButton *b : {bClose, bMaximize, bMinimize, bInfo}) {
    b->setGeometry(x, 3, 16, 14);
    x -= 18;
  }
  const int W = pWindow->width(), H = pWindow->height();
  int dh = H + DisplayA->RulerHeight - 174;
  if (dh % 2) --dh;
  dh = std::max(dh, 40);
  const int dw = W - kScrollBarSize - 10;
  DisplayA->setGeometry(4, 4, dw, dh);
  const int plotBottom = 4 + dh - DisplayA->RulerHeight;
  ScrollBarX->setGeometry(DisplayA->RulerWidthL + 5, 4 + dh,
                          dw - DisplayA->RulerWidthL - DisplayA->RulerWidthR - 2, kScrollBarSize);
  ScrollBarY->setGeometry(4 + dw + 2, 4, kScrollBarSize, plotBottom - 4);
  pChRulA->setGeometry(4, 4 + dh, DisplayA->RulerWidthL, kScrollBarSize);
  pChRulB->setGeometry(4 + dw - DisplayA->RulerWidthR, 4 + dh, DisplayA->RulerWidthR,
                       kScrollBarSize);

  peBackStatus->setGeometry(4, H - 4 - kStatusHeight, W - 8, kStatusHeight);
  const int top = 4 + dh + kScrollBarSize + 4;
  const int ph = std::max(kPanelHeight, H - 4 - kStatusHeight - 4 - top);
  const int chW = 160, trigW = 146, gap = 5;
  peBackChA->setGeometry(4, top, chW, ph);
  peBackChB->setGeometry(4 + chW + gap, top, chW, ph);
  peBackTrigger->setGeometry(4 + 2 * (chW + gap), top, trigW, ph);
  const int bx = 4 + 2 * (chW + gap) + trigW + gap;
  peButtonsBack->setGeometry(bx, top, W - 4 - bx, ph);
  LayoutChannelPanel(peBackChA, ChA);
  LayoutChannelPanel(peBackChB, ChB);
  LayoutTriggerPanel();
  LayoutButtonPanel();
  LayoutStatusPanel();
  if (R.HasAnalog() && isVisible()) {
    UpdateScrollBars();
    UpdateDisplay();
    UpdateStatus();
    update();
  }
}

void TfrmAnalog::LayoutChannelPanel(TCaptionPanel *panel, TChannelControls &c) {
  const int y0 = TCaptionPanel::kHeaderHeight + 4, rh = 17, gap = 4;
  c.stColor->setGeometry(5, 2, 12, 11); // in the caption strip, before the caption text
  c.stGain->setGeometry(6, y0, 76, rh);
  c.stCoupling->setGeometry(6 + 76 + gap, y0, 36, rh);
  c.stRef->setGeometry(6, y0 + (rh + gap), 36, rh);
  c.stProbe->setGeometry(6 + 36 + gap, y0 + (rh + gap), 40, rh);
  c.stInvert->setGeometry(6 + 76 + gap, y0 + (rh + gap), 36, rh);
  c.stOnOff->setGeometry(6, y0 + 2 * (rh + gap), 36, rh);
  c.stPosY->setGeometry(6, y0 + 3 * (rh + gap), 116, rh);
  c.ScrollBarPosY->setGeometry(panel->width() - 20, y0 - 2, 14, panel->height() - y0 - 4);
}

void TfrmAnalog::LayoutTriggerPanel() {
  QWidget *p = peBackTrigger;
  const int y0 = TCaptionPanel::kHeaderHeight + 3, rh = 16, gap = 2, w = p->width() - 32;
  stClock->setGeometry(6, y0, w, rh);
  stTriggerSrc->setGeometry(6, y0 + (rh + gap), w, rh);
  iTriggerEdge->setGeometry(6, y0 + 2 * (rh + gap), rh, rh);
  stTriggerEdge->setGeometry(6 + rh + 2, y0 + 2 * (rh + gap), w - rh - 2, rh);
  stTriggerType->setGeometry(6, y0 + 3 * (rh + gap), w, rh);
  stThresholdVal->setGeometry(6, y0 + 4 * (rh + gap), w, rh);
  sbThreshold->setGeometry(p->width() - 20, y0 - 1, 14, p->height() - y0 - 4);
}

void TfrmAnalog::LayoutButtonPanel() {
  const int w = peButtonsBack->width();
  const int y0 = TCaptionPanel::kHeaderHeight + 3;
  int x = 5;
  for (QPushButton *b : {imgZoomOutX, imgZoomInX, imgZoomInY, imgZoomOutY, imgZoomXY, imgZoomAll,
                         imgZoomPrev, imgZoom11, bJumpToT, bJumpToX, bJumpToY, bJumpToZ}) {
    b->setGeometry(x, y0, 21, 20);
    x += 22;
  }
  x = 5;
  for (QPushButton *b :
       {bDigital, bConfig, bFile, bPrint, bHelp, bXYplot, bMultimeter, bMath, bSetup, bFFT}) {
    b->setGeometry(x, y0 + 22, 25, 20);
    x += 26;
  }
  const int bw = (w - 10 - 3 * 3) / 4;
  x = 5;
  for (QPushButton *b : {bCapture, bStop, bTrigger, bAutoset}) {
    b->setGeometry(x, y0 + 44, bw, 21);
    x += bw + 3;
  }
  peStatus->setGeometry(5, y0 + 67, w - 10, std::max(14, peButtonsBack->height() - y0 - 70));
  lMessage->setGeometry(3, 0, peStatus->width() - 90, peStatus->height());
  lWarning->setGeometry(peStatus->width() - 88, 0, 85, peStatus->height());
}

void TfrmAnalog::LayoutStatusPanel() {
  // Left to right, widths scaled to fill the panel; a wider gap between groups.
  struct TItem {
    QWidget *w;
    int width;
    int gap;
  };
  const TItem items[] = {
      {pBufferLabel, 44, 1},    {pBufferSize, 64, 6},     {pDelayLabel, 38, 1},
      {pDelayValue, 22, 6},     {pCPosLabel, 16, 1},      {pCPosValue, 72, 6},
      {pDistCursor1[0], 15, 1}, {pDistCursor2[0], 15, 1}, {pDistCh[0], 15, 1},
      {pDistValue[0], 72, 6},   {pDistCursor1[1], 15, 1}, {pDistCursor2[1], 15, 1},
      {pDistCh[1], 15, 1},      {pDistValue[1], 72, 6},   {pMeasCh[0], 15, 1},
      {pMeasType[0], 42, 1},    {pMeasVal[0], 72, 6},     {pMeasCh[1], 15, 1},
      {pMeasType[1], 42, 1},    {pMeasVal[1], 72, 0},
  };
  int total = 0;
  for (const TItem &i : items)
    total += i.width + i.gap;
  const double scale = static_cast<double>(peBackStatus->width()) / total;
  double x = 0;
  for (const TItem &i : items) {
    const int left = static_cast<int>(x);
    x += i.width * scale;
    i.w->setGeometry(left, 2, static_cast<int>(x) - left, kStatusHeight - 4);
    x += i.gap * scale;
  }
}

// --- Showing and closing ---

void TfrmAnalog::PrepareShow() {
  bDigital->setEnabled(R.HasDigital());
  EnableButton(btMath, !fLocked && ChannelBUsable());
  bConfig->setEnabled(!fLocked && static_cast<bool>(Links.Configure));
  bInfo->setEnabled(static_cast<bool>(Links.About));
  const TRect32 &b = R.AnalogWindowRect;
  if (b.Right - b.Left > 0 && b.Bottom - b.Top > 0) {
    QRect want(b.Left, b.Top, b.Right - b.Left, b.Bottom - b.Top);
    want.setWidth(std::max(want.width(), fMinimumWidth));
    want.setHeight(std::max(want.height(), 400));
    // Onto the screen it overlaps most, or the first one.
    QScreen *best = QGuiApplication::primaryScreen();
    int overlap = -1;
    for (QScreen *s : QGuiApplication::screens()) {
      const QRect i = s->availableGeometry().intersected(want);
      const int area = i.isValid() ? i.width() * i.height() : 0;
      if (area > overlap) {
        overlap = area;
        best = s;
      }
    }
    if (best) {
      const QRect a = best->availableGeometry();
      want.setSize(want.size().boundedTo(a.size()).expandedTo(QSize(fMinimumWidth, 400)));
      want.moveLeft(
          std::clamp(want.left(), a.left(), std::max(a.left(), a.right() - want.width() + 1)));
      want.moveTop(
          std::clamp(want.top(), a.top(), std::max(a.top(), a.bottom() - want.height() + 1)));
    }
    setGeometry(want);
  }
}

void TfrmAnalog::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  if (!fMeterTried && R.HasAnalog()) {
    // The multimeter panel library is bound at the first show; without it the
    // window carries on with the multimeter button disabled.
    fMeterTried = true;
    QString error;
    if (fMeterPanel.Bind(R.AppFolder, error)) {
      fMeterHalfRange = HalfRange();
      fMeterChannelB = ChannelBUsable();
      fMeterPanel.Create(fMeterChannelB);
    } else {
      bMultimeter->setEnabled(false);
      if (R.Ui) R.Ui->ShowMessage(error, QStringLiteral("Error"), TMessageIcon::Error);
    }
  }
  if (R.HasAnalog()) {
    Layout();
    UpdateControls();
  }
}

void TfrmAnalog::closeEvent(QCloseEvent *e) {
  if (!fCommands.AskQuit()) {
    e->ignore();
    return;
  }
  const QRect g = geometry();
  R.AnalogWindowRect = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
  e->accept();
  fCommands.Quit();
}

// --- Keyboard: the window previews every key of its widgets ---

bool TfrmAnalog::eventFilter(QObject *watched, QEvent *event) {
  if (watched == iTriggerEdge && event->type() == QEvent::MouseButtonRelease) {
    if (iTriggerEdge->isEnabled()) ShowTriggerEdgeMenu();
    return true;
  }
  if (event->type() != QEvent::KeyPress || !isVisible()) return false;
  auto *w = qobject_cast<QWidget *>(watched);
  if (!w || w->window() != this) return false;
  auto *k = static_cast<QKeyEvent *>(event);
  return HandleKey(k->key(), k->modifiers());
}

bool TfrmAnalog::HandleKey(int key, Qt::KeyboardModifiers mods) {
  const bool keypad = mods & Qt::KeypadModifier;
  const Qt::KeyboardModifiers plain = mods & ~Qt::KeypadModifier;
  if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
    // Same as bDigital; no modifier is checked.
    if (bDigital->isEnabled()) bDigital->click();
    return true;
  }
  if (keypad) {
    switch (key) {
    case Qt::Key_Plus:
      ZoomInX();
      return true;
    case Qt::Key_Minus:
      ZoomOutX();
      return true;
    case Qt::Key_Asterisk:
      ZoomAll();
      return true;
    case Qt::Key_Slash:
      ZoomPrevious();
      return true;
    default:
      break;
    }
  }
  switch (key) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
    if (bCapture->isEnabled()) bCapture->click();
    return true;
  case Qt::Key_Escape:
    if (bStop->isEnabled()) bStop->click();
    return true;
  case Qt::Key_Space:
    if (bTrigger->isEnabled()) bTrigger->click();
    return true;
  default:
    break;
  }
  if (plain == Qt::ControlModifier) {
    switch (key) {
    case Qt::Key_T:
      JumpTo('T');
      return true;
    case Qt::Key_X:
      JumpTo('X');
      return true;
    case Qt::Key_Y:
      JumpTo('Y');
      return true;
    case Qt::Key_Z:
      JumpTo('Z');
      return true;
    case Qt::Key_S:
      if (bFile->isEnabled()) SaveFileClick(true);
      return true;
    default:
      return false;
    }
  }
  if (plain == Qt::NoModifier && (key == Qt::Key_A || key == Qt::Key_R || key == Qt::Key_S)) {
    // The trigger type keys, like the field they stand for, only while no
    // capture or autoset runs.
    if (!R.Capturing && !R.AutosetRunning && !fLocked && stTriggerType->isEnabled())
      ChooseTriggerType(key == Qt::Key_A ? 2 : key == Qt::Key_R ? 1 : 0);
    return true;
  }
  return false;
}
