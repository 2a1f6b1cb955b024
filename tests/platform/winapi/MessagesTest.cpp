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

TEST_F(FindStringTest, EachMessageFindsWhatUser32Finds) {
  // The lists hold "Apfel", "Birne", "apfelmus", "Kirsche", "APFEL".
  struct Row {
    bool combo;  // sent to the combo box, else to the list box
    uint32_t msg;
    intptr_t start;
    const char* text;  // nullptr: lParam 0
    intptr_t found;
    const char* why;
  };
  // clang-format off
  const Row rows[] = {
      {false, LB_FINDSTRING, -1, "apf", 0, "a prefix, case ignored, from the top"},
      {false, LB_FINDSTRING, -1, "BIR", 1, "a prefix in capitals"},
      {false, LB_FINDSTRING, -1, "kirsche", 3, "a whole entry is a prefix too"},
      {false, LB_FINDSTRING, -1, "irne", -1, "the middle of an entry is no prefix"},
      {false, LB_FINDSTRING, -1, "Birnen", -1, "a text longer than the entry"},
      {false, LB_FINDSTRINGEXACT, -1, "apfelMUS", 2, "the whole entry, case ignored"},
      {false, LB_FINDSTRINGEXACT, -1, "apfelmu", -1, "exact: a prefix is not enough"},
      {false, LB_FINDSTRINGEXACT, 0, "apfel", 4, "exact: after the start, past apfelmus"},
      {false, LB_FINDSTRING, 0, "apfel", 2, "a prefix: apfelmus is the next after 0"},
      {false, LB_FINDSTRING, 2, "apfel", 4, "the search begins after the start"},
      {false, LB_FINDSTRING, 4, "apfel", 0, "after the last entry it goes on from the top"},
      {false, LB_FINDSTRING, 3, "birne", 1, "it wraps around to entries before the start"},
      {false, LB_FINDSTRINGEXACT, 1, "birne", 1, "the start entry itself comes last"},
      {false, LB_FINDSTRING, 1, "Pflaume", -1, "one round, then it gives up"},
      {false, LB_FINDSTRING, 5, "apfel", 0, "a start past the end: from the top"},
      {false, LB_FINDSTRING, 1000, "apfel", 0, "a start far past the end: from the top"},
      {false, LB_FINDSTRING, -7, "apfel", 0, "a start below -1: from the top"},
      {false, LB_FINDSTRINGEXACT, INTPTR_MAX, "APFEL", 0, "the largest start: from the top"},
      {false, LB_FINDSTRINGEXACT, INTPTR_MIN, "Kirsche", 3, "the smallest start: from the top"},
      {true, CB_FINDSTRING, -1, "kir", 3, "a combo box answers its own messages"},
      {true, CB_FINDSTRING, 0, "APF", 2, "a combo box searches after the start"},
      {true, CB_FINDSTRINGEXACT, 0, "apfel", 4, "a combo box's exact search"},
      {true, CB_FINDSTRINGEXACT, -1, "apf", -1, "a combo box's exact search wants it whole"},
      {false, CB_FINDSTRING, -1, "Birne", 0, "a combo message to a list box is not understood"},
      {false, CB_FINDSTRINGEXACT, -1, "Birne", 0, "nor its exact one"},
      {true, LB_FINDSTRING, -1, "Birne", 0, "a list message to a combo box is not understood"},
      {true, LB_FINDSTRINGEXACT, -1, "Birne", 0, "nor its exact one"},
      {false, 0x180 /* LB_ADDSTRING */, 0, "neu", 0, "no other message is answered (nor added)"},
      {false, 0, -1, "Birne", 0, "message 0 is not understood"},
      {false, LB_FINDSTRING, -1, nullptr, -1, "no text: nothing to compare, nothing read"},
      {true, CB_FINDSTRINGEXACT, -1, nullptr, -1, "no text to a combo box"},
  };
  // clang-format on
  for (const Row& row : rows) {
    const Control& c = row.combo ? static_cast<const Control&>(combo) : list;
    EXPECT_EQ(SendMessageA(c.hwnd(), row.msg, row.start, textParam(row.text)), row.found)
        << row.why;
  }
  EXPECT_EQ(list.ListCount(), 5);
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
