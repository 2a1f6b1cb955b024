// SendMessageA with the find-string messages of list boxes and combo boxes.
#include "platform/winapi/Messages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/controls/Control.h"
#include "platform/controls/ListBox.h"

namespace {

using namespace platform;

intptr_t textParam(const char* ansi) {
  return reinterpret_cast<intptr_t>(ansi);
}

intptr_t send(const Control& c, uint32_t msg, intptr_t start, const char* ansi) {
  return SendMessageA(c.hwnd(), msg, start, textParam(ansi));
}

TEST(MessagesTest, TheMessageNumbersAreUser32s) {
  EXPECT_EQ(LB_FINDSTRING, 399u);
  EXPECT_EQ(LB_FINDSTRINGEXACT, 418u);
  EXPECT_EQ(CB_FINDSTRING, 332u);
  EXPECT_EQ(CB_FINDSTRINGEXACT, 344u);
  EXPECT_EQ(LB_ERR, -1);
  EXPECT_EQ(CB_ERR, -1);
}

class FindStringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* e : {"Apfel", "Birne", "apfelmus", "Kirsche", "APFEL"}) {
      list.AddItem(e);
      combo.AddItem(e);
    }
  }
  ListBox list{"Liste", {0, 0, 1000, 1000}, 0};
  ComboBox combo{"Kombi", {0, 0, 1000, 300}, 1};
};

TEST_F(FindStringTest, PrefixSearchFromTheTopIgnoringCase) {
  EXPECT_EQ(send(list, LB_FINDSTRING, -1, "apf"), 0);
  EXPECT_EQ(send(list, LB_FINDSTRING, -1, "BIR"), 1);
  EXPECT_EQ(send(list, LB_FINDSTRING, -1, "kirsche"), 3);
  EXPECT_EQ(send(list, LB_FINDSTRING, -1, "irne"), LB_ERR);
  EXPECT_EQ(send(list, LB_FINDSTRING, -1, "Birnen"), LB_ERR);
}

TEST_F(FindStringTest, ExactSearchWantsTheWholeEntry) {
  EXPECT_EQ(send(list, LB_FINDSTRINGEXACT, -1, "apfelMUS"), 2);
  EXPECT_EQ(send(list, LB_FINDSTRINGEXACT, -1, "apfelmu"), LB_ERR);
  EXPECT_EQ(send(list, LB_FINDSTRINGEXACT, 0, "apfel"), 4);
  EXPECT_EQ(send(list, LB_FINDSTRING, 0, "apfel"), 2);
}

TEST_F(FindStringTest, TheSearchBeginsAfterTheStartAndWrapsAroundOnce) {
  EXPECT_EQ(send(list, LB_FINDSTRING, 2, "apfel"), 4);
  EXPECT_EQ(send(list, LB_FINDSTRING, 4, "apfel"), 0);  // past the end: from the top
  EXPECT_EQ(send(list, LB_FINDSTRING, 3, "birne"), 1);
  EXPECT_EQ(send(list, LB_FINDSTRINGEXACT, 1, "birne"), 1);  // the start entry comes last
  EXPECT_EQ(send(list, LB_FINDSTRING, 1, "Pflaume"), LB_ERR);
}

TEST_F(FindStringTest, AStartOutsideTheListSearchesFromTheTop) {
  EXPECT_EQ(send(list, LB_FINDSTRING, 5, "apfel"), 0);
  EXPECT_EQ(send(list, LB_FINDSTRING, 1000, "apfel"), 0);
  EXPECT_EQ(send(list, LB_FINDSTRING, -7, "apfel"), 0);
  EXPECT_EQ(send(list, LB_FINDSTRINGEXACT, INTPTR_MAX, "APFEL"), 0);
  EXPECT_EQ(send(list, LB_FINDSTRINGEXACT, INTPTR_MIN, "Kirsche"), 3);
}

TEST_F(FindStringTest, AnEmptyTextBeginsEveryEntry) {
  if (testsupport::runningUnderWine())
    GTEST_SKIP() << "wine's list box finds nothing for an empty text";
  EXPECT_EQ(send(list, LB_FINDSTRING, -1, ""), 0);
  EXPECT_EQ(send(list, LB_FINDSTRING, 2, ""), 3);
  EXPECT_EQ(send(list, LB_FINDSTRINGEXACT, -1, ""), LB_ERR);
  list.AddItem("");
  EXPECT_EQ(send(list, LB_FINDSTRINGEXACT, -1, ""), 5);
}

TEST_F(FindStringTest, ComboBoxesAnswerTheirOwnMessages) {
  EXPECT_EQ(send(combo, CB_FINDSTRING, -1, "kir"), 3);
  EXPECT_EQ(send(combo, CB_FINDSTRING, 0, "APF"), 2);
  EXPECT_EQ(send(combo, CB_FINDSTRINGEXACT, 0, "apfel"), 4);
  EXPECT_EQ(send(combo, CB_FINDSTRINGEXACT, -1, "apf"), CB_ERR);
}

