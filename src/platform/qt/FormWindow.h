// The window of a form: a top-level widget with one child widget per control.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/Form.h"
#include "platform/qt/View.h"

namespace qtui {

class UpdateQueue;

class FormWindow : public QWidget, public platform::FormView {
 public:
  // Builds the window and the views of every control, attached to their models.
  // The window stays hidden until shown.
  FormWindow(platform::Form& form, UpdateQueue& queue);
  // Detaches the views and the window from the models that still live.
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  platform::Form& form() const { return m_form; }
  // False once the form was destroyed (its controls no longer live).
  bool modelAlive() const;
  // The view of the named control; nullptr if there is none.
  View* view(const std::string& controlName) const;

  void formChanged(const platform::Form& form, platform::Property what) override;

  // Runs after a close request that the form granted (the window is hidden now).
  std::function<void()> onClosed;

 protected:
  // The close button: the form's close request decides (QueryUnload).
  void closeEvent(QCloseEvent* event) override;

 private:
  void setUpTabOrder();

  platform::Form& m_form;
  std::vector<std::unique_ptr<View>> m_views;
};

}  // namespace qtui
