#include "statedefs.h"

#include "filesys.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\0';
}

// One line of at most kStateDefLineMax characters.
struct TLine {
  const char *Pos;
  const char *End;
  bool AtEnd() const { return Pos == End; }
  void SkipBlanks() {
    while (Pos != End && IsBlank(*Pos))
      ++Pos;
  }
  // The next whitespace-delimited word (empty at the end of the line).
  std::string_view Word() {
    SkipBlanks();
    const char *start = Pos;
    while (Pos != End && !IsBlank(*Pos))
      ++Pos;
    return {start, static_cast<size_t>(Pos - start)};
  }
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Value of the digits at the line's position; false when there are none or
// the value leaves 0..65535.
bool ReadValue(TLine &line, bool decimal, int32_t &value) {
  line.SkipBlanks();
  bool negative = false;
  if (decimal && !line.AtEnd() && (*line.Pos == '+' || *line.Pos == '-')) {
    negative = *line.Pos == '-';
    ++line.Pos;
  }
  const int base = decimal ? 10 : 16;
  int64_t v = 0;
  int digits = 0;
  for (; !line.AtEnd(); ++line.Pos) {
    const int d = HexDigit(*line.Pos);
    if (d < 0 || d >= base) break;
    if (v <= 0xFFFF) v = v * base + d; // past the range it only has to stay out of it
    ++digits;
  }
  if (digits == 0) return false;
  if (negative) v = -v;
  if (v < 0 || v > 0xFFFF) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool ParseDefinition(TLine line, bool decimal, TStateDef &def) {
  if (!ReadValue(line, decimal, def.Value)) return false;
  // Hexadecimal: a blank separates value and name; decimal: a comma.
  if (line.AtEnd()) return false;
  if (decimal ? *line.Pos != ',' : !IsBlank(*line.Pos)) return false;
  ++line.Pos;
  const std::string_view name = line.Word();
  if (name.empty()) return false;
  const size_t n = std::min<size_t>(name.size(), kStateNameMax);
  std::memcpy(def.Name, name.data(), n);
  def.Name[n] = 0;
  return true;
}

} // namespace

bool IsDecimalStateDefFile(const QString &path) {
  return QFileInfo(path).fileName().endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
}

TStateDefTable ParseStateDefs(const char *data, size_t size, bool decimal) {
  TStateDefTable table;
  if (!data) return table;
  const char *p = data;
  const char *end = data + size;
  bool first = true;
  while (p != end) {
    // A run of CR and LF ends a line; a long line is cut, never split.
    if (!first) {
      while (p != end && IsLineEnd(*p))
        ++p;
      if (p == end) break;
    }
    const char *start = p;
    while (p != end && !IsLineEnd(*p))
      ++p;
    TLine line{start, start + std::min<ptrdiff_t>(p - start, kStateDefLineMax)};
    if (first) {
      const std::string_view title = line.Word();
      table.Title =
          QString::fromLatin1(title.data(), std::min<qsizetype>(title.size(), kStateTitleMax));
      first = false;
      continue;
    }
    TStateDef def;
    if (ParseDefinition(line, decimal, def)) {
      table.Defs.push_back(def);
      if (static_cast<int>(table.Defs.size()) >= kMaxStateDefs) break;
    }
  }
  return table;
}

bool LoadStateDefs(TVELK &r, const QString &path) {
  // Regular files only, read into a buffer the size of the file (not of the limit).
  QByteArray bytes;
  if (!ReadWholeFile(path, kMaxStateDefFileSize, bytes)) return false;
  const bool decimal = IsDecimalStateDefFile(path);
  TStateDefTable table =
      ParseStateDefs(bytes.constData(), static_cast<size_t>(bytes.size()), decimal);
  r.StateDefs = std::move(table.Defs);
  r.StateDefTitle = table.Title;
  r.StateDefFile = path;
  r.StateDefFileType = decimal ? 1 : 0;
  return true;
}

QByteArray FormatStateDefs(const QString &title, const std::vector<TStateDef> &defs) {
  QByteArray text = title.toLatin1() + '\n';
  text.reserve(text.size() + static_cast<qsizetype>(defs.size()) * 24);
  char line[48];
  for (const TStateDef &d : defs) {
    const int n = std::snprintf(line, sizeof line, "%04X %.*s\n", static_cast<unsigned>(d.Value),
                                kStateNameMax, d.Name);
    text.append(line, std::min<int>(n, sizeof line - 1));
  }
  return text;
}

bool SaveStateDefs(const QString &path, const QString &title, const std::vector<TStateDef> &defs) {
  const QByteArray text = FormatStateDefs(title, defs);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  // Flushed before the rename, so that a full disk never replaces the old file
  // with a cut one.
  if (file.write(text) != text.size() || !file.flush() || file.error() != QFileDevice::NoError) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}
