// Settings persistence: the per-instrument settings file (root "Settings") and
// the settings part of project and settings-only files.
#pragma once

#include "myini.h"
#include "record.h"

#include <QString>

// "<SettingsFolder><DeviceDescription>.ini"; "…<n>.ini" for instance n >= 1;
// "…Demo.ini" in simulated mode (HardwarePresent false).
QString SettingsFileName(const TVELK &r);

// Fills the record from the store. Missing keys take their defaults, and so do
// values out of their range (an index the library's lists do not have, a
// channel-configuration word of an unknown kind, …). Creates the interpreter
// definitions named by the channel table and loads the state-definition file.
// False when the store held a value that was refused or the state-definition
// file could not be loaded (it is then forgotten).
bool ReadSettings(TVELK &r, CMyIni &ini);
// Writes every key of the record into the store, in the order they are read.
void WriteSettings(TVELK &r, CMyIni &ini);

// Reads the instrument's settings file. A file that cannot be read gives the
// message "Could not restore config." and the defaults.
void ReadSettings(TVELK &r);
// Writes the instrument's settings file; false when it could not be written
// (the previous file is then left as it was), with "<path>: <cause>" in *problem.
bool WriteSettings(TVELK &r, QString *problem = nullptr);
