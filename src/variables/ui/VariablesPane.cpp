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

#include "controls/BxDBGrid.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "variables/BulkScan.h"
#include "variables/CopyVariables.h"
#include "variables/FindFilter.h"
#include "variables/VarRecord.h"

namespace brindle {

namespace {

constexpr int kVarGridMinWidth = 90;
const char* const kVarTitles[4] = {"Variable", "Variable Label", "Missing", "Format"};
constexpr int kVarWidths[4] = {66, 175, 47, 46};

// Field shown in each grid column; the fifth column shows none.
const char* const kColumnFields[] = {"VarName", "VarLabel", "MissingValues", "PrintFmt"};
constexpr int kFieldColumns = 4;

// Room kept free beside the columns so that up to three hidden columns,
// each counted as -1 below, never push the last column past the edge.
constexpr int kHiddenColumnSpare = 3;

// What the grid's frame, indicator and a shown scroll bar take from its width.
int VarGridChrome(const TBxDBGrid* grid) {
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
      if (now == nullptr || now->window() != m_pane.Panel1->window()) return;
      QWidget* before = m_last;
      m_last = now;
      if (now != before && (now == m_pane.Edit1 || now == m_pane.Edit2))
        m_pane.Edit2Enter(static_cast<QLineEdit*>(now));
    });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box != nullptr && event->type() == QEvent::KeyPress)
      return m_pane.Edit1KeyDown(box, static_cast<QKeyEvent*>(event));
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
  createPopupMenu1(menuOwner);
}

VariablesPane::~VariablesPane() {
  // The widgets outlive the pane: nothing of theirs may call it any more.
  delete m_findBoxEvents;
  // The grid's model listens to VarMemData, and VarMemData dies before the
  // widgets do: unbind first.
  VarMemData.DetachAfterScroll();
  VarGrid->SetDataSet(nullptr);
}

void VariablesPane::createFindBar() {
  Panel1 = new QFrame;
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::StyledPanel);
  Panel1->setFrameShadow(QFrame::Raised);

  Edit1 = new QLineEdit(Panel1);
  Edit1->setToolTip(QStringLiteral("Find variable name"));
  Edit2 = new QLineEdit(Panel1);
  Edit2->setToolTip(QStringLiteral("Find variable label"));
  Filter1 = new QCheckBox(QStringLiteral("Filter"), Panel1);
  Filter1->setToolTip(QStringLiteral("Filter by variable name or label"));
  for (QWidget* w :
       {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Filter1)})
    w->setFocusPolicy(Qt::ClickFocus);

  // The find controls keep the places of the form; the panel is as tall as
  // the platform's edit boxes need.
  const int editHeight = Edit1->sizeHint().height();
  const int height = std::max(28, editHeight + 6);
  Panel1->setFixedHeight(height);
  const int top = (height - editHeight) / 2;
  Edit1->setGeometry(8, top, 65, editHeight);
  Edit2->setGeometry(80, top, 169, editHeight);
  const int checkHeight = Filter1->sizeHint().height();
  Filter1->setGeometry(264, (height - checkHeight) / 2, 65, checkHeight);

  // clicked, not toggled: the handler unchecks the box itself when the
  // filter cannot go on, and that must not run it again.
  QObject::connect(Filter1, &QCheckBox::clicked, Filter1, [this] { Filter1Click(); });
  VarMemData.SetOnFilterRecord(
      [this](TdxMemData&, bool& accept) { VarMemDataFilterRecord(accept); });
  m_findBoxEvents = new FindBoxEvents(*this, Panel1);
  Edit1->installEventFilter(m_findBoxEvents);
  Edit2->installEventFilter(m_findBoxEvents);
}

void VariablesPane::createGrid() {
  VarGrid = new TBxDBGrid;
  VarGrid->setObjectName(QStringLiteral("VarGrid"));
  VarGrid->SetDataSet(&VarMemData);
  VarGrid->SetDataSourceEnabled(false);
  VarGrid->SetColMoving(false);
  VarGrid->SetCellHints(true);
  VarGrid->setMinimumWidth(kVarGridMinWidth);
  for (int c = 0; c < 4; ++c) {
    VarGrid->SetColTitle(c, QString::fromLatin1(kVarTitles[c]));
    VarGrid->SetColWidth(c, DefaultColumnWidth(c));
  }
  VarGrid->SetColVisible(4, false);
  VarGrid->OnColumnWidthChanged = [this](TBxDBGrid*) { VarGridColumnWidthChanged(); };
  VarGrid->OnDrawColumnCell = [this](const VarRecord& rec, int, bool selected, bool marked,
                                     QColor& background, QColor& text) {
    VarGridDrawColumnCell(rec, selected, marked, background, text);
  };
}

