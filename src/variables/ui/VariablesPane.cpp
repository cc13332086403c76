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

#include "variables/ui/VariablesGrid.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "variables/BulkScan.h"
#include "variables/CopyVariables.h"
#include "variables/FindFilter.h"
#include "variables/VarRecord.h"

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
  FindBoxEvents(VariablesPane& pane, QObject* parent) : QObject(parent), m_pane(pane) {
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
      if (now == nullptr || now->window() != m_pane.findBar->window()) return;
      QWidget* before = m_last;
      m_last = now;
      if (now != before && (now == m_pane.findNameEdit || now == m_pane.findLabelEdit))
        m_pane.FindBoxEnter(static_cast<QLineEdit*>(now));
    });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box != nullptr && event->type() == QEvent::KeyPress)
      return m_pane.FindBoxKeyDown(box, static_cast<QKeyEvent*>(event));
    return false;
  }

 private:
  VariablesPane& m_pane;
  QPointer<QWidget> m_last;
};

}  // namespace

VariablesPane::VariablesPane(UiService& ui, QWidget* menuOwner) : m_ui(ui) {
  createFindBar();
  createGrid();
  createVariablesMenu(menuOwner);
}

VariablesPane::~VariablesPane() {
  // The widgets outlive the pane: nothing of theirs may call it any more.
  delete m_findBoxEvents;
  // The grid's model listens to variableList, and variableList dies before the
  // widgets do: unbind first.
  variableList.DetachAfterScroll();
  variablesGrid->SetDataSet(nullptr);
}

void VariablesPane::createFindBar() {
  findBar = new QFrame;
  findBar->setObjectName(QStringLiteral("findBar"));
  findBar->setFrameShape(QFrame::StyledPanel);
  findBar->setFrameShadow(QFrame::Raised);

  findNameEdit = new QLineEdit(findBar);
  findNameEdit->setToolTip(QStringLiteral("Find variable name"));
  findLabelEdit = new QLineEdit(findBar);
  findLabelEdit->setToolTip(QStringLiteral("Find variable label"));
  filterCheck = new QCheckBox(QStringLiteral("Filter"), findBar);
  filterCheck->setToolTip(QStringLiteral("Filter by variable name or label"));
  for (QWidget* w :
       {static_cast<QWidget*>(findNameEdit), static_cast<QWidget*>(findLabelEdit), static_cast<QWidget*>(filterCheck)})
    w->setFocusPolicy(Qt::ClickFocus);

  // The find controls keep the places of the form; the panel is as tall as
  // the platform's edit boxes need.
  const int editHeight = findNameEdit->sizeHint().height();
  const int height = std::max(28, editHeight + 6);
  findBar->setFixedHeight(height);
  const int top = (height - editHeight) / 2;
  findNameEdit->setGeometry(8, top, 65, editHeight);
  findLabelEdit->setGeometry(80, top, 169, editHeight);
  const int checkHeight = filterCheck->sizeHint().height();
  filterCheck->setGeometry(264, (height - checkHeight) / 2, 65, checkHeight);

  // clicked, not toggled: the handler unchecks the box itself when the
  // filter cannot go on, and that must not run it again.
  QObject::connect(filterCheck, &QCheckBox::clicked, filterCheck, [this] { FilterCheckClick(); });
  variableList.SetOnFilterRecord(
      [this](VariableList&, bool& accept) { VariableListFilterRecord(accept); });
  m_findBoxEvents = new FindBoxEvents(*this, findBar);
  findNameEdit->installEventFilter(m_findBoxEvents);
  findLabelEdit->installEventFilter(m_findBoxEvents);
}

void VariablesPane::createGrid() {
  variablesGrid = new VariablesGrid;
  variablesGrid->setObjectName(QStringLiteral("variablesGrid"));
  variablesGrid->SetDataSet(&variableList);
  variablesGrid->SetDataSourceEnabled(false);
  variablesGrid->SetColMoving(false);
  variablesGrid->SetCellHints(true);
  variablesGrid->setMinimumWidth(kVarGridMinWidth);
  for (int c = 0; c < 7; ++c) {
    if (c == 4) continue;
    variablesGrid->SetColTitle(c, QString::fromLatin1(kVarTitles[c]));
    variablesGrid->SetColWidth(c, DefaultColumnWidth(c));
  }
  variablesGrid->SetColVisible(4, false);
  variablesGrid->OnColumnWidthChanged = [this](VariablesGrid*) { VariablesGridColumnWidthChanged(); };
  variablesGrid->OnDrawColumnCell = [this](const VarRecord& rec, int, bool selected, bool marked,
                                     QColor& background, QColor& text) {
    VariablesGridDrawColumnCell(rec, selected, marked, background, text);
  };
}

