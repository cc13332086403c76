// How the data page draws a cell: its text, clipped with an ellipsis when
// the column is too narrow, in the user-missing colour where the model says
// so, on the selection's colour when selected. The style's general item
// drawing (icons, check boxes, decorations, a text layout per cell) is far
// slower than a grid of short texts needs, and a screenful of cells is
// drawn at every step of a scroll. Texts are laid out once and kept (a few
// thousand of them): most columns repeat their values, and a text is then
// measured and drawn without being shaped again.
#pragma once

#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace brindle {

class CellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  const QStaticText& laidOut(const QString& text, const QFont& font) const;

  mutable QHash<QString, QStaticText> m_texts;
  mutable QFont m_font;
};

}  // namespace brindle
