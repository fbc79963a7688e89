#include "filesys.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // byte b (0x80..0xFF) <-> U+DC00 + b

bool IsEscape(char16_t u) {
  return u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF;
}

void AppendUtf8(QByteArray &out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Length of the valid UTF-8 sequence at p (0 when it is not one) and its code point.
int DecodeUtf8(const unsigned char *p, qsizetype left, char32_t &c) {
  const unsigned char b = p[0];
  int n;
  char32_t min;
  if (b < 0x80) {
    c = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    n = 2, c = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    n = 3, c = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    n = 4, c = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (left < n) return 0;
  for (int i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (p[i] & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return n;
}

QString ErrnoText(int e) {
  return QString::fromLocal8Bit(std::strerror(e));
}

QString Located(const QString &path, const QString &reason) {
  return DisplayName(path) + QStringLiteral(": ") + reason;
}

bool WriteAll(int fd, const QByteArray &bytes) {
  const char *p = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= n;
  }
  return true;
}

QByteArray FolderOf(const QByteArray &path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

} // namespace

QByteArray NativeName(const QString &name) {
  QByteArray out;
  out.reserve(name.size());
  const qsizetype n = name.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t u = name[i].unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(name[i + 1].unicode())) {
      AppendUtf8(out, QChar::surrogateToUcs4(u, name[i + 1].unicode()));
      ++i;
    } else if (IsEscape(u)) {
      out += static_cast<char>(u - kEscapeBase);
    } else if (QChar::isSurrogate(u)) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

QString NameFromNative(const QByteArray &bytes) {
  QString out;
  out.reserve(bytes.size());
  const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
  const qsizetype n = bytes.size();
  for (qsizetype i = 0; i < n;) {
    char32_t c = 0;
    const int len = DecodeUtf8(p + i, n - i, c);
    if (len == 0) {
      out += QChar(static_cast<char16_t>(kEscapeBase + p[i]));
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += QChar(QChar::highSurrogate(c));
      out += QChar(QChar::lowSurrogate(c));
    } else {
      out += QChar(static_cast<char16_t>(c));
    }
    i += len;
  }
  return out;
}

QString DisplayName(const QString &name) {
  QString out = name;
  for (qsizetype i = 0; i < out.size(); ++i)
    if (IsEscape(out[i].unicode()) && !(i > 0 && QChar::isHighSurrogate(out[i - 1].unicode())))
      out[i] = QChar(0xFFFD);
  return out;
}

bool PathExists(const QString &path) {
  struct stat st {};
  return ::stat(NativeName(path).constData(), &st) == 0;
}

bool ReadWholeFile(const QString &path, qint64 maxSize, QByteArray &bytes, QString *why) {
  auto fail = [&](const QString &reason) {
    if (why) *why = Located(path, reason);
    return false;
  };
  const QByteArray native = NativeName(path);
  struct stat st {};
  // A pipe or a device would block or never end: only regular files.
  if (::stat(native.constData(), &st) != 0) return fail(ErrnoText(errno));
  if (!S_ISREG(st.st_mode)) return fail(QStringLiteral("not a regular file"));
  if (st.st_size > maxSize) return fail(QStringLiteral("too large"));
  const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(ErrnoText(errno));
  bytes.resize(static_cast<qsizetype>(st.st_size));
  qsizetype got = 0;
  for (;;) {
    if (got == bytes.size()) bytes.resize(got + 4096); // it grew since the stat
    const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int e = errno;
      ::close(fd);
      return fail(ErrnoText(e));
    }
    if (n == 0) break;
    got += n;
    if (got > maxSize) {
      ::close(fd);
      return fail(QStringLiteral("too large"));
    }
  }
  ::close(fd);
  bytes.resize(got);
  return true;
}

TFileSet::~TFileSet() {
  for (const TPending &f : fFiles)
    ::unlink(f.Temporary.constData());
}

bool TFileSet::Fail(const QString &path, const QString &reason) {
  if (fProblem.isEmpty()) fProblem = Located(path, reason);
  return false;
}

bool TFileSet::Add(const QString &path, const QByteArray &bytes) {
  QByteArray target = NativeName(path);
  if (target.isEmpty()) return Fail(path, QStringLiteral("no file name"));
  struct stat st {};
  bool exists = ::lstat(target.constData(), &st) == 0;
  if (!exists && errno != ENOENT) return Fail(path, ErrnoText(errno));
  if (exists && S_ISLNK(st.st_mode)) {
    // The file the link names is replaced, and only if it is a regular one.
    char resolved[PATH_MAX];
    if (!::realpath(target.constData(), resolved) || ::stat(resolved, &st) != 0) {
      fRefused = true;
      return Fail(path, QStringLiteral("a link to nothing"));
    }
    target = resolved;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    fRefused = true;
    return Fail(path, QStringLiteral("not a regular file"));
  }
  const mode_t mode = exists ? (st.st_mode & 07777) : 0666;

  QByteArray temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    // The process id keeps apart the names of processes forked from one
    // another, whose random generators run the same sequence.
    temporary = target + '.' + QByteArray::number(::getpid()) + '.' +
                QByteArray::number(QRandomGenerator::global()->generate(), 36) +
                QByteArrayLiteral(".part");
    fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return Fail(path, ErrnoText(errno));
  }
  if (fd < 0) return Fail(path, ErrnoText(EEXIST));
  if (exists) ::fchmod(fd, mode); // the replaced file's permissions
  // The bytes reach the disk before anything is renamed: a crash or a full
  // disk never leaves a cut file in place of a whole one.
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
    const int e = errno;
    ::close(fd);
    ::unlink(temporary.constData());
    return Fail(path, ErrnoText(e));
  }
  if (::close(fd) != 0) {
    const int e = errno;
    ::unlink(temporary.constData());
    return Fail(path, ErrnoText(e));
  }
  fFiles.push_back({temporary, target, path});
  return true;
}

bool TFileSet::Commit() {
  if (!fProblem.isEmpty()) return false;
  std::set<QByteArray> folders;
  while (!fFiles.empty()) {
    const TPending f = fFiles.front();
    if (::rename(f.Temporary.constData(), f.Target.constData()) != 0)
      return Fail(f.Path, ErrnoText(errno));
    fFiles.erase(fFiles.begin());
    folders.insert(FolderOf(f.Target));
  }
  // The renames themselves reach the disk too.
  for (const QByteArray &folder : folders) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
      ::fsync(fd);
      ::close(fd);
    }
  }
  return true;
}

bool WriteWholeFile(const QString &path, const QByteArray &bytes, QString *why) {
  TFileSet set;
  const bool ok = set.Add(path, bytes) && set.Commit();
  if (!ok && why) *why = set.Problem();
  return ok;
}
