// The colours of the windows and the 3-D shading of buttons and panels. Colours
// are kept as 0x00BBGGRR values (the record's and the settings' form) and turned
// into QColor at the point of painting.
#pragma once

#include <QColor>

#include <cstdint>

constexpr uint32_t kWindowColor = 0x466439;     // window background and title strip
constexpr uint32_t kPanelColor = 0x9CDBDE;      // panels that carry the contents
constexpr uint32_t kFrameLight = 0xE1FFFF;      // light side of a panel's frame
constexpr uint32_t kFrameDark = 0x416969;       // dark side of a panel's frame
constexpr uint32_t kFieldColor = 0xE1FFFF;      // edits, lists, read-outs
constexpr uint32_t kButtonFace = 13160660;      // 0xC8D0D4, owner-drawn buttons
constexpr uint32_t kCaptionActive = 0x00FFFF;   // yellow
constexpr uint32_t kCaptionInactive = 0xC0C0C0; // silver

inline QColor FromBGR(uint32_t c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

inline uint32_t ToBGR(const QColor &c) {
  return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
         static_cast<uint32_t>(c.blue()) << 16;
}

// Each of red, green and blue times 1.5, capped at 255.
constexpr uint32_t Light3D(uint32_t c) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t v = (c >> shift) & 0xFF;
    v = v * 3 / 2;
    out |= (v > 255 ? 255 : v) << shift;
  }
  return out;
}

// Each of red, green and blue times 2/3.
constexpr uint32_t Dark3D(uint32_t c) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8)
    out |= (((c >> shift) & 0xFF) * 2 / 3) << shift;
  return out;
}
