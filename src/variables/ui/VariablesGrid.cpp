#include "variables/ui/VariablesGrid.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include <algorithm>

#include "variables/ui/VariableTableModel.h"

namespace brindle {

namespace {

bool ValidCol(int col) { return col >= 0 && col < VariablesGrid::kColumns; }

constexpr int kIndicatorWidth = 12;

}  // namespace

// Paints a cell from the table's record in the colours the owner chooses.
// "Selected" is the row of the table's cursor; marks are drawn only while
// multi-select is on. Text is clipped, never elided.
class VariablesGrid::CellPainter : public QStyledItemDelegate {
 public:
  explicit CellPainter(VariablesGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const int row = index.row();
    VariableList* table = m_grid->m_table;
    const VarRecord* rec = table != nullptr ? table->ViewRecord(row) : nullptr;
    const bool selected = row == m_grid->m_currentRow;
    const bool marked = m_grid->m_multiSelect && table != nullptr &&
                        m_grid->m_marks.Contains(table->BookmarkAt(row));
    const bool lit = selected || marked;
    QColor background = option.palette.color(lit ? QPalette::Highlight : QPalette::Base);
    QColor text = option.palette.color(lit ? QPalette::HighlightedText : QPalette::Text);
    if (rec != nullptr && m_grid->OnDrawColumnCell) {
      m_grid->OnDrawColumnCell(*rec, index.column(), selected, marked, background, text);
    }
    painter->save();
    painter->fillRect(option.rect, background);
    painter->setPen(text);
    painter->setFont(option.font);
    // A small picture (the measurement level's) goes before the text.
    QRect textRect = option.rect.adjusted(2, 0, -2, 0);
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (decoration.canConvert<QPixmap>()) {
      const QPixmap icon = decoration.value<QPixmap>();
      if (!icon.isNull()) {
        const int top = textRect.top() + (textRect.height() - icon.height()) / 2;
        painter->drawPixmap(textRect.left(), top, icon);
        textRect.setLeft(textRect.left() + icon.width() + 3);
      }
    }
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
  }

 private:
  VariablesGrid* m_grid;
};

// The indicator column: a narrow strip left of the rows with a triangle at
// the row of the table's cursor.
class VariablesGrid::Indicator : public QHeaderView {
 public:
  explicit Indicator(VariablesGrid* grid) : QHeaderView(Qt::Vertical, grid), m_grid(grid) {}

  QSize sizeHint() const override {
    return QSize(kIndicatorWidth, QHeaderView::sizeHint().height());
  }

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
    painter->save();
    painter->fillRect(rect, palette().color(QPalette::Button));
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    if (logicalIndex == m_grid->m_currentRow) {
      const int cy = rect.center().y();
      const int left = rect.left() + 3;
      QPolygon arrow({QPoint(left, cy - 4), QPoint(left + 4, cy), QPoint(left, cy + 4)});
      painter->setRenderHint(QPainter::Antialiasing);
      painter->setPen(Qt::NoPen);
      painter->setBrush(palette().color(QPalette::ButtonText));
      painter->drawPolygon(arrow);
    }
    painter->restore();
  }

 private:
  VariablesGrid* m_grid;
};

