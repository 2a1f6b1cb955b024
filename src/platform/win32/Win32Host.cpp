#include "platform/win32/Win32Host.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/controls/Control.h"
#include "platform/controls/FileControls.h"
#include "platform/controls/Form.h"
#include "platform/controls/ListBox.h"
#include "platform/os/windows/Wide.h"
#include "platform/runtime/UserAction.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/ListWindow.h"

namespace win32ui {

using platform::win32::widen;

namespace {

constexpr const wchar_t* kFormClass = L"RozozovuvorForm";
constexpr const wchar_t* kTitle = L"Rozozovuvor-Ororuzi";

// The first control id; below it lie IDOK and IDCANCEL, which the dialog
// navigation sends for Enter and Escape.
constexpr int kFirstControlId = 100;

COLORREF colorRef(const platform::Color& c) {
  return RGB(c.red, c.green, c.blue);
}

// A label, button or picture box as a native child window.
class ChildView final : public platform::ControlView {
 public:
  explicit ChildView(HWND hwnd) : m_hwnd(hwnd) {}
  void modelChanged(const platform::Control& control, platform::Property what) override {
    if (what == platform::Property::Caption) {
      if (const auto* label = dynamic_cast<const platform::Label*>(&control)) {
        ::SetWindowTextW(m_hwnd, widen(label->Caption()).c_str());
      } else if (const auto* button = dynamic_cast<const platform::CommandButton*>(&control)) {
        ::SetWindowTextW(m_hwnd, widen(button->Caption()).c_str());
      }
    } else if (what == platform::Property::Visible) {
      ::ShowWindow(m_hwnd, control.Visible() ? SW_SHOWNA : SW_HIDE);
    } else if (what == platform::Property::Enabled) {
      ::EnableWindow(m_hwnd, control.Enabled());
    }
  }

