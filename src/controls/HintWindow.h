// A tooltip-style window that a grid owns and shows synchronously at a place
// of its choosing (QToolTip is global and shows with a delay).
#pragma once

#include <QLabel>
#include <QPoint>
#include <QString>

namespace brindle {

class HintWindow : public QLabel {
  Q_OBJECT

 public:
  // A top-level tooltip window in the palette's tooltip colours; hidden.
  explicit HintWindow(QWidget* owner);

  // Shows text with the window's top-left corner at globalTopLeft, sized to
  // the text wrapped at half the width of the screen there.
  void ShowAt(const QString& text, QPoint globalTopLeft);
  void HideHint();

  bool Shown() const { return isVisible(); }
  QString HintText() const { return m_text; }
  QPoint ScreenPos() const { return m_pos; }

 private:
  QString m_text;
  QPoint m_pos;
};

}  // namespace brindle
