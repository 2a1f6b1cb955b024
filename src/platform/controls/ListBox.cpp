#include "platform/controls/ListBox.h"

#include <algorithm>
#include <limits>
#include <new>

#include "platform/Error.h"
#include "platform/text/Text.h"

namespace platform {

namespace {
const std::string kEmpty;
constexpr int kTwipsPerLine = 13 * 15;
}  // namespace

ItemList::ItemList(ControlKind kind, std::string name, Rect geometry, int tabIndex, bool sorted)
    : Control(kind, std::move(name), geometry, tabIndex), m_sorted(sorted) {}

const std::string& ItemList::List(int32_t index) const {
  if (index < 0 || index >= ListCount()) return kEmpty;
  return m_items[static_cast<size_t>(index)];
}

void ItemList::AddItem(std::string text) {
  if (m_items.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    raiseError(err::kListFull);
  }
  try {
    auto where = m_items.end();
    if (m_sorted) {
      where = std::upper_bound(
          m_items.begin(), m_items.end(), text,
          [](const std::string& a, const std::string& b) { return compareNoCase(a, b) < 0; });
    }
    where = m_items.insert(where, std::move(text));
    m_newIndex = static_cast<int32_t>(where - m_items.begin());
  } catch (const std::bad_alloc&) {
    raiseError(err::kListFull);
  }
  if (m_listIndex >= m_newIndex && m_listIndex >= 0) ++m_listIndex;
  notify(Property::Items);
}

void ItemList::RemoveItem(int32_t index) {
  if (index < 0 || index >= ListCount()) raiseError(err::kInvalidArrayIndex);
  m_items.erase(m_items.begin() + index);
  if (m_listIndex == index) {
    m_listIndex = -1;
  } else if (m_listIndex > index) {
    --m_listIndex;
  }
  notify(Property::Items);
}

void ItemList::Clear() {
  m_items.clear();
  m_items.shrink_to_fit();
  m_newIndex = -1;
  m_listIndex = -1;
  notify(Property::Items);
}

void ItemList::setListIndex(int32_t index) {
  if (index < -1 || index >= ListCount()) raiseError(err::kInvalidPropertyValue);
  m_listIndex = index;
  notify(Property::ListIndex);
}

ListBox::ListBox(std::string name, Rect geometry, int tabIndex, bool sorted)
    : ItemList(ControlKind::ListBox, std::move(name), geometry, tabIndex, sorted),
      m_visibleRows(std::max(1, geometry.height / kTwipsPerLine)) {}

void ListBox::setTopIndex(int32_t index) {
  const int32_t lastTop = std::max(0, ListCount() - m_visibleRows);
  m_topIndex = std::clamp(index, 0, lastTop);
  notify(Property::TopIndex);
}

void ListBox::setVisibleRows(int32_t rows) {
  m_visibleRows = std::max(1, rows);
}

ComboBox::ComboBox(std::string name, Rect geometry, int tabIndex, bool sorted)
    : ItemList(ControlKind::ComboBox, std::move(name), geometry, tabIndex, sorted) {}

void ComboBox::setText(std::string text) {
  m_text = std::move(text);
  notify(Property::Caption);
}

}  // namespace platform