void VariablesPane::createPopupMenu1(QWidget* owner) {
  // Not the grid's own context menu: the grid's right-button handler opens
  // it. The shortcuts after the tabs are labels only; the grid's key handler
  // sends Ctrl+C and Ctrl+A to the same handlers.
  PopupMenu1 = new QMenu(owner);
  CopySelected1 = PopupMenu1->addMenu(QStringLiteral("&Copy ..."));
  const struct {
    QAction** item;
    const char* caption;
    int level;
  } copyItems[] = {{&Variables1, "&Variable Names", kCopyNames},
                   {&VariablesLabels1, "Variable Names && &Labels", kCopyLabels},
                   {&All1, "&All fields\tCtrl+C", kCopyAll}};
  for (const auto& c : copyItems) {
    QAction* item = CopySelected1->addAction(QString::fromLatin1(c.caption));
    item->setData(c.level);
    QObject::connect(item, &QAction::triggered, item, [this, item] { PopupCopyClick(item); });
    *c.item = item;
  }
  PopupMenu1->addSeparator();
  SelectAllVariables = PopupMenu1->addAction(QStringLiteral("Select &All\tCtrl+A"));
  QObject::connect(SelectAllVariables, &QAction::triggered, SelectAllVariables,
                   [this] { SelectAllVariablesClick(); });
}

void VariablesPane::currentChanged() {
  if (OnCurrentChanged) OnCurrentChanged();
}

void VariablesPane::SetEnabled(bool enabled) {
  Edit1->setEnabled(enabled);
  Edit2->setEnabled(enabled);
  Filter1->setEnabled(enabled);
  VarGrid->setEnabled(enabled);
}

void VariablesPane::ClearFind() {
  VarMemData.SetFiltered(false);
  Filter1->setChecked(false);
  Edit1->clear();
  Edit2->clear();
}

// --- Find and filter --------------------------------------------------------

void VariablesPane::FocusLastFindBox() { (LastFindBox == 1 ? Edit1 : Edit2)->setFocus(); }

bool VariablesPane::FindVariable(bool forward, bool fromEnd) {
  return findVariable(forward, fromEnd, true);
}

bool VariablesPane::findVariable(bool forward, bool fromEnd, bool refresh) {
  const std::optional<FindTarget> target =
      SearchTarget(Edit1->text().toStdString(), Edit2->text().toStdString());
  if (!target) return false;
  const FindCommand command = FindCommandOf(forward, fromEnd);
  if (!FindRuns(VarMemData, command)) return false;
  // Switching the grid's source off for the walk drops its row marks.
  VarGrid->SetDataSourceEnabled(false);
  const bool found = FindRecord(VarMemData, *target, command);
  VarGrid->SetDataSourceEnabled(true);
  if (found) {
    VarGrid->setFocus();
    if (refresh) currentChanged();
  } else {
    const QString typed = target->field == kVarName ? Edit1->text() : Edit2->text();
    m_ui.SystemMessageBox(QStringLiteral(" Find ") + QString::fromLatin1(FindCaptionWord(command)),
                          typed + QStringLiteral(" not found"), MessageIcon::Information);
  }
  return found;
}

void VariablesPane::RepFindBtn1Click(QAction* sender) {
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

bool VariablesPane::Edit1KeyDown(QLineEdit* box, QKeyEvent* event) {
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
      (box == Edit1 ? Edit2 : Edit1)->setFocus();
      return true;
    case Qt::Key_F8:
      Filter1->click();
      return true;
    case Qt::Key_S:
      if (!(mods & Qt::ControlModifier)) return false;
      Filter1->click();
      return true;
    default:
      return false;
  }
}

void VariablesPane::Edit2Enter(QLineEdit* box) {
  if (box == Edit1) {
    Edit2->clear();
    LastFindBox = 1;
  } else {
    Edit1->clear();
    LastFindBox = 2;
  }
}

void VariablesPane::Filter1Click() {
  if (Filter1->isChecked()) {
    // The box is unchecked directly, without a second run of this handler:
    // the filter was off, so the view is the whole table already.
    if (Edit1->text().isEmpty() && Edit2->text().isEmpty()) {
      Filter1->setChecked(false);
      return;
    }
    // The values pane follows once, after the view is rebuilt.
    if (!findVariable(true, true, false)) {
      Filter1->setChecked(false);
      return;
    }
  }
  {
    WaitCursor wait;
    SwitchFilter(VarMemData, Filter1->isChecked());
  }
  currentChanged();
}

void VariablesPane::VarMemDataFilterRecord(bool& accept) {
  if (!VarMemData.Filtered()) return;
  FilterRecord(VarMemData, FilterTarget(Edit1->text().toStdString(), Edit2->text().toStdString()),
               accept);
}

// --- Selection and copy -----------------------------------------------------

