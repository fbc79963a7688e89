// The multimeter panel library's interface: five entry points with the C calling
// convention of the platform, bound by name at run time. The record travels by
// value and keeps this exact 136-byte layout (little-endian, no other padding).
#pragma once

#include <cstddef>
#include <cstdint>

struct TPimbraRecord {
  char TextsA[5][10]; // frequency, period, average, RMS, peak-to-peak; zero-terminated, Latin-1
  char TextsB[5][10];
  int32_t MeanA; // |mean| in codes, probe divider included
  int32_t RmsA;
  int32_t MeanB;
  int32_t RmsB;
  uint32_t ColorA; // 0x00BBGGRR
  uint32_t ColorB;
  uint8_t OverrangeA;
  uint8_t OverrangeB;
  uint8_t Unused1[2];
  int32_t HalfRange;
  uint8_t ChannelB; // channel B usable when the panel was created
  uint8_t Unused2[3];
};
static_assert(sizeof(TPimbraRecord) == 136);
static_assert(offsetof(TPimbraRecord, TextsB) == 50);
static_assert(offsetof(TPimbraRecord, MeanA) == 100);
static_assert(offsetof(TPimbraRecord, ColorA) == 116);
static_assert(offsetof(TPimbraRecord, OverrangeA) == 124);
static_assert(offsetof(TPimbraRecord, HalfRange) == 128);
static_assert(offsetof(TPimbraRecord, ChannelB) == 132);

extern "C" {
// Creates the (hidden) panel; channelB is 1 when channel B is usable.
void _Create(uint8_t channelB);
// Shows (1) or hides (0) the panel.
void _Visible(uint8_t show);
// Non-zero while the panel is shown.
uint8_t _IsVisible();
// The values to display.
void _Update(TPimbraRecord record);
// Removes the panel; the library may be unloaded afterwards.
void _Destroy();
}
