// Configuration images of the emulated instruments: how they are made and
// recognised. Shared by the emulator and the velkemu-mkimages tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace velkemu {

// An image: "VELKEMU1", the name NUL-padded to 16 bytes, filler bytes, and a
// 32-bit little-endian sum of all bytes before it; 2048 bytes in all.
constexpr size_t kImageSize = 2048;
constexpr size_t kImageNameOffset = 8;
constexpr size_t kImageNameSize = 16;
constexpr size_t kImageSumOffset = kImageSize - 4;
// Image files hold every byte XORed with this key.
constexpr uint8_t kImageKey = 0x3C;

constexpr size_t kImageNameCount = 16;
extern const char *const kImageNames[kImageNameCount];

// The table's copy of a known image name, nullptr for any other name.
const char *KnownImageName(std::string_view name);

// The image bytes for one of the known names (before the key); empty for any
// other name.
std::vector<uint8_t> MakeImage(std::string_view name);

// The name (from kImageNames, so it lives as long as the program) when the
// bytes are a well-formed image with a correct sum, else nullptr.
const char *VerifyImage(const uint8_t *data, size_t size);

// True when the named image configures an instrument of the model code:
// Ardent*, Brisk*, Cobalt* for their models, the four Dorian images for model
// 4, "Dorian-12" for models 5 and 6.
bool ImageFitsModel(std::string_view name, int model);

} // namespace velkemu
