#include "myini.h"

#include "filesys.h"

#include <algorithm>
#include <charconv>

namespace {

// The real files are a few tens of KiB; anything this large is not ours and is
// refused before it is read.
constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

const QString kHeader = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
const QString kCrLf = QStringLiteral("\r\n");

bool IsQuote(QChar c) {
  return c == u'"' || c == u'\'';
}

// Values are written with the five XML entities so that a quote or an
// apostrophe no longer ends them; a reader of the old kind still sees a value
// without quotes inside.
QString Escape(const QString &value) {
  if (std::none_of(value.begin(), value.end(), [](QChar c) {
        return c == u'&' || c == u'"' || c == u'\'' || c == u'<' || c == u'>';
      }))
    return value;
  QString out;
  out.reserve(value.size());
  for (QChar c : value) {
    switch (c.unicode()) {
    case u'&':
      out += u"&amp;";
      break;
    case u'"':
      out += u"&quot;";
      break;
    case u'\'':
      out += u"&apos;";
      break;
    case u'<':
      out += u"&lt;";
      break;
    case u'>':
      out += u"&gt;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

// Exactly the five entities above; any other '&' text stays as it is, so old
// files (written without entities) read as before.
QString Unescape(QStringView value) {
  if (!value.contains(u'&')) return value.toString();
  static const struct {
    const char16_t *Name;
    char16_t Char;
  } kEntities[] = {
      {u"&amp;", u'&'}, {u"&quot;", u'"'}, {u"&apos;", u'\''}, {u"&lt;", u'<'}, {u"&gt;", u'>'}};
  QString out;
  out.reserve(value.size());
  for (qsizetype i = 0; i < value.size();) {
    if (value[i] == u'&') {
      bool matched = false;
      for (const auto &e : kEntities) {
        QStringView name(e.Name);
        if (value.sliced(i).startsWith(name)) {
          out += QChar(e.Char);
          i += name.size();
          matched = true;
          break;
        }
      }
      if (matched) continue;
    }
    out += value[i++];
  }
  return out;
}

// Index of the first character of text at or after from that satisfies pred,
// or -1.
template <typename Pred> qsizetype FindIf(QStringView text, qsizetype from, Pred pred) {
  for (qsizetype i = from; i < text.size(); ++i)
    if (pred(text[i])) return i;
  return -1;
}

} // namespace

CMyIni::~CMyIni() {
  if (fModified) Save();
}

bool CMyIni::Open(const QString &path, const QString &root, bool read) {
  fPath = path;
  fRoot = root;
  fSections.clear();
  fModified = false;
  if (!read) return true;

  QByteArray bytes;
  if (!ReadWholeFile(path, kMaxFileSize, bytes)) return !PathExists(path);
  return Load(bytes);
}

bool CMyIni::OpenBytes(const QByteArray &bytes, const QString &root) {
  fPath.clear();
  fRoot = root;
  fSections.clear();
  fModified = false;
  return Load(bytes);
}

bool CMyIni::Load(const QByteArray &bytes) {
  // A zero-length file is what a crash of a writer that truncates first leaves
  // behind: there is nothing to lose, so it counts as missing.
  if (bytes.isEmpty()) return true;
  if (bytes.size() > kMaxFileSize) return false;
  // UTF-16 little-endian with its byte-order mark, nothing else.
  if (bytes.size() < 2 || bytes.size() % 2 != 0) return false;
  const auto *b = reinterpret_cast<const uint8_t *>(bytes.constData());
  if (b[0] != 0xFF || b[1] != 0xFE) return false;
  const qsizetype n = bytes.size() / 2 - 1;
  QString text(n, Qt::Uninitialized);
  QChar *out = text.data();
  for (qsizetype i = 0; i < n; ++i)
    out[i] = QChar(static_cast<char16_t>(b[2 + 2 * i] | (b[3 + 2 * i] << 8)));

  if (!Parse(text)) {
    fSections.clear();
    return false;
  }
  return true;
}

bool CMyIni::Parse(const QString &text) {
  const QString open = u'<' + fRoot + u'>';
  const QString close = QStringLiteral("</") + fRoot + u'>';
  const qsizetype openAt = text.indexOf(open);
  if (openAt < 0) return false;
  const qsizetype begin = openAt + open.size();
  const qsizetype end = text.indexOf(close, begin);
  if (end < 0) return false;
  const QStringView content = QStringView(text).sliced(begin, end - begin);

  qsizetype pos = 0;
  for (;;) {
    const qsizetype lt = content.indexOf(u'<', pos);
    if (lt < 0) return true;
    const qsizetype gt = content.indexOf(u'>', lt + 1);
    if (gt < 0) return false;
    const QString name = content.sliced(lt + 1, gt - lt - 1).toString();
    const QString sectionClose = QStringLiteral("</") + name + u'>';
    const qsizetype endAt = content.indexOf(sectionClose, gt + 1);
    if (endAt < 0) return false;

    // Sections past the limit are still checked for their form, but dropped.
    TSection *section = nullptr;
    for (TSection &s : fSections)
      if (s.Name == name) section = &s;
    if (!section && static_cast<int>(fSections.size()) < kMaxSections) {
      fSections.push_back({name, {}});
      section = &fSections.back();
    }

    qsizetype p = gt + 1;
    for (;;) {
      const qsizetype entryAt = content.indexOf(u'<', p);
      if (entryAt == endAt) break;
      if (entryAt < 0 || entryAt > endAt) return false;
      // The name runs up to a blank or tab, the value between the next two
      // quotes (double or single), and the entry ends at the next '>'.
      const qsizetype nameEnd = FindIf(content, entryAt + 1, [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'<' || c == u'>';
      });
      if (nameEnd < 0 || nameEnd >= endAt || content[nameEnd] == u'<' || content[nameEnd] == u'>')
        return false;
      const qsizetype q1 =
          FindIf(content, nameEnd, [](QChar c) { return IsQuote(c) || c == u'>' || c == u'<'; });
      if (q1 < 0 || q1 >= endAt || !IsQuote(content[q1])) return false;
      const qsizetype q2 = FindIf(content, q1 + 1, IsQuote);
      if (q2 < 0 || q2 >= endAt) return false;
      const qsizetype entryEnd = content.indexOf(u'>', q2 + 1);
      if (entryEnd < 0 || entryEnd >= endAt) return false;

      if (section && static_cast<int>(section->Entries.size()) < kMaxEntries) {
        const QStringView key = content.sliced(entryAt + 1, nameEnd - entryAt - 1);
        bool known = false;
        for (const TEntry &e : section->Entries)
          if (e.Name == key) known = true; // the first of duplicates wins, as in a lookup
        if (!known)
          section->Entries.push_back(
              {key.toString(), Unescape(content.sliced(q1 + 1, q2 - q1 - 1))});
      }
      p = entryEnd + 1;
    }
    pos = endAt + sectionClose.size();
  }
}

const QString *CMyIni::Find(const QString &section, const QString &key) const {
  for (const TSection &s : fSections) {
    if (s.Name != section) continue;
    for (const TEntry &e : s.Entries)
      if (e.Name == key) return &e.Value;
    return nullptr;
  }
  return nullptr;
}

void CMyIni::Write(const QString &section, const QString &key, const QString &value) {
  // The limits hold for writing too, so that whatever is written reads back.
  TSection *s = nullptr;
  for (TSection &t : fSections)
    if (t.Name == section) s = &t;
  if (!s) {
    if (static_cast<int>(fSections.size()) >= kMaxSections) return;
    fSections.push_back({section, {}});
    s = &fSections.back();
  }
  for (TEntry &e : s->Entries) {
    if (e.Name == key) {
      e.Value = value;
      fModified = true;
      return;
    }
  }
  if (static_cast<int>(s->Entries.size()) >= kMaxEntries) return;
  s->Entries.push_back({key, value});
  fModified = true;
}

int32_t CMyIni::ReadInt(const QString &section, const QString &key, int32_t def) const {
  const QString *v = Find(section, key);
  if (!v) return def;
  // Hexadecimal digits only (leading zeros allowed); anything else is not a
  // value of ours and gives the default.
  const QString t = v->trimmed();
  if (t.isEmpty()) return def;
  uint64_t value = 0;
  for (QChar c : t) {
    const int d = c.isDigit() && c.unicode() < 128               ? c.unicode() - u'0'
                  : (c.unicode() >= u'a' && c.unicode() <= u'f') ? c.unicode() - u'a' + 10
                  : (c.unicode() >= u'A' && c.unicode() <= u'F') ? c.unicode() - u'A' + 10
                                                                 : -1;
    if (d < 0) return def;
    value = value * 16 + static_cast<uint64_t>(d);
    if (value > 0xFFFFFFFFu) return def;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

void CMyIni::WriteInt(const QString &section, const QString &key, int32_t value) {
  Write(section, key, QString::number(static_cast<uint32_t>(value), 16));
}

double CMyIni::ReadFloat(const QString &section, const QString &key, double def) const {
  const QString *v = Find(section, key);
  if (!v) return def;
  bool ok = false;
  const double d = v->trimmed().toDouble(&ok); // C locale, whatever the user's
  return ok ? d : def;
}

void CMyIni::WriteFloat(const QString &section, const QString &key, double value) {
  // "%g" in the C locale: std::to_chars ignores the user's decimal comma.
  char buffer[64];
  const auto r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  Write(section, key, QString::fromLatin1(buffer, r.ptr - buffer));
}

QString CMyIni::ReadWideString(const QString &section, const QString &key, const QString &def,
                               int max) const {
  const QString *v = Find(section, key);
  const QString &text = v ? *v : def;
  return max > 0 && text.size() > max ? text.left(max) : text;
}

void CMyIni::WriteWideString(const QString &section, const QString &key, const QString &text) {
  Write(section, key, text);
}

void CMyIni::ReadString(const QString &section, const QString &key, const char *def, char *dest,
                        int size) const {
  if (!dest || size <= 0) return;
  const QString *v = Find(section, key);
  // The application's 8-bit texts are Latin-1, so the micro sign survives.
  const QByteArray text = v ? v->toLatin1() : QByteArray(def ? def : "");
  const int n = std::min<int>(static_cast<int>(qstrnlen(text.constData(), text.size())), size - 1);
  std::copy(text.constData(), text.constData() + n, dest);
  dest[n] = 0;
}

void CMyIni::WriteString(const QString &section, const QString &key, const char *text) {
  Write(section, key, QString::fromLatin1(text ? text : ""));
}

QByteArray CMyIni::Serialize() const {
  // Appended piece by piece into one buffer sized up front: a settings file
  // has hundreds of entries.
  qsizetype size = kHeader.size() + 2 * fRoot.size() + 16;
  for (const TSection &s : fSections) {
    size += 2 * s.Name.size() + 8;
    for (const TEntry &e : s.Entries)
      size += e.Name.size() + e.Value.size() + 16;
  }
  QString text;
  text.reserve(size + size / 8);
  text += QChar(0xFEFF);
  text += kHeader;
  text += kCrLf;
  text += u'<';
  text += fRoot;
  text += u'>';
  text += kCrLf;
  for (const TSection &s : fSections) {
    if (s.Entries.empty()) continue;
    text += u'<';
    text += s.Name;
    text += u'>';
    text += kCrLf;
    for (const TEntry &e : s.Entries) {
      text += u" <";
      text += e.Name;
      text += u" value = \"";
      text += Escape(e.Value);
      text += u"\"/>";
      text += kCrLf;
    }
    text += u"</";
    text += s.Name;
    text += u'>';
    text += kCrLf;
  }
  text += u"</";
  text += fRoot;
  text += u'>';

  QByteArray bytes(text.size() * 2, Qt::Uninitialized);
  char *out = bytes.data();
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    out[2 * i] = static_cast<char>(c & 0xFF);
    out[2 * i + 1] = static_cast<char>(c >> 8);
  }
  return bytes;
}

bool CMyIni::Save() {
  if (fPath.isEmpty()) return false;
  if (!WriteWholeFile(fPath, Serialize(), &fProblem)) return false;
  fModified = false;
  return true;
}
