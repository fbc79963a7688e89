// Every modal question the windows ask goes through these functions, so tests
// (and the screenshot renderer) can answer them without a modal loop: set the
// matching member of DialogHooks() and the dialog is not shown.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class QDialog;
class QPrinter;
class QWidget;

struct TDialogHooks {
  // Any of our modal dialogs: receives the prepared dialog, returns its result code.
  std::function<int(QDialog &dialog)> Exec;
  // Message boxes (TfrmMessage): kind, text, caption; 0 = OK, 1 = Cancel.
  std::function<int(int kind, const QString &text, const QString &caption)> Message;
  // The colour dialog: false = cancelled, else the colour is changed.
  std::function<bool(QColor &color)> Color;
  // File dialogs: the chosen path or empty (cancelled); filterIndex in/out, 0-based.
  std::function<QString(const QString &caption, const QString &path, const QStringList &filters,
                        int &filterIndex)>
      OpenFile, SaveFile;
  // The print dialog: false = cancelled.
  std::function<bool(QPrinter &printer)> Print;
};

TDialogHooks &DialogHooks();

// QDialog::exec, or the Exec hook.
int ExecDialog(QDialog &dialog);
// The message box of the given kind (0/1 error, 3 confirmation, else information);
// a non-empty caption replaces the kind's own. 0 = OK, 1 = Cancel.
int MessageDlg(QWidget *parent, int kind, const QString &text, const QString &caption = {});
// The colour dialog on a 0x00BBGGRR colour; true when the user chose one.
bool ColorDlg(QWidget *parent, uint32_t &bgr);
QString OpenFileDlg(QWidget *parent, const QString &caption, const QString &path,
                    const QStringList &filters, int &filterIndex);
QString SaveFileDlg(QWidget *parent, const QString &caption, const QString &path,
                    const QStringList &filters, int &filterIndex);
bool PrintDlg(QWidget *parent, QPrinter &printer);
