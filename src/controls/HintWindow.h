// A tooltip-style window that a grid owns and shows synchronously at a place
// of its choosing (QToolTip is global and shows with a delay).
#pragma once

#include <QFontMetrics>
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

  // The rule both grids follow for the cell under the pointer: shows the
  // cell's text (trailing blanks and control characters removed) 16 pixels
  // below the pointer when the column is narrower than the text's width in
  // `metrics` + 2; hides the hint otherwise, also for a blank cell.
  void ShowForCell(const QString& cellText, int columnWidth, const QFontMetrics& metrics,
                   QPoint globalPointer);

  bool Shown() const { return isVisible(); }
  QString HintText() const { return m_text; }
  QPoint ScreenPos() const { return m_pos; }

 private:
  QString m_text;
  QPoint m_pos;
};

}  // namespace brindle
