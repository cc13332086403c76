// The variables pane: the find bar (the find boxes findNameEdit and
// findLabelEdit and the check box filterCheck), the variables grid over the
// variables table, the grid's marks and popup menu, the sort order, the four
// find buttons and the hide-column check items. The pane creates and
// connects its own actions and keys; the window places its widgets and
// actions and connects the pane's signals, which say what the user asked of
// the rest of the window.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <string>

#include "variables/VariableList.h"

class QAction;
class QCheckBox;
class QFrame;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QWidget;

namespace brindle {

class VariablesGrid;
class UiService;
struct VarRecord;

class VariablesPane : public QObject {
  Q_OBJECT

 public:
  // Creates the widgets without a parent (the window places them); the popup
  // menu and the actions belong to owner. The service must outlive the pane.
  VariablesPane(UiService& ui, QWidget* owner);
  ~VariablesPane() override;

  // --- Widgets and actions, for the window to place ------------------
  QFrame* findBar() const { return m_findBar; }
  QLineEdit* findNameEdit() const { return m_findNameEdit; }
  QLineEdit* findLabelEdit() const { return m_findLabelEdit; }
  QCheckBox* filterCheck() const { return m_filterCheck; }
  VariablesGrid* variablesGrid() const { return m_variablesGrid; }
  // The variables table; the grid shows its view.
  VariableList& variableList() { return m_variableList; }
  const VariableList& variableList() const { return m_variableList; }
  // The grid's popup menu and its items.
  QMenu* variablesMenu() const { return m_variablesMenu; }
  QAction* copyNamesAction() const { return m_copyNamesAction; }
  QAction* copyNamesLabelsAction() const { return m_copyNamesLabelsAction; }
  QAction* copyAllAction() const { return m_copyAllAction; }
  // The tool bar's find buttons: first, previous, next, last.
  const std::array<QAction*, 4>& findActions() const { return m_findActions; }
  // The Options menu's hide-column check items: Missing, Format, Measure and
  // Role, each with its column as its tag; the check mark means hidden.
  enum HideItem { HideMissing, HideFormat, HideMeasure, HideRole };
  QAction* hideColumnItem(HideItem item) const { return m_hideColumnItems[item]; }
  // Hides or shows the item's column, with the check mark to match.
  void SetColumnHidden(HideItem item, bool hidden);
  bool columnHidden(HideItem item) const;

  // 1 when findNameEdit was the last find box used, 2 for findLabelEdit.
  int lastFindBox() const { return m_lastFindBox; }

  // Asked before the grid's keys act: while it holds, Escape asks for the
  // pass to be cancelled and every other key is ignored.
  void SetBusyQuery(std::function<bool()> busy) { m_busy = std::move(busy); }

  // Every control of the pane, enabled or disabled together.
  void SetEnabled(bool enabled);
  // A file was opened or closed: no filter, empty find boxes.
  void ClearFind();

  // --- Find and filter ------------------------------------------------
  void FocusLastFindBox();
  // Moves to the next variable, in a direction, whose name (findNameEdit's text) or
  // label (findLabelEdit's) holds the text; reports "not found" in a message box.
  bool FindVariable(bool forward, bool fromEnd);
  // Moves to the first variable after the current one, going on from the
  // top after the last, for which matches holds; false (nothing moves) when
  // none does. The find boxes are left as they are.
  bool FindNextWhere(const std::function<bool(const VarRecord&)>& matches);

  // --- Selection and copy ---------------------------------------------
  // Copies the marked variables, or the current one, at the sender's tag's
  // level (a menu item's; 2 for any other sender).
  void PopupCopyClick(QObject* sender);
  void SelectAllVariablesClick();

  // --- Columns and order ----------------------------------------------
  // Sorts by the field: ascending on a new field, reversed on the same one.
  // The marks go; the cursor ends on the first row without the table's
  // cursor handler having run.
  void SortVariables(const std::string& fieldName);
  // The field a title click sorts by; empty for a column without one.
  static std::string ColumnField(int column);
  // Gives the label column the room the other columns leave (never below 0).
  void VariablesGridColumnWidthChanged();
  // Shows or hides the column named by the item's tag and inverts its
  // check mark (the check mark means hidden).
  void HideFormatcolumnClick(QAction* item);
  // The width column has before the user or the options change it: the
  // design width, or its title's where the platform font needs more.
  int DefaultColumnWidth(int column) const;
  // Gives every column its default width; the label column then takes the
  // room the others leave.
  void RestoreDefaultColumnWidths();

 signals:
  // The current variable may have changed: after a move in the table, a
  // find, a filter switch or a shift-click.
  void currentChanged();
  // Enter, or a double-click on a row: labels and frequencies swap.
  void toggleDisplayRequested();
  // A title click or F5 asks for the variables sorted by a field.
  void sortRequested(const std::string& fieldName);
  // Ctrl+D: the file's document lines.
  void documentRequested();
  // Ctrl+N: the file opened with its registered command.
  void openWithCommandRequested();
  // Escape while the pane is busy: the running pass should stop.
  void cancelRequested();

 private:
  void createFindBar();
  void createGrid();
  void createVariablesMenu(QWidget* owner);
  void createActions(QWidget* owner);
  bool findVariable(bool forward, bool fromEnd, bool refresh);
  // The four find buttons: tag 1 first, 2 previous, 3 next, 4 last.
  void FindButtonClick(QAction* sender);
  // Keys of both find boxes; true when the key was a find command.
  bool FindBoxKeyDown(QLineEdit* box, QKeyEvent* event);
  // A find box was entered: the other one is emptied.
  void FindBoxEnter(QLineEdit* box);
  void FilterCheckClick();
  void VariableListFilterRecord(bool& accept);
  void VariablesGridKeyDown(QKeyEvent* event);
  void VariablesGridMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers mods, int x, int y,
                              bool doubleClick);
  void VariablesGridDrawColumnCell(const VarRecord& rec, bool selected, bool marked,
                                   QColor& background, QColor& text);
  // Space: marks the current row and the next, and moves to the next.
  void MarkAndMoveOn();
  // Right button: the popup menu at the grid point (x, y).
  void ShowPopupMenu(int x, int y);
  // Shift+click on a grid row: marks every row from the cursor to it and
  // moves there. Outside the data rows nothing is marked.
  void MarkRangeTo(int gridRow);
  // Any other click: Ctrl marks row by row, a plain click drops every mark.
  void SetMarking(bool rowByRow);

  UiService& m_ui;
  QFrame* m_findBar = nullptr;
  QLineEdit* m_findNameEdit = nullptr;
  QLineEdit* m_findLabelEdit = nullptr;
  QCheckBox* m_filterCheck = nullptr;
  VariablesGrid* m_variablesGrid = nullptr;
  VariableList m_variableList;
  QMenu* m_variablesMenu = nullptr;
  QMenu* m_copySelectedMenu = nullptr;
  QAction* m_copyNamesAction = nullptr;
  QAction* m_copyNamesLabelsAction = nullptr;
  QAction* m_copyAllAction = nullptr;
  QAction* m_selectAllAction = nullptr;
  std::array<QAction*, 4> m_findActions{};
  std::array<QAction*, 4> m_hideColumnItems{};
  int m_lastFindBox = 1;
  std::function<bool()> m_busy;
  QObject* m_findBoxEvents = nullptr;
  QObject* m_gridEvents = nullptr;
};

}  // namespace brindle
