#include "platform/controls/Form.h"

#include <algorithm>

#include "platform/runtime/Runtime.h"

namespace platform {

Form::Form(std::string name, std::string caption, int clientWidth, int clientHeight,
           FormBorder border)
    : m_name(std::move(name)),
      m_caption(std::move(caption)),
      m_clientWidth(clientWidth),
      m_clientHeight(clientHeight),
      m_border(border) {}

Form::~Form() = default;

void Form::setCaption(std::string caption) {
  m_caption = std::move(caption);
  if (m_view) m_view->formChanged(*this, Property::Caption);
}

Control* Form::control(const std::string& name) const {
  for (Control* c : m_controls) {
    if (c->name() == name) return c;
  }
  return nullptr;
}

std::vector<Control*> Form::tabOrder() const {
  std::vector<Control*> order;
  for (Control* c : m_controls) {
    if (c->tabStop && c->kind() != ControlKind::Label && c->kind() != ControlKind::PictureBox) {
      order.push_back(c);
    }
  }
  std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
    return a->tabIndex() < b->tabIndex();
  });
  return order;
}

void Form::Show() {
  m_visible = true;
  uiHost().showForm(*this);
  if (m_view) m_view->formChanged(*this, Property::Visible);
}

void Form::Hide() {
  m_visible = false;
  if (m_view) m_view->formChanged(*this, Property::Visible);
}

void Form::requestClose() {
  bool cancel = false;
  if (onQueryUnload) onQueryUnload(cancel);
  if (!cancel && !programEnded()) Hide();
}

void Form::addControl(Control& control) {
  m_controls.push_back(&control);
}

}  // namespace platform
