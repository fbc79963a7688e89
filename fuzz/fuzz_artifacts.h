// Where a target writes what it finds when it is run by hand: under the build
// folder (VELK_FUZZ_ARTIFACTS), never the working directory, unless the
// command line names another place with -artifact_prefix. Paths of the command
// line are made absolute, as the loader targets change directory while they load.
#pragma once

#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

inline void FuzzArtifactsUnderBuild(int *argc, char ***argv) {
  static std::vector<std::string> texts;
  static std::vector<char *> args;
  bool prefix = false;
  texts.assign(*argv, *argv + *argc);
  for (size_t i = 1; i < texts.size(); ++i) {
    std::string &a = texts[i];
    auto absolute = [](const std::string &path) {
      std::error_code error;
      const std::filesystem::path p = std::filesystem::absolute(path, error);
      return error ? path : p.string();
    };
    if (a.empty()) continue;
    if (a[0] != '-') {
      a = absolute(a);
      continue;
    }
    for (const char *flag : {"-artifact_prefix=", "-exact_artifact_path=", "-dict="}) {
      const size_t n = std::strlen(flag);
      if (a.compare(0, n, flag) == 0 && a.size() > n) {
        a = flag + absolute(a.substr(n));
        if (flag[1] == 'a') prefix = true;
      }
    }
  }
  if (!prefix) {
    std::error_code error;
    std::filesystem::create_directories(VELK_FUZZ_ARTIFACTS, error);
    texts.insert(texts.begin() + 1, std::string("-artifact_prefix=") + VELK_FUZZ_ARTIFACTS);
  }
  args.clear();
  for (std::string &t : texts)
    args.push_back(t.data());
  args.push_back(nullptr);
  *argc = static_cast<int>(texts.size());
  *argv = args.data();
}
