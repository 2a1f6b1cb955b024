// The list box model: sorted and plain lists, and how far the list scrolls.
#include <gtest/gtest.h>

#include "platform/controls/ListBox.h"

namespace {

using platform::ListBox;

TEST(ListBoxModel, SortedListsIgnoreCaseAndNewIndexFollowsTheInsert) {
  ListBox sorted("s", {0, 0, 1500, 1500}, 0, true);
  sorted.AddItem("beta");
  sorted.AddItem("Alpha");
  sorted.AddItem("gamma");
  sorted.AddItem("ÄRGER");
  EXPECT_EQ(sorted.List(0), "Alpha");
  EXPECT_EQ(sorted.List(1), "beta");
  EXPECT_EQ(sorted.NewIndex(), 3);  // Ä sorts after the ASCII letters here
  ListBox plain("p", {0, 0, 1500, 1500}, 0, false);
  plain.AddItem("z");
  plain.AddItem("a");
  EXPECT_EQ(plain.List(0), "z");
  EXPECT_EQ(plain.NewIndex(), 1);
  EXPECT_EQ(plain.List(5), "");
  plain.Clear();
  EXPECT_EQ(plain.ListCount(), 0);
  EXPECT_EQ(plain.NewIndex(), -1);
}

TEST(ListBoxModel, TopIndexScrollsTheNewestEntryIntoViewOnlyWhenTheListIsFull) {
  ListBox list("Status", {0, 0, 1500, 1500}, 0);
  list.setVisibleRows(4);
  const auto add = [&list](const std::string& text) {
    list.AddItem(text);
    list.setTopIndex(list.NewIndex());
  };
  for (int i = 0; i < 4; ++i) add("Zeile " + std::to_string(i));
  EXPECT_EQ(list.TopIndex(), 0);  // still room: the view stays
  add("eine mehr");
  EXPECT_EQ(list.TopIndex(), 1);  // the newest line is the last visible one
  for (int i = 0; i < 10; ++i) add("noch eine");
  EXPECT_EQ(list.TopIndex(), 11);
  EXPECT_EQ(list.NewIndex(), 14);
  list.setTopIndex(-3);
  EXPECT_EQ(list.TopIndex(), 0);
}

}  // namespace
