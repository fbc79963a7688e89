// State definitions: names for the values of one bus, kept in a small text file.
// The first line is the name for all other values; every further line is one
// definition, "%04X %s" (hexadecimal) or, in a file named *.csv, "%d,%s".
#pragma once

#include "record.h"

#include <QString>

#include <cstddef>
#include <vector>

constexpr int kMaxStateDefs = 65536;
constexpr int kStateDefLineMax = 99; // characters of a line that are read
constexpr int kStateTitleMax = 15;
constexpr int kStateNameMax = 16;
constexpr qint64 kMaxStateDefFileSize = 16 * 1024 * 1024;

struct TStateDefTable {
  QString Title;
  std::vector<TStateDef> Defs;
};

// True for a name ending in ".csv" in any letter case: decimal lines.
bool IsDecimalStateDefFile(const QString &path);

// Reads the contents of a state-definition file. The title is the first word
// of the first line, even when that line is empty (as a saved empty title
// is); after it, empty lines do not count. Lines whose value is out of
// 0..65535 or that do not parse are skipped; lines are cut to 99 characters.
TStateDefTable ParseStateDefs(const char *data, size_t size, bool decimal);

// Replaces StateDefs and StateDefTitle with the file's contents and sets
// StateDefFile and StateDefFileType. False when the file cannot be read; the
// record is then left as it was.
bool LoadStateDefs(TVELK &r, const QString &path);

// The contents of a saved file: "%s\n" with the title, then "%04X %s\n" per
// definition.
QByteArray FormatStateDefs(const QString &title, const std::vector<TStateDef> &defs);

// Writes the title and the definitions as hexadecimal lines, whatever the
// extension, through a temporary file renamed into place.
bool SaveStateDefs(const QString &path, const QString &title, const std::vector<TStateDef> &defs);
