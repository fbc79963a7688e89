// velk-mkhelp MARKDOWN PDF: renders the user guide into the help document at
// build time (Qt's text document and PDF writer, offscreen platform). The PDF is
// written to a temporary name and renamed into place.
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: velk-mkhelp GUIDE.md OUTPUT.pdf\n");
    return 2;
  }
  QFile in(QString::fromLocal8Bit(argv[1]));
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "velk-mkhelp: cannot read %s\n", argv[1]);
    return 1;
  }
  const QString markdown = QString::fromUtf8(in.readAll());

  const QString target = QString::fromLocal8Bit(argv[2]);
  const QString temporary = target + QStringLiteral(".tmp");
  {
    QPdfWriter writer(temporary);
    writer.setTitle(QStringLiteral("Velk user guide"));
    writer.setCreator(QStringLiteral("Velk " VELK_VERSION));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter));
    QTextDocument doc;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(10);
    doc.setDefaultFont(font);
    doc.setDefaultStyleSheet(QStringLiteral("code, pre { font-family: 'DejaVu Sans Mono'; }"));
    doc.setMarkdown(markdown);
    doc.print(&writer);
  }
  QFile::remove(target);
  if (!QFile::rename(temporary, target)) {
    std::fprintf(stderr, "velk-mkhelp: cannot write %s\n", argv[2]);
    QFile::remove(temporary);
    return 1;
  }
  return 0;
}
