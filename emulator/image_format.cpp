#include "image_format.h"

#include <cstring>

namespace velkemu {

namespace {

constexpr char kMagic[] = "VELKEMU1";

struct TImageFamily {
  const char *name;
  int model; // the model the image configures (Dorian-12 also Fenwick)
};

constexpr TImageFamily kFamilies[kImageNameCount] = {
    {"Ardent", 1},    {"ArdentHF", 1}, {"ArdentLF", 1}, {"Brisk", 2},
    {"Brisk200", 2},  {"BriskHF", 2},  {"BriskLF", 2},  {"Cobalt", 3},
    {"Cobalt200", 3}, {"CobaltHF", 3}, {"CobaltLF", 3}, {"Dorian", 4},
    {"Dorian200", 4}, {"DorianHF", 4}, {"DorianLF", 4}, {"Dorian-12", 5},
};

const TImageFamily *FindFamily(std::string_view name) {
  for (const TImageFamily &f : kFamilies)
    if (name == f.name) return &f;
  return nullptr;
}

uint32_t SumOf(const uint8_t *data, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i)
    sum += data[i];
  return sum;
}

} // namespace

const char *const kImageNames[kImageNameCount] = {
    kFamilies[0].name,  kFamilies[1].name,  kFamilies[2].name,  kFamilies[3].name,
    kFamilies[4].name,  kFamilies[5].name,  kFamilies[6].name,  kFamilies[7].name,
    kFamilies[8].name,  kFamilies[9].name,  kFamilies[10].name, kFamilies[11].name,
    kFamilies[12].name, kFamilies[13].name, kFamilies[14].name, kFamilies[15].name,
};

const char *KnownImageName(std::string_view name) {
  const TImageFamily *f = FindFamily(name);
  return f ? f->name : nullptr;
}

std::vector<uint8_t> MakeImage(std::string_view name) {
  if (!FindFamily(name)) return {};
  std::vector<uint8_t> image(kImageSize, 0);
  std::memcpy(image.data(), kMagic, 8);
  std::memcpy(image.data() + kImageNameOffset, name.data(), name.size());
  for (size_t i = kImageNameOffset + kImageNameSize; i < kImageSumOffset; ++i)
    image[i] = static_cast<uint8_t>((i * 131 + 17) & 0xFF);
  uint32_t sum = SumOf(image.data(), kImageSumOffset);
  for (int b = 0; b < 4; ++b)
    image[kImageSumOffset + b] = static_cast<uint8_t>(sum >> (8 * b));
  return image;
}

const char *VerifyImage(const uint8_t *data, size_t size) {
  if (!data || size != kImageSize || std::memcmp(data, kMagic, 8) != 0) return nullptr;
  const char *field = reinterpret_cast<const char *>(data + kImageNameOffset);
  size_t len = strnlen(field, kImageNameSize);
  if (len == kImageNameSize) return nullptr; // no terminating NUL
  for (size_t i = len; i < kImageNameSize; ++i)
    if (field[i] != 0) return nullptr;
  uint32_t stored = 0;
  for (int b = 0; b < 4; ++b)
    stored |= uint32_t(data[kImageSumOffset + b]) << (8 * b);
  if (stored != SumOf(data, kImageSumOffset)) return nullptr;
  const TImageFamily *f = FindFamily(std::string_view(field, len));
  return f ? f->name : nullptr;
}

bool ImageFitsModel(std::string_view name, int model) {
  const TImageFamily *f = FindFamily(name);
  if (!f) return false;
  return f->model == model || (f->model == 5 && model == 6);
}

} // namespace velkemu
