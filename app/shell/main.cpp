// bin/Velk: the windowed application. Start-up as the acquisition core runs it,
// with the splash window and the selection dialog; then the windows the
// instrument calls for, the event loop, and an orderly exit: every worker
// stopped and joined before the settings are written and the library freed.
#include "program.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int gSignalPair[2] = {-1, -1};

void OnTerminate(int) {
  char c = 1;
  [[maybe_unused]] ssize_t n = ::write(gSignalPair[0], &c, 1);
}

// SIGTERM and SIGHUP (the session ending) quit as the window's close does,
// without the question.
void RouteSignalsTo(TShell &shell) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPair) != 0) return;
  auto *notifier = new QSocketNotifier(gSignalPair[1], QSocketNotifier::Read, &shell);
  QObject::connect(notifier, &QSocketNotifier::activated, &shell, [&shell] {
    char c;
    [[maybe_unused]] ssize_t n = ::read(gSignalPair[1], &c, 1);
    shell.Quit();
  });
  struct sigaction sa = {};
  sa.sa_handler = OnTerminate;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
}

} // namespace

int main(int argc, char **argv) {
  // The options first, without a display: --help and --version answer on the
  // terminal even where no window can open.
  TProgramOptions options;
  {
    QCoreApplication pre(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velk"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELK_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Velk: oscilloscope and logic analyzer for the instruments of the family.\n"
                       "Without an instrument it offers the models to simulate (demo mode)."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption emulate(
        QStringLiteral("emulate"),
        QStringLiteral("Run against the instrument emulator with these instruments attached "
                       "(Ardent, Brisk, Cobalt, Dorian, Dorian-12, Fenwick)."),
        QStringLiteral("MODEL[,MODEL...]"));
    parser.addOption(emulate);
    parser.addPositionalArgument(
        QStringLiteral("FILE"), QStringLiteral("A project (.prj) or settings (.set) file to open."),
        QStringLiteral("[FILE]"));
    parser.process(pre); // --help, --version and unknown options end here
    if (parser.positionalArguments().size() > 1) {
      std::fprintf(stderr, "Velk: one file at most\n");
      return 2;
    }
    if (parser.isSet(emulate)) options.Emulate = parser.value(emulate);
    if (!parser.positionalArguments().isEmpty())
      options.File = parser.positionalArguments().first();
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velk"));
  QApplication::setApplicationVersion(QStringLiteral(VELK_VERSION));
  TProgram program(options);
  if (!program.Start()) return program.ExitCode();
  RouteSignalsTo(*program.Shell());
  QObject::connect(&app, &QGuiApplication::commitDataRequest, program.Shell(),
                   [&program](QSessionManager &) { program.Shell()->Quit(); });
  // The windows' close asks the quit question and quits through the shell.
  QApplication::setQuitOnLastWindowClosed(false);
  int rc = QApplication::exec();
  program.Finish();
  return rc;
}
