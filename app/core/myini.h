// CMyIni: named sections of named values, kept in memory and stored in one
// small XML-like UTF-16 file (the settings, project and settings-only files).
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

class CMyIni {
public:
  static constexpr int kMaxSections = 256;
  static constexpr int kMaxEntries = 256;

  CMyIni() = default;
  // Writes the file when something was written and Save has not run since.
  ~CMyIni();
  CMyIni(const CMyIni &) = delete;
  CMyIni &operator=(const CMyIni &) = delete;

  // read = true parses an existing file (false for one that lacks the root
  // tags or holds a malformed section); a missing or unreadable file, or
  // read = false, gives an empty store that will be written to path.
  bool Open(const QString &path, const QString &root, bool read);
  // Parses the bytes of a file as Open in read mode does, into a store
  // without a path (Save then fails).
  bool OpenBytes(const QByteArray &bytes, const QString &root);

  int32_t ReadInt(const QString &section, const QString &key, int32_t def) const;
  void WriteInt(const QString &section, const QString &key, int32_t value);
  double ReadFloat(const QString &section, const QString &key, double def) const;
  void WriteFloat(const QString &section, const QString &key, double value);
  // max = 0: no limit; otherwise at most max characters.
  QString ReadWideString(const QString &section, const QString &key, const QString &def,
                         int max = 0) const;
  void WriteWideString(const QString &section, const QString &key, const QString &text);
  // 8-bit text into a fixed field of size bytes (terminating zero included).
  void ReadString(const QString &section, const QString &key, const char *def, char *dest,
                  int size) const;
  void WriteString(const QString &section, const QString &key, const char *text);

  // Writes the file now, through a temporary file renamed into place, so a
  // full disk or a crash never leaves a truncated file. False when it could
  // not be written (the old file is then untouched).
  bool Save();
  // "<path>: <cause>" of the last failed Save.
  const QString &Problem() const { return fProblem; }
  // Forgets the unsaved changes: the destructor will not write the file (for
  // callers that write Serialize() themselves together with other files).
  void Discard() { fModified = false; }
  bool Modified() const { return fModified; }
  const QString &Path() const { return fPath; }
  // The whole file as it would be written.
  QByteArray Serialize() const;

private:
  struct TEntry {
    QString Name, Value;
  };
  struct TSection {
    QString Name;
    std::vector<TEntry> Entries;
  };
  const QString *Find(const QString &section, const QString &key) const;
  void Write(const QString &section, const QString &key, const QString &value);
  bool Load(const QByteArray &bytes);
  bool Parse(const QString &text);

  QString fPath, fRoot, fProblem;
  std::vector<TSection> fSections;
  bool fModified = false;
};
