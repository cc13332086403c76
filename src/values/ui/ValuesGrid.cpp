#include "values/ui/ValuesGrid.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include <algorithm>

#include "values/ui/ValuesGridModel.h"

namespace brindle {

namespace {

bool ValidCol(int col) { return col >= 0 && col < ValuesGrid::kColumns; }

}  // namespace

// Paints a data cell in the colours and alignment the owner chooses; text is
// clipped to the cell, never elided, so that the hint is what shows the rest.
class ValuesGrid::CellPainter : public QStyledItemDelegate {
 public:
  explicit CellPainter(ValuesGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    QColor background = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
    QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    if (m_grid->OnDrawCell)
      m_grid->OnDrawCell(index.column(), index.row() + 1, selected, background, text, align);
    painter->save();
    painter->fillRect(option.rect, background);
    painter->setPen(text);
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(2, (align & Qt::AlignTop) ? 2 : 0, -2, 0),
                      static_cast<int>(align) | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
  }

 private:
  ValuesGrid* m_grid;
};

// The title row: header sections drawn with the owner's colours and alignment.
class ValuesGrid::TitleRow : public QHeaderView {
 public:
  explicit TitleRow(ValuesGrid* grid) : QHeaderView(Qt::Horizontal, grid), m_grid(grid) {}

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
    if (!rect.isValid()) return;
    // As QHeaderView paints a section: the rect first, and the options the
    // style needs to place a title beside a sort mark.
    QStyleOptionHeaderV2 opt;
    initStyleOption(&opt);
    opt.rect = rect;
    initStyleOptionForIndex(&opt, logicalIndex);
    QColor background = opt.palette.color(QPalette::Button);
    QColor text = opt.palette.color(QPalette::ButtonText);
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    if (m_grid->OnDrawCell) m_grid->OnDrawCell(logicalIndex, 0, false, background, text, align);
    opt.palette.setColor(QPalette::Button, background);
    opt.palette.setColor(QPalette::Window, background);
    opt.palette.setColor(QPalette::ButtonText, text);
    opt.textAlignment = align;
    painter->save();
    style()->drawControl(QStyle::CE_Header, &opt, painter, this);
    painter->restore();
  }

 private:
  ValuesGrid* m_grid;
};

ValuesGrid::ValuesGrid(QWidget* parent)
    : GridBase(parent), m_cells(new ValuesGridModel(this)) {
  setModel(m_cells);
  setHorizontalHeader(new TitleRow(this));
  QHeaderView* titles = horizontalHeader();
  titles->setSectionsClickable(false);
  titles->setHighlightSections(false);
  titles->setSectionsMovable(false);
  titles->setStretchLastSection(false);
  titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  titles->setMinimumSectionSize(0);
  titles->setDefaultSectionSize(64);
  titles->setMouseTracking(true);
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setItemDelegate(new CellPainter(this));
  viewport()->setMouseTracking(true);

  // Mouse events of the title row arrive at its viewport.
  for (QObject* o : {static_cast<QObject*>(viewport()), static_cast<QObject*>(titles->viewport()),
                     static_cast<QObject*>(titles), static_cast<QObject*>(verticalScrollBar()),
                     static_cast<QObject*>(horizontalScrollBar())}) {
    o->installEventFilter(this);
  }
  connect(titles, &QHeaderView::sectionResized, this, [this](int, int, int) {
    if (OnColumnWidthChanged) OnColumnWidthChanged(this);
  });

  LoadColumnsFromLists();
}

ValuesGrid::~ValuesGrid() = default;

int ValuesGrid::RowCount() const { return m_cells->GridRows(); }

void ValuesGrid::SetRowCount(int rows) { m_cells->SetGridRows(rows); }

QString ValuesGrid::Cell(int col, int row) const { return m_cells->Cell(col, row); }

void ValuesGrid::SetCell(int col, int row, const QString& text) {
  m_cells->SetCell(col, row, text);
}

int ValuesGrid::ColWidth(int col) const { return ValidCol(col) ? columnWidth(col) : 0; }

void ValuesGrid::SetColWidth(int col, int width) {
  if (ValidCol(col)) setColumnWidth(col, std::max(width, 0));
}

int ValuesGrid::DefaultRowHeight() const { return verticalHeader()->defaultSectionSize(); }

