#include "controls/HoverLabel.h"

#include <QEvent>

namespace brindle {

HoverLabel::HoverLabel(QWidget* parent) : QLabel(parent), m_normalColor(FontColor()) {}

QColor HoverLabel::FontColor() const { return palette().color(QPalette::WindowText); }

void HoverLabel::SetFontColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, color);
  setPalette(p);
}

void HoverLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  SetFontColor(FocusColor);
  if (OnMouseEnter) OnMouseEnter(this);
}

void HoverLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  SetFontColor(m_normalColor);
  if (OnMouseLeave) OnMouseLeave(this);
}

void HoverLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  // The hover colour itself is never remembered as the normal one.
  if (event->type() == QEvent::PaletteChange && FontColor() != FocusColor)
    m_normalColor = FontColor();
}

}  // namespace brindle
