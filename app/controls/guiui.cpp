#include "guiui.h"

#include "dialoghooks.h"
#include "formselectdevice.h"
#include "formsplash.h"

#include <QCoreApplication>

TGuiUserInterface::TGuiUserInterface(TfrmSplash *splash, TfrmSelectDevice *select, QWidget *parent)
    : fSplash(splash), fSelect(select), fParent(parent) {}

int TGuiUserInterface::KindOf(TMessageIcon icon) {
  switch (icon) {
  case TMessageIcon::Error:
    return 0;
  case TMessageIcon::Warning:
    return 1;
  default:
    return 2;
  }
}

void TGuiUserInterface::ShowMessage(const QString &text, const QString &caption,
                                    TMessageIcon icon) {
  MessageDlg(fParent, KindOf(icon), text, caption);
}

bool TGuiUserInterface::AskOkCancel(const QString &text, const QString &caption, TMessageIcon) {
  return MessageDlg(fParent, 3, text, caption) == 0;
}

void TGuiUserInterface::SplashLine(int line) {
  if (!fSplash) return;
  fSplash->EnableLine(line);
  // Start-up runs on this thread before the event loop: let the splash paint.
  QCoreApplication::processEvents();
}

void TGuiUserInterface::SplashResult(int line, const QString &text) {
  if (!fSplash) return;
  fSplash->SetResult(line, text);
  QCoreApplication::processEvents();
}

int TGuiUserInterface::SelectDevice(const QString &label1, const QString &label2,
                                    const QStringList &items) {
  if (fSelect) return fSelect->Execute(label1, label2, items);
  TfrmSelectDevice dialog(fParent);
  return dialog.Execute(label1, label2, items);
}
