#pragma once

#include "player/PlayerHost.h"

#include <QColor>
#include <QFont>

namespace tovrin {

// A font record of the settings as a Qt font (its colour is separate: FontColor).
QFont ToQFont(const FontRecord& record);
// A Windows colour integer (0x00BBGGRR, or a negative system colour) as a Qt colour; system
// colours are taken from the application's palette.
QColor ToQColor(int32_t windowsColor);
QColor FontColor(const FontRecord& record);

}  // namespace tovrin
