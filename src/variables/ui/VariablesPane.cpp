#include "variables/ui/VariablesPane.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>

#include <algorithm>
#include <utility>

#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "variables/BulkScan.h"
#include "variables/CopyVariables.h"
#include "variables/FindFilter.h"
#include "variables/VarRecord.h"
#include "variables/ui/VariablesGrid.h"

namespace brindle {

namespace {

constexpr int kVarGridMinWidth = 90;
// The fifth column is an empty one, always hidden.
const char* const kVarTitles[7] = {"Variable", "Variable Label", "Missing", "Format",
                                   "",         "Measure",        "Role"};
constexpr int kVarWidths[7] = {66, 175, 47, 46, 0, 78, 58};

// Field shown in each grid column; the fifth column shows none.
const char* const kColumnFields[] = {"VarName", "VarLabel", "MissingValues", "PrintFmt",
                                     "",        "Measure",  "Role"};
constexpr int kFieldColumns = 7;

// Room kept free beside the columns so that up to five hidden columns,
// each counted as -1 below, never push the last column past the edge.
constexpr int kHiddenColumnSpare = 5;

// What the grid's frame, indicator and a shown scroll bar take from its width.
int VariablesGridChrome(const VariablesGrid* grid) {
  return grid->width() - grid->viewport()->width() + kHiddenColumnSpare;
}

// Hands the find boxes' keys to the pane, and tells it when the focus enters
// a box from another control of the window. The window's last focused
// control is remembered: a box that gets the focus back when the window is
// activated again, or after a message box or menu closed, was not entered
// anew, while a click into the other box of an inactive window was.
class FindBoxEvents : public QObject {
 public:
  FindBoxEvents(const VariablesPane& pane, QObject* parent, std::function<void(QLineEdit*)> enter,
                std::function<bool(QLineEdit*, QKeyEvent*)> keyDown)
      : QObject(parent), m_pane(pane), m_enter(std::move(enter)), m_keyDown(std::move(keyDown)) {
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
      if (now == nullptr || now->window() != m_pane.findBar()->window()) return;
      QWidget* before = m_last;
      m_last = now;
      if (now != before && (now == m_pane.findNameEdit() || now == m_pane.findLabelEdit()))
        m_enter(static_cast<QLineEdit*>(now));
    });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box != nullptr && event->type() == QEvent::KeyPress)
      return m_keyDown(box, static_cast<QKeyEvent*>(event));
    return false;
  }

 private:
  const VariablesPane& m_pane;
  std::function<void(QLineEdit*)> m_enter;
  std::function<bool(QLineEdit*, QKeyEvent*)> m_keyDown;
  QPointer<QWidget> m_last;
};

// Runs a handler when the watched widget changed size.
class ResizeEvents : public QObject {
 public:
  ResizeEvents(QObject* parent, std::function<void()> handler)
      : QObject(parent), m_handler(std::move(handler)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) m_handler();
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> m_handler;
};

const char* const kFindActionNames[4] = {"findFirstAction", "findPreviousAction", "findNextAction",
                                         "findLastAction"};

}  // namespace

VariablesPane::VariablesPane(UiService& ui, QWidget* owner) : m_ui(ui) {
  createFindBar();
  createGrid();
  createVariablesMenu(owner);
  createActions(owner);
  m_variableList.SetAfterScroll([this](VariableList&) { emit emit currentChanged(); });
}

VariablesPane::~VariablesPane() {
  // The widgets outlive the pane: nothing of theirs may call it any more.
  delete m_findBoxEvents;
  delete m_gridEvents;
  m_variablesGrid->OnMouseDown = nullptr;
  m_variablesGrid->OnKeyDown = nullptr;
  m_variablesGrid->OnTitleClick = nullptr;
  m_variablesGrid->OnColumnWidthChanged = nullptr;
  m_variablesGrid->OnDrawColumnCell = nullptr;
  // The grid's model listens to the table, and the table dies before the
  // widgets do: unbind first.
  m_variableList.DetachAfterScroll();
  m_variablesGrid->SetDataSet(nullptr);
}

