#pragma once

#include "player/PlayerHost.h"

#include <QColor>
#include <QFont>

namespace tovrin {

// The one conversion between the settings' font and colour records and Qt's, for the player
// window and for the main window's preview of it.

// A font record of the settings as a Qt font (its colour is separate: FontColor). The point
// size wins over the pixel height, which only holds at the logical DPI it was stored at.
QFont ToQFont(const FontRecord& record);
// A chosen font into `record`; its colour, character set and pitch stay the record's. The
// height is given at 96 dots per inch, as the settings file has always kept it.
FontRecord FromQFont(const QFont& font, FontRecord record);
// A Windows colour integer (0x00BBGGRR, or a negative system colour) as a Qt colour; system
// colours are taken from the application's palette.
QColor ToQColor(int32_t windowsColor);
QColor FontColor(const FontRecord& record);
// A Qt colour as a Windows colour integer (0x00BBGGRR).
int32_t FromQColor(const QColor& color);

}  // namespace tovrin
