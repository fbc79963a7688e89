// velkcli's command line: the options, their checks and the usage text, on
// QCommandLineParser. Options that take two values (--capture repeat N,
// --dft FROM TO) are joined into one value before the parser sees them.
#pragma once

#include "analysis.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

struct TOptions {
  QString command; // "", "list" or "info"
  QString emulate;
  bool deviceSet = false;
  int device = 0;
  QString demo;
  QString load, save;
  bool digital = false;
  bool saveSettings = false;
  bool verbose = false; // list: every FTDI device on the USB too
  TAnalysisOptions analysis;
};

class TCommandLine {
public:
  TCommandLine();

  // Parses the arguments (program name first). Returns -1 when velkcli goes
  // on with options(); otherwise the exit status, after --help or --version
  // was answered on standard output or the problem and the usage on
  // standard error.
  int Parse(const QStringList &arguments);
  const TOptions &Options() const { return fOptions; }
  // The parser, for options that only some commands look at.
  QCommandLineParser &Parser() { return fParser; }
  QString Usage() const;

private:
  int Problem(const QString &text) const;
  bool Check(QString &problem);

  QCommandLineParser fParser;
  TOptions fOptions;
};

// Two-value options as one value: "--capture repeat 3" becomes
// "--capture=repeat,3", "--dft 10 20" (or "--dft=10 20") "--dft=10,20".
QStringList JoinTwoValueOptions(const QStringList &arguments);
