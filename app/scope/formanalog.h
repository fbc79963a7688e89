// TfrmAnalog, the oscilloscope window: the display with its scroll bars, the
// panels of channel A, channel B and the trigger, the button panel and the
// status readouts. Every setting it shows lives in the record; the window edits
// the record (under ConfigMutex, then clearing ConfigApplied or ThresholdApplied
// so a running capture sends the change) and copies what the display needs into
// DisplayA. Captures are started, stopped and forced through the shared
// handlers (TCaptureCommands); the shell tells the window what happens through
// TMainView.
#pragma once

#include "analogdata.h"
#include "bitmapbutton.h"
#include "frontend.h"
#include "meterpanel.h"
#include "panelex.h"
#include "record.h"
#include "scopeview.h"
#include "scopewidgets.h"
#include "windowframe.h"

#include <array>
#include <cstdint>
#include <functional>

class QLabel;
class QMenu;
class QScrollBar;
class QTimer;

// What the window needs of the other windows; the shell fills in what exists.
// Every member may stay empty.
struct TAnalogLinks {
  // The logic-analyzer window is shown (clock warning, bDigital).
  std::function<bool()> LogicVisible;
  // bDigital and Tab: bring the logic-analyzer window to the front.
  std::function<void()> ShowLogic;
  // A trigger type was chosen: the logic-analyzer window refreshes its panel.
  std::function<void()> LogicRefresh;
  // After a clock change: the logic-analyzer window's part of ApplyClockChange.
  std::function<void(bool digitalAffected)> LogicClockChanged;
  // bConfig and bInfo: the configuration and information dialogs (modal).
  std::function<void()> Configure;
  std::function<void()> About;
  // A file was loaded: the logic-analyzer window refreshes.
  std::function<void()> FileLoaded;
};

class TfrmAnalog : public TFrameWindow, public TMainView {
public:
  TfrmAnalog(TVELK &record, TCaptureCommands &commands, QWidget *parent = nullptr);
  ~TfrmAnalog() override;

  TAnalogLinks Links;

  // The painted caption and the window manager's title ("Analog (Dorian)").
  void SetCaption(const QString &caption);
  QString Caption() const;
  // What the start-up's idle step does before showing the window: the buttons
  // that depend on the instrument, the multimeter panel library (bound once; a
  // missing one is reported and disables bMultimeter), the stored bounds.
  void PrepareShow();
  // The program is ending: stores the bounds and closes without the quit question.
  void CloseForExit();
  // The window's bounds into AnalogWindowRect.
  void StoreBounds();
  // Opens a project or settings file as the file menu does (Velk FILE).
  bool OpenFile(const QString &path);

  // The operations the other windows and dialogs call.
  void UpdateDisplay();
  void UpdateControls();
  void UpdateStatus();
  void UpdateScrollBars();
  void InitDisplay();
  void TakeCapture();
  void ApplyClockChange(bool analogAffected, bool digitalAffected);
  // After the configuration dialog's OK and at the end of start-up.
  void RefreshAll();
  // The configuration dialog changed BuffLength: the whole new buffer, cursors at 0.
  void BufferLengthChanged();

  enum TButtonId {
    btDigital,
    btXYplot,
    btMath,
    btSetup,
    btPrint,
    btConfig,
    btFile,
    btCapture,
    btStop,
    btTrigger,
    btAutoset
  };
  // The button-enable operations (disabling bMath also turns the math trace off).
  void EnableButton(TButtonId id, bool on);

  // TMainView
  void ShowStatusText(const QString &text) override;
  void LockControlsForCapture(bool locked) override;
  void EnableForceTrigger(bool on) override;
  void PresentCapture() override;
  void StatsChanged() override;
  void AutosetSucceeded() override;

  // The commands (menu items, buttons and keys end here).
  void ChooseGain(char channel, int item);
  void ChooseCoupling(char channel, int coupling);
  void ChooseProbe(char channel, int item);
  void ToggleInvert(char channel);
  void ToggleOnOff(char channel);
  void ChooseReference(char channel, bool on);
  void SaveReference(char channel);
  void ChooseTriggerSource(int source);
  void ChooseTriggerEdge(int edge);
  void ChooseTriggerType(int type);
  // Clock item i: the warning when channels would be lost; false when cancelled.
  bool ChooseClock(int item);
  void ChooseMath(int mode);
  void SetThreshold(int level);
  void SetPosition(char channel, int position);
  void ZoomInX();
  void ZoomOutX();
  void ZoomInY();
  void ZoomOutY();
  void ZoomXY();
  void ZoomAll();
  void ZoomPrevious();
  void Zoom11();
  // 'T', 'X', 'Y', 'Z'
  void JumpTo(char cursor);
  void ScrollTo(int firstSample);
  void ScrollYTo(int offsetY);
  void OpenFileClick();
  void SaveFileClick(bool quick);
  void MultimeterClick();
  void HelpClick();
  // Cursor placing on the plot and removing on the time ruler.
  void PlotMouseDown(Qt::MouseButtons button, Qt::KeyboardModifiers mods, int x, int y);
  void RulerMouseDown(Qt::MouseButtons button, Qt::KeyboardModifiers mods);
  // The readout panels' clicks.
  void CyclePosCursor();
  void CycleDistCursor(int dist, int which);
  void CycleDistChannel(int dist);
  void CycleDistMode(int dist);
  void CycleMeasChannel(int meas);
  void CycleMeasType(int meas);
  void ToggleOverlay();
  void ToggleCaptureRate();
  // A key as the window's preview sees it; true when the window used it.
  bool HandleKey(int key, Qt::KeyboardModifiers mods);

