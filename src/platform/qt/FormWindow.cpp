#include "platform/qt/FormWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <algorithm>

#include "platform/qt/Assets.h"
#include "platform/qt/Twips.h"
#include "platform/runtime/Runtime.h"
#include "platform/runtime/UserAction.h"

namespace qtui {

namespace {

Qt::WindowFlags flagsFor(platform::FormBorder border) {
  switch (border) {
    case platform::FormBorder::FixedDialog:
      // Title and close button only; as a dialog it gets no task-bar entry of
      // its own with most window managers.
      return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    case platform::FormBorder::Sizable: break;
  }
  return Qt::Window;
}

}  // namespace

FormWindow::FormWindow(platform::Form& form, UpdateQueue& queue)
    : QWidget(nullptr, flagsFor(form.border())), m_form(form) {
  setObjectName(QString::fromStdString(form.name()));
  // Set on the window itself, so that no class-specific font of the desktop's
  // theme (buttons, lists) takes over: every control uses the window's font.
  setFont(QApplication::font());
  setWindowTitle(QString::fromStdString(form.Caption()));
  const QSize client = clientSizeInPixels(form.clientWidth(), form.clientHeight());
  if (form.border() == platform::FormBorder::FixedDialog) {
    setFixedSize(client);
  } else {
    resize(client);
  }
  if (!form.icon.empty()) setWindowIcon(assetIcon(form.icon));

  for (platform::Control* control : form.controls()) {
    m_views.push_back(createView(*control, this, queue));
  }
  setUpTabOrder();
  m_form.attachView(this);
}

FormWindow::~FormWindow() {
  const bool alive = modelAlive();
  m_views.clear();  // each view detaches itself from a model that still lives
  if (alive && m_form.view() == this) m_form.attachView(nullptr);
}

bool FormWindow::modelAlive() const {
  return std::all_of(m_views.begin(), m_views.end(),
                     [](const std::unique_ptr<View>& v) { return v->modelAlive(); });
}

View* FormWindow::view(const std::string& controlName) const {
  for (const auto& v : m_views) {
    if (v->control().name() == controlName) return v.get();
  }
  return nullptr;
}

void FormWindow::setUpTabOrder() {
  std::vector<QWidget*> order;
  for (const auto& v : m_views) v->widget()->setFocusPolicy(Qt::NoFocus);
  for (platform::Control* c : m_form.tabOrder()) {
    for (const auto& v : m_views) {
      if (&v->control() != c) continue;
      v->widget()->setFocusPolicy(Qt::StrongFocus);
      order.push_back(v->widget());
    }
  }
  for (size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
  if (!order.empty()) order.front()->setFocus(Qt::OtherFocusReason);
}

void FormWindow::formChanged(const platform::Form& form, platform::Property what) {
  switch (what) {
    case platform::Property::Caption: setWindowTitle(QString::fromStdString(form.Caption())); break;
    case platform::Property::Visible: setVisible(form.Visible()); break;
    default: break;
  }
}

void FormWindow::closeEvent(QCloseEvent* event) {
  if (platform::programEnded() || !modelAlive()) {
    event->accept();
    return;
  }
  // The window stays as it is unless the form hides it (or the program ends).
  event->ignore();
  platform::runUserAction([this] { m_form.requestClose(); });
  if (!platform::programEnded() && modelAlive() && !m_form.Visible() && onClosed) onClosed();
}

}  // namespace qtui
