// TfrmAbout: the information window: the instrument (name, firmware version,
// serial number, buffer size) and the file versions of the program and library.
// There is no updater on Linux, so the window has no "Check for Update".
#pragma once

#include "windowframe.h"

struct TVELK;
class QLabel;
class TBitmapButton;
class TLabelEx;

extern const char *const kMakerWebAddress;

class TfrmAbout : public TFrameDialog {
  Q_OBJECT
public:
  TfrmAbout(TVELK &record, QWidget *parent = nullptr);

  // Fills the texts from the record (construction and Execute do this).
  void Prepare();
  void Execute();

  TLabelEx *lDeviceName, *lHardwareVer, *lSerialNumber, *lBuffSize;
  TLabelEx *lExeRelease, *lLibRelease;
  TLabelEx *lWebAddress;
  QLabel *imgVelk;
  TBitmapButton *bClose;

private:
  TVELK &fRecord;
};