 private:
  HWND m_hwnd;
};

}  // namespace

class FormWindow final : public platform::FormView {
 public:
  FormWindow(platform::Form& form, HWND owner) : m_form(form) {
    // A fixed dialog is owned by the host's hidden window: an owned window gets
    // no task-bar button of its own.
    const bool dialog = form.border() == platform::FormBorder::FixedDialog;
    m_style = dialog ? WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN
                     : WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    // The form's controls take part in the dialog navigation (Tab, Enter).
    m_exStyle = WS_EX_CONTROLPARENT | (dialog ? WS_EX_DLGMODALFRAME : 0);
    m_dpi = systemDpi();
    const SIZE size = frameSize(m_dpi);
    m_hwnd = ::CreateWindowExW(
        m_exStyle, kFormClass, widen(form.Caption()).c_str(), m_style, CW_USEDEFAULT, CW_USEDEFAULT,
        size.cx, size.cy, dialog ? owner : nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    // Placed on a monitor of another DPI than the system's: laid out for that one.
    const UINT placed = dpiOf(m_hwnd);
    if (placed != m_dpi) {
      m_dpi = placed;
      const SIZE resized = frameSize(m_dpi);
      ::SetWindowPos(m_hwnd, nullptr, 0, 0, resized.cx, resized.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    fitClient();
    m_font = formFont(m_dpi);
    setIcon();
    for (platform::Control* control : form.controls()) createChild(*control);
    setTabOrder();
    form.attachView(this);
  }

  ~FormWindow() override {
    m_form.attachView(nullptr);
    for (platform::Control* control : m_form.controls()) {
      if (m_views.count(control)) control->attachView(nullptr);
    }
    for (auto& [color, brush] : m_brushes) ::DeleteObject(brush);
    if (m_hwnd) ::DestroyWindow(m_hwnd);
    if (m_font) ::DeleteObject(m_font);
    for (auto& [box, picture] : m_pictures) {
      if (picture.shown) ::DeleteObject(picture.shown);
      if (picture.original) ::DeleteObject(picture.original);
    }
    for (HICON icon : m_icons) ::DestroyIcon(icon);
  }

  HWND hwnd() const { return m_hwnd; }

  void formChanged(const platform::Form& form, platform::Property what) override {
    if (what == platform::Property::Caption)
      ::SetWindowTextW(m_hwnd, widen(form.Caption()).c_str());
    if (what == platform::Property::Visible)
      ::ShowWindow(m_hwnd, form.Visible() ? SW_SHOW : SW_HIDE);
  }

  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
      case WM_CLOSE:  // QueryUnload decides
        platform::runUserAction([this] { m_form.requestClose(); });
        return 0;
      case WM_COMMAND: {
        const auto it = m_byHwnd.find(reinterpret_cast<HWND>(lParam));
        if (it == m_byHwnd.end()) {
          // Enter where no button is the default: the dialog navigation sends
          // IDOK. It presses the focused button, as Enter on a button does.
          if (LOWORD(wParam) == IDOK && lParam == 0) clickFocusedButton();
          return 0;
        }
        if (it->second->kind() == platform::ControlKind::CommandButton &&
            (HIWORD(wParam) == BN_SETFOCUS || HIWORD(wParam) == BN_KILLFOCUS)) {
          markDefault(HIWORD(wParam) == BN_SETFOCUS ? it->first : nullptr);
          return 0;
        }
        // A button that notifies its focus reports the second click of a double
        // click as BN_DOUBLECLICKED instead of pressing itself again: a click too.
        const bool doubleClick = HIWORD(wParam) == BN_DOUBLECLICKED &&
                                 it->second->kind() == platform::ControlKind::CommandButton;
        if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == STN_CLICKED || doubleClick) {
          platform::Control* control = it->second;
          platform::runUserAction([control] { control->click(); });
          return 0;
        }
        break;
      }
      case WM_ACTIVATE:
        // The focus leaves with the window and comes back to the same control.
        if (LOWORD(wParam) == WA_INACTIVE) {
          const HWND focus = ::GetFocus();
          if (focus && ::IsChild(m_hwnd, focus)) m_lastFocus = focus;
        }
        break;
      case WM_SETFOCUS: focusControl(); return 0;
      case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        changeDpi(LOWORD(wParam), POINT{suggested->left, suggested->top});
        return 0;
      }
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORLISTBOX: {
        const auto it = m_byHwnd.find(reinterpret_cast<HWND>(lParam));
        if (it != m_byHwnd.end() && (it->second->backColor || it->second->foreColor)) {
          HDC dc = reinterpret_cast<HDC>(wParam);
          if (it->second->foreColor) ::SetTextColor(dc, colorRef(*it->second->foreColor));
          const COLORREF back = it->second->backColor ? colorRef(*it->second->backColor)
                                                      : ::GetSysColor(COLOR_BTNFACE);
          ::SetBkColor(dc, back);
          return reinterpret_cast<LRESULT>(brush(back));
        }
        break;
      }
      default: break;
    }
    return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
  }

  void setHwnd(HWND hwnd) { m_hwnd = hwnd; }

  // The control that takes the focus when the window gets it: the one that had
  // it last, else the first of the tab order that can take it.
  void focusControl() {
    if (m_lastFocus && ::IsChild(m_hwnd, m_lastFocus) && canFocus(m_lastFocus)) {
      ::SetFocus(m_lastFocus);
      return;
    }
    for (platform::Control* control : m_form.tabOrder()) {
      const HWND child = childOf(*control);
      if (child && canFocus(child)) {
        ::SetFocus(child);
        return;
      }
    }
  }

 private:
  struct Picture {
    HBITMAP original = nullptr;  // as loaded from the resources
    HBITMAP shown = nullptr;     // scaled to the window's DPI
    SIZE size{0, 0};
  };

  SIZE frameSize(UINT dpi) const {
    RECT frame{0, 0, pixels(m_form.clientWidth(), dpi), pixels(m_form.clientHeight(), dpi)};
    frameAround(frame, m_style, m_exStyle, dpi);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
  }