void VariablesPane::createFindBar() {
  m_findBar = new QFrame;
  m_findBar->setObjectName(QStringLiteral("findBar"));
  m_findBar->setFrameShape(QFrame::StyledPanel);
  m_findBar->setFrameShadow(QFrame::Raised);

  m_findNameEdit = new QLineEdit(m_findBar);
  m_findNameEdit->setToolTip(QStringLiteral("Find variable name"));
  m_findLabelEdit = new QLineEdit(m_findBar);
  m_findLabelEdit->setToolTip(QStringLiteral("Find variable label"));
  m_filterCheck = new QCheckBox(QStringLiteral("Filter"), m_findBar);
  m_filterCheck->setToolTip(QStringLiteral("Filter by variable name or label"));
  for (QWidget* w : {static_cast<QWidget*>(m_findNameEdit), static_cast<QWidget*>(m_findLabelEdit),
                     static_cast<QWidget*>(m_filterCheck)})
    w->setFocusPolicy(Qt::ClickFocus);

  // The find controls keep the places of the form; the panel is as tall as
  // the platform's edit boxes need.
  const int editHeight = m_findNameEdit->sizeHint().height();
  const int height = std::max(28, editHeight + 6);
  m_findBar->setFixedHeight(height);
  const int top = (height - editHeight) / 2;
  m_findNameEdit->setGeometry(8, top, 65, editHeight);
  m_findLabelEdit->setGeometry(80, top, 169, editHeight);
  const int checkHeight = m_filterCheck->sizeHint().height();
  m_filterCheck->setGeometry(264, (height - checkHeight) / 2, 65, checkHeight);

  // clicked, not toggled: the handler unchecks the box itself when the
  // filter cannot go on, and that must not run it again.
  QObject::connect(m_filterCheck, &QCheckBox::clicked, m_filterCheck,
                   [this] { FilterCheckClick(); });
  m_variableList.SetOnFilterRecord(
      [this](VariableList&, bool& accept) { VariableListFilterRecord(accept); });
  m_findBoxEvents = new FindBoxEvents(
      *this, m_findBar, [this](QLineEdit* box) { FindBoxEnter(box); },
      [this](QLineEdit* box, QKeyEvent* event) { return FindBoxKeyDown(box, event); });
  m_findNameEdit->installEventFilter(m_findBoxEvents);
  m_findLabelEdit->installEventFilter(m_findBoxEvents);
}

void VariablesPane::createGrid() {
  m_variablesGrid = new VariablesGrid;
  m_variablesGrid->setObjectName(QStringLiteral("variablesGrid"));
  m_variablesGrid->SetDataSet(&m_variableList);
  m_variablesGrid->SetDataSourceEnabled(false);
  m_variablesGrid->SetColMoving(false);
  m_variablesGrid->SetCellHints(true);
  m_variablesGrid->setMinimumWidth(kVarGridMinWidth);
  for (int c = 0; c < 7; ++c) {
    if (c == 4) continue;
    m_variablesGrid->SetColTitle(c, QString::fromLatin1(kVarTitles[c]));
    m_variablesGrid->SetColWidth(c, DefaultColumnWidth(c));
  }
  m_variablesGrid->SetColVisible(4, false);
  m_variablesGrid->OnColumnWidthChanged = [this](VariablesGrid*) {
    VariablesGridColumnWidthChanged();
  };
  m_variablesGrid->OnDrawColumnCell = [this](const VarRecord& rec, int, bool selected, bool marked,
                                             QColor& background, QColor& text) {
    VariablesGridDrawColumnCell(rec, selected, marked, background, text);
  };
  m_variablesGrid->OnMouseDown =
      [this](VariablesGrid*, Qt::MouseButton button, Qt::KeyboardModifiers mods, int x, int y,
             bool doubleClick) { VariablesGridMouseDown(button, mods, x, y, doubleClick); };
  m_variablesGrid->OnKeyDown = [this](QKeyEvent* event) { VariablesGridKeyDown(event); };
  m_variablesGrid->OnTitleClick = [this](int column) {
    const std::string field = ColumnField(column);
    if (!field.empty()) emit sortRequested(field);
  };
  // A scroll bar that comes or goes changes the room the columns share.
  m_gridEvents = new ResizeEvents(m_variablesGrid, [this] { VariablesGridColumnWidthChanged(); });
  m_variablesGrid->viewport()->installEventFilter(m_gridEvents);
}