void ValuesGrid::SetDefaultRowHeight(int height) {
  verticalHeader()->setDefaultSectionSize(std::max(height, 1));
}

void ValuesGrid::ClearRows() {
  for (QStringList& list : ColumnLists) list.clear();
  m_table.reset();
  m_order.reset();
  m_cells->ClearDataRows();
}

void ValuesGrid::SetTable(std::shared_ptr<const ValueRows> rows) {
  m_table = std::move(rows);
  m_order.reset();
}

int ValuesGrid::FillRows() const {
  if (m_table) return 1 + m_table->Count();
  qsizetype n = 0;
  for (const QStringList& list : ColumnLists) n = std::max(n, list.size());
  return static_cast<int>(n);
}

QString ValuesGrid::FillText(int col, int entry) const {
  if (!ValidCol(col) || entry < 0) return {};
  const QStringList& list = ColumnLists[static_cast<std::size_t>(col)];
  if (m_table && entry > 0)
    return entry <= m_table->Count() ? m_table->Text(col, entry - 1) : QString();
  return entry < list.size() ? list.at(entry) : QString();
}

int ValuesGrid::FillRowOf(int row) const {
  const int k = row - 1;
  if (!m_order) return k;
  return k >= 0 && static_cast<std::size_t>(k) < m_order->size()
             ? (*m_order)[static_cast<std::size_t>(k)]
             : -1;
}

void ValuesGrid::AddRow(const QString& label, const QString& value, const QString& count,
                            const QString& pctTotal, const QString& pctValid) {
  ColumnLists[0].append(label);
  ColumnLists[1].append(value);
  ColumnLists[2].append(count);
  ColumnLists[3].append(pctTotal);
  ColumnLists[4].append(pctValid);
}

void ValuesGrid::LoadColumnFromList(int col) {
  if (!ValidCol(col)) return;
  const QStringList& list = ColumnLists[static_cast<std::size_t>(col)];
  if (m_table) {
    m_order.reset();
    m_cells->LoadTableColumn(col, list.value(0), m_table, nullptr);
    return;
  }
  m_cells->LoadColumn(col, list);
}

void ValuesGrid::LoadColumnsFromLists() {
  for (int c = 0; c < kColumns; ++c) LoadColumnFromList(c);
}

void ValuesGrid::ShowRowsInOrder(const std::vector<std::int32_t>& order) {
  if (m_table) {
    // Only the order is kept; the cells render the rows they show.
    m_order = std::make_shared<const std::vector<std::int32_t>>(order);
    for (int c = 0; c < kColumns; ++c)
      m_cells->LoadTableColumn(c, ColumnLists[static_cast<std::size_t>(c)].value(0), m_table,
                               m_order);
    return;
  }
  const auto n = static_cast<qsizetype>(order.size());
  for (std::size_t c = 0; c < ColumnLists.size(); ++c) {
    const QStringList& fill = ColumnLists[c];
    if (fill.isEmpty()) continue;
    QStringList shown;
    shown.reserve(n + 1);
    shown.append(fill.at(0));
    for (const std::int32_t i : order) {
      const qsizetype at = static_cast<qsizetype>(i) + 1;
      shown.append(i >= 0 && at < fill.size() ? fill.at(at) : QString());
    }
    m_cells->LoadColumn(static_cast<int>(c), shown);
  }
}

void ValuesGrid::HideLabelColumn() {
  m_labelColumnHidden = true;
  SetColWidth(1, SavedLabelWidth + SavedValueWidth);
  SetColWidth(0, 0);
}

void ValuesGrid::RestoreLabelColumn() {
  m_labelColumnHidden = false;
  SetColWidth(0, SavedLabelWidth);
  SetColWidth(1, SavedValueWidth);
}

ValuesGrid::GridRect ValuesGrid::Selection() const {
  // The selection is one block; a block that a drag built up in several
  // steps may be held as adjoining ranges, so report what they cover.
  GridRect rect;
  for (const QItemSelectionRange& r : selectionModel()->selection()) {
    if (!r.isValid()) continue;
    if (rect.left < 0) {
      rect = GridRect{r.left(), r.top() + 1, r.right(), r.bottom() + 1};
      continue;
    }
    rect.left = std::min(rect.left, r.left());
    rect.right = std::max(rect.right, r.right());
    rect.top = std::min(rect.top, r.top() + 1);
    rect.bottom = std::max(rect.bottom, r.bottom() + 1);
  }
  return rect;
}

