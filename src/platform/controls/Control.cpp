#include "platform/controls/Control.h"

#include <unordered_map>

namespace platform {

namespace {

// Handles of the live controls. Everything runs on the one UI thread.
std::unordered_map<Hwnd, Control*>& registry() {
  static std::unordered_map<Hwnd, Control*> controls;
  return controls;
}

Hwnd nextHwnd() {
  static Hwnd next = 0x1000;
  return next += 4;
}

}  // namespace

Control::Control(ControlKind kind, std::string name, Rect geometry, int tabIndex)
    : m_kind(kind),
      m_name(std::move(name)),
      m_geometry(geometry),
      m_tabIndex(tabIndex),
      m_hwnd(nextHwnd()) {
  registry()[m_hwnd] = this;
}

Control::~Control() {
  registry().erase(m_hwnd);
}

Control* controlFromHwnd(Hwnd hwnd) {
  const auto it = registry().find(hwnd);
  return it == registry().end() ? nullptr : it->second;
}

void Control::setVisible(bool visible) {
  if (m_visible == visible) return;
  m_visible = visible;
  notify(Property::Visible);
}

void Control::setEnabled(bool enabled) {
  if (m_enabled == enabled) return;
  m_enabled = enabled;
  notify(Property::Enabled);
}

void Control::click() {
  if (onClick) onClick();
}

void Control::notify(Property what) const {
  if (m_view) m_view->modelChanged(*this, what);
}

Label::Label(std::string name, Rect geometry, int tabIndex, std::string caption)
    : Control(ControlKind::Label, std::move(name), geometry, tabIndex),
      m_caption(std::move(caption)) {
  tabStop = false;
}

void Label::setCaption(std::string caption) {
  if (caption == m_caption) return;
  m_caption = std::move(caption);
  notify(Property::Caption);
}

CommandButton::CommandButton(std::string name, Rect geometry, int tabIndex, std::string caption)
    : Control(ControlKind::CommandButton, std::move(name), geometry, tabIndex),
      m_caption(std::move(caption)) {}

void CommandButton::setCaption(std::string caption) {
  if (caption == m_caption) return;
  m_caption = std::move(caption);
  notify(Property::Caption);
}

PictureBox::PictureBox(std::string name, Rect geometry, int tabIndex, std::string image)
    : Control(ControlKind::PictureBox, std::move(name), geometry, tabIndex),
      m_image(std::move(image)) {
  tabStop = false;
}

}  // namespace platform
