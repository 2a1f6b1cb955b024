#include "platform/winapi/Messages.h"

#include <string>
#include <utility>

#include "platform/controls/ListBox.h"
#include "platform/text/Text.h"

namespace platform {

namespace {

enum class Match { Prefix, Whole };

// One round over the list, starting after `start` and wrapping to the top, the way
// the list box's window procedure searches.
intptr_t findString(const ItemList& list, intptr_t start, const char* ansiText, Match match) {
  if (ansiText == nullptr) return LB_ERR;
  const std::string text = fromAnsi(ansiText);
  const auto count = static_cast<intptr_t>(list.ListCount());
  if (count == 0) return LB_ERR;
  // An index outside the list means the same as -1: the whole list from the top.
  if (start < 0 || start >= count) start = count - 1;
  for (intptr_t step = 1; step <= count; ++step) {
    const intptr_t index = (start + step) % count;
    const std::string& entry = list.List(static_cast<int32_t>(index));
    const bool hit =
        match == Match::Prefix ? startsWithNoCase(entry, text) : equalsNoCase(entry, text);
    if (hit) return index;
  }
  return LB_ERR;
}

NativeFindString& nativeFindString() {
  static NativeFindString answer;
  return answer;
}

}  // namespace

void setNativeFindString(NativeFindString answer) {
  nativeFindString() = std::move(answer);
}

intptr_t SendMessageA(Hwnd hwnd, uint32_t msg, intptr_t wParam, intptr_t lParam) {
  Control* control = controlFromHwnd(hwnd);
  if (control == nullptr) return 0;
  // Only the list models answer; a control that merely calls itself a list box
  // does not.
  auto* list = dynamic_cast<ItemList*>(control);
  if (list == nullptr) return 0;
  const bool listMessage = msg == LB_FINDSTRING || msg == LB_FINDSTRINGEXACT;
  const bool comboMessage = msg == CB_FINDSTRING || msg == CB_FINDSTRINGEXACT;
  if (!(control->kind() == ControlKind::ListBox && listMessage) &&
      !(control->kind() == ControlKind::ComboBox && comboMessage)) {
    return 0;
  }
  // lParam carries the address of the caller's text, as in user32.
  const auto* text = reinterpret_cast<const char*>(lParam);
  if (text == nullptr) return LB_ERR;  // no text: nothing to compare, nothing read
  // A start outside the list searches the whole list from the top.
  if (wParam < -1 || wParam >= static_cast<intptr_t>(list->ListCount())) wParam = -1;
  if (nativeFindString()) {
    if (const auto found = nativeFindString()(*list, msg, wParam, text)) return *found;
  }
  const Match match = msg == LB_FINDSTRING || msg == CB_FINDSTRING ? Match::Prefix : Match::Whole;
  return findString(*list, wParam, text, match);
}

}  // namespace platform