void ValuesGrid::SetSelection(GridRect rect) {
  clearSelection();
  const int dataRows = RowCount() - 1;
  if (rect.left < 0 || dataRows == 0) return;
  const int left = std::clamp(std::min(rect.left, rect.right), 0, kColumns - 1);
  const int right = std::clamp(std::max(rect.left, rect.right), 0, kColumns - 1);
  const int top = std::clamp(std::min(rect.top, rect.bottom), 1, dataRows);
  const int bottom = std::clamp(std::max(rect.top, rect.bottom), 1, dataRows);
  // Moving the current cell first without touching the selection keeps the
  // block the only thing selected.
  selectionModel()->setCurrentIndex(m_cells->index(top - 1, left), QItemSelectionModel::NoUpdate);
  selectionModel()->select(
      QItemSelection(m_cells->index(top - 1, left), m_cells->index(bottom - 1, right)),
      QItemSelectionModel::Select);
}

void ValuesGrid::SelectNone() { clearSelection(); }

bool ValuesGrid::CellAt(QPoint pos, int& col, int& row) const {
  col = -1;
  row = -1;
  const QHeaderView* titles = horizontalHeader();
  const QPoint hp = titles->mapFrom(this, pos);
  if (!titles->isHidden() && titles->rect().contains(hp)) {
    const int c = titles->logicalIndexAt(hp.x());
    if (c < 0) return false;
    col = c;
    row = 0;
    return true;
  }
  const QPoint vp = viewport()->mapFrom(this, pos);
  if (!viewport()->rect().contains(vp)) return false;
  const int r = rowAt(vp.y());
  const int c = columnAt(vp.x());
  if (r < 0 || c < 0) return false;
  col = c;
  row = r + 1;
  return true;
}

bool ValuesGrid::IsColumnBorder(int x, int y) const {
  const QHeaderView* titles = horizontalHeader();
  const QPoint hp = titles->mapFrom(this, QPoint(x, y));
  return !titles->isHidden() && titles->rect().contains(hp) && OnTitleBorder(hp.x());
}

GridBase::HintTarget ValuesGrid::HintCellAt(QPoint pos, QString& text, int& width) const {
  int col = -1;
  int row = -1;
  if (!CellAt(pos, col, row)) return HintTarget::None;
  text = Cell(col, row);
  width = ColWidth(col);
  return HintTarget::Cell;
}

bool ValuesGrid::RouteMouse(QWidget* from, QEvent* event) {
  auto* me = static_cast<QMouseEvent*>(event);
  const QPoint pos = from->mapTo(this, me->position().toPoint());
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      const bool dbl = event->type() == QEvent::MouseButtonDblClick;
      if (OnMouseDown) OnMouseDown(me->button(), me->modifiers(), pos.x(), pos.y(), dbl);
      if (me->button() == Qt::RightButton) {
        // A right click only focuses the grid: the selection stays for the
        // popup menu's copy command.
        setFocus(Qt::MouseFocusReason);
        return true;
      }
      return false;
    }
    case QEvent::MouseMove:
      MouseMoved(me->modifiers(), pos.x(), pos.y());
      return false;
    default:
      return false;
  }
}

bool ValuesGrid::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Wheel:
      event->accept();
      return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      if (watched == viewport() || watched == horizontalHeader()->viewport()) {
        return RouteMouse(static_cast<QWidget*>(watched), event);
      }
      return false;
    case QEvent::Leave:
      if (CellHints() && (watched == viewport() || watched == horizontalHeader()->viewport())) {
        HideHint();
      }
      return false;
    default:
      return QTableView::eventFilter(watched, event);
  }
}

void ValuesGrid::keyPressEvent(QKeyEvent* event) {
  if (OnKeyDown) {
    OnKeyDown(event);
    // A handler that ignores the key has consumed it (it takes the grid's
    // own handling away, not the key back to the window).
    if (!event->isAccepted()) {
      event->accept();
      return;
    }
  }
  // Copying and select-all are the window's commands; the base class would
  // otherwise select empty rows or write the clipboard behind its back.
  if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) return;
  QTableView::keyPressEvent(event);
}

void ValuesGrid::wheelEvent(QWheelEvent* event) { event->accept(); }

}  // namespace brindle
