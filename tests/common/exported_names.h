// What a shared library exports: the defined dynamic symbols as nm lists them,
// and the 21 D2XX entry points every provider must export.
#pragma once

#include <cstdio>
#include <set>
#include <string>

inline const std::set<std::string> kD2xxEntryPoints = {"FT_Open",
                                                       "FT_OpenEx",
                                                       "FT_ListDevices",
                                                       "FT_Close",
                                                       "FT_Read",
                                                       "FT_Write",
                                                       "FT_ResetDevice",
                                                       "FT_Purge",
                                                       "FT_SetTimeouts",
                                                       "FT_GetQueueStatus",
                                                       "FT_SetLatencyTimer",
                                                       "FT_GetLatencyTimer",
                                                       "FT_SetBitMode",
                                                       "FT_SetUSBParameters",
                                                       "FT_W32_CreateFile",
                                                       "FT_W32_CloseHandle",
                                                       "FT_W32_ReadFile",
                                                       "FT_W32_WriteFile",
                                                       "FT_W32_GetLastError",
                                                       "FT_W32_PurgeComm",
                                                       "FT_W32_GetOverlappedResult"};

// The names, or an empty set when nm could not be run.
inline std::set<std::string> ExportedNames(const std::string &library) {
  std::set<std::string> names;
  FILE *pipe = popen(("nm -D --defined-only " + library).c_str(), "r");
  if (!pipe) return names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    char address[64], type[8], name[256];
    if (std::sscanf(line, "%63s %7s %255s", address, type, name) == 3) names.insert(name);
  }
  if (pclose(pipe) != 0) names.clear();
  return names;
}
