// File versions of the program and of the loaded library, as the information
// window shows them. Our binaries carry "major.minor.release.build" in the ELF
// section .velk_version (the stand-in for a version resource).
#pragma once

#include <QString>

// "%d.%d.%d.%d" from the file's .velk_version section, or "unknown" when the file
// cannot be read, is not ELF or has no such section.
QString FileVersion(const QString &path);
