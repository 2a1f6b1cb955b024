// Control models of the form runtime.
//
// A control is a plain object with the properties and events the program uses.
// A view (the Qt widgets, or nothing in tests) may be attached and is told about
// every change; events are synchronous: a setter that raises an event returns only
// after the handler ran.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// Geometry in twips, relative to the client area of the owning form.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct Color {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

enum class ControlKind {
  Label,
  CommandButton,
  ListBox,
  ComboBox,
  PictureBox,
  DriveListBox,
  DirListBox,
  FileListBox,
};

enum class Alignment { Left, Right, Center };
enum class Border { None, FixedSingle };

// What changed, so a view can update only that.
enum class Property {
  Caption,
  Visible,
  Enabled,
  Items,  // entries added, removed or re-read
  TopIndex,
  ListIndex,
  Selection,
  Path,
};

// Window handle of a control, as SendMessageA takes it.
using Hwnd = std::intptr_t;

class Control;

class ControlView {
 public:
  virtual ~ControlView() = default;
  virtual void modelChanged(const Control& control, Property what) = 0;
};

class Control {
 public:
  Control(ControlKind kind, std::string name, Rect geometry, int tabIndex);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  ControlKind kind() const { return m_kind; }
  const std::string& name() const { return m_name; }
  const Rect& geometry() const { return m_geometry; }
  int tabIndex() const { return m_tabIndex; }
  // Unique for the run; SendMessageA finds the control by it.
  Hwnd hwnd() const { return m_hwnd; }

  bool Visible() const { return m_visible; }
  void setVisible(bool visible);
  bool Enabled() const { return m_enabled; }
  void setEnabled(bool enabled);

  // Design-time look, set by the form before it is shown.
  std::optional<Color> backColor;
  std::optional<Color> foreColor;
  Alignment alignment = Alignment::Left;
  Border border = Border::None;
  bool tabStop = true;
  std::string toolTipText;

  // Click (buttons, labels, picture boxes).
  std::function<void()> onClick;
  void click();

  // At most one view at a time; nullptr detaches. The view must outlive its
  // attachment or detach itself.
  void attachView(ControlView* view) { m_view = view; }
  ControlView* view() const { return m_view; }

 protected:
  void notify(Property what) const;

 private:
  ControlKind m_kind;
  std::string m_name;
  Rect m_geometry;
  int m_tabIndex;
  Hwnd m_hwnd;
  bool m_visible = true;
  bool m_enabled = true;
  ControlView* m_view = nullptr;
};

// Finds a live control by its handle (nullptr when there is none).
Control* controlFromHwnd(Hwnd hwnd);

class Label : public Control {
 public:
  Label(std::string name, Rect geometry, int tabIndex, std::string caption = {});
  const std::string& Caption() const { return m_caption; }
  void setCaption(std::string caption);

 private:
  std::string m_caption;
};

class CommandButton : public Control {
 public:
  CommandButton(std::string name, Rect geometry, int tabIndex, std::string caption = {});
  const std::string& Caption() const { return m_caption; }
  void setCaption(std::string caption);

 private:
  std::string m_caption;
};

class PictureBox : public Control {
 public:
  // `image` names an image of the assets ("logo"), drawn unscaled from the
  // top-left corner and cut by the box.
  PictureBox(std::string name, Rect geometry, int tabIndex, std::string image = {});
  const std::string& image() const { return m_image; }

 private:
  std::string m_image;
};

}  // namespace platform
