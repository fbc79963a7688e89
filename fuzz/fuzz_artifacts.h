// Where a target writes what it finds when it is run by hand: under the build
// folder (VELK_FUZZ_ARTIFACTS), never the working directory, unless the
// command line names another place with -artifact_prefix.
#pragma once

#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

inline void FuzzArtifactsUnderBuild(int *argc, char ***argv) {
  std::error_code error;
  std::filesystem::create_directories(VELK_FUZZ_ARTIFACTS, error);
  for (int i = 1; i < *argc; ++i)
    if (std::strncmp((*argv)[i], "-artifact_prefix=", 17) == 0) return;
  static std::vector<char *> args;
  args.assign(*argv, *argv + *argc);
  static char prefix[] = "-artifact_prefix=" VELK_FUZZ_ARTIFACTS;
  args.insert(args.begin() + 1, prefix);
  args.push_back(nullptr);
  *argc += 1;
  *argv = args.data();
}