  // The client area exactly the form's twips at the window's DPI, whatever frame
  // the system drew around it (it may differ from the one its metrics foretold).
  void fitClient() {
    RECT client{};
    ::GetClientRect(m_hwnd, &client);
    const int dx = pixels(m_form.clientWidth(), m_dpi) - client.right;
    const int dy = pixels(m_form.clientHeight(), m_dpi) - client.bottom;
    if (dx == 0 && dy == 0) return;
    RECT frame{};
    ::GetWindowRect(m_hwnd, &frame);
    ::SetWindowPos(m_hwnd, nullptr, 0, 0, frame.right - frame.left + dx,
                   frame.bottom - frame.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  static bool canFocus(HWND child) {
    return ::IsWindowVisible(child) && ::IsWindowEnabled(child) &&
           (::GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP);
  }

  HWND childOf(const platform::Control& control) const {
    for (const auto& [child, c] : m_byHwnd) {
      if (c == &control) return child;
    }
    return nullptr;
  }

  // Tab and Shift+Tab go through the children in their z-order: the tab order's
  // controls first, in its order, and only they carry WS_TABSTOP.
  void setTabOrder() {
    const std::vector<platform::Control*> order = m_form.tabOrder();
    for (const auto& [child, control] : m_byHwnd) {
      const bool stop = std::find(order.begin(), order.end(), control) != order.end();
      const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
      ::SetWindowLongPtrW(child, GWL_STYLE, stop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
    HWND after = HWND_TOP;
    for (platform::Control* control : order) {
      const HWND child = childOf(*control);
      if (!child) continue;
      ::SetWindowPos(child, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      after = child;
    }
  }

  // The default button follows the focus (a thick frame; Enter presses it).
  void markDefault(HWND focused) {
    for (const auto& [child, control] : m_byHwnd) {
      if (control->kind() != platform::ControlKind::CommandButton) continue;
      ::SendMessageW(child, BM_SETSTYLE,
                     (child == focused ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_NOTIFY, TRUE);
    }
  }

  void clickFocusedButton() {
    const auto it = m_byHwnd.find(::GetFocus());
    if (it == m_byHwnd.end() || it->second->kind() != platform::ControlKind::CommandButton ||
        !::IsWindowEnabled(it->first)) {
      return;
    }
    platform::Control* control = it->second;
    platform::runUserAction([control] { control->click(); });
  }

  // The font of the classic forms: MS Sans Serif, 8 points at the window's DPI.
  // It is a bitmap font in the sizes of the system's DPI, so on a monitor of
  // another DPI it may come out larger than asked and cut the texts: then its
  // TrueType successor Microsoft Sans Serif, else the system's dialog font.
  static HFONT formFont(UINT dpi) {
    const int height = ::MulDiv(8, static_cast<int>(dpi), 72);  // of the characters
    // The TrueType successor by name on Windows; wine has a TrueType MS Sans Serif
    // of its own beside the bitmap one.
    const std::pair<const wchar_t*, BYTE> faces[] = {{L"MS Sans Serif", OUT_DEFAULT_PRECIS},
                                                     {L"Microsoft Sans Serif", OUT_TT_ONLY_PRECIS},
                                                     {L"MS Sans Serif", OUT_TT_ONLY_PRECIS}};
    for (const auto& [face, precision] : faces) {
      HFONT font = ::CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 precision, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_SWISS, face);
      if (font && fits(font, face, height)) return font;
      if (font) ::DeleteObject(font);
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    metrics.lfMessageFont.lfHeight = -height;
    return ::CreateFontIndirectW(&metrics.lfMessageFont);
  }

  // The font is the face asked for (no stand-in of other widths) and its
  // characters are no taller than `height` pixels.
  static bool fits(HFONT font, const wchar_t* face, int height) {
    HDC screen = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(screen, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(screen, &metrics);
    wchar_t selected[LF_FACESIZE] = L"";
    ::GetTextFaceW(screen, LF_FACESIZE, selected);
    ::SelectObject(screen, old);
    ::ReleaseDC(nullptr, screen);
    return ::lstrcmpiW(selected, face) == 0 &&
           metrics.tmHeight - metrics.tmInternalLeading <= height;
  }

  // The form's icon from the program's resources, big and small, in the sizes of
  // the window's DPI.
  void setIcon() {
    if (m_form.icon.empty()) return;
    const std::wstring id = widen(m_form.icon);
    const HINSTANCE module = ::GetModuleHandleW(nullptr);
    for (const auto& [which, metric] :
         {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
      const int size = systemMetric(metric, m_dpi);
      auto* icon = static_cast<HICON>(::LoadImageW(module, id.c_str(), IMAGE_ICON, size, size, 0));
      if (!icon) continue;
      m_icons.push_back(icon);
      ::SendMessageW(m_hwnd, WM_SETICON, static_cast<WPARAM>(which),
                     reinterpret_cast<LPARAM>(icon));
    }
  }

  // The picture box's image from the program's resources, from the top left
  // corner and cut by the box (a bitmap control would take the image's size). It
  // grows with the DPI as the box does.
  void setPicture(HWND box, const std::string& name) {
    if (name.empty()) return;
    auto* bitmap = static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), widen(name).c_str(), IMAGE_BITMAP, 0, 0, 0));
    if (!bitmap) return;
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof info, &info);
    m_pictures[box] = Picture{bitmap, nullptr, SIZE{info.bmWidth, info.bmHeight}};
    showPicture(box);
  }

  void showPicture(HWND box) {
    const auto it = m_pictures.find(box);
    if (it == m_pictures.end()) return;
    Picture& picture = it->second;
    auto* scaled = static_cast<HBITMAP>(::CopyImage(
        picture.original, IMAGE_BITMAP, ::MulDiv(picture.size.cx, static_cast<int>(m_dpi), 96),
        ::MulDiv(picture.size.cy, static_cast<int>(m_dpi), 96), 0));
    if (!scaled) return;
    ::SendMessageW(box, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled));
    if (picture.shown) ::DeleteObject(picture.shown);
    picture.shown = scaled;
  }

  HBRUSH brush(COLORREF color) {
    auto& b = m_brushes[color];
    if (!b) b = ::CreateSolidBrush(color);
    return b;
  }

  RECT pixelRect(const platform::Control& control) const {
    const platform::Rect& g = control.geometry();
    return RECT{pixels(g.left, m_dpi), pixels(g.top, m_dpi), pixels(g.left + g.width, m_dpi),
                pixels(g.top + g.height, m_dpi)};
  }

  // Every control in its twips at the window's DPI, in the font of that DPI.
  void layout() {
    for (const auto& [child, control] : m_byHwnd) {
      const RECT r = pixelRect(*control);
      ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
      showPicture(child);
      ::SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::InvalidateRect(m_hwnd, nullptr, TRUE);
  }

  void changeDpi(UINT dpi, POINT topLeft) {
    if (dpi == 0 || dpi == m_dpi) return;
    m_dpi = dpi;
    HFONT old = m_font;
    m_font = formFont(m_dpi);
    for (HICON icon : m_icons) ::DestroyIcon(icon);
    m_icons.clear();
    setIcon();
    // The client area keeps its twips: the size follows from the DPI, the place
    // is the system's suggestion.
    const SIZE size = frameSize(m_dpi);
    ::SetWindowPos(m_hwnd, nullptr, topLeft.x, topLeft.y, size.cx, size.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    fitClient();
    layout();
    if (old) ::DeleteObject(old);
  }

  void createChild(platform::Control& control) {
    const RECT r = pixelRect(control);
    HWND child = nullptr;
    const DWORD visible = control.Visible() ? WS_VISIBLE : 0;
    switch (control.kind()) {
      case platform::ControlKind::ListBox:
      case platform::ControlKind::ComboBox: {
        auto& window = platform::win32::listWindowFor(static_cast<platform::ItemList&>(control));
        window.setParent(m_hwnd, r, control.Visible());
        child = window.hwnd();
        ::SetWindowLongPtrW(child, GWLP_ID, m_nextId++);
        break;
      }
      case platform::ControlKind::Label: {
        const auto& label = static_cast<platform::Label&>(control);
        DWORD style = WS_CHILD | visible | SS_NOTIFY | SS_EDITCONTROL;
        style |= control.alignment == platform::Alignment::Right    ? SS_RIGHT
                 : control.alignment == platform::Alignment::Center ? SS_CENTER
                                                                    : SS_LEFT;
        if (control.border == platform::Border::FixedSingle) style |= WS_BORDER;
        child = makeChild(L"STATIC", label.Caption(), style, r);
        break;
      }
      case platform::ControlKind::CommandButton:
        child = makeChild(L"BUTTON", static_cast<platform::CommandButton&>(control).Caption(),
                          WS_CHILD | visible | BS_PUSHBUTTON | BS_NOTIFY, r);
        break;
      case platform::ControlKind::PictureBox:
        child = makeChild(L"STATIC", "", WS_CHILD | visible | SS_NOTIFY | SS_BITMAP, r);
        if (child) {
          setPicture(child, static_cast<platform::PictureBox&>(control).image());
          ::SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
        break;
      case platform::ControlKind::DriveListBox:
      case platform::ControlKind::DirListBox:
      case platform::ControlKind::FileListBox:
        // The walk's view of the file system; never shown, so an empty native
        // list stands in for it.
        child = makeChild(L"LISTBOX", "", WS_CHILD | visible | LBS_NOINTEGRALHEIGHT, r);
        break;
    }
    if (!child) return;
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    m_byHwnd[child] = &control;
    if (control.kind() != platform::ControlKind::ListBox &&
        control.kind() != platform::ControlKind::ComboBox) {
      auto view = std::make_unique<ChildView>(child);
      control.attachView(view.get());
      m_views[&control] = std::move(view);
    }
  }

  HWND makeChild(const wchar_t* cls, const std::string& text, DWORD style, const RECT& r) {
    return ::CreateWindowExW(0, cls, widen(text).c_str(), style, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, m_hwnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(m_nextId++)),
                             ::GetModuleHandleW(nullptr), nullptr);
  }

  platform::Form& m_form;
  HWND m_hwnd = nullptr;
  DWORD m_style = 0;
  DWORD m_exStyle = 0;
  UINT m_dpi = kDefaultDpi;
  HFONT m_font = nullptr;
  HWND m_lastFocus = nullptr;
  int m_nextId = kFirstControlId;
  std::map<HWND, platform::Control*> m_byHwnd;
  std::map<platform::Control*, std::unique_ptr<ChildView>> m_views;
  std::map<COLORREF, HBRUSH> m_brushes;
  std::map<HWND, Picture> m_pictures;  // bitmaps, deleted after the window
  std::vector<HICON> m_icons;
};

namespace {

LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* window =
        static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    window->setHwnd(hwnd);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<FormWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window && msg != WM_NCCREATE && msg != WM_NCDESTROY)
    return window->handle(msg, wParam, lParam);
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

Win32Host::Win32Host() {
  platform::win32::answerFindStringsNatively();
  // The common controls of the manifest (version 6, in the system's look).
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = formProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = ::LoadIconW(wc.hInstance, L"icon");  // the program's icon (resources.rc.in)
  wc.lpszClassName = kFormClass;
  ::RegisterClassExW(&wc);
  // The owner of the dialog forms; never shown.
  m_owner = ::CreateWindowExW(0, L"STATIC", kTitle, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              wc.hInstance, nullptr);
}

Win32Host::~Win32Host() {
  m_windows.clear();
  if (m_owner) ::DestroyWindow(m_owner);
  if (&platform::uiHost() == this) platform::setUiHost(nullptr);
}

int Win32Host::exec() {
  MSG msg;
  while (!m_ended && ::GetMessageW(&msg, nullptr, 0, 0) > 0) dispatch(msg);
  return 0;
}

void Win32Host::doEvents() {
  MSG msg;
  while (!m_ended && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      m_ended = true;
      break;
    }
    dispatch(msg);
  }
}

// Keys for a form go through the dialog navigation first: Tab and Shift+Tab move
// the focus, Enter and Space press the focused button.
void Win32Host::dispatch(MSG& msg) {
  if (msg.hwnd && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
    const HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
    for (const auto& w : m_windows) {
      if (w->hwnd() == root) {
        if (::IsDialogMessageW(root, &msg)) return;
        break;
      }
    }
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

void Win32Host::msgBox(const std::string& prompt) {
  ::MessageBoxW(::GetActiveWindow(), widen(prompt).c_str(), kTitle, MB_OK);
}

void Win32Host::showForm(platform::Form& form) {
  for (const auto& w : m_windows) {
    if (w->hwnd() && form.view() == w.get()) {
      ::ShowWindow(w->hwnd(), SW_SHOW);
      return;
    }
  }
  m_windows.push_back(std::make_unique<FormWindow>(form, m_owner));
  FormWindow& window = *m_windows.back();
  ::ShowWindow(window.hwnd(), SW_SHOW);
  if (::GetActiveWindow() == window.hwnd()) window.focusControl();
  ::UpdateWindow(window.hwnd());
}

std::chrono::milliseconds Win32Host::doubleClickInterval() const {
  return std::chrono::milliseconds(::GetDoubleClickTime());
}

void Win32Host::end() {
  m_ended = true;
  for (const auto& w : m_windows) ::ShowWindow(w->hwnd(), SW_HIDE);
  ::PostQuitMessage(0);
}

}  // namespace win32ui
