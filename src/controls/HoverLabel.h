// HoverLabel: a text label whose text takes FocusColor while the mouse
// pointer is over it and its normal colour again when the pointer leaves.
#pragma once

#include <QColor>
#include <QLabel>

#include <functional>

namespace brindle {

class HoverLabel : public QLabel {
  Q_OBJECT

 public:
  explicit HoverLabel(QWidget* parent = nullptr);

  QColor FocusColor{255, 0, 0};
  std::function<void(HoverLabel*)> OnMouseEnter;
  std::function<void(HoverLabel*)> OnMouseLeave;

  // The text colour (the "font colour").
  QColor FontColor() const;
  void SetFontColor(const QColor& color);
  // The colour the text returns to when the pointer leaves.
  QColor NormalColor() const { return m_normalColor; }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QColor m_normalColor;
};

}  // namespace brindle