void VariablesPane::createVariablesMenu(QWidget* owner) {
  // Not the grid's own context menu: the grid's right-button handler opens
  // it. The shortcuts after the tabs are labels only; the grid's key handler
  // sends Ctrl+C and Ctrl+A to the same handlers.
  m_variablesMenu = new QMenu(owner);
  m_copySelectedMenu = m_variablesMenu->addMenu(QStringLiteral("&Copy ..."));
  const struct {
    QAction** item;
    const char* caption;
    int level;
  } copyItems[] = {{&m_copyNamesAction, "&Variable Names", kCopyNames},
                   {&m_copyNamesLabelsAction, "Variable Names && &Labels", kCopyLabels},
                   {&m_copyAllAction, "&All fields\tCtrl+C", kCopyAll}};
  for (const auto& c : copyItems) {
    QAction* item = m_copySelectedMenu->addAction(QString::fromLatin1(c.caption));
    item->setData(c.level);
    QObject::connect(item, &QAction::triggered, item, [this, item] { PopupCopyClick(item); });
    *c.item = item;
  }
  m_variablesMenu->addSeparator();
  m_selectAllAction = m_variablesMenu->addAction(QStringLiteral("Select &All\tCtrl+A"));
  QObject::connect(m_selectAllAction, &QAction::triggered, m_selectAllAction,
                   [this] { SelectAllVariablesClick(); });
}

void VariablesPane::createActions(QWidget* owner) {
  const char* const findHints[4] = {"Find first", "Find previous", "Find next", "Find last"};
  for (int i = 0; i < 4; ++i) {
    auto* button = new QAction(QString::fromLatin1(findHints[i]), owner);
    button->setObjectName(QString::fromLatin1(kFindActionNames[i]));
    button->setToolTip(QString::fromLatin1(findHints[i]));
    button->setData(i + 1);
    QObject::connect(button, &QAction::triggered, this,
                     [this, button] { FindButtonClick(button); });
    m_findActions[static_cast<std::size_t>(i)] = button;
  }

  const struct {
    const char* caption;
    const char* name;
    int column;
  } hideItems[4] = {{"Hide &Missing column", "HideMissingcolumn", 2},
                    {"Hide &Format column", "HideFormatcolumn", 3},
                    {"Hide M&easure column", "HideMeasurecolumn", 5},
                    {"Hide &Role column", "HideRolecolumn", 6}};
  for (int i = 0; i < 4; ++i) {
    auto* item = new QAction(QString::fromLatin1(hideItems[i].caption), owner);
    item->setObjectName(QString::fromLatin1(hideItems[i].name));
    item->setCheckable(true);
    item->setData(hideItems[i].column);
    // The handler inverts the check mark itself (it is also called from
    // code), so the toggle Qt made on the way is taken back first.
    QObject::connect(item, &QAction::triggered, this, [this, item](bool checked) {
      item->setChecked(!checked);
      HideFormatcolumnClick(item);
    });
    m_hideColumnItems[static_cast<std::size_t>(i)] = item;
  }
  // The Measure and Role columns start hidden: the list keeps its look, and
  // its label column its room, until they are asked for.
  SetColumnHidden(HideMeasure, true);
  SetColumnHidden(HideRole, true);
}

void VariablesPane::SetEnabled(bool enabled) {
  for (QAction* button : m_findActions) button->setEnabled(enabled);
  m_findNameEdit->setEnabled(enabled);
  m_findLabelEdit->setEnabled(enabled);
  m_filterCheck->setEnabled(enabled);
  m_variablesGrid->setEnabled(enabled);
}

