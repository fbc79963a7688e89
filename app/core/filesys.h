// File names and whole-file writes as the core needs them on Linux.
//
// Names: a file name is bytes. Qt's own conversion (QFile::encodeName) turns
// bytes that are not UTF-8 into U+FFFD, so such a file could be neither saved
// under its name nor opened again. NativeName/NameFromNative keep every byte:
// valid UTF-8 decodes as usual, any other byte b becomes the lone code unit
// U+DC00 + b and back.
//
// Writes: a set of files is written under temporary names beside their
// targets, each synced, and only then renamed into place in the order they
// were added; a path that exists and is not a regular file (a device node, a
// pipe, a folder, a link to one of them) is never replaced. A link to a regular
// file is followed: the file it names is replaced and the link stays.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

QByteArray NativeName(const QString &name);
QString NameFromNative(const QByteArray &bytes);
// A name for messages on a terminal or in a window: the undecodable bytes as
// U+FFFD.
QString DisplayName(const QString &name);

// The path names something (a link is followed).
bool PathExists(const QString &path);
// Reads a whole regular file of at most maxSize bytes; false with the reason.
bool ReadWholeFile(const QString &path, qint64 maxSize, QByteArray &bytes, QString *why = nullptr);

class TFileSet {
public:
  TFileSet() = default;
  // Removes the temporary files of a set that was not committed.
  ~TFileSet();
  TFileSet(const TFileSet &) = delete;
  TFileSet &operator=(const TFileSet &) = delete;

  // Writes the bytes to a temporary file for path. False with the reason (the
  // path is not a regular file, the folder is not writable, the disk is full).
  bool Add(const QString &path, const QByteArray &bytes);
  // Renames every file into place, in order. False with the reason when a
  // rename fails (the files before it are in place then).
  bool Commit();
  // "<path>: <reason>" of the first failure.
  const QString &Problem() const { return fProblem; }
  // The failure was a path that may not be replaced (not a regular file).
  bool Refused() const { return fRefused; }

private:
  bool Fail(const QString &path, const QString &reason);

  struct TPending {
    QByteArray Temporary, Target;
    QString Path;
  };
  std::vector<TPending> fFiles;
  QString fProblem;
  bool fRefused = false;
};

// Writes one file as a set of one; false with "<path>: <reason>" in *why.
bool WriteWholeFile(const QString &path, const QByteArray &bytes, QString *why = nullptr);
