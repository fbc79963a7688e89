#include "terminal_ui.h"

#include <cstdio>

namespace {

void Print(const QString &caption, const QString &text) {
  QByteArray line =
      (caption.isEmpty() ? text : caption + QStringLiteral(": ") + text).toLocal8Bit();
  std::fprintf(stderr, "%s\n", line.constData());
}

} // namespace

void TTerminalUi::ShowMessage(const QString &text, const QString &caption, TMessageIcon) {
  LastMessage = text;
  Print(caption, text);
}

bool TTerminalUi::AskOkCancel(const QString &text, const QString &caption, TMessageIcon) {
  // Nobody can answer: go on as with OK, which never loses what is there.
  LastMessage = text;
  Print(caption, text);
  return true;
}

int TTerminalUi::SelectDevice(const QString &label1, const QString &, const QStringList &items) {
  if (label1 == QStringLiteral("Hardware not found.") && !AllowDemo) {
    NoInstrument = true;
    return -1;
  }
  return Choice >= 0 && Choice < items.size() ? Choice : -1;
}
