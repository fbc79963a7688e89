// Fuzzes the settings reader: ReadSettings over a per-instrument settings file
// (root "Settings") on the simulated instrument the file belongs to, with what
// it derives (the interpreters from the channel table, the bus widths, the
// state-definition file it names). Checks the record it fills, uses it as the
// windows would, and checks that the settings written back read back without a
// refusal to the same file.
//
// An input is up to three parts (see FuzzSplitFiles): the settings file's name
// ("<model>Demo.ini", which picks the instrument), the settings file, and the
// state-definition file (written as states.txt and states.csv).
#include "fuzz_artifacts.h"
#include "fuzz_common.h"
#include "myini.h"
#include "settings.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  FuzzArtifactsUnderBuild(argc, argv);
  FuzzSetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::vector<QByteArray> files = FuzzSplitFiles(data, size);
  if (files.size() < 2) return 0;
  const QString root = QStringLiteral("Settings");
  CMyIni ini;
  if (!ini.OpenBytes(files[1], root)) return 0;
  FuzzPutFile(QStringLiteral("states.txt"), files.size() > 2 ? &files[2] : nullptr);
  FuzzPutFile(QStringLiteral("states.csv"), files.size() > 2 ? &files[2] : nullptr);

  QString name = QString::fromLatin1(files[0]);
  if (name.endsWith(QLatin1String("Demo.ini"))) name.chop(8);
  const int model = std::max(0, FuzzModelOf(name));
  TVELK &r = FuzzRecord(model);
  TFuzzInScratch inScratch;
  (void)ReadSettings(r, ini);
  FuzzCheckRecord(r);
  FuzzUseRecord(r);

  // What is kept reads back as it was, with nothing refused.
  CMyIni written;
  WriteSettings(r, written);
  TVELK &back = FuzzRecord(model, 1);
  if (!ReadSettings(back, written)) {
    std::fprintf(stderr, "fuzz: the settings written back were refused\n");
    std::abort();
  }
  CMyIni again;
  WriteSettings(back, again);
  const bool same = again.Serialize() == written.Serialize();
  written.Discard();
  again.Discard();
  if (!same) {
    std::fprintf(stderr, "fuzz: the settings written back read back differently\n");
    std::abort();
  }
  return 0;
}
