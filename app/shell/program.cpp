#include "program.h"

#include "dialoghooks.h"
#include "formabout.h"
#include "formanalog.h"
#include "formconfig.h"
#include "formselectdevice.h"
#include "formsplash.h"
#include "guiui.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTimer>

TProgram::TProgram(TProgramOptions options) : fOptions(std::move(options)) {
  if (fOptions.AppFolder.isEmpty())
    fOptions.AppFolder = QApplication::applicationDirPath() + QLatin1Char('/');
}

TProgram::~TProgram() {
  Finish();
}

bool TProgram::Start() {
  if (!fOptions.Emulate.isEmpty()) {
    // The library loads its D2XX provider at start-up: the emulator beside us.
    qputenv("VELK_D2XX_LIBRARY",
            QFile::encodeName(fOptions.AppFolder + QStringLiteral("libvelkemu.so")));
    qputenv("VELK_EMULATE", fOptions.Emulate.toUtf8());
  }
  QApplication::setApplicationName(QStringLiteral("Velk"));
  fSplash = std::make_unique<TfrmSplash>();
  fSplash->show();
  QApplication::processEvents();
  fSelect = std::make_unique<TfrmSelectDevice>();
  fUi = std::make_unique<TGuiUserInterface>(fSplash.get(), fSelect.get());
  TStartupOptions startupOptions;
  startupOptions.AppFolder = fOptions.AppFolder;
  fStartup = std::make_unique<TStartup>(fUi.get(), startupOptions);
  if (!fStartup->Init()) {
    fSplash->hide();
    fExitCode = fStartup->CancelledFlag ? 0 : 1;
    // A failed start shows its one "Error" box here; a cancelled one nothing.
    fStartup->Shutdown(false);
    fFinished = true;
    return false;
  }
  TVELK &r = *fStartup->Record();
  QApplication::setApplicationDisplayName(fStartup->Title());

  fShell = std::make_unique<TShell>(r);
  fShell->QuitQuestion = [] {
    return MessageDlg(nullptr, 3, QStringLiteral("Do you really want to quit?")) == 0;
  };
  // exit, not quit: quit would close the windows again, asking the question twice.
  fShell->OnQuit = [] { QCoreApplication::exit(0); };

  // The windows, in their order; those of later versions join them here.
  if (r.HasAnalog()) {
    fAnalog = std::make_unique<TfrmAnalog>(r, *fShell);
    fShell->AddView(fAnalog.get());
    TfrmAnalog *analog = fAnalog.get();
    analog->Links.Configure = [&r, analog] {
      TfrmConfig dialog(r, analog);
      // A new length resets the view and its zoom history; new colours repaint.
      QObject::connect(&dialog, &TfrmConfig::bufferLengthChanged, analog,
                       [analog] { analog->BufferLengthChanged(); });
      dialog.Prepare();
      if (ExecDialog(dialog) == QDialog::Accepted) analog->RefreshAll();
    };
    analog->Links.About = [&r, analog] {
      TfrmAbout dialog(r, analog);
      dialog.Execute();
    };
  }
  QTimer::singleShot(0, fShell.get(), [this] { IdleHandler(); });
  return true;
}

void TProgram::IdleHandler() {
  TVELK &r = *Record();
  fUi->SplashLine(5);
  const QString description = QString::fromLatin1(r.DeviceDescription);
  if (r.HardwarePresent) {
    r.SetStatus(description + QStringLiteral(" found."));
    fShell->ShowStatus();
  }
  if (fAnalog) {
    fAnalog->SetCaption(r.HardwarePresent ? QStringLiteral("Analog (%1)").arg(description)
                                          : QStringLiteral("Analog (%1) - DEMO").arg(description));
    // With a digital part and an external clock the oscilloscope stays hidden.
    if (!(r.HasDigital() && r.ClockSource != 0)) {
      fAnalog->PrepareShow();
      fAnalog->show();
      fAnalog->RefreshAll();
    }
  }
  fUi->SplashResult(5, QStringLiteral("Done"));
  fSplash->StartTimer();
  if (!fAnalog) {
    // Nothing this version can show for the instrument (the logic window comes
    // later): say so instead of running without a window.
    MessageDlg(nullptr, 2,
               QStringLiteral("This version of Velk has no window for '%1' yet; "
                              "velkcli captures and analyses it.")
                   .arg(description));
    fShell->Quit();
    return;
  }
  if (!fOptions.File.isEmpty()) fAnalog->OpenFile(fOptions.File);
  if (FirstShown) FirstShown();
}

void TProgram::Finish() {
  if (fFinished) return;
  fFinished = true;
  if (fShell) {
    fShell->StopAndJoin();
    fShell->ClearViews();
  }
  fAnalog.reset();
  fShell.reset();
  if (fStartup) {
    TVELK *r = fStartup->Record();
    fStartup->Shutdown(r && r->SaveSettingsOnExit);
  }
  fSplash.reset();
}