void VariablesPane::ClearFind() {
  m_variableList.SetFiltered(false);
  m_filterCheck->setChecked(false);
  m_findNameEdit->clear();
  m_findLabelEdit->clear();
}

// --- Find and filter --------------------------------------------------------

void VariablesPane::FocusLastFindBox() {
  (m_lastFindBox == 1 ? m_findNameEdit : m_findLabelEdit)->setFocus();
}

bool VariablesPane::FindVariable(bool forward, bool fromEnd) {
  return findVariable(forward, fromEnd, true);
}

bool VariablesPane::findVariable(bool forward, bool fromEnd, bool refresh) {
  const std::optional<FindTarget> target =
      SearchTarget(m_findNameEdit->text().toStdString(), m_findLabelEdit->text().toStdString());
  if (!target) return false;
  const FindCommand command = FindCommandOf(forward, fromEnd);
  if (!FindRuns(m_variableList, command)) return false;
  // Switching the grid's source off for the walk drops its row marks.
  m_variablesGrid->SetDataSourceEnabled(false);
  const bool found = FindRecord(m_variableList, *target, command);
  m_variablesGrid->SetDataSourceEnabled(true);
  if (found) {
    m_variablesGrid->setFocus();
    if (refresh) emit currentChanged();
  } else {
    const QString typed =
        target->field == kVarName ? m_findNameEdit->text() : m_findLabelEdit->text();
    m_ui.SystemMessageBox(QStringLiteral(" Find ") + QString::fromLatin1(FindCaptionWord(command)),
                          typed + QStringLiteral(" not found"), MessageIcon::Information);
  }
  return found;
}

bool VariablesPane::FindNextWhere(const std::function<bool(const VarRecord&)>& matches) {
  const int n = m_variableList.RecordCount();
  const int k = m_variableList.RecNo();
  for (int i = 1; i <= n; ++i) {
    const int pos = (k - 1 + i) % n + 1;
    if (!matches(*m_variableList.ViewRecord(pos - 1))) continue;
    // Switching the grid's source off for the move drops its row marks.
    m_variablesGrid->SetDataSourceEnabled(false);
    {
      const BulkScan scan(m_variableList, BulkScan::Cursor::Keep);
      m_variableList.MoveBy(pos - k);
    }
    m_variablesGrid->SetDataSourceEnabled(true);
    m_variablesGrid->setFocus();
    emit currentChanged();
    return true;
  }
  return false;
}

void VariablesPane::FindButtonClick(QAction* sender) {
  switch (static_cast<FindCommand>(sender->data().toInt())) {
    case FindCommand::First:
      FindVariable(true, true);
      break;
    case FindCommand::Previous:
      FindVariable(false, false);
      break;
    case FindCommand::Next:
      FindVariable(true, false);
      break;
    case FindCommand::Last:
      FindVariable(false, true);
      break;
  }
}

bool VariablesPane::FindBoxKeyDown(QLineEdit* box, QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers();
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F4:
      FindVariable(true, true);
      return true;
    case Qt::Key_F3:
      if (mods & (Qt::ShiftModifier | Qt::AltModifier))
        FindVariable(false, false);
      else
        FindVariable(true, false);
      return true;
    case Qt::Key_F2:
      (box == m_findNameEdit ? m_findLabelEdit : m_findNameEdit)->setFocus();
      return true;
    case Qt::Key_F8:
      m_filterCheck->click();
      return true;
    case Qt::Key_S:
      if (!(mods & Qt::ControlModifier)) return false;
      m_filterCheck->click();
      return true;
    default:
      return false;
  }
}

void VariablesPane::FindBoxEnter(QLineEdit* box) {
  if (box == m_findNameEdit) {
    m_findLabelEdit->clear();
    m_lastFindBox = 1;
  } else {
    m_findNameEdit->clear();
    m_lastFindBox = 2;
  }
}

