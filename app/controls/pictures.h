// The pictures of the controls and dialogs, drawn in code: caption-button
// glyphs, the message icons and the program's picture (splash, information).
#pragma once

#include <QPixmap>

enum class TGlyph { Close, Minimize, Maximize, Restore };

QPixmap GlyphPicture(TGlyph glyph, int size, uint32_t bgr);
QPixmap ErrorPicture(int size);
QPixmap ConfirmPicture(int size);
QPixmap InfoPicture(int size);
// An instrument screen with two traces and the program's name.
QPixmap VelkPicture(int width, int height);
