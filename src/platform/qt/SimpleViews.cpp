// Views of labels, command buttons and picture boxes.
#include <QPixmap>
#include <QPushButton>

#include "platform/qt/Assets.h"
#include "platform/qt/ViewKinds.h"
#include "platform/qt/Widgets.h"

namespace qtui {

namespace {

using platform::Property;

Qt::Alignment toQt(platform::Alignment alignment) {
  switch (alignment) {
    case platform::Alignment::Right: return Qt::AlignRight;
    case platform::Alignment::Center: return Qt::AlignHCenter;
    case platform::Alignment::Left: break;
  }
  return Qt::AlignLeft;
}

// A border as the classic runtime drew a label's or a picture box's: a single
// sunken line.
void applyBorder(QFrame& frame, platform::Border border) {
  if (border == platform::Border::FixedSingle) {
    frame.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame.setLineWidth(1);
  } else {
    frame.setFrameStyle(QFrame::NoFrame);
  }
}

class LabelView final : public View {
 public:
  LabelView(platform::Label& label, QWidget* parent, UpdateQueue& queue)
      : View(label, queue), m_label(label), m_widget(new CaptionLabel(parent)) {
    m_widget->setAlignment(toQt(label.alignment) | Qt::AlignTop);
    applyBorder(*m_widget, label.border);
    m_widget->onClick = [this] { dispatch([this] { m_label.click(); }); };
    setWidget(m_widget);
  }

 protected:
  void apply(Changes what) override {
    if (what & bit(Property::Caption)) m_widget->setText(QString::fromStdString(m_label.Caption()));
  }

 private:
  platform::Label& m_label;
  CaptionLabel* m_widget;  // owned by the window
};

class ButtonView final : public View {
 public:
  ButtonView(platform::CommandButton& button, QWidget* parent, UpdateQueue& queue)
      : View(button, queue), m_button(button), m_widget(new QPushButton(parent)) {
    m_widget->setAutoDefault(false);
    keep(QObject::connect(m_widget, &QPushButton::clicked,
                          [this] { dispatch([this] { m_button.click(); }); }));
    setWidget(m_widget);
  }

 protected:
  void apply(Changes what) override {
    if (what & bit(Property::Caption)) {
      m_widget->setText(QString::fromStdString(m_button.Caption()));
    }
  }

 private:
  platform::CommandButton& m_button;
  QPushButton* m_widget;  // owned by the window
};

class PictureView final : public View {
 public:
  PictureView(platform::PictureBox& picture, QWidget* parent, UpdateQueue& queue)
      : View(picture, queue), m_picture(picture), m_widget(new ClickableLabel(parent)) {
    // Unscaled from the top-left corner; the box cuts off the rest.
    m_widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_widget->setScaledContents(false);
    applyBorder(*m_widget, picture.border);
    if (!picture.image().empty()) m_widget->setPixmap(assetPixmap(picture.image()));
    m_widget->onClick = [this] { dispatch([this] { m_picture.click(); }); };
    setWidget(m_widget);
  }

 protected:
  void apply(Changes /*what*/) override {}

 private:
  platform::PictureBox& m_picture;
  ClickableLabel* m_widget;  // owned by the window
};

}  // namespace

std::unique_ptr<View> makeLabelView(platform::Label& label, QWidget* parent, UpdateQueue& queue) {
  return std::make_unique<LabelView>(label, parent, queue);
}

std::unique_ptr<View> makeButtonView(platform::CommandButton& button, QWidget* parent,
                                     UpdateQueue& queue) {
  return std::make_unique<ButtonView>(button, parent, queue);
}

std::unique_ptr<View> makePictureView(platform::PictureBox& picture, QWidget* parent,
                                      UpdateQueue& queue) {
  return std::make_unique<PictureView>(picture, parent, queue);
}

}  // namespace qtui
