// Fuzzes the state-definition reader in both line formats and checks what it
// gives: values in 0..65535, one-word names of at most 16 characters, a title
// of at most 15, at most 65536 entries, and a saved table that reads back the
// same.
#include "fuzz_artifacts.h"
#include "statedefs.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool HasBlank(const char *s) {
  for (; *s; ++s)
    if (*s == ' ' || *s == '\t' || *s == '\r' || *s == '\n' || *s == '\v' || *s == '\f')
      return true;
  return false;
}

void Check(const TStateDefTable &t) {
  if (t.Title.size() > kStateTitleMax || t.Defs.size() > size_t(kMaxStateDefs)) std::abort();
  for (const TStateDef &d : t.Defs) {
    const size_t n = strnlen(d.Name, sizeof d.Name);
    if (d.Value < 0 || d.Value > 0xFFFF || n == 0 || n > size_t(kStateNameMax) || HasBlank(d.Name))
      std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  FuzzArtifactsUnderBuild(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const char *text = reinterpret_cast<const char *>(data);
  for (bool decimal : {false, true}) {
    const TStateDefTable t = ParseStateDefs(text, size, decimal);
    Check(t);
    const QByteArray saved = FormatStateDefs(t.Title, t.Defs);
    const TStateDefTable back =
        ParseStateDefs(saved.constData(), static_cast<size_t>(saved.size()), false);
    if (back.Title != t.Title || back.Defs.size() != t.Defs.size()) std::abort();
    for (size_t i = 0; i < t.Defs.size(); ++i)
      if (back.Defs[i].Value != t.Defs[i].Value ||
          std::strcmp(back.Defs[i].Name, t.Defs[i].Name) != 0)
        std::abort();
  }
  return 0;
}
