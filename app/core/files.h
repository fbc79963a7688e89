// Project and data files: the project (.prj with its .dtd/.dta/.dtb sample
// files) and settings-only (.set) stores with root "Project", and the binary
// and text exports of the samples.
#pragma once

#include "record.h"

#include <QString>

enum TFileKind : uint8_t {
  kFileProject = 0,
  kFileSettings = 1,
  kFileBinaryAnalog = 2,
  kFileTextAnalog = 3,
  kFileBinaryDigital = 4,
  kFileTextDigital = 5,
  kFileScreenDigital = 6, // screenshots are saved by the windows
  kFileScreenAnalog = 7
};

// Saves r.FileName as the kind r.LastFileKind (0-5). Every file goes to a
// temporary name and is renamed into place once all of them are written, so a
// failure leaves the old files as they were; a path that is not a regular file
// is never replaced ("Could not save file."). False with the reason in
// StatusText, and "<path>: <cause>" in *problem.
bool SaveFile(TVELK &r, QString *problem = nullptr);

// Opens a project or settings file. False with the reason in StatusText, or
// after a message box through r.Ui. A refused file (unreadable, malformed,
// another instrument's, Cancel on the buffer-size warning) leaves the record
// as it was.
// A project's sample files must be the ones its project file was saved with
// (size and stamp), or no sample is loaded. The length used and samples
// cleared (a length the instrument does not offer, a short data file) are said
// in StatusText with a true result. *problem: "<path>: <cause>" of a failure.
bool LoadFile(TVELK &r, const QString &path, QString *problem = nullptr);
