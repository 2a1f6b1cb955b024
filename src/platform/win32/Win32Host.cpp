#include "platform/win32/Win32Host.h"

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/Control.h"
#include "platform/FileControls.h"
#include "platform/Form.h"
#include "platform/ListBox.h"
#include "platform/UserAction.h"
#include "platform/os/windows/ListWindow.h"
#include "platform/os/windows/Wide.h"

namespace win32ui {

using platform::win32::widen;

namespace {

constexpr const wchar_t* kFormClass = L"RozozovuvorForm";
constexpr const wchar_t* kTitle = L"Rozozovuvor-Ororuzi";

// 15 twips are one pixel at 96 dots per inch.
int px(int twips) {
  return (twips + 7) / 15;
}

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
  explicit FormWindow(platform::Form& form) : m_form(form) {
    const DWORD style = form.border() == platform::FormBorder::FixedDialog
                            ? WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN
                            : WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const DWORD exStyle =
        form.border() == platform::FormBorder::FixedDialog ? WS_EX_DLGMODALFRAME : 0;
    RECT frame{0, 0, px(form.clientWidth()), px(form.clientHeight())};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    m_hwnd =
        ::CreateWindowExW(exStyle, kFormClass, widen(form.Caption()).c_str(), style, CW_USEDEFAULT,
                          CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                          nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    m_font = formFont();
    setIcon(form.icon);
    for (platform::Control* control : form.controls()) createChild(*control);
    form.attachView(this);
  }

  ~FormWindow() override {
    m_form.attachView(nullptr);
    for (platform::Control* control : m_form.controls()) {
      if (m_views.count(control)) control->attachView(nullptr);
    }
    for (auto& [color, brush] : m_brushes) ::DeleteObject(brush);
    if (m_hwnd) ::DestroyWindow(m_hwnd);
    for (HGDIOBJ object : m_owned) ::DeleteObject(object);
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
      case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == STN_CLICKED) {
          const auto it = m_byHwnd.find(reinterpret_cast<HWND>(lParam));
          if (it != m_byHwnd.end()) {
            platform::Control* control = it->second;
            platform::runUserAction([control] { control->click(); });
          }
          return 0;
        }
        break;
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

 private:
  // The font of the classic forms: MS Sans Serif, 8 points; the system's dialog
  // font if there is no such face.
  HFONT formFont() {
    HDC screen = ::GetDC(nullptr);
    const int height = -::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, screen);
    HFONT font = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
    if (!font) return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    m_owned.push_back(font);
    return font;
  }

  // The form's icon from the program's resources, big and small.
  void setIcon(const std::string& name) {
    if (name.empty()) return;
    const std::wstring id = widen(name);
    const HINSTANCE module = ::GetModuleHandleW(nullptr);
    for (const auto& [which, metric] :
         {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
      const int size = ::GetSystemMetrics(metric);
      auto* icon = static_cast<HICON>(::LoadImageW(module, id.c_str(), IMAGE_ICON, size, size, 0));
      if (!icon) continue;
      m_icons.push_back(icon);
      ::SendMessageW(m_hwnd, WM_SETICON, static_cast<WPARAM>(which),
                     reinterpret_cast<LPARAM>(icon));
    }
  }

  // The picture box's image from the program's resources, unscaled from the top
  // left corner and cut by the box (a bitmap control would take the image's size).
  void setPicture(HWND box, const std::string& name, const RECT& r) {
    if (name.empty()) return;
    auto* bitmap = static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), widen(name).c_str(), IMAGE_BITMAP, 0, 0, 0));
    if (!bitmap) return;
    m_owned.push_back(bitmap);
    ::SendMessageW(box, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
    ::SetWindowPos(box, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }

  HBRUSH brush(COLORREF color) {
    auto& b = m_brushes[color];
    if (!b) b = ::CreateSolidBrush(color);
    return b;
  }

  void createChild(platform::Control& control) {
    const platform::Rect& g = control.geometry();
    RECT r{px(g.left), px(g.top), px(g.left + g.width), px(g.top + g.height)};
    HWND child = nullptr;
    const DWORD visible = control.Visible() ? WS_VISIBLE : 0;
    switch (control.kind()) {
      case platform::ControlKind::ListBox:
      case platform::ControlKind::ComboBox: {
        auto& window = platform::win32::listWindowFor(static_cast<platform::ItemList&>(control));
        window.setParent(m_hwnd, r, control.Visible());
        child = window.hwnd();
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
                          WS_CHILD | visible | WS_TABSTOP | BS_PUSHBUTTON, r);
        break;
      case platform::ControlKind::PictureBox:
        child = makeChild(L"STATIC", "", WS_CHILD | visible | SS_NOTIFY | SS_BITMAP, r);
        if (child) setPicture(child, static_cast<platform::PictureBox&>(control).image(), r);
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
                             r.bottom - r.top, m_hwnd, nullptr, ::GetModuleHandleW(nullptr),
                             nullptr);
  }

  platform::Form& m_form;
  HWND m_hwnd = nullptr;
  HFONT m_font = nullptr;
  std::map<HWND, platform::Control*> m_byHwnd;
  std::map<platform::Control*, std::unique_ptr<ChildView>> m_views;
  std::map<COLORREF, HBRUSH> m_brushes;
  std::vector<HGDIOBJ> m_owned;  // fonts and bitmaps, deleted after the window
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
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = formProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = ::LoadIconW(wc.hInstance, L"icon");  // the program's icon (resources.rc.in)
  wc.lpszClassName = kFormClass;
  ::RegisterClassExW(&wc);
}

Win32Host::~Win32Host() {
  m_windows.clear();
  if (&platform::uiHost() == this) platform::setUiHost(nullptr);
}

int Win32Host::exec() {
  MSG msg;
  while (!m_ended && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}

void Win32Host::doEvents() {
  MSG msg;
  while (!m_ended && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      m_ended = true;
      break;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
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
  m_windows.push_back(std::make_unique<FormWindow>(form));
  ::ShowWindow(m_windows.back()->hwnd(), SW_SHOW);
  ::UpdateWindow(m_windows.back()->hwnd());
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
