// Small file helpers of the core tests.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

inline QByteArray FileBytes(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void PutFile(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

// A settings-store file: byte-order mark and UTF-16 little-endian text.
inline QByteArray Utf16File(const QString &text) {
  QByteArray bytes("\xFF\xFE", 2);
  for (QChar c : text) {
    bytes += static_cast<char>(c.unicode() & 0xFF);
    bytes += static_cast<char>(c.unicode() >> 8);
  }
  return bytes;
}

// A file of 10 MB without writing it (sparse): far beyond any settings file.
inline void PutHugeFile(const QString &path) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    f.write(Utf16File(QStringLiteral("<Settings>")));
    f.resize(10 * 1000 * 1000);
  }
}

// Names in a folder, to see that no temporary file was left behind.
inline QStringList FolderEntries(const QString &folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}
