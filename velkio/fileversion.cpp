// The library's file version, "major.minor.release.build", in a section of its
// own: the information window reads it from the file without loading anything
// (`readelf -p .velk_version libvelkio.so` shows it too). No export changes.
__attribute__((used, section(".velk_version"))) static const char kFileVersion[] = VELK_VERSION;
