// TfrmSimpleInput: the one-line input box the logic window opens beside a
// control: a name with its colour, an edge-skip count or a bus pattern value.
// The fields accept only what their callers can store, typed or pasted.
#pragma once

#include "windowframe.h"

#include <QValidator>

#include <cstdint>

class QLineEdit;
class TBitmapButton;
class TLabelEx;
class TPanelEx;

// Digits of one radix with a digit count and an upper bound; hexadecimal letters
// are upper-cased as they are typed. An empty field is Intermediate.
class TDigitsValidator : public QValidator {
  Q_OBJECT
public:
  TDigitsValidator(int radix, int maxDigits, int64_t maxValue, QObject *parent = nullptr);
  State validate(QString &input, int &pos) const override;

private:
  int fRadix, fMaxDigits;
  int64_t fMaxValue;
};

// A channel or interpreter name: at most 15 characters that an 8-bit name holds.
class TNameValidator : public QValidator {
  Q_OBJECT
public:
  using QValidator::QValidator;
  State validate(QString &input, int &pos) const override;
};

class TfrmSimpleInput : public TFrameDialog {
  Q_OBJECT
public:
  enum TMode { imName = 0, imEdgeSkipCount = 1, imPattern = 2 };
  static constexpr int kMaxEdgeSkip = 9999;

  explicit TfrmSimpleInput(QWidget *parent = nullptr);

  // Set the box up for one mode with the current value.
  void PrepareName(const QString &name, uint32_t color);
  void PrepareEdgeSkipCount(int count);
  // value -1 shows an empty field; format 0 or 2 hexadecimal, 1 decimal; the
  // largest value the bus can hold (a bus of n members: 2^n - 1, at most 0xFFFF).
  void PreparePattern(int value, int format, int maxValue = 0xFFFF);
  // Shows the box modally with its top-left at a global position; true = accepted.
  bool Execute(QPoint at);

  TMode Mode() const { return fMode; }
  // Results after an accept.
  QString Name() const { return fName; }
  uint32_t Color() const { return fColor; }
  // The count, or the pattern value (-1 for an empty pattern field).
  int Value() const { return fValue; }

  TPanelEx *pName, *pEdgeSkipCount, *pPattern, *pColor;
  QLineEdit *eName, *eEdgeSkipCount, *ePattern;
  TLabelEx *stPatternValType;
  TBitmapButton *bAccept, *bCancel;

  void accept() override;

private:
  void Show(TPanelEx *panel, QLineEdit *edit);

  TMode fMode = imName;
  QString fName;
  uint32_t fColor = 0;
  int fValue = 0;
  int fPatternRadix = 16;
};