void VariablesPane::PopupCopyClick(QObject* sender) {
  const auto* item = qobject_cast<const QAction*>(sender);
  const int level = item != nullptr ? item->data().toInt() : kCopyAll;
  std::string text;
  {
    WaitCursor wait;
    text = CopyVariables(VarMemData, VarGrid->SelectedRows(), level);
  }
  m_ui.SetClipboardText(QString::fromStdString(text));
}

void VariablesPane::SelectAllVariablesClick() {
  VarGrid->SetMultiSelect(true);
  VarGrid->SetColMoving(false);
  // Marks are identities: no need to walk the cursor over the view.
  for (int row = 0; row < VarMemData.RecordCount(); ++row)
    VarGrid->Mark(VarMemData.BookmarkAt(row));
}

void VariablesPane::MarkAndMoveOn() {
  // Marks both rows whether or not multi-select is on.
  VarGrid->Mark(VarMemData.GetBookmark());
  VarMemData.Next();
  VarGrid->Mark(VarMemData.GetBookmark());
}

void VariablesPane::ShowPopupMenu(int x, int y) {
  // The cursor and the marks stay; the grid does nothing of its own.
  CopySelected1->menuAction()->setEnabled(true);
  PopupMenu1->popup(VarGrid->mapToGlobal(QPoint(x, y)));
}

void VariablesPane::MarkRangeTo(int gridRow) {
  const int target = VarGrid->ViewPositionOfGridRow(gridRow);
  if (gridRow <= 0 || target <= 0) return;
  VarGrid->SetMultiSelect(true);
  VarGrid->SetColMoving(false);
  const int anchor = VarMemData.RecNo();
  {
    BulkScan scan(VarMemData, BulkScan::Cursor::Keep);
    const int step = target >= anchor ? 1 : -1;
    for (int pos = anchor;; pos += step) {
      VarGrid->Mark(VarMemData.BookmarkAt(pos - 1));
      if (pos == target) break;
    }
    VarMemData.First();
    VarMemData.MoveBy(target - 1);
  }
  currentChanged();
}

void VariablesPane::SetMarking(bool rowByRow) {
  VarGrid->SetMultiSelect(rowByRow);
  VarGrid->SetColMoving(false);
}

// --- Columns and order ------------------------------------------------------

void VariablesPane::SortVariables(const std::string& fieldName) {
  VarGrid->ClearMarks();
  BulkScan scan(VarMemData, BulkScan::Cursor::Keep);
  SortOptionSet options = VarMemData.SortOptions();
  if (fieldName != VarMemData.SortedField() || options.Contains(soDesc))
    options.Exclude(soDesc);
  else
    options.Include(soDesc);
  VarMemData.SetSortOptions(options);
  VarMemData.SetSortedField(fieldName);
  int column = -1;
  for (int c = 0; c < kFieldColumns; ++c)
    if (fieldName == kColumnFields[c]) column = c;
  if (column >= 0)
    VarGrid->ShowSortIndicator(column, options.Contains(soDesc));
  else
    VarGrid->HideSortIndicator();
}

std::string VariablesPane::ColumnField(int column) {
  if (column < 0 || column >= kFieldColumns) return {};
  return kColumnFields[column];
}

void VariablesPane::VarGridDrawColumnCell(const VarRecord& rec, bool selected, bool marked,
                                          QColor& background, QColor& text) {
  if (selected) {
    background = QColor(0, 0, 128);
    text = QColor(255, 255, 0);
  } else if (rec.VarType > 0 && !marked) {
    text = QColor(0, 128, 0);
  }
}

void VariablesPane::VarGridColumnWidthChanged() {
  if (!VarGrid->window()->isVisible()) return;
  int sum = 0;
  for (int c = 0; c < TBxDBGrid::kColumns; ++c)
    sum += VarGrid->ColVisible(c) ? VarGrid->ColWidth(c) : -1;
  const int width = VarGrid->width() - VarGridChrome(VarGrid) - sum + VarGrid->ColWidth(1);
  VarGrid->SetColWidth(1, std::max(0, width));
}

void VariablesPane::HideFormatcolumnClick(QAction* item) {
  const int column = item->data().toInt();
  VarGrid->SetColVisible(column, item->isChecked());
  item->setChecked(!item->isChecked());
  VarGridColumnWidthChanged();
}

int VariablesPane::DefaultColumnWidth(int column) const {
  if (column < 0 || column >= 4) return 0;
  return VarGrid->FitTitle(QString::fromLatin1(kVarTitles[column]), kVarWidths[column]);
}

void VariablesPane::RestoreDefaultColumnWidths() {
  for (int c = 0; c < 4; ++c) VarGrid->SetColWidth(c, DefaultColumnWidth(c));
  VarGridColumnWidthChanged();
}

}  // namespace brindle
