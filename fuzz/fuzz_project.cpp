// Fuzzes the project loader end to end: LoadFile on a project or settings-only
// file with its sample files and the state-definition file it names, on the
// simulated instrument the file was saved for, then what the windows do with
// the loaded record.
//
// An input is up to five files one after the other (see FuzzSplitFiles): the
// .prj (or .set), its .dtd, .dta and .dtb sample files and the state-definition
// file (written as states.txt and states.csv). A part that is not there is a
// file that is not there.
#include "files.h"
#include "fuzz_artifacts.h"
#include "fuzz_common.h"
#include "myini.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  FuzzArtifactsUnderBuild(argc, argv);
  FuzzSetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::vector<QByteArray> files = FuzzSplitFiles(data, size);
  auto part = [&](size_t i) { return i < files.size() ? &files[i] : nullptr; };
  const QString path = FuzzPutFile(QStringLiteral("p.prj"), part(0));
  FuzzPutFile(QStringLiteral("p.dtd"), part(1));
  FuzzPutFile(QStringLiteral("p.dta"), part(2));
  FuzzPutFile(QStringLiteral("p.dtb"), part(3));
  FuzzPutFile(QStringLiteral("states.txt"), part(4));
  FuzzPutFile(QStringLiteral("states.csv"), part(4));

  // The instrument the file names (another one only sees the refusal).
  int model = 0;
  {
    CMyIni ini;
    if (ini.OpenBytes(files[0], QStringLiteral("Project"))) {
      char signature[101];
      ini.ReadString(QStringLiteral("Device"), QStringLiteral("Signature"), "", signature,
                     sizeof signature);
      model = std::max(0, FuzzModelOf(QString::fromLatin1(signature)));
    }
  }
  TVELK &r = FuzzRecord(model);
  TFuzzInScratch inScratch;
  if (!LoadFile(r, path)) return 0;
  FuzzCheckRecord(r);
  FuzzUseRecord(r);
  return 0;
}
