// The windows' default font.
#pragma once

#include <QFont>

namespace qtui {

// The font every control uses, chosen so that the designed texts fit their boxes
// as they did with the classic 8-point MS Sans Serif at 96 dpi (13 px a line):
//  1. "MS Sans Serif" at 11 px: Wine's metric twin of the classic font (Debian
//     package fonts-wine, outside the font path, so it is loaded from its file);
//  2. "Liberation Sans" or "Arimo" (Arial metrics) at 10 px, which is slightly
//     smaller than the classic font but keeps every designed text in its box;
//  3. "DejaVu Sans Condensed" at 10 px, then whatever sans-serif font the system
//     has at 9 px.
// Needs a QGuiApplication.
QFont classicDefaultFont();

}  // namespace qtui
