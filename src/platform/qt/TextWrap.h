// Line breaking of label captions as the classic runtime drew them: lines break
// at blanks only, a word wider than the box is broken where the line is full, and
// CR LF, CR or LF end a line.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

namespace qtui {

// Width of a piece of text in pixels (QFontMetricsF::horizontalAdvance in the
// views; a fixed width per character in tests).
using TextWidth = std::function<qreal(QStringView)>;

// The lines of `text` for a box `width` pixels wide. Blanks where a line breaks
// are dropped; blanks inside a line are kept. Never returns an empty list for a
// non-empty text; an empty text gives no lines.
QStringList breakLines(const QString& text, const TextWidth& widthOf, qreal width);

}  // namespace qtui