TEST_F(FindStringTest, AMessageForTheOtherKindIsNotUnderstood) {
  EXPECT_EQ(send(list, CB_FINDSTRING, -1, "Birne"), 0);
  EXPECT_EQ(send(list, CB_FINDSTRINGEXACT, -1, "Birne"), 0);
  EXPECT_EQ(send(combo, LB_FINDSTRING, -1, "Birne"), 0);
  EXPECT_EQ(send(combo, LB_FINDSTRINGEXACT, -1, "Birne"), 0);
}

TEST_F(FindStringTest, OtherMessagesAreNotUnderstood) {
  EXPECT_EQ(send(list, 0x180 /* LB_ADDSTRING */, 0, "neu"), 0);
  EXPECT_EQ(list.ListCount(), 5);
  EXPECT_EQ(send(list, 0, -1, "Birne"), 0);
}

TEST_F(FindStringTest, NoTextFindsNothingAndReadsNothing) {
  EXPECT_EQ(SendMessageA(list.hwnd(), LB_FINDSTRING, -1, 0), LB_ERR);
  EXPECT_EQ(SendMessageA(combo.hwnd(), CB_FINDSTRINGEXACT, -1, 0), CB_ERR);
}

TEST(MessagesTest, AnEmptyListFindsNothing) {
  ListBox list("Leer", {0, 0, 100, 100}, 0);
  ComboBox combo("Leer2", {0, 0, 100, 100}, 1);
  EXPECT_EQ(send(list, LB_FINDSTRING, -1, ""), LB_ERR);
  EXPECT_EQ(send(list, LB_FINDSTRINGEXACT, 0, "x"), LB_ERR);
  EXPECT_EQ(send(combo, CB_FINDSTRING, -1, ""), CB_ERR);
}

TEST(MessagesTest, TheTextIsWindows1252) {
  ListBox list("Umlaute", {0, 0, 100, 100}, 0);
  list.AddItem("\xC3\x84rzte");        // Ärzte
  list.AddItem("\xE2\x82\xAC-Preis");  // €-Preis
  if (!testsupport::runningUnderWine()) {
    // wine's list box compares a prefix without regard to case for ASCII only
    EXPECT_EQ(send(list, LB_FINDSTRING, -1, "\xE4rz"), 0);  // "ärz": case ignored for umlauts
  }
  EXPECT_EQ(send(list, LB_FINDSTRINGEXACT, -1, "\xC4RZTE"), 0);
  EXPECT_EQ(send(list, LB_FINDSTRING, -1, "\x80"), 1);           // € is 0x80
  EXPECT_EQ(send(list, LB_FINDSTRING, -1, "\xC3\x84"), LB_ERR);  // UTF-8 bytes are two characters
}

TEST(MessagesTest, ASortedListIsSearchedInItsSortedOrder) {
  ListBox list("Sortiert", {0, 0, 100, 100}, 0, true);
  for (const char* e : {"zebra", "Affe", "ameise", "Biene"}) list.AddItem(e);
  EXPECT_EQ(send(list, LB_FINDSTRING, -1, "a"), 0);
  EXPECT_EQ(list.List(0), "Affe");
  EXPECT_EQ(send(list, LB_FINDSTRING, 0, "a"), 1);
  EXPECT_EQ(send(list, LB_FINDSTRINGEXACT, -1, "ZEBRA"), 3);
}

TEST(MessagesTest, OtherControlsAndDeadHandlesAnswerZero) {
  Label label("Label1", {0, 0, 100, 100}, 0, "Apfel");
  CommandButton button("Command1", {0, 0, 100, 100}, 1, "Apfel");
  for (uint32_t msg : {LB_FINDSTRING, LB_FINDSTRINGEXACT, CB_FINDSTRING, CB_FINDSTRINGEXACT}) {
    EXPECT_EQ(send(label, msg, -1, "Apfel"), 0);
    EXPECT_EQ(send(button, msg, -1, "Apfel"), 0);
  }
  Hwnd gone = 0;
  {
    auto list = std::make_unique<ListBox>("Weg", Rect{0, 0, 100, 100}, 0);
    list->AddItem("Apfel");
    gone = list->hwnd();
    EXPECT_EQ(SendMessageA(gone, LB_FINDSTRINGEXACT, -1, textParam("Kiwi")), LB_ERR);
  }
  EXPECT_EQ(SendMessageA(gone, LB_FINDSTRINGEXACT, -1, textParam("Kiwi")), 0);
  EXPECT_EQ(SendMessageA(0, LB_FINDSTRING, -1, textParam("")), 0);
}

// A control that calls itself a list box without being one of the list models.
class PretendList : public Control {
 public:
  PretendList() : Control(ControlKind::ListBox, "Falsch", {0, 0, 10, 10}, 0) {}
};

TEST(MessagesTest, OnlyTheListModelsAnswer) {
  PretendList pretend;
  EXPECT_EQ(send(pretend, LB_FINDSTRING, -1, "x"), 0);
}

}  // namespace
