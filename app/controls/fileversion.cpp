#include "fileversion.h"

#include <QFile>
#include <QRegularExpression>

#include <elf.h>

#include <cstring>

// The program's own version, in the same place as the library's.
__attribute__((used, section(".velk_version"))) static const char kFileVersion[] = VELK_VERSION;

namespace {

QString SectionText(const QByteArray &file, const char *wanted) {
  if (file.size() < static_cast<qsizetype>(sizeof(Elf64_Ehdr))) return {};
  Elf64_Ehdr eh;
  std::memcpy(&eh, file.constData(), sizeof eh);
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
      eh.e_shentsize != sizeof(Elf64_Shdr))
    return {};
  const quint64 size = static_cast<quint64>(file.size());
  auto header = [&](quint64 i, Elf64_Shdr &sh) {
    const quint64 at = eh.e_shoff + i * sizeof(Elf64_Shdr);
    if (eh.e_shoff > size || at + sizeof(Elf64_Shdr) > size) return false;
    std::memcpy(&sh, file.constData() + at, sizeof sh);
    return true;
  };
  Elf64_Shdr names;
  if (eh.e_shstrndx >= eh.e_shnum || !header(eh.e_shstrndx, names)) return {};
  if (names.sh_offset > size || names.sh_size > size - names.sh_offset) return {};
  for (quint64 i = 0; i < eh.e_shnum; ++i) {
    Elf64_Shdr sh;
    if (!header(i, sh) || sh.sh_name >= names.sh_size) return {};
    const char *name = file.constData() + names.sh_offset + sh.sh_name;
    const quint64 room = names.sh_size - sh.sh_name;
    if (strnlen(name, room) == room || std::strcmp(name, wanted) != 0) continue;
    if (sh.sh_type == SHT_NOBITS || sh.sh_offset > size || sh.sh_size > size - sh.sh_offset)
      return {};
    const char *text = file.constData() + sh.sh_offset;
    return QString::fromLatin1(text, static_cast<qsizetype>(strnlen(text, sh.sh_size)));
  }
  return {};
}

} // namespace

QString FileVersion(const QString &path) {
  const QString unknown = QStringLiteral("unknown");
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return unknown;
  // Read through a mapping: a program file is tens of megabytes with debug data.
  const qint64 size = f.size();
  uchar *data = size > 0 ? f.map(0, size) : nullptr;
  if (!data) return unknown;
  const QByteArray view = QByteArray::fromRawData(reinterpret_cast<const char *>(data), size);
  const QString text = SectionText(view, ".velk_version");
  f.unmap(data);
  static const QRegularExpression re(QStringLiteral("^(\\d+)\\.(\\d+)\\.(\\d+)\\.(\\d+)$"));
  const QRegularExpressionMatch m = re.match(text);
  if (!m.hasMatch()) return unknown;
  return QStringLiteral("%1.%2.%3.%4")
      .arg(m.captured(1).toInt())
      .arg(m.captured(2).toInt())
      .arg(m.captured(3).toInt())
      .arg(m.captured(4).toInt());
}
