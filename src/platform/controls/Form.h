// A window of the form runtime: caption, client size in twips, border, icon and
// the controls it owns (members of the derived form, registered in tab order).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/controls/Control.h"

namespace platform {

enum class FormBorder {
  FixedDialog,  // not resizable; close button only, no task-bar entry of its own
  Sizable,
};

class Form;

class FormView {
 public:
  virtual ~FormView() = default;
  virtual void formChanged(const Form& form, Property what) = 0;
};

class Form {
 public:
  Form(std::string name, std::string caption, int clientWidth, int clientHeight, FormBorder border);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& name() const { return m_name; }
  const std::string& Caption() const { return m_caption; }
  void setCaption(std::string caption);
  int clientWidth() const { return m_clientWidth; }    // twips
  int clientHeight() const { return m_clientHeight; }  // twips
  FormBorder border() const { return m_border; }
  // Name of the window icon among the assets; empty for the platform's own.
  std::string icon;

  // Controls in the order they were registered (tab order).
  const std::vector<Control*>& controls() const { return m_controls; }
  Control* control(const std::string& name) const;
  // The controls that take the focus, in tab order (by tab index, then by
  // registration): those with a tab stop, never labels or picture boxes. The
  // first one has the focus when the window is first shown. Every host follows it.
  std::vector<Control*> tabOrder() const;

  // Shows the window modeless (mode 0) and returns at once.
  void Show();
  void Hide();
  bool Visible() const { return m_visible; }

  // The close request (the window's close button, or the system): runs QueryUnload;
  // a handler that sets `cancel` keeps the window.
  std::function<void(bool& cancel)> onQueryUnload;
  void requestClose();

  void attachView(FormView* view) { m_view = view; }
  FormView* view() const { return m_view; }

 protected:
  void addControl(Control& control);

 private:
  std::string m_name;
  std::string m_caption;
  int m_clientWidth;
  int m_clientHeight;
  FormBorder m_border;
  bool m_visible = false;
  std::vector<Control*> m_controls;
  FormView* m_view = nullptr;
};

}  // namespace platform
