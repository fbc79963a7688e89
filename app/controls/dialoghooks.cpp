#include "dialoghooks.h"

#include "colors.h"
#include "formmessage.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QPrintDialog>

TDialogHooks &DialogHooks() {
  static TDialogHooks hooks;
  return hooks;
}

int ExecDialog(QDialog &dialog) {
  if (DialogHooks().Exec) return DialogHooks().Exec(dialog);
  return dialog.exec();
}

int MessageDlg(QWidget *parent, int kind, const QString &text, const QString &caption) {
  if (DialogHooks().Message) return DialogHooks().Message(kind, text, caption);
  TfrmMessage box(parent);
  return box.Execute(kind, text, caption);
}

bool ColorDlg(QWidget *parent, uint32_t &bgr) {
  QColor c = FromBGR(bgr);
  if (DialogHooks().Color) {
    if (!DialogHooks().Color(c)) return false;
  } else {
    c = QColorDialog::getColor(c, parent);
    if (!c.isValid()) return false;
  }
  bgr = ToBGR(c);
  return true;
}

namespace {
QString FileDlg(bool save, QWidget *parent, const QString &caption, const QString &path,
                const QStringList &filters, int &filterIndex) {
  const auto &hook = save ? DialogHooks().SaveFile : DialogHooks().OpenFile;
  if (hook) return hook(caption, path, filters, filterIndex);
  QString selected =
      filterIndex >= 0 && filterIndex < filters.size() ? filters[filterIndex] : QString();
  const QString filter = filters.join(QStringLiteral(";;"));
  QString name = save ? QFileDialog::getSaveFileName(parent, caption, path, filter, &selected)
                      : QFileDialog::getOpenFileName(parent, caption, path, filter, &selected);
  if (!name.isEmpty() && filters.contains(selected))
    filterIndex = static_cast<int>(filters.indexOf(selected));
  return name;
}
} // namespace

QString OpenFileDlg(QWidget *parent, const QString &caption, const QString &path,
                    const QStringList &filters, int &filterIndex) {
  return FileDlg(false, parent, caption, path, filters, filterIndex);
}

QString SaveFileDlg(QWidget *parent, const QString &caption, const QString &path,
                    const QStringList &filters, int &filterIndex) {
  return FileDlg(true, parent, caption, path, filters, filterIndex);
}

bool PrintDlg(QWidget *parent, QPrinter &printer) {
  if (DialogHooks().Print) return DialogHooks().Print(printer);
  QPrintDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}
