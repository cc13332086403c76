#include "controls/GridBase.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>
#include <cstdlib>

#include "controls/HintWindow.h"

namespace brindle {

GridBase::GridBase(QWidget* parent) : QTableView(parent), m_hint(new HintWindow(this)) {}

GridBase::~GridBase() = default;

void GridBase::SetCellHints(bool on) {
  if (on == m_cellHints) return;
  m_cellHints = on;
  if (!on) HideHint();
}

void GridBase::ShowCellHint(int x, int y) {
  if (!isVisible()) return;
  QString text;
  int width = 0;
  switch (HintCellAt(QPoint(x, y), text, width)) {
    case HintTarget::Unchanged:
      return;
    case HintTarget::None:
      HideHint();
      return;
    case HintTarget::Cell:
      m_hint->ShowForCell(text, width, fontMetrics(), mapToGlobal(QPoint(x, y)));
      return;
  }
}

void GridBase::ShowSortIndicator(int column, bool descending) {
  m_sortColumn = column;
  m_sortOrder = descending ? Qt::DescendingOrder : Qt::AscendingOrder;
  applySortIndicator();
}

void GridBase::HideSortIndicator() {
  m_sortColumn = -1;
  applySortIndicator();
}

void GridBase::applySortIndicator() {
  QHeaderView* titles = horizontalHeader();
  // A clickable title row turns its mark on every click by itself; the
  // grid's sort, which may run before that, has the last word.
  if (m_watchedTitles != titles) {
    m_watchedTitles = titles;
    connect(titles, &QHeaderView::sortIndicatorChanged, this, [this] { applySortIndicator(); });
  }
  {
    const QSignalBlocker blocker(titles);
    titles->setSortIndicatorShown(m_sortColumn >= 0);
    if (m_sortColumn >= 0 && (titles->sortIndicatorSection() != m_sortColumn ||
                              titles->sortIndicatorOrder() != m_sortOrder))
      titles->setSortIndicator(m_sortColumn, m_sortOrder);
  }
  // The mark takes room beside the title: a narrow column ("Freq") would
  // lose its title to it, so it grows to hold both.
  if (m_sortColumn >= 0 && !isColumnHidden(m_sortColumn) && columnWidth(m_sortColumn) > 0) {
    const int needed = titles->sectionSizeHint(m_sortColumn);
    if (columnWidth(m_sortColumn) < needed) setColumnWidth(m_sortColumn, needed);
  }
}

void GridBase::HideHint() { m_hint->HideHint(); }
bool GridBase::HintShown() const { return m_hint->Shown(); }
QString GridBase::HintText() const { return m_hint->HintText(); }
QPoint GridBase::HintScreenPos() const { return m_hint->ScreenPos(); }

int GridBase::FitTitle(const QString& title, int designWidth) const {
  return std::max(designWidth, fontMetrics().horizontalAdvance(title) + 12);
}

void GridBase::MouseMoved(Qt::KeyboardModifiers mods, int x, int y) {
  if (OnMouseMove) OnMouseMove(mods, x, y);
  if (m_cellHints) ShowCellHint(x, y);
}

bool GridBase::OnTitleBorder(int x) const {
  const QHeaderView* titles = horizontalHeader();
  const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, titles);
  for (int c = 0; c < titles->count(); ++c) {
    if (titles->isSectionHidden(c)) continue;
    const int edge = titles->sectionViewportPosition(c) + titles->sectionSize(c);
    if (std::abs(x - edge) <= grip) return true;
  }
  return false;
}

}  // namespace brindle
