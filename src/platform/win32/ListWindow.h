// A native list box or combo box that mirrors a ListBox or ComboBox model: the
// view of the model in a shown window, and the window that answers the model's
// find-string messages (SendMessageA) also while no window shows it.
// Internal to the Windows host.
#pragma once

#include "platform/controls/ListBox.h"
#include "platform/os/windows/Wide.h"

namespace platform::win32 {

class ListWindow final : public ControlView {
 public:
  // Creates the control hidden, below an invisible parking window, and fills it
  // with the model's entries. A sorted model gets LBS_SORT / CBS_SORT.
  explicit ListWindow(const ItemList& model);
  ~ListWindow() override;
  ListWindow(const ListWindow&) = delete;
  ListWindow& operator=(const ListWindow&) = delete;

  HWND hwnd() const { return m_hwnd; }
  // Moves the control into a form's window (shown) or back to the parking window.
  void setParent(HWND parent, const RECT& pixels, bool visible);
  void modelChanged(const Control& control, Property what) override;
  // A view that was attached before this window took the model's view slot; it
  // hears every change after this window has followed.
  void setNextView(ControlView* next) { m_next = next; }
  void rebuild(const ItemList& list);

 private:
  void sync(const ItemList& list);

  HWND m_hwnd = nullptr;
  bool m_combo = false;
  int32_t m_count = 0;
  ControlView* m_next = nullptr;
};

// The native window of a list model: the one attached as its view, or a new one
// attached now. Windows of models that no longer live are destroyed on the way.
ListWindow& listWindowFor(ItemList& model);

// Lets the native windows answer the models' find-string messages (SendMessageA),
// so that they follow the system's own rules.
void answerFindStringsNatively();

// The hidden top-level window that holds controls no form shows.
HWND parkingWindow();

}  // namespace platform::win32
