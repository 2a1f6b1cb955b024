#include "platform/qt/TextWrap.h"

#include <QTextBoundaryFinder>

namespace qtui {

namespace {

bool isBlank(QChar c) {
  return c == u' ' || c == u'\t';
}

// Breaks one paragraph (no line ends in it) into `lines`.
void breakParagraph(QStringView text, const TextWidth& widthOf, qreal width, QStringList& lines) {
  if (text.isEmpty()) {
    lines.append(QString());
    return;
  }
  const qsizetype n = text.size();
  // End of the word that begins at `i`; blanks in front of it (only at the start
  // of a paragraph) belong to it.
  const auto wordEndFrom = [&](qsizetype i) {
    while (i < n && isBlank(text[i])) ++i;
    while (i < n && !isBlank(text[i])) ++i;
    return i;
  };

  qsizetype start = 0;
  while (start < n) {
    // Longest run of whole words from `start` that fits; trailing blanks do not
    // count, as on Windows.
    qsizetype fitEnd = start;
    for (qsizetype i = start; i < n;) {
      const qsizetype wordEnd = wordEndFrom(i);
      if (widthOf(text.sliced(start, wordEnd - start)) > width) break;
      fitEnd = wordEnd;
      i = wordEnd;
      while (i < n && isBlank(text[i])) ++i;
    }

    qsizetype next = fitEnd;
    if (fitEnd > start) {
      lines.append(text.sliced(start, fitEnd - start).toString());
    } else {
      // The first word alone is wider than the box: break it after the last
      // character that still fits, keeping at least one character.
      const QStringView word = text.sliced(start, wordEndFrom(start) - start);
      QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, word.data(), word.size());
      qsizetype cut = 0;
      for (qsizetype b = graphemes.toNextBoundary(); b > 0; b = graphemes.toNextBoundary()) {
        if (cut > 0 && widthOf(word.first(b)) > width) break;
        cut = b;
        if (b >= word.size()) break;
      }
      lines.append(word.first(cut).toString());
      next = start + cut;
    }
    // Blanks at a break belong to neither line.
    while (next < n && isBlank(text[next])) ++next;
    start = next;
  }
}

}  // namespace

QStringList breakLines(const QString& text, const TextWidth& widthOf, qreal width) {
  QStringList lines;
  const QStringView all(text);
  qsizetype start = 0;
  while (start < all.size()) {
    qsizetype end = start;
    while (end < all.size() && all[end] != u'\r' && all[end] != u'\n') ++end;
    breakParagraph(all.sliced(start, end - start), widthOf, width, lines);
    if (end >= all.size()) break;
    // CR LF is one line end; a lone CR or LF is one too.
    start = end + ((all[end] == u'\r' && end + 1 < all.size() && all[end + 1] == u'\n') ? 2 : 1);
    if (start >= all.size()) lines.append(QString());
  }
  return lines;
}

}  // namespace qtui
