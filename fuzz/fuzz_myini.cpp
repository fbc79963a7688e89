// Fuzzes the settings-store reader with whole files, under both roots the
// program uses ("Settings" for the per-instrument settings, "Project" for
// project and settings-only files). Besides the sanitizers' findings it checks
// that whatever the reader accepts is written back in a form that reads back
// to the same store.
#include "fuzz_artifacts.h"
#include "myini.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  FuzzArtifactsUnderBuild(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  for (const QString &root : {QStringLiteral("Settings"), QStringLiteral("Project")}) {
    CMyIni ini;
    if (!ini.OpenBytes(bytes, root)) continue;

    // The reads of the settings and project code, on whatever the file holds.
    char text[101];
    ini.ReadString(QStringLiteral("Digital"), QStringLiteral("Ch0Name"), "x", text, 16);
    ini.ReadString(QStringLiteral("Device"), QStringLiteral("Signature"), "", text, sizeof text);
    (void)ini.ReadInt(QStringLiteral("General"), QStringLiteral("BuffLength"), 0);
    (void)ini.ReadInt(QStringLiteral("File"), QStringLiteral("Type"), 1);
    (void)ini.ReadFloat(QStringLiteral("Analog"), QStringLiteral("ProbeDivider2"), 10);
    (void)ini.ReadWideString(QStringLiteral("Config"), QStringLiteral("LastOpenFileName"), {}, 5);

    const QByteArray once = ini.Serialize();
    CMyIni again;
    if (!again.OpenBytes(once, root)) std::abort();
    if (again.Serialize() != once) std::abort();
  }
  return 0;
}
