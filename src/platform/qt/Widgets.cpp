#include "platform/qt/Widgets.h"

#include <QEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include "platform/qt/TextWrap.h"

namespace qtui {

ClickableLabel::ClickableLabel(QWidget* parent) : QLabel(parent) {}

void ClickableLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_pressed = true;
  QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = m_pressed && event->button() == Qt::LeftButton &&
                     rect().contains(event->position().toPoint());
  if (event->button() == Qt::LeftButton) m_pressed = false;
  QLabel::mouseReleaseEvent(event);
  if (click && onClick) onClick();
}

CaptionLabel::CaptionLabel(QWidget* parent) : ClickableLabel(parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
}

QStringList CaptionLabel::lines() const {
  const int width = contentsRect().width();
  if (width != m_linesWidth || text() != m_linesText) {
    const QFontMetricsF metrics(font());
    m_lines = breakLines(
        text(),
        [&metrics](QStringView piece) { return metrics.horizontalAdvance(piece.toString()); },
        width);
    m_linesText = text();
    m_linesWidth = width;
  }
  return m_lines;
}

void CaptionLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  drawFrame(&painter);
  const QRect box = contentsRect();
  painter.setClipRect(box);
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
  const QFontMetrics metrics(font());
  const QFontMetricsF exact(font());
  const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
  int top = box.top();
  for (const QString& line : lines()) {
    if (top > box.bottom()) break;  // cut off at the lower edge
    qreal x = box.left();
    if (horizontal & Qt::AlignRight) {
      x = box.left() + box.width() - exact.horizontalAdvance(line);
    } else if (horizontal & Qt::AlignHCenter) {
      x = box.left() + (box.width() - exact.horizontalAdvance(line)) / 2;
    }
    painter.drawText(QPointF(x, top + metrics.ascent()), line);
    top += metrics.height();
  }
}

void CaptionLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) m_linesWidth = -1;
  ClickableLabel::changeEvent(event);
}

void CaptionLabel::resizeEvent(QResizeEvent* event) {
  m_linesWidth = -1;
  ClickableLabel::resizeEvent(event);
}

QSize CompactRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setHeight(rowHeight(option.font));
  return size;
}

int CompactRowDelegate::rowHeight(const QFont& font) {
  return QFontMetrics(font).height();
}

}  // namespace qtui
