// TfrmConfig: the application options that are not part of a capture set-up:
// buffer length, trigger notification, worker priority, probe compensation and
// the display colours (edited on a copy, written back on OK).
#pragma once

#include "record.h"
#include "windowframe.h"

class QCheckBox;
class QComboBox;
class QRadioButton;
class QSlider;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TBitmapButton;
class TLabelEx;
class TPanelEx;
class TTabControlEx;

class TfrmConfig : public TFrameDialog {
  Q_OBJECT
public:
  TfrmConfig(TVELK &record, QWidget *parent = nullptr);

  // What opening does: the General tab, the controls from the record, a fresh
  // copy of the colours. Called on every show.
  void Prepare();
  // The track bar's top position: floor(log2(capacity / 256)), 0 below 256.
  static int MaxLengthIndex(uint32_t capacity);
  // The position that shows a length (lengths between 256 * 2^k sit at k).
  static int LengthIndex(uint32_t length, uint32_t capacity);

  uint32_t ChosenLength() const { return fChosenLength; }
  const TColors &ColorsCopy() const { return fColors; }
  bool ColorsChanged() const { return fColorsChanged; }
  // The colour field an item of the tree stands for (null for group titles).
  uint32_t *ColorOf(QTreeWidgetItem *item);

  TTabControlEx *tceTabs;
  QStackedWidget *Pages;
  QSlider *tbBufferSize;
  TLabelEx *lBufferSize;
  QCheckBox *cbTriggerBeep;
  QRadioButton *rbBeepSystemDefault, *rbBeepSpeaker;
  QComboBox *cbPriority;
  QCheckBox *cbProbeComp;
  QTreeWidget *tvColors;
  TPanelEx *pColor;
  TBitmapButton *bOK, *bCancel;

  void accept() override;

signals:
  // Opening closes the spectrum window (its worker reads the buffers).
  void spectrumCloseRequested();
  // After OK: the windows show the whole new buffer with the cursors at 0.
  void bufferLengthChanged();
  // After OK: the windows redraw with the new colours.
  void colorsChanged();

protected:
  void showEvent(QShowEvent *e) override;

private:
  void BuildColorTree();
  void ShowLength();
  void SelectColor();
  void ChangeColor();

  TVELK &fRecord;
  uint32_t fChosenLength = 0;
  TColors fColors = {};
  bool fColorsChanged = false;
};