void VariablesPane::FilterCheckClick() {
  if (m_filterCheck->isChecked()) {
    // The box is unchecked directly, without a second run of this handler:
    // the filter was off, so the view is the whole table already.
    if (m_findNameEdit->text().isEmpty() && m_findLabelEdit->text().isEmpty()) {
      m_filterCheck->setChecked(false);
      return;
    }
    // The values pane follows once, after the view is rebuilt.
    if (!findVariable(true, true, false)) {
      m_filterCheck->setChecked(false);
      return;
    }
  }
  {
    WaitCursor wait;
    SwitchFilter(m_variableList, m_filterCheck->isChecked());
  }
  emit currentChanged();
}

void VariablesPane::VariableListFilterRecord(bool& accept) {
  if (!m_variableList.Filtered()) return;
  FilterRecord(
      m_variableList,
      FilterTarget(m_findNameEdit->text().toStdString(), m_findLabelEdit->text().toStdString()),
      accept);
}

// --- Selection and copy -----------------------------------------------------

void VariablesPane::PopupCopyClick(QObject* sender) {
  const auto* item = qobject_cast<const QAction*>(sender);
  const int level = item != nullptr ? item->data().toInt() : kCopyAll;
  std::string text;
  {
    WaitCursor wait;
    text = CopyVariables(m_variableList, m_variablesGrid->SelectedRows(), level);
  }
  m_ui.SetClipboardText(QString::fromStdString(text));
}

void VariablesPane::SelectAllVariablesClick() {
  m_variablesGrid->SetMultiSelect(true);
  m_variablesGrid->SetColMoving(false);
  // Marks are identities: no need to walk the cursor over the view.
  for (int row = 0; row < m_variableList.RecordCount(); ++row)
    m_variablesGrid->Mark(m_variableList.BookmarkAt(row));
}

void VariablesPane::MarkAndMoveOn() {
  // Marks both rows whether or not multi-select is on.
  m_variablesGrid->Mark(m_variableList.GetBookmark());
  m_variableList.Next();
  m_variablesGrid->Mark(m_variableList.GetBookmark());
}

void VariablesPane::ShowPopupMenu(int x, int y) {
  // The cursor and the marks stay; the grid does nothing of its own.
  m_copySelectedMenu->menuAction()->setEnabled(true);
  m_variablesMenu->popup(m_variablesGrid->mapToGlobal(QPoint(x, y)));
}

void VariablesPane::MarkRangeTo(int gridRow) {
  const int target = m_variablesGrid->ViewPositionOfGridRow(gridRow);
  if (gridRow <= 0 || target <= 0) return;
  m_variablesGrid->SetMultiSelect(true);
  m_variablesGrid->SetColMoving(false);
  const int anchor = m_variableList.RecNo();
  {
    BulkScan scan(m_variableList, BulkScan::Cursor::Keep);
    const int step = target >= anchor ? 1 : -1;
    for (int pos = anchor;; pos += step) {
      m_variablesGrid->Mark(m_variableList.BookmarkAt(pos - 1));
      if (pos == target) break;
    }
    m_variableList.First();
    m_variableList.MoveBy(target - 1);
  }
  emit currentChanged();
}

void VariablesPane::SetMarking(bool rowByRow) {
  m_variablesGrid->SetMultiSelect(rowByRow);
  m_variablesGrid->SetColMoving(false);
}

// --- Keys and mouse ---------------------------------------------------------

void VariablesPane::VariablesGridKeyDown(QKeyEvent* event) {
  const int key = event->key();
  if (m_busy && m_busy()) {
    if (key == Qt::Key_Escape) emit cancelRequested();
    return;
  }
  const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
  switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_F2:
      FocusLastFindBox();
      break;
    case Qt::Key_F:
      if (ctrl) FocusLastFindBox();
      break;
    case Qt::Key_D:
      if (ctrl) emit documentRequested();
      break;
    case Qt::Key_N:
      if (ctrl) emit openWithCommandRequested();
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      emit toggleDisplayRequested();
      break;
    case Qt::Key_Space:
      MarkAndMoveOn();
      break;
    case Qt::Key_A:
      if (ctrl) SelectAllVariablesClick();
      break;
    case Qt::Key_C:
      if (ctrl) PopupCopyClick(m_variablesGrid);
      break;
    case Qt::Key_F3:
      if (event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier))
        FindVariable(false, false);
      else
        FindVariable(true, false);
      break;
    case Qt::Key_F4:
      FindVariable(true, true);
      break;
    case Qt::Key_F5:
      emit sortRequested("recid");
      break;
    case Qt::Key_F8:
      m_filterCheck->click();
      break;
    default:
      break;
  }
}

