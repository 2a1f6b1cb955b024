// Widgets that draw a control the way the classic runtime drew it.
#pragma once

#include <QLabel>
#include <QStringList>
#include <QStyledItemDelegate>
#include <functional>

namespace qtui {

// A label that reports clicks (press and release of the left button inside it).
class ClickableLabel : public QLabel {
 public:
  explicit ClickableLabel(QWidget* parent);
  std::function<void()> onClick;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool m_pressed = false;
};

// A caption label: the text starts at the top, lines break at blanks only (a
// word wider than the box is broken where the line is full), each line is
// aligned on its own, and what does not fit is cut off at the box's edges. The
// label never changes its size.
class CaptionLabel : public ClickableLabel {
 public:
  explicit CaptionLabel(QWidget* parent);
  // The lines as they are drawn in the current box (tests look at them).
  QStringList lines() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  mutable QStringList m_lines;
  mutable QString m_linesText;
  mutable int m_linesWidth = -1;
};

// Rows exactly one text line high, as a classic list box draws them; every row
// of a list is as high as the others.
class CompactRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  // The height of a row for a widget's font.
  static int rowHeight(const QFont& font);
};

}  // namespace qtui
