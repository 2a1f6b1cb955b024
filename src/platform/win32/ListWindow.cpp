#include "platform/win32/ListWindow.h"

#include <map>
#include <memory>

namespace platform::win32 {

namespace {

// Model handle -> its list window. The model handle is unique for the run, so an
// entry whose handle names no live model (or another one) is stale.
struct Entry {
  const ItemList* model;
  std::unique_ptr<ListWindow> window;
};

std::map<Hwnd, Entry>& windows() {
  static std::map<Hwnd, Entry> all;
  return all;
}

void dropDead() {
  auto& all = windows();
  for (auto it = all.begin(); it != all.end();) {
    if (controlFromHwnd(it->first) != it->second.model) {
      it = all.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace

namespace {

// A list box and a combo box keep the parent they were created under as the
// receiver of their notifications and colour requests (WM_CTLCOLORLISTBOX, ...),
// also after SetParent. They are all created under the parking window, so it
// passes those messages on to the window that holds the control now.
WNDPROC g_staticProc = nullptr;

// The window that holds a control now; a combo box's own edit field asks through
// the combo box, which asks the parking window again, so it is skipped.
HWND holderOf(HWND control) {
  if (!control) return nullptr;
  HWND holder = ::GetAncestor(control, GA_PARENT);
  wchar_t cls[16];
  while (holder && ::GetClassNameW(holder, cls, 16) > 0 && ::lstrcmpiW(cls, L"ComboBox") == 0) {
    holder = ::GetAncestor(holder, GA_PARENT);
  }
  return holder;
}

LRESULT CALLBACK parkingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR: {
      const HWND holder = holderOf(reinterpret_cast<HWND>(lParam));
      if (holder && holder != hwnd && holder != ::GetDesktopWindow()) {
        return ::SendMessageW(holder, msg, wParam, lParam);
      }
      break;
    }
    default: break;
  }
  return ::CallWindowProcW(g_staticProc, hwnd, msg, wParam, lParam);
}

}  // namespace

HWND parkingWindow() {
  static HWND parking = [] {
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    g_staticProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(parkingProc)));
    return window;
  }();
  return parking;
}

ListWindow::ListWindow(const ItemList& model) : m_combo(model.kind() == ControlKind::ComboBox) {
  DWORD style = WS_CHILD | WS_VSCROLL | WS_TABSTOP;
  if (m_combo) {
    style |= CBS_DROPDOWN | CBS_HASSTRINGS | CBS_AUTOHSCROLL | (model.Sorted() ? CBS_SORT : 0);
  } else {
    style |= LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | (model.Sorted() ? LBS_SORT : 0);
  }
  m_hwnd = ::CreateWindowExW(m_combo ? 0 : WS_EX_CLIENTEDGE, m_combo ? L"COMBOBOX" : L"LISTBOX",
                             nullptr, style, 0, 0, 100, 100, parkingWindow(), nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
  rebuild(model);
}

ListWindow::~ListWindow() {
  if (m_hwnd) ::DestroyWindow(m_hwnd);
}

void ListWindow::setParent(HWND parent, const RECT& pixels, bool visible) {
  ::SetParent(m_hwnd, parent ? parent : parkingWindow());
  ::MoveWindow(m_hwnd, pixels.left, pixels.top, pixels.right - pixels.left,
               pixels.bottom - pixels.top, FALSE);
  ::ShowWindow(m_hwnd, visible ? SW_SHOWNA : SW_HIDE);
}

void ListWindow::modelChanged(const Control& control, Property what) {
  const auto* list = dynamic_cast<const ItemList*>(&control);
  if (!list) return;
  switch (what) {
    case Property::Items: sync(*list); break;
    case Property::TopIndex:
      if (const auto* box = dynamic_cast<const ListBox*>(list)) {
        ::SendMessageW(m_hwnd, LB_SETTOPINDEX, static_cast<WPARAM>(box->TopIndex()), 0);
      }
      break;
    case Property::ListIndex:
      ::SendMessageW(m_hwnd, m_combo ? CB_SETCURSEL : LB_SETCURSEL,
                     static_cast<WPARAM>(list->ListIndex()), 0);
      break;
    case Property::Visible: ::ShowWindow(m_hwnd, control.Visible() ? SW_SHOWNA : SW_HIDE); break;
    case Property::Caption:
      if (const auto* combo = dynamic_cast<const ComboBox*>(list)) {
        ::SetWindowTextW(m_hwnd, widen(combo->Text()).c_str());
      }
      break;
    default: break;
  }
  if (m_next) m_next->modelChanged(control, what);
}

// One entry added (the common case) is inserted at the model's place, so the
// native list holds the model's order also when it sorts; anything else re-reads
// the whole model.
void ListWindow::sync(const ItemList& list) {
  const int32_t count = list.ListCount();
  const int32_t at = list.NewIndex();
  if (count == m_count + 1 && at >= 0 && at < count) {
    const std::wstring text = widen(list.List(at));
    ::SendMessageW(m_hwnd, m_combo ? CB_INSERTSTRING : LB_INSERTSTRING, static_cast<WPARAM>(at),
                   reinterpret_cast<LPARAM>(text.c_str()));
    m_count = count;
    return;
  }
  rebuild(list);
}

void ListWindow::rebuild(const ItemList& list) {
  ::SendMessageW(m_hwnd, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(m_hwnd, m_combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
  int32_t index = 0;
  for (const std::string& item : list.items()) {
    const std::wstring text = widen(item);
    ::SendMessageW(m_hwnd, m_combo ? CB_INSERTSTRING : LB_INSERTSTRING,
                   static_cast<WPARAM>(index++), reinterpret_cast<LPARAM>(text.c_str()));
  }
  m_count = list.ListCount();
  ::SendMessageW(m_hwnd, WM_SETREDRAW, TRUE, 0);
}

ListWindow& listWindowFor(ItemList& model) {
  dropDead();
  auto& all = windows();
  const auto it = all.find(model.hwnd());
  if (it != all.end()) {
    ListWindow& window = *it->second.window;
    if (model.view() != &window) {
      // Someone else took the slot meanwhile: follow the model again from here.
      window.setNextView(model.view());
      model.attachView(&window);
      window.rebuild(model);
    }
    return window;
  }
  auto window = std::make_unique<ListWindow>(model);
  ListWindow& ref = *window;
  ref.setNextView(model.view());
  all.emplace(model.hwnd(), Entry{&model, std::move(window)});
  model.attachView(&ref);
  return ref;
}

}  // namespace platform::win32