VariablesGrid::VariablesGrid(QWidget* parent) : GridBase(parent) {
  m_indicator = new Indicator(this);
  setVerticalHeader(m_indicator);
  m_indicator->setSectionsClickable(false);
  m_indicator->setHighlightSections(false);
  m_indicator->setMinimumSectionSize(1);
  m_indicator->setSectionResizeMode(QHeaderView::Fixed);
  m_indicator->setDefaultSectionSize(fontMetrics().height() + 4);
  m_indicator->setMouseTracking(true);

  QHeaderView* titles = horizontalHeader();
  titles->setSectionsClickable(true);  // for title clicks; never selects a column
  titles->setHighlightSections(false);
  titles->setStretchLastSection(false);
  titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  titles->setMinimumSectionSize(0);
  titles->setMouseTracking(true);

  setSelectionMode(QAbstractItemView::NoSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setCornerButtonEnabled(false);
  setItemDelegate(new CellPainter(this));
  viewport()->setMouseTracking(true);

  // Mouse events of the title row and the indicator arrive at their viewports.
  for (QObject* o : {static_cast<QObject*>(viewport()), static_cast<QObject*>(titles->viewport()),
                     static_cast<QObject*>(m_indicator->viewport()), static_cast<QObject*>(titles),
                     static_cast<QObject*>(m_indicator), static_cast<QObject*>(verticalScrollBar()),
                     static_cast<QObject*>(horizontalScrollBar())}) {
    o->installEventFilter(this);
  }
  connect(titles, &QHeaderView::sectionResized, this, [this](int, int, int) {
    if (OnColumnWidthChanged) OnColumnWidthChanged(this);
  });

  SetDataSet(nullptr);
}

VariablesGrid::~VariablesGrid() {
  // The model unregisters from the table; it must go before the table can.
  setModel(nullptr);
  delete m_model;
  m_model = nullptr;
}

void VariablesGrid::SetDataSet(VariableList* table) {
  const bool enabled = m_model == nullptr || m_model->Enabled();
  VariableTableModel* old = m_model;
  QItemSelectionModel* oldSelection = selectionModel();
  m_table = table;
  m_model = new VariableTableModel(table, this);
  m_model->SetEnabled(enabled);
  setModel(m_model);
  delete oldSelection;
  delete old;
  connect(m_model, &VariableTableModel::currentRowChanged, this, &VariablesGrid::FollowCursor);
  if (table != nullptr) {
    m_marks.SetOrder([table](Bookmark a, Bookmark b) { return table->CompareBookmarks(a, b); });
  } else {
    m_marks.SetOrder(nullptr);
  }
  ClearMarks();
  SetColVisible(4, false);
  FollowCursor(m_model->CurrentRow());
}

void VariablesGrid::SetDataSourceEnabled(bool enabled) {
  if (!enabled) ClearMarks();
  m_model->SetEnabled(enabled);
}

bool VariablesGrid::DataSourceEnabled() const { return m_model->Enabled(); }

int VariablesGrid::ColWidth(int col) const {
  if (!ValidCol(col)) return 0;
  return isColumnHidden(col) ? m_hiddenWidth[static_cast<std::size_t>(col)] : columnWidth(col);
}

void VariablesGrid::SetColWidth(int col, int width) {
  if (!ValidCol(col)) return;
  width = std::max(width, 0);
  if (isColumnHidden(col)) {
    m_hiddenWidth[static_cast<std::size_t>(col)] = width;
    if (OnColumnWidthChanged) OnColumnWidthChanged(this);
  } else {
    setColumnWidth(col, width);
  }
}

bool VariablesGrid::ColVisible(int col) const { return ValidCol(col) && !isColumnHidden(col); }

void VariablesGrid::SetColVisible(int col, bool visible) {
  if (!ValidCol(col) || visible == ColVisible(col)) return;
  if (visible) {
    showColumn(col);
    setColumnWidth(col, m_hiddenWidth[static_cast<std::size_t>(col)]);
  } else {
    m_hiddenWidth[static_cast<std::size_t>(col)] = columnWidth(col);
    hideColumn(col);
  }
}

QString VariablesGrid::ColTitle(int col) const { return m_model->Title(col); }
void VariablesGrid::SetColTitle(int col, const QString& title) { m_model->SetTitle(col, title); }

void VariablesGrid::SetColMoving(bool on) {
  if (on == m_colMoving) return;
  m_colMoving = on;
  horizontalHeader()->setSectionsMovable(on);
}

void VariablesGrid::SetMultiSelect(bool on) {
  if (on == m_multiSelect) return;
  m_multiSelect = on;
  if (!on) ClearMarks();
  viewport()->update();
}

void VariablesGrid::Mark(Bookmark bm) {
  m_marks.Mark(bm);
  viewport()->update();
}

void VariablesGrid::Unmark(Bookmark bm) {
  m_marks.Unmark(bm);
  viewport()->update();
}

void VariablesGrid::ToggleMark(Bookmark bm) {
  m_marks.Toggle(bm);
  viewport()->update();
}

void VariablesGrid::ClearMarks() {
  m_marks.Clear();
  viewport()->update();
}

int VariablesGrid::DefaultRowHeight() const { return m_indicator->defaultSectionSize(); }

void VariablesGrid::SetDefaultRowHeight(int height) {
  m_indicator->setDefaultSectionSize(std::max(height, 1));
}

int VariablesGrid::TopRow() const { return rowAt(0); }

int VariablesGrid::VisibleRowCount() const {
  return std::max(1, viewport()->height() / std::max(1, DefaultRowHeight()));
}

int VariablesGrid::GridRowAt(int y) const {
  const QHeaderView* titles = horizontalHeader();
  if (!titles->isHidden() && y >= titles->geometry().top() && y <= titles->geometry().bottom()) {
    return 0;
  }
  const int vy = viewport()->mapFrom(this, QPoint(0, y)).y();
  if (vy < 0 || vy >= viewport()->height()) return -1;
  const int row = rowAt(vy);
  const int top = TopRow();
  if (row < 0 || top < 0) return -1;
  return row - top + 1;
}

int VariablesGrid::ViewPositionOfGridRow(int gridRow) const {
  const int top = TopRow();
  if (gridRow < 1 || top < 0) return 0;
  const long long pos = static_cast<long long>(top) + gridRow;
  return pos <= m_model->rowCount() ? static_cast<int>(pos) : 0;
}

GridBase::HintTarget VariablesGrid::HintCellAt(QPoint pos, QString& text, int& width) const {
  // Titles and the indicator column never show a hint.
  if (m_table == nullptr || m_model->rowCount() == 0) return HintTarget::Unchanged;
  const QPoint vp = viewport()->mapFrom(this, pos);
  const int row = viewport()->rect().contains(vp) ? rowAt(vp.y()) : -1;
  const int col = viewport()->rect().contains(vp) ? columnAt(vp.x()) : -1;
  if (row < 0 || col < 0) return HintTarget::None;
  text = m_model->CellText(row, col);
  width = columnWidth(col);
  return HintTarget::Cell;
}

void VariablesGrid::FollowCursor(int row) {
  m_currentRow = row;
  if (row >= 0 && row < m_model->rowCount()) {
    const int leftCol = std::max(columnAt(0), 0);
    const QModelIndex index = m_model->index(row, leftCol);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index, QAbstractItemView::EnsureVisible);
  }
  viewport()->update();
  m_indicator->viewport()->update();
  if (CellHints()) HideHint();
}