void VariablesPane::createVariablesMenu(QWidget* owner) {
  // Not the grid's own context menu: the grid's right-button handler opens
  // it. The shortcuts after the tabs are labels only; the grid's key handler
  // sends Ctrl+C and Ctrl+A to the same handlers.
  variablesMenu = new QMenu(owner);
  copySelectedMenu = variablesMenu->addMenu(QStringLiteral("&Copy ..."));
  const struct {
    QAction** item;
    const char* caption;
    int level;
  } copyItems[] = {{&copyNamesAction, "&Variable Names", kCopyNames},
                   {&copyNamesLabelsAction, "Variable Names && &Labels", kCopyLabels},
                   {&copyAllAction, "&All fields\tCtrl+C", kCopyAll}};
  for (const auto& c : copyItems) {
    QAction* item = copySelectedMenu->addAction(QString::fromLatin1(c.caption));
    item->setData(c.level);
    QObject::connect(item, &QAction::triggered, item, [this, item] { PopupCopyClick(item); });
    *c.item = item;
  }
  variablesMenu->addSeparator();
  SelectAllVariables = variablesMenu->addAction(QStringLiteral("Select &All\tCtrl+A"));
  QObject::connect(SelectAllVariables, &QAction::triggered, SelectAllVariables,
                   [this] { SelectAllVariablesClick(); });
}

void VariablesPane::currentChanged() {
  if (OnCurrentChanged) OnCurrentChanged();
}

void VariablesPane::SetEnabled(bool enabled) {
  findNameEdit->setEnabled(enabled);
  findLabelEdit->setEnabled(enabled);
  filterCheck->setEnabled(enabled);
  variablesGrid->setEnabled(enabled);
}

void VariablesPane::ClearFind() {
  variableList.SetFiltered(false);
  filterCheck->setChecked(false);
  findNameEdit->clear();
  findLabelEdit->clear();
}

// --- Find and filter --------------------------------------------------------

void VariablesPane::FocusLastFindBox() { (LastFindBox == 1 ? findNameEdit : findLabelEdit)->setFocus(); }

bool VariablesPane::FindVariable(bool forward, bool fromEnd) {
  return findVariable(forward, fromEnd, true);
}

bool VariablesPane::findVariable(bool forward, bool fromEnd, bool refresh) {
  const std::optional<FindTarget> target =
      SearchTarget(findNameEdit->text().toStdString(), findLabelEdit->text().toStdString());
  if (!target) return false;
  const FindCommand command = FindCommandOf(forward, fromEnd);
  if (!FindRuns(variableList, command)) return false;
  // Switching the grid's source off for the walk drops its row marks.
  variablesGrid->SetDataSourceEnabled(false);
  const bool found = FindRecord(variableList, *target, command);
  variablesGrid->SetDataSourceEnabled(true);
  if (found) {
    variablesGrid->setFocus();
    if (refresh) currentChanged();
  } else {
    const QString typed = target->field == kVarName ? findNameEdit->text() : findLabelEdit->text();
    m_ui.SystemMessageBox(QStringLiteral(" Find ") + QString::fromLatin1(FindCaptionWord(command)),
                          typed + QStringLiteral(" not found"), MessageIcon::Information);
  }
  return found;
}

bool VariablesPane::FindNextWhere(const std::function<bool(const VarRecord&)>& matches) {
  const int n = variableList.RecordCount();
  const int k = variableList.RecNo();
  for (int i = 1; i <= n; ++i) {
    const int pos = (k - 1 + i) % n + 1;
    if (!matches(*variableList.ViewRecord(pos - 1))) continue;
    // Switching the grid's source off for the move drops its row marks.
    variablesGrid->SetDataSourceEnabled(false);
    {
      const BulkScan scan(variableList, BulkScan::Cursor::Keep);
      variableList.MoveBy(pos - k);
    }
    variablesGrid->SetDataSourceEnabled(true);
    variablesGrid->setFocus();
    currentChanged();
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
      (box == findNameEdit ? findLabelEdit : findNameEdit)->setFocus();
      return true;
    case Qt::Key_F8:
      filterCheck->click();
      return true;
    case Qt::Key_S:
      if (!(mods & Qt::ControlModifier)) return false;
      filterCheck->click();
      return true;
    default:
      return false;
  }
}

void VariablesPane::FindBoxEnter(QLineEdit* box) {
  if (box == findNameEdit) {
    findLabelEdit->clear();
    LastFindBox = 1;
  } else {
    findNameEdit->clear();
    LastFindBox = 2;
  }
}

void VariablesPane::FilterCheckClick() {
  if (filterCheck->isChecked()) {
    // The box is unchecked directly, without a second run of this handler:
    // the filter was off, so the view is the whole table already.
    if (findNameEdit->text().isEmpty() && findLabelEdit->text().isEmpty()) {
      filterCheck->setChecked(false);
      return;
    }
    // The values pane follows once, after the view is rebuilt.
    if (!findVariable(true, true, false)) {
      filterCheck->setChecked(false);
      return;
    }
  }
  {
    WaitCursor wait;
    SwitchFilter(variableList, filterCheck->isChecked());
  }
  currentChanged();
}

