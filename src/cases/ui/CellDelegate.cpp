#include "cases/ui/CellDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace brindle {

const QStaticText& CellDelegate::laidOut(const QString& text, const QFont& font) const {
  if (font != m_font) {
    m_texts.clear();
    m_font = font;
  }
  auto it = m_texts.find(text);
  if (it != m_texts.end()) return *it;
  if (m_texts.size() >= 4096) m_texts.clear();
  QStaticText laid(text);
  laid.setTextFormat(Qt::PlainText);
  laid.prepare(QTransform(), font);
  return *m_texts.insert(text, laid);
}

void CellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
  const bool selected = option.state & QStyle::State_Selected;
  const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                     : (option.state & QStyle::State_Active) ? QPalette::Normal
                                                                              : QPalette::Inactive;
  if (selected) painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
  const QString text = index.data(Qt::DisplayRole).toString();
  if (!text.isEmpty()) {
    // The margins the style gives an item's text.
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
    const QRect room = option.rect.adjusted(margin, 0, -margin, 0);
    const QVariant foreground = index.data(Qt::ForegroundRole);
    QColor color = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    if (!selected && foreground.canConvert<QColor>()) color = foreground.value<QColor>();
    const int align = index.data(Qt::TextAlignmentRole).toInt();
    const QStaticText* laid = &laidOut(text, option.font);
    QStaticText elided;
    if (laid->size().width() > room.width()) {
      elided.setText(option.fontMetrics.elidedText(text, Qt::ElideRight, room.width()));
      elided.setTextFormat(Qt::PlainText);
      elided.prepare(QTransform(), option.font);
      laid = &elided;
    }
    const QSizeF size = laid->size();
    const qreal x = (align & Qt::AlignRight) ? room.left() + room.width() - size.width() : room.left();
    const qreal y = room.top() + (room.height() - size.height()) / 2;
    painter->setFont(option.font);
    painter->setPen(color);
    painter->drawStaticText(QPointF(x, y), *laid);
  }
  if (option.state & QStyle::State_HasFocus) {
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.backgroundColor = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
  }
}

}  // namespace brindle