void VariablesGrid::OwnPress(Qt::MouseButton, Qt::KeyboardModifiers mods, int gridRow) {
  setFocus(Qt::MouseFocusReason);
  m_marks.ForgetAnchor();
  const int pos = ViewPositionOfGridRow(gridRow);
  if (pos < 1 || m_table == nullptr) return;
  const Bookmark pressed = m_table->BookmarkAt(pos - 1);
  m_table->MoveBy(pos - m_table->RecNo());
  if (!m_multiSelect) return;
  if (mods & Qt::ControlModifier) {
    m_marks.Toggle(pressed);
  } else {
    m_marks.Clear();
    m_marks.Mark(pressed);
  }
  viewport()->update();
}

void VariablesGrid::OwnKey(QKeyEvent* event) {
  const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
  const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
  const bool rows = m_table != nullptr && m_model->rowCount() > 0;
  auto dropMarks = [this] {
    m_marks.ForgetAnchor();
    if (m_multiSelect) ClearMarks();
  };
  // Moves to a 1-based view position; MoveBy fires AfterScroll only when it moved.
  auto moveTo = [this](int pos) { m_table->MoveBy(pos - m_table->RecNo()); };
  const int top = TopRow() + 1;
  const int bottom = std::min(TopRow() + VisibleRowCount(), m_model->rowCount());

  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
      if (!rows) break;
      const bool down = event->key() == Qt::Key_Down;
      if (ctrl) {
        moveTo(down ? bottom : top);
        dropMarks();
        break;
      }
      const int fromPos = m_table->RecNo();
      const Bookmark from = m_table->GetBookmark();
      m_table->MoveBy(down ? 1 : -1);
      if (m_table == nullptr) break;
      if (shift && m_multiSelect) {
        m_marks.ShiftStep(fromPos, from, m_table->RecNo(), m_table->GetBookmark());
        viewport()->update();
      } else if (!shift) {
        dropMarks();
      }
      break;
    }
    case Qt::Key_Left:
    case Qt::Key_Right:
      if (!rows) break;
      m_table->MoveBy(event->key() == Qt::Key_Right ? 1 : -1);
      dropMarks();
      break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
      if (!rows) break;
      const bool down = event->key() == Qt::Key_PageDown;
      if (ctrl) {
        moveTo(down ? bottom : top);
      } else {
        m_table->MoveBy(down ? VisibleRowCount() : -VisibleRowCount());
      }
      dropMarks();
      break;
    }
    case Qt::Key_Home:
      if (!rows) break;
      m_table->First();
      dropMarks();
      break;
    case Qt::Key_End:
      if (!rows) break;
      m_table->Last();
      dropMarks();
      break;
    case Qt::Key_Escape:
      dropMarks();
      break;
    default:
      event->ignore();
      return;
  }
  event->accept();
}