void VariablesPane::VariableListFilterRecord(bool& accept) {
  if (!variableList.Filtered()) return;
  FilterRecord(variableList, FilterTarget(findNameEdit->text().toStdString(), findLabelEdit->text().toStdString()),
               accept);
}

// --- Selection and copy -----------------------------------------------------

void VariablesPane::PopupCopyClick(QObject* sender) {
  const auto* item = qobject_cast<const QAction*>(sender);
  const int level = item != nullptr ? item->data().toInt() : kCopyAll;
  std::string text;
  {
    WaitCursor wait;
    text = CopyVariables(variableList, variablesGrid->SelectedRows(), level);
  }
  m_ui.SetClipboardText(QString::fromStdString(text));
}

void VariablesPane::SelectAllVariablesClick() {
  variablesGrid->SetMultiSelect(true);
  variablesGrid->SetColMoving(false);
  // Marks are identities: no need to walk the cursor over the view.
  for (int row = 0; row < variableList.RecordCount(); ++row)
    variablesGrid->Mark(variableList.BookmarkAt(row));
}

void VariablesPane::MarkAndMoveOn() {
  // Marks both rows whether or not multi-select is on.
  variablesGrid->Mark(variableList.GetBookmark());
  variableList.Next();
  variablesGrid->Mark(variableList.GetBookmark());
}

void VariablesPane::ShowPopupMenu(int x, int y) {
  // The cursor and the marks stay; the grid does nothing of its own.
  copySelectedMenu->menuAction()->setEnabled(true);
  variablesMenu->popup(variablesGrid->mapToGlobal(QPoint(x, y)));
}

void VariablesPane::MarkRangeTo(int gridRow) {
  const int target = variablesGrid->ViewPositionOfGridRow(gridRow);
  if (gridRow <= 0 || target <= 0) return;
  variablesGrid->SetMultiSelect(true);
  variablesGrid->SetColMoving(false);
  const int anchor = variableList.RecNo();
  {
    BulkScan scan(variableList, BulkScan::Cursor::Keep);
    const int step = target >= anchor ? 1 : -1;
    for (int pos = anchor;; pos += step) {
      variablesGrid->Mark(variableList.BookmarkAt(pos - 1));
      if (pos == target) break;
    }
    variableList.First();
    variableList.MoveBy(target - 1);
  }
  currentChanged();
}

void VariablesPane::SetMarking(bool rowByRow) {
  variablesGrid->SetMultiSelect(rowByRow);
  variablesGrid->SetColMoving(false);
}

// --- Columns and order ------------------------------------------------------

void VariablesPane::SortVariables(const std::string& fieldName) {
  variablesGrid->ClearMarks();
  BulkScan scan(variableList, BulkScan::Cursor::Keep);
  SortOptionSet options = variableList.SortOptions();
  if (fieldName != variableList.SortedField() || options.Contains(soDesc))
    options.Exclude(soDesc);
  else
    options.Include(soDesc);
  variableList.SetSortOptions(options);
  variableList.SetSortedField(fieldName);
  int column = -1;
  for (int c = 0; c < kFieldColumns; ++c)
    if (fieldName == kColumnFields[c]) column = c;
  if (column >= 0)
    variablesGrid->ShowSortIndicator(column, options.Contains(soDesc));
  else
    variablesGrid->HideSortIndicator();
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
  if (!variablesGrid->window()->isVisible()) return;
  int sum = 0;
  for (int c = 0; c < VariablesGrid::kColumns; ++c)
    sum += variablesGrid->ColVisible(c) ? variablesGrid->ColWidth(c) : -1;
  const int width = variablesGrid->width() - VariablesGridChrome(variablesGrid) - sum + variablesGrid->ColWidth(1);
  variablesGrid->SetColWidth(1, std::max(0, width));
}

void VariablesPane::HideFormatcolumnClick(QAction* item) {
  const int column = item->data().toInt();
  variablesGrid->SetColVisible(column, item->isChecked());
  item->setChecked(!item->isChecked());
  VariablesGridColumnWidthChanged();
}

int VariablesPane::DefaultColumnWidth(int column) const {
  if (column < 0 || column >= 7 || column == 4) return 0;
  return variablesGrid->FitTitle(QString::fromLatin1(kVarTitles[column]), kVarWidths[column]);
}

void VariablesPane::RestoreDefaultColumnWidths() {
  for (int c = 0; c < 7; ++c)
    if (c != 4) variablesGrid->SetColWidth(c, DefaultColumnWidth(c));
  VariablesGridColumnWidthChanged();
}

}  // namespace brindle