  const TScopeView &View() const { return fView; }
  bool DataValidA() const { return DisplayA->DataValidA; }
  bool DataValidB() const { return DisplayA->DataValidB; }
  // Channel B can be used at the current clock.
  bool ChannelBUsable() const;
  int32_t HalfRange() const;
  int32_t HalfScaleMilliVolts(int32_t gain) const;
  double ClockFrequency() const;
  bool MeterPanelBound() const { return fMeterPanel.IsBound(); }

  // Opens a document with the desktop's viewer.
  std::function<bool(const QString &path)> OpenDocument;

  // Window state (the readout selections).
  char PosCursor = 'T', PosUnit = 't', BufferUnit = 's';
  char DistFrom[2] = {'X', 'X'}, DistTo[2] = {'Y', 'Y'};
  char DistChannel[2] = {'A', 'A'}, DistMode[2] = {'t', 'f'};
  char MeasChannel[2] = {'A', 'A'}, MeasType[2] = {'F', 'P'};
  bool ShowOverlay = false;

  // Controls (public for the shell's screenshots and the tests).
  TPanelEx *pWindow;
  TBitmapButton *bInfo, *bClose;
  TAnalogData *DisplayA;
  QScrollBar *ScrollBarX, *ScrollBarY;
  TFieldText *pChRulA, *pChRulB;
  TPanelEx *peBackChA, *peBackChB, *peBackTrigger, *peButtonsBack;
  QWidget *peBackStatus;
  struct TChannelControls {
    TFieldText *stColor, *stGain, *stCoupling, *stRef, *stProbe, *stInvert, *stOnOff, *stPosY;
    QScrollBar *ScrollBarPosY;
  } ChA, ChB;
  QScrollBar *sbThreshold;
  TFieldText *stClock, *stTriggerSrc, *stTriggerEdge, *stTriggerType, *stThresholdVal;
  QLabel *iTriggerEdge;
  TBitmapButton *bDigital, *bConfig, *bFile, *bPrint, *bHelp;
  TBitmapButton *imgZoomOutX, *imgZoomInX, *imgZoomInY, *imgZoomOutY, *imgZoomXY, *imgZoomAll,
      *imgZoomPrev, *imgZoom11;
  TBitmapButton *bJumpToT, *bJumpToX, *bJumpToY, *bJumpToZ;
  TBitmapButton *bXYplot, *bMultimeter, *bMath, *bSetup, *bFFT, *bTrigger, *bStop, *bCapture,
      *bAutoset;
  QWidget *peStatus;
  QLabel *lMessage, *lWarning;
  TFieldText *pBufferLabel, *pBufferSize, *pDelayLabel, *pDelayValue, *pCPosLabel, *pCPosValue;
  TFieldText *pDistCursor1[2], *pDistCursor2[2], *pDistCh[2], *pDistValue[2];
  TFieldText *pMeasCh[2], *pMeasType[2], *pMeasVal[2];
  QMenu *pmGain, *pmCoupling, *pmRefChannel, *pmProbe, *pmClock, *pmTriggerSrc, *pmTriggerEdge,
      *pmTriggerType, *pmMath, *pmFile;
  QTimer *Timer;

protected:
  void resizeEvent(QResizeEvent *e) override;
  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void BuildCaption();
  void BuildChannelPanel(TPanelEx *panel, TChannelControls &c, char channel);
  void BuildTriggerPanel();
  void BuildButtonPanel();
  void BuildStatusPanel();
  void BuildMenus();
  void Layout();
  void LayoutChannelPanel(TPanelEx *panel, TChannelControls &c);
  void LayoutTriggerPanel();
  void LayoutButtonPanel();
  void LayoutStatusPanel();
  void UpdateChannel(char channel);
  void PopupBelow(QMenu *menu, QWidget *field);
  void ShowGainMenu(char channel);
  void ShowProbeMenu(char channel);
  void ShowCouplingMenu(char channel);
  void ShowRefMenu(char channel);
  void ShowClockMenu();
  void ShowTriggerSrcMenu();
  void ShowTriggerEdgeMenu();
  void ShowTriggerTypeMenu();
  void ShowMathMenu();
  void ShowFileMenu();
  void ChooseColor(char channel);
  void AfterZoom();
  void ViewToDisplay();
  void SetMathPicture();
  void CaptureRateTick();
  bool SaveScreenshot(const QString &path);
  TScopeMarkers Markers() const;
  // Writes capture settings under the record's lock.
  template <class F> void Change(F f) {
    std::lock_guard<std::mutex> lock(R.ConfigMutex);
    f();
  }
  TChannelControls &Ch(char channel) { return channel == 'B' ? ChB : ChA; }

  TVELK &R;
  TCaptureCommands &fCommands;
  TScopeView fView;
  TMeterPanel fMeterPanel;
  bool fMeterTried = false;
  int32_t fMeterHalfRange = 0;
  bool fMeterChannelB = false;
  bool fLocked = false;
  // A gain or clock change the worker has not yet sent (A, B): a capture
  // presented before it was sent was taken with the old settings.
  bool fPendingChange[2] = {false, false};
  bool fQuitting = false;
  bool fUpdatingScrollBars = false;
  bool fShownOnce = false;
  int fMinimumWidth = 0;
  char fMenuChannel = 'A';
  QByteArray fMeasText[2];
};