void VariablesPane::VariablesGridMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers mods,
                                           int x, int y, bool doubleClick) {
  if (button == Qt::RightButton) {
    ShowPopupMenu(x, y);
    return;
  }
  if (button != Qt::LeftButton) return;
  const int gridRow = m_variablesGrid->GridRowAt(y);
  if (doubleClick && gridRow > 0) emit toggleDisplayRequested();
  if (mods.testFlag(Qt::ShiftModifier))
    MarkRangeTo(gridRow);
  else
    SetMarking(mods.testFlag(Qt::ControlModifier));
}

// --- Columns and order ------------------------------------------------------

void VariablesPane::SortVariables(const std::string& fieldName) {
  m_variablesGrid->ClearMarks();
  BulkScan scan(m_variableList, BulkScan::Cursor::Keep);
  SortOptionSet options = m_variableList.SortOptions();
  if (fieldName != m_variableList.SortedField() || options.Contains(soDesc))
    options.Exclude(soDesc);
  else
    options.Include(soDesc);
  m_variableList.SetSortOptions(options);
  m_variableList.SetSortedField(fieldName);
  int column = -1;
  for (int c = 0; c < kFieldColumns; ++c)
    if (fieldName == kColumnFields[c]) column = c;
  if (column >= 0)
    m_variablesGrid->ShowSortIndicator(column, options.Contains(soDesc));
  else
    m_variablesGrid->HideSortIndicator();
}

std::string VariablesPane::ColumnField(int column) {
  if (column < 0 || column >= kFieldColumns) return {};
  return kColumnFields[column];
}

void VariablesPane::VariablesGridDrawColumnCell(const VarRecord& rec, bool selected, bool marked,
                                                QColor& background, QColor& text) {
  if (selected) {
    background = QColor(0, 0, 128);
    text = QColor(255, 255, 0);
  } else if (rec.VarType > 0 && !marked) {
    text = QColor(0, 128, 0);
  }
}

void VariablesPane::VariablesGridColumnWidthChanged() {
  if (!m_variablesGrid->window()->isVisible()) return;
  int sum = 0;
  for (int c = 0; c < VariablesGrid::kColumns; ++c)
    sum += m_variablesGrid->ColVisible(c) ? m_variablesGrid->ColWidth(c) : -1;
  const int width = m_variablesGrid->width() - VariablesGridChrome(m_variablesGrid) - sum +
                    m_variablesGrid->ColWidth(1);
  m_variablesGrid->SetColWidth(1, std::max(0, width));
}

void VariablesPane::HideFormatcolumnClick(QAction* item) {
  const int column = item->data().toInt();
  m_variablesGrid->SetColVisible(column, item->isChecked());
  item->setChecked(!item->isChecked());
  VariablesGridColumnWidthChanged();
}

void VariablesPane::SetColumnHidden(HideItem item, bool hidden) {
  QAction* action = m_hideColumnItems[item];
  action->setChecked(!hidden);
  HideFormatcolumnClick(action);
}

bool VariablesPane::columnHidden(HideItem item) const {
  return m_hideColumnItems[item]->isChecked();
}

int VariablesPane::DefaultColumnWidth(int column) const {
  if (column < 0 || column >= 7 || column == 4) return 0;
  return m_variablesGrid->FitTitle(QString::fromLatin1(kVarTitles[column]), kVarWidths[column]);
}

void VariablesPane::RestoreDefaultColumnWidths() {
  for (int c = 0; c < 7; ++c)
    if (c != 4) m_variablesGrid->SetColWidth(c, DefaultColumnWidth(c));
  VariablesGridColumnWidthChanged();
}

}  // namespace brindle
