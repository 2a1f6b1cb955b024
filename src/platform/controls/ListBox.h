// List box and combo box models: a list of texts, kept in the order of adding or,
// when sorted, in alphabetical order without regard to case.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/controls/Control.h"

namespace platform {

class ItemList : public Control {
 public:
  int32_t ListCount() const { return static_cast<int32_t>(m_items.size()); }
  // The entry at `index`; an empty text for an index outside the list.
  const std::string& List(int32_t index) const;
  const std::vector<std::string>& items() const { return m_items; }

  // Appends (or, when sorted, inserts at its place); error 7 when the list cannot grow.
  void AddItem(std::string text);
  void RemoveItem(int32_t index);  // error 381 outside the list
  void Clear();
  bool Sorted() const { return m_sorted; }
  // Index of the entry that AddItem placed last; -1 before the first and after Clear.
  int32_t NewIndex() const { return m_newIndex; }

  // Current entry, -1 for none; error 380 outside -1..ListCount-1.
  int32_t ListIndex() const { return m_listIndex; }
  void setListIndex(int32_t index);

 protected:
  ItemList(ControlKind kind, std::string name, Rect geometry, int tabIndex, bool sorted);

 private:
  std::vector<std::string> m_items;
  bool m_sorted;
  int32_t m_newIndex = -1;
  int32_t m_listIndex = -1;
};

class ListBox : public ItemList {
 public:
  ListBox(std::string name, Rect geometry, int tabIndex, bool sorted = false);

  // First visible entry. Setting it scrolls towards `index` as far as the list can
  // scroll: the top never goes past the point where the last page is full.
  int32_t TopIndex() const { return m_topIndex; }
  void setTopIndex(int32_t index);

  // How many entries fit in the box; the view sets it from its font, else it is
  // estimated from the height (13 px a line).
  int32_t visibleRows() const { return m_visibleRows; }
  void setVisibleRows(int32_t rows);

 private:
  int32_t m_topIndex = 0;
  int32_t m_visibleRows;
};

class ComboBox : public ItemList {
 public:
  ComboBox(std::string name, Rect geometry, int tabIndex, bool sorted = false);
  const std::string& Text() const { return m_text; }
  void setText(std::string text);

 private:
  std::string m_text;
};

}  // namespace platform
