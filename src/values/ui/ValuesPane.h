// The values pane's state: the caption Label1 (in the find bar), the values
// grid StringGrid1 and the statistics box Memo1 in Panel2, the grid's popup
// menu, what the pane shows (value labels or a frequency table, its rows and
// sort key) and the frequency pass that fills it. The window builds the
// widgets and its values handlers (values/ui/) work on this state.
#pragma once

#include <QColor>

#include <string>
#include <vector>

#include "values/FrequencyRunner.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QWidget;

namespace brindle {

class TValStringGrid;

struct ValuesPane {
  QLabel* Label1 = nullptr;
  QWidget* Panel2 = nullptr;
  TValStringGrid* StringGrid1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;

  // The values grid's popup menu, opened by its right-button handler.
  QMenu* PopupMenu2 = nullptr;
  QAction* Copy1 = nullptr;
  QAction* SelectAllValues = nullptr;

  // The fewest rows the grid has: as many as its height shows.
  int MinValueRows = 1;
  // Colour of the counts: red when the file's case count was an estimate.
  QColor CountColor{0, 0, 255};

  // Whether the pane follows the variables grid with frequency tables.
  bool FrequenciesMode = false;
  // The pane shows a frequency table (not value labels).
  bool FrequencyTableShown = false;
  int ValueRowCount = 0;
  int SortKey = 1;
  bool SortDescending = false;

  // The pass that counts the frequencies; it knows whether it runs.
  FrequencyRunner Runner;
  // The statistics of the last numeric table, three lines as counted.
  std::vector<std::string> StatisticsLines;
};

}  // namespace brindle
