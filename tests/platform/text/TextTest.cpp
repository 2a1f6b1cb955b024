// Text services: character positions, case over all of Unicode, Windows-1252, and
// the mapping of host names that Windows names cannot hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/text/Text.h"

namespace {

using namespace platform;

TEST(Text, PositionsCountCharactersNotBytes) {
  const std::string s = "Grüße";
  EXPECT_EQ(Len(s), 5);
  EXPECT_EQ(Left(s, 3), "Grü");
  EXPECT_EQ(Right(s, 2), "ße");
  EXPECT_EQ(Mid(s, 3, 2), "üß");
  EXPECT_EQ(Mid(s, 4), "ße");
  EXPECT_EQ(Left(s, 0), "");
  EXPECT_EQ(Left(s, 99), s);
  EXPECT_EQ(Len(std::string("a\xFF\x62")), 3);  // an invalid byte is one character
}

TEST(Text, ReplaceIsExactAndEveryOccurrence) {
  EXPECT_EQ(Replace("a *** b *** c", "***", "X"), "a X b X c");
  EXPECT_EQ(Replace("12:05:09", ":", "-"), "12-05-09");
  EXPECT_EQ(Replace("abc", "B", "x"), "abc");
  EXPECT_EQ(Replace("abc", "", "x"), "abc");
}

TEST(Text, CaseCoversUmlautsAndIgnoresTheUsersLocale) {
  EXPECT_EQ(LCase("!MEDIA-Äudio ÖL Ü"), "!media-äudio öl ü");
  EXPECT_EQ(UCase("rock straße élan"), "ROCK STRAßE ÉLAN");  // one character for one
  EXPECT_EQ(LCase("ΑΒΓ"), "αβγ");
  EXPECT_TRUE(equalsNoCase("Äpfel", "äPFEL"));
  EXPECT_TRUE(startsWithNoCase("!MEDIA-AUDIO=c:\\x", "!media-"));
  EXPECT_FALSE(startsWithNoCase("!med", "!media-"));
  // Escaped host bytes keep their identity under case mapping.
  const std::string escaped = hostNameToView("A\\B");
  EXPECT_EQ(viewNameToHost(LCase(escaped)), "a\\b");
}

TEST(Text, LCaseKeepsSharpSAndLowersYDiaeresisOutsideLatin1) {
  // ß (U+00DF) lies among the Latin-1 capitals but has no capital there; Ÿ
  // (U+0178) is Windows-1252's only letter whose small form is in another block.
  EXPECT_EQ(LCase("STRAßE"), "straße");
  EXPECT_EQ(LCase("ß"), "ß");
  EXPECT_EQ(LCase("Ÿ"), "ÿ");
  EXPECT_EQ(UCase("ÿ"), "Ÿ");
  EXPECT_TRUE(equalsNoCase("Ÿ", "ÿ"));
}

TEST(Text, ListOrderIsAlphabeticalIgnoringCaseAndTotal) {
  EXPECT_TRUE(listOrderLess("a.txt", "B.txt"));
  EXPECT_TRUE(listOrderLess("B", "b"));  // ties broken by bytes: stable from run to run
  EXPECT_FALSE(listOrderLess("b", "B"));
  EXPECT_TRUE(listOrderLess("abc", "ABCD"));
  EXPECT_TRUE(listOrderLess("ZZ", "Über"));  // umlauts after the ASCII letters
  EXPECT_FALSE(listOrderLess("Über", "ZZ"));
  EXPECT_LT(compareNoCase("ärger", "Ärgerlich"), 0);
  EXPECT_EQ(compareNoCase("ÄRGER", "ärger"), 0);
  EXPECT_GT(compareNoCase("über", "ZZ"), 0);
}

TEST(Text, ListOrderIsTheOrderSpelledOutHere) {
  // Case folded, then by code point (umlauts after the ASCII letters, ß before ä,
  // ÿ last); equal folds by their bytes. A byte that is no UTF-8 counts as the
  // Latin-1 character of the same number. Names longer than eight bytes that
  // share their first eight differ only further on.
  // clang-format off
  const std::vector<std::string> expected = {
      "", "0", "_", "A", "a", "AB", "Ab", "aB", "ab", "abc", "B", "b",
      "ordnerab", "Ordnerabc", "ordnerabc", "ordnerabd", "ordnerabz", "ordnerabß", "ordnerabä",
      "ORDNERÄA", "ordneräa", "SS", "ss", "Uber",
      "uber", "Z", "z", "~", "ß", "Ä", "ä", std::string("\xC4"), "Über", "über", "ÿ", "Ÿ"};
  // clang-format on
  for (size_t i = 0; i + 1 < expected.size(); ++i) {
    EXPECT_TRUE(listOrderLess(expected[i], expected[i + 1]))
        << expected[i] << " < " << expected[i + 1];
    EXPECT_FALSE(listOrderLess(expected[i + 1], expected[i]))
        << expected[i + 1] << " < " << expected[i];
  }
  // Doubled so that equal names meet, shuffled so that the input order differs.
  std::vector<std::string> names = expected;
  names.insert(names.end(), expected.begin(), expected.end());
  for (size_t i = 0; i < names.size(); ++i) std::swap(names[i], names[(i * 7919) % names.size()]);
  NameList listed;  // as a listing holds them, empty names among them
  for (const std::string& name : names) listed.push_back(name);
  sortListOrder(names);
  std::vector<std::string> doubled;
  for (const std::string& name : expected) doubled.insert(doubled.end(), 2, name);
  EXPECT_EQ(names, doubled);
  NameList sorted;
  sortListOrder(listed, sorted);
  EXPECT_EQ(sorted.strings(), doubled);
}

TEST(Text, Windows1252HasOneByteACharacterAndQuestionMarksForTheRest) {
  EXPECT_EQ(toAnsi("VOLLSTÄNDIG Ausführen"), "VOLLST\xC4NDIG Ausf\xFChren");
  EXPECT_EQ(toAnsi("€ – „x“"), "\x80 \x96 \x84x\x93");
  EXPECT_EQ(toAnsi("日本"), "??");
  EXPECT_EQ(toAnsi("a😀b𝄞"), "a?b?");  // one "?" per character, not per UTF-16 unit
  EXPECT_EQ(toAnsi(std::string("a\xFF")), "a?");
  EXPECT_EQ(toAnsi(hostNameToView("zeile\numbruch")), "zeile?umbruch");
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(toAnsi(fromAnsi(byte)), byte) << b;
  }
}

TEST(Text, HostNamesRoundTripThroughTheView) {
  // clang-format off
  const std::vector<std::string> names = {
      "plain.txt", "back\\slash", "line\nbreak", "tab\there", std::string("bad\xFF\xFE"),
      "\xEF\x81\x9C",  // U+F05C itself, which must not turn into a backslash
      "Grüße", "日本", std::string("\x01\x7F"), "trailing\xC3"};
  // clang-format on
  for (const std::string& host : names) {
    const std::string view = hostNameToView(host);
    EXPECT_EQ(viewNameToHost(view), host);
    EXPECT_EQ(view.find('\\'), std::string::npos) << host;
    EXPECT_EQ(view.find('\n'), std::string::npos) << host;
  }
  EXPECT_EQ(hostNameToView("Grüße"), "Grüße");
}

}  // namespace
