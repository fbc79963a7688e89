// TfrmAnalog: construction, layout, the title strip, showing and closing, and
// the keyboard. The commands are in formanalog_commands.cpp, the refreshes in
// formanalog_update.cpp.
#include "formanalog.h"

#include "colors.h"
#include "dialoghooks.h"
#include "ui.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int kDesignWidth = 780, kDesignHeight = 504;
constexpr int kButtonCorner = 80; // the caption buttons' corner of the title strip
constexpr int kHeaderHeight = 15; // the caption strip of the setting panels
constexpr int kStatusHeight = 26;
constexpr int kPanelHeight = 104;
constexpr int kScrollBarSize = 16;

TBitmapButton *MakeButton(QWidget *parent, const QString &caption, const QString &hint) {
  auto *b = new TBitmapButton(caption, parent);
  b->setToolTip(hint);
  b->SetTabStop(false);
  b->setFocusPolicy(Qt::NoFocus);
  QFont f = b->font();
  f.setPixelSize(11);
  f.setBold(true);
  b->setFont(f);
  return b;
}

TBitmapButton *MakeImage(QWidget *parent, TScopePicture picture, const QString &hint) {
  TBitmapButton *b = MakeButton(parent, {}, hint);
  b->SetBitmap(ScopePicture(picture, 16));
  b->SetDisBitmap(ScopePicture(picture, 16, 0x8C8C8C));
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
    : TFrameWindow(TWindowFrame::fkMain, parent), R(record), fCommands(commands) {
  setObjectName(QStringLiteral("frmAnalog"));
  OpenDocument = [](const QString &path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  };

  BuildCaption();
  // The content panel: 5 pixels from the sides and the bottom, 18 from the top.
  Frame()->SetContentMargins(QMargins(5, 18, 5, 5));
  pWindow = Frame()->Content();
  pWindow->setObjectName(QStringLiteral("pWindow"));

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

  auto panel = [this](const QString &caption) {
    auto *p = new TPanelEx(pWindow);
    p->SetCaption(caption);
    p->SetFaceColor(kPanelColor);
    p->SetHeaderColor(0x8AC8CB);
    p->SetHeaderHeight(kHeaderHeight);
    p->SetBorderStyle(TPanelEx::pbsRounded);
    p->SetBorderColor(kFrameDark);
    QFont f = p->font();
    f.setBold(true);
    f.setPixelSize(11);
    p->setFont(f);
    return p;
  };
  peBackChA = panel(QStringLiteral("    Channel A"));
  peBackChB = panel(QStringLiteral("    Channel B"));
  peBackTrigger = panel(QStringLiteral("Trigger"));
  peButtonsBack = panel(QString::fromLatin1(R.DeviceDescription));
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
  // The frame paints the caption and owns minimize, maximize and close; the
  // information button sits left of them.
  Frame()->SetButtonCorner(kButtonCorner);
  bInfo = MakeButton(this, QStringLiteral("i"), QStringLiteral("Information"));
  bInfo->SetShape(TBitmapButton::bsRect);
  bInfo->SetBorderColor(kFrameDark);
  bInfo->SetBorderOver(kFrameLight);
  bInfo->SetParentColor(false);
  bInfo->SetBackColor(kWindowColor);
  connect(bInfo, &TBitmapButton::clicked, this, [this] {
    if (Links.About) Links.About();
  });
  // Close first stops a capture, then asks the quit question (closeEvent).
  bClose = Frame()->CloseButton();
  disconnect(bClose, &TBitmapButton::clicked, this, nullptr);
  connect(bClose, &TBitmapButton::clicked, this, [this] {
    fCommands.StopClick();
    close();
  });
  SetCaption(QStringLiteral("Analog"));
}

void TfrmAnalog::SetCaption(const QString &caption) {
  TFrameWindow::SetCaption(caption);
}

QString TfrmAnalog::Caption() const {
  return TFrameWindow::Caption();
}

// --- Panels ---

void TfrmAnalog::BuildChannelPanel(TPanelEx *panel, TChannelControls &c, char channel) {
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

  connect(imgZoomOutX, &TBitmapButton::clicked, this, [this] { ZoomOutX(); });
  connect(imgZoomInX, &TBitmapButton::clicked, this, [this] { ZoomInX(); });
  connect(imgZoomInY, &TBitmapButton::clicked, this, [this] { ZoomInY(); });
  connect(imgZoomOutY, &TBitmapButton::clicked, this, [this] { ZoomOutY(); });
  connect(imgZoomXY, &TBitmapButton::clicked, this, [this] { ZoomXY(); });
  connect(imgZoomAll, &TBitmapButton::clicked, this, [this] { ZoomAll(); });
  connect(imgZoomPrev, &TBitmapButton::clicked, this, [this] { ZoomPrevious(); });
  connect(imgZoom11, &TBitmapButton::clicked, this, [this] { Zoom11(); });
  connect(bJumpToT, &TBitmapButton::clicked, this, [this] { JumpTo('T'); });
  connect(bJumpToX, &TBitmapButton::clicked, this, [this] { JumpTo('X'); });
  connect(bJumpToY, &TBitmapButton::clicked, this, [this] { JumpTo('Y'); });
  connect(bJumpToZ, &TBitmapButton::clicked, this, [this] { JumpTo('Z'); });
  connect(bDigital, &TBitmapButton::clicked, this, [this] {
    if (Links.LogicVisible && Links.LogicVisible() && Links.ShowLogic) {
      R.ActiveWindow = 1;
      Links.ShowLogic();
    }
  });
  connect(bConfig, &TBitmapButton::clicked, this, [this] {
    if (!Links.Configure) return;
    Links.Configure();
    UpdateStatus();
  });
  connect(bFile, &TBitmapButton::clicked, this, [this] { ShowFileMenu(); });
  connect(bHelp, &TBitmapButton::clicked, this, [this] { HelpClick(); });
  connect(bMultimeter, &TBitmapButton::clicked, this, [this] { MultimeterClick(); });
  connect(bMath, &TBitmapButton::clicked, this, [this] { ShowMathMenu(); });
  connect(bCapture, &TBitmapButton::clicked, this,
          [this] { fCommands.CaptureClick(TCaptureControl::kAnalogWindow); });
  connect(bStop, &TBitmapButton::clicked, this, [this] { fCommands.StopClick(); });
  connect(bTrigger, &TBitmapButton::clicked, this, [this] { fCommands.TriggerClick(); });
  connect(bAutoset, &TBitmapButton::clicked, this, [this] { fCommands.AutosetClick(); });

  peStatus = new QWidget(p);
  peStatus->setAutoFillBackground(true);
  QPalette sp = peStatus->palette();
  sp.setColor(QPalette::Window, FromBGR(kFieldColor));
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
  bStop->SetTextColor(0x8C8C8C);
  bTrigger->SetTextColor(0x8C8C8C);
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
  bInfo->setGeometry(width() - 2 - 4 * 18, 3, 16, 14);
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

void TfrmAnalog::LayoutChannelPanel(TPanelEx *panel, TChannelControls &c) {
  const int y0 = kHeaderHeight + 4, rh = 17, gap = 4;
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
  const int y0 = kHeaderHeight + 3, rh = 16, gap = 2, w = p->width() - 32;
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
  const int y0 = kHeaderHeight + 3;
  int x = 5;
  for (TBitmapButton *b : {imgZoomOutX, imgZoomInX, imgZoomInY, imgZoomOutY, imgZoomXY, imgZoomAll,
                           imgZoomPrev, imgZoom11, bJumpToT, bJumpToX, bJumpToY, bJumpToZ}) {
    b->setGeometry(x, y0, 21, 20);
    x += 22;
  }
  x = 5;
  for (TBitmapButton *b :
       {bDigital, bConfig, bFile, bPrint, bHelp, bXYplot, bMultimeter, bMath, bSetup, bFFT}) {
    b->setGeometry(x, y0 + 22, 25, 20);
    x += 26;
  }
  const int bw = (w - 10 - 3 * 3) / 4;
  x = 5;
  for (TBitmapButton *b : {bCapture, bStop, bTrigger, bAutoset}) {
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
    want = ClampToScreens(want);
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

void TfrmAnalog::StoreBounds() {
  const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
  R.AnalogWindowRect = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

void TfrmAnalog::CloseForExit() {
  fQuitting = true;
  close();
}

void TfrmAnalog::closeEvent(QCloseEvent *e) {
  // Once the program is ending (the shell closes its windows) no second question.
  if (!fQuitting && !fCommands.AskQuit()) {
    e->ignore();
    return;
  }
  StoreBounds();
  e->accept();
  if (!fQuitting) {
    fQuitting = true;
    fCommands.Quit();
  }
}

// --- Keyboard: the window previews every key of its widgets ---

bool TfrmAnalog::eventFilter(QObject *watched, QEvent *event) {
  if (watched == iTriggerEdge && event->type() == QEvent::MouseButtonRelease) {
    if (iTriggerEdge->isEnabled()) ShowTriggerEdgeMenu();
    return true;
  }
  if (event->type() == QEvent::EnabledChange) {
    // Captions of disabled buttons in grey, so a locked button reads as locked.
    for (TBitmapButton *b :
         {bCapture, bStop, bTrigger, bAutoset, bJumpToT, bJumpToX, bJumpToY, bJumpToZ})
      if (watched == b) b->SetTextColor(b->isEnabled() ? 0x000000 : 0x8C8C8C);
    return false;
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
    if (bDigital->isEnabled()) bDigital->Click();
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
    if (bCapture->isEnabled()) bCapture->Click();
    return true;
  case Qt::Key_Escape:
    if (bStop->isEnabled()) bStop->Click();
    return true;
  case Qt::Key_Space:
    if (bTrigger->isEnabled()) bTrigger->Click();
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