void VariablesGrid::keyPressEvent(QKeyEvent* event) {
  if (OnKeyDown) {
    OnKeyDown(event);
    if (!event->isAccepted()) {
      event->accept();
      return;
    }
  }
  OwnKey(event);
}

void VariablesGrid::wheelEvent(QWheelEvent* event) { event->accept(); }

void VariablesGrid::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = viewport()->mapTo(this, event->position().toPoint());
  const Qt::MouseButton button = event->button();
  const Qt::KeyboardModifiers mods = event->modifiers();
  if (OnMouseDown) OnMouseDown(this, button, mods, pos.x(), pos.y(), false);
  event->accept();
  if (button == Qt::RightButton || (button == Qt::LeftButton && (mods & Qt::ShiftModifier))) {
    return;
  }
  OwnPress(button, mods, GridRowAt(pos.y()));
}

void VariablesGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint pos = viewport()->mapTo(this, event->position().toPoint());
  const Qt::MouseButton button = event->button();
  const Qt::KeyboardModifiers mods = event->modifiers();
  if (OnMouseDown) OnMouseDown(this, button, mods, pos.x(), pos.y(), true);
  event->accept();
  if (button == Qt::RightButton || (button == Qt::LeftButton && (mods & Qt::ShiftModifier))) {
    return;
  }
  OwnPress(button, mods, GridRowAt(pos.y()));
}

void VariablesGrid::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = viewport()->mapTo(this, event->position().toPoint());
  MouseMoved(event->modifiers(), pos.x(), pos.y());
  event->accept();
}

void VariablesGrid::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

bool VariablesGrid::RouteMouse(QWidget* from, QEvent* event) {
  auto* me = static_cast<QMouseEvent*>(event);
  const QPoint pos = from->mapTo(this, me->position().toPoint());
  const bool onIndicator = from == m_indicator->viewport();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      const Qt::MouseButton button = me->button();
      const Qt::KeyboardModifiers mods = me->modifiers();
      if (OnMouseDown) {
        OnMouseDown(this, button, mods, pos.x(), pos.y(),
                    event->type() == QEvent::MouseButtonDblClick);
      }
      const bool handlerOnly =
          button == Qt::RightButton || (button == Qt::LeftButton && (mods & Qt::ShiftModifier));
      if (onIndicator) {
        // A press on the indicator acts on its row; the header's own row
        // selection never runs.
        if (!handlerOnly) OwnPress(button, mods, GridRowAt(pos.y()));
        return true;
      }
      m_swallowRelease = handlerOnly;
      // The title under the release sorts, unless the press grabbed a border.
      m_titlePressed =
          !handlerOnly && button == Qt::LeftButton && !OnTitleBorder(me->position().toPoint().x());
      return handlerOnly;
    }
    case QEvent::MouseButtonRelease: {
      if (onIndicator) return true;
      if (m_swallowRelease) {
        m_swallowRelease = false;
        return true;
      }
      const bool titleClick = m_titlePressed && me->button() == Qt::LeftButton;
      m_titlePressed = false;
      const QPoint at = me->position().toPoint();
      if (titleClick && from->rect().contains(at)) {
        const int column = horizontalHeader()->logicalIndexAt(at.x());
        if (column >= 0 && OnTitleClick) OnTitleClick(column);
      }
      return false;
    }
    case QEvent::MouseMove:
      MouseMoved(me->modifiers(), pos.x(), pos.y());
      return onIndicator;
    default:
      return false;
  }
}

bool VariablesGrid::eventFilter(QObject* watched, QEvent* event) {
  const bool header =
      watched == horizontalHeader()->viewport() || watched == m_indicator->viewport();
  switch (event->type()) {
    case QEvent::Wheel:
      event->accept();
      return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
      return header ? RouteMouse(static_cast<QWidget*>(watched), event) : false;
    case QEvent::Leave:
      if ((header || watched == viewport()) && CellHints()) HideHint();
      return false;
    default:
      return QTableView::eventFilter(watched, event);
  }
}

}  // namespace brindle
