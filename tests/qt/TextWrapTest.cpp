// Line breaking of label captions, with every character one unit wide.
#include <gtest/gtest.h>

#include <ostream>

#include "platform/qt/TextWrap.h"

namespace {

QStringList breakAt(const char* text, qreal width) {
  return qtui::breakLines(
      QString::fromUtf8(text), [](QStringView piece) { return static_cast<qreal>(piece.size()); },
      width);
}

struct Row {
  const char* text;
  qreal width;
  QStringList lines;
};

// Names the row in test listings by its text, in plain ASCII letters.
void PrintTo(const Row& row, std::ostream* out) {
  *out << "width " << row.width << " ";
  for (const char* c = row.text; *c; ++c) {
    const bool plain =
        (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
    *out << (plain ? *c : '_');
  }
}

class TextWrapTable : public testing::TestWithParam<Row> {};

TEST_P(TextWrapTable, BreaksLikeTheClassicRuntime) {
  const Row& row = GetParam();
  EXPECT_EQ(breakAt(row.text, row.width), row.lines) << row.text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TextWrapTable,
    testing::Values(Row{"", 10, {}}, Row{"kurz", 10, {"kurz"}},
                    Row{"genau zehn", 10, {"genau zehn"}},
                    // Breaks at the blank; the blank belongs to neither line.
                    Row{"eins zwei drei", 9, {"eins zwei", "drei"}},
                    // Several blanks at a break all go; inside a line they stay.
                    Row{"a  b   c", 4, {"a  b", "c"}},
                    // Only blanks break a line: not a hyphen, not a backslash or colon.
                    Row{"Protokoll-Datei C:\\a\\b", 16, {"Protokoll-Datei", "C:\\a\\b"}},
                    // A word wider than the box is broken where the line is full.
                    Row{"C:\\home\\anna\\programme", 10, {"C:\\home\\an", "na\\program", "me"}},
                    Row{"ab C:\\home\\anna", 6, {"ab", "C:\\hom", "e\\anna"}},
                    // Blanks in front of the first word stay; trailing blanks do not count.
                    Row{"  ab", 4, {"  ab"}}, Row{"ab   ", 2, {"ab"}},
                    // Line ends: CR LF, LF and CR each end one line; an empty line stays.
                    Row{"eins\r\nzwei\ndrei\rvier", 10, {"eins", "zwei", "drei", "vier"}},
                    Row{"eins\n\nzwei", 10, {"eins", "", "zwei"}},
                    // Umlauts are one character each, never split.
                    Row{"Grüße größer", 6, {"Grüße", "größer"}},
                    // A box narrower than one character still shows one character a line.
                    Row{"abc", 0.5, {"a", "b", "c"}}));

TEST(TextWrap, KeepsEveryCharacterOfTheText) {
  const QString text = QString::fromUtf8(
      "Dieses Tool untersucht sämtliche vorhandenen Festplatten und protokolliert sämtliche "
      "gefundenen Dateien in der Protokoll-Datei  C:\\home\\anna\\programme\\rozozovuvor\\"
      "protokoll-12-07-2026-06-40-16.txt . Die Protokolldatei kann anschließend  mit einem "
      "Texteditor betrachtet werden.");
  for (qreal width : {1.0, 7.0, 30.0, 64.0, 500.0}) {
    const QStringList lines = qtui::breakLines(
        text, [](QStringView piece) { return static_cast<qreal>(piece.size()); }, width);
    QString joined = lines.join(QString());
    QString expected = text;
    joined.remove(QLatin1Char(' '));
    expected.remove(QLatin1Char(' '));
    EXPECT_EQ(joined, expected) << "width " << width;
    for (const QString& line : lines) {
      EXPECT_TRUE(line.size() <= width || line.size() == 1) << line.toStdString();
    }
  }
}

}  // namespace
