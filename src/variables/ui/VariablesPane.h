// The variables pane: the find bar (findBar with the find boxes findNameEdit and
// findLabelEdit and the check box filterCheck), the variables grid variablesGrid over the
// variables table variableList, the grid's marks and popup menu, the sort order
// and the find box used last. The window places the widgets and hands the
// events of its own controls (find buttons, menu items, the grid's keys) to
// the pane; the pane tells the window when the current variable may have
// changed.
#pragma once

#include <QColor>
#include <QString>

#include <functional>
#include <string>

#include "variables/VariableList.h"

class QAction;
class QCheckBox;
class QFrame;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QObject;
class QWidget;

namespace brindle {

class VariablesGrid;
class UiService;
struct VarRecord;

class VariablesPane {
 public:
  // Creates the widgets without a parent (the window places them); the popup
  // menu belongs to menuOwner. The service must outlive the pane.
  VariablesPane(UiService& ui, QWidget* menuOwner);
  ~VariablesPane();
  VariablesPane(const VariablesPane&) = delete;
  VariablesPane& operator=(const VariablesPane&) = delete;

  QFrame* findBar = nullptr;
  QLineEdit* findNameEdit = nullptr;
  QLineEdit* findLabelEdit = nullptr;
  QCheckBox* filterCheck = nullptr;
  VariablesGrid* variablesGrid = nullptr;
  // The variables table; the grid shows its view.
  VariableList variableList;

  // The grid's popup menu, opened by its right-button handler.
  QMenu* variablesMenu = nullptr;
  QMenu* copySelectedMenu = nullptr;
  QAction* copyNamesAction = nullptr;
  QAction* copyNamesLabelsAction = nullptr;
  QAction* copyAllAction = nullptr;
  QAction* SelectAllVariables = nullptr;

  // 1 when findNameEdit was the last find box used, 2 for findLabelEdit.
  int LastFindBox = 1;

  // Run after a find, a filter switch or a shift-click moved the cursor with
  // the table's own cursor handler held back: the window's cursor handler.
  std::function<void()> OnCurrentChanged;

  // Every control of the pane, enabled or disabled together.
  void SetEnabled(bool enabled);
  // A file was opened or closed: no filter, empty find boxes.
  void ClearFind();

  // --- Find and filter ------------------------------------------------
  void FocusLastFindBox();
  // Moves to the next variable, in a direction, whose name (findNameEdit's text) or
  // label (findLabelEdit's) holds the text; reports "not found" in a message box.
  bool FindVariable(bool forward, bool fromEnd);
  // The four find buttons: tag 1 first, 2 previous, 3 next, 4 last.
  void FindButtonClick(QAction* sender);
  // Keys of both find boxes; true when the key was a find command.
  bool FindBoxKeyDown(QLineEdit* box, QKeyEvent* event);
  // A find box was entered: the other one is emptied.
  void FindBoxEnter(QLineEdit* box);
  void FilterCheckClick();
  void VariableListFilterRecord(bool& accept);
  // Moves to the first variable after the current one, going on from the
  // top after the last, for which matches holds; false (nothing moves) when
  // none does. The find boxes are left as they are.
  bool FindNextWhere(const std::function<bool(const VarRecord&)>& matches);

  // --- Selection and copy ---------------------------------------------
  // Copies the marked variables, or the current one, at the sender's tag's
  // level (a menu item's; 2 for any other sender).
  void PopupCopyClick(QObject* sender);
  void SelectAllVariablesClick();
  // Space: marks the current row and the next, and moves to the next.
  void MarkAndMoveOn();
  // Right button: the popup menu at the grid point (x, y).
  void ShowPopupMenu(int x, int y);
  // Shift+click on a grid row: marks every row from the cursor to it and
  // moves there. Outside the data rows nothing is marked.
  void MarkRangeTo(int gridRow);
  // Any other click: Ctrl marks row by row, a plain click drops every mark.
  void SetMarking(bool rowByRow);

  // --- Columns and order ----------------------------------------------
  // Sorts by the field: ascending on a new field, reversed on the same one.
  // The marks go; the cursor ends on the first row without the table's
  // cursor handler having run.
  void SortVariables(const std::string& fieldName);
  // The field a title click sorts by; empty for a column without one.
  static std::string ColumnField(int column);
  void VariablesGridDrawColumnCell(const VarRecord& rec, bool selected, bool marked, QColor& background,
                             QColor& text);
  // Gives the label column the room the other columns leave (never below 0).
  void VariablesGridColumnWidthChanged();
  // Shows or hides the column named by the item's tag; the check mark means hidden.
  void HideFormatcolumnClick(QAction* item);
  // The width column has before the user or the options change it: the
  // design width, or its title's where the platform font needs more.
  int DefaultColumnWidth(int column) const;
  // Gives every column its default width; the label column then takes the
  // room the others leave.
  void RestoreDefaultColumnWidths();

 private:
  void createFindBar();
  void createGrid();
  void createVariablesMenu(QWidget* owner);
  bool findVariable(bool forward, bool fromEnd, bool refresh);
  void currentChanged();

  UiService& m_ui;
  QObject* m_findBoxEvents = nullptr;
};

}  // namespace brindle
