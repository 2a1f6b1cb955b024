// user32's SendMessageA itself: a find-string message goes to the native list box
// or combo box that mirrors the model.
#include "platform/ListBox.h"
#include "platform/Messages.h"
#include "platform/win32/ListWindow.h"

namespace platform {

intptr_t SendMessageA(Hwnd hwnd, uint32_t msg, intptr_t wParam, intptr_t lParam) {
  Control* control = controlFromHwnd(hwnd);
  if (control == nullptr) return 0;
  auto* list = dynamic_cast<ItemList*>(control);
  if (list == nullptr) return 0;
  const bool listMessage = msg == LB_FINDSTRING || msg == LB_FINDSTRINGEXACT;
  const bool comboMessage = msg == CB_FINDSTRING || msg == CB_FINDSTRINGEXACT;
  if (!(control->kind() == ControlKind::ListBox && listMessage) &&
      !(control->kind() == ControlKind::ComboBox && comboMessage)) {
    return 0;
  }
  if (lParam == 0) return LB_ERR;  // no text: nothing to compare, nothing read
  // The layer's contract: a start outside the list searches the whole list from
  // the top. The window procedure is not asked to cope with such an index.
  if (wParam < -1 || wParam >= static_cast<intptr_t>(list->ListCount())) wParam = -1;
  HWND native = win32::listWindowFor(*list).hwnd();
  return static_cast<intptr_t>(::SendMessageA(native, msg, static_cast<WPARAM>(wParam), lParam));
}

}  // namespace platform
