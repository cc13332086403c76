#include "controls/psvBasiclbl.h"

#include <QEvent>

namespace brindle {

TpsvBasicLabel::TpsvBasicLabel(QWidget* parent) : QLabel(parent), m_normalColor(FontColor()) {}

QColor TpsvBasicLabel::FontColor() const { return palette().color(QPalette::WindowText); }

void TpsvBasicLabel::SetFontColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, color);
  setPalette(p);
}

void TpsvBasicLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  SetFontColor(FocusColor);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TpsvBasicLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  SetFontColor(m_normalColor);
  if (OnMouseLeave) OnMouseLeave(this);
}

void TpsvBasicLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  // The hover colour itself is never remembered as the normal one.
  if (event->type() == QEvent::PaletteChange && FontColor() != FocusColor)
    m_normalColor = FontColor();
}

}  // namespace brindle
