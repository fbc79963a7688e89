// velkemu-mkimages OUTDIR: writes the configuration image files of the
// emulated instruments (OUTDIR/NAME.v10, every byte XORed with the image key).
// Each file goes to a temporary name first and is renamed into place, so a
// build that stops half-way never leaves a truncated image behind.
#include "image_format.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

static bool WriteImageFile(const fs::path &dir, const char *name) {
  std::vector<uint8_t> bytes = velkemu::MakeImage(name);
  for (uint8_t &b : bytes)
    b ^= velkemu::kImageKey;
  fs::path target = dir / (std::string(name) + ".v10");
  fs::path temp = target;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) return false;
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  return !ec;
}

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velkemu-mkimages OUTDIR\n");
    return 2;
  }
  fs::path dir = argv[1];
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    std::fprintf(stderr, "velkemu-mkimages: cannot create %s: %s\n", argv[1], ec.message().c_str());
    return 1;
  }
  for (const char *name : velkemu::kImageNames) {
    if (!WriteImageFile(dir, name)) {
      std::fprintf(stderr, "velkemu-mkimages: cannot write %s.v10 in %s\n", name, argv[1]);
      return 1;
    }
  }
  return 0;
}
