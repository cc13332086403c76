// The values pane: the caption captionLabel (which the window places in the find
// bar), the values grid valuesGrid and the statistics box statisticsText in valuesPanel,
// the grid's popup menu, what the pane shows (value labels or a frequency
// table, its rows and sort key) and the frequency pass that fills it.
//
// The pane shows the current variable of the variables table it is given,
// counted with the tool bar's case weighting. It creates and connects its
// own popup menu, keys and mouse presses; what concerns the rest of the
// window (the find boxes, the filter, the document, a swap between labels
// and frequencies) it asks for with a signal, as it tells when its caption
// or row count changed. The window decides when the file may be read.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "format/NumberText.h"
#include "values/FrequencyRunner.h"

class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QObject;
class QPlainTextEdit;
class QWidget;

namespace brindle {

class CaseWeighting;
class FrequencyChartView;
class SystemFile;
class ValuesGrid;
class VariableList;
class UiService;

class ValuesPane : public QObject {
  Q_OBJECT

 public:
  // Creates the widgets without a parent (the window places captionLabel and
  // valuesPanel); the popup menu belongs to menuOwner. The service, the table and
  // the weighting must outlive the pane.
  ValuesPane(UiService& ui, QWidget* menuOwner, VariableList& variables,
             const CaseWeighting& weighting);
  ~ValuesPane() override;

  // --- Widgets, for the window to place ------------------------------
  QLabel* captionLabel() const { return m_captionLabel; }
  // The values grid above the statistics box.
  QWidget* valuesPanel() const { return m_valuesPanel; }
  ValuesGrid* valuesGrid() const { return m_valuesGrid; }
  QPlainTextEdit* statisticsText() const { return m_statisticsText; }
  // The values grid's popup menu, opened by its right-button handler.
  QMenu* valuesMenu() const { return m_valuesMenu; }
  QAction* copyAction() const { return m_copyAction; }
  // The chart of the frequency table, under the grid while shown.
  FrequencyChartView* chartView() const { return m_chartView; }
  bool chartShown() const { return m_chartShown; }

  // --- What the pane shows --------------------------------------------
  // The fewest rows the grid has: as many as its height shows.
  int minValueRows() const { return m_minValueRows; }
  // Colour of the counts: red when the file's case count was an estimate.
  QColor countColor() const { return m_countColor; }
  // Whether the pane follows the variables grid with frequency tables.
  bool frequenciesMode() const { return m_frequenciesMode; }
  void SetFrequenciesMode(bool on) { m_frequenciesMode = on; }
  // The pane shows a frequency table (not value labels).
  bool frequencyTableShown() const { return m_frequencyTableShown; }
  int valueRowCount() const { return m_valueRowCount; }
  // Key 0 label, 1 fill order, 2 count; and its direction.
  int sortKey() const { return m_sortKey; }
  bool sortDescending() const { return m_sortDescending; }
  // Whether a frequency pass runs; a cancel ends it at its next batch.
  bool Counting() const { return m_runner.Counting(); }
  void CancelPass() { m_runner.RequestCancel(); }
  // Stops the count of the other variables' tables in the background and
  // drops the tables kept: before the open file is closed or released.
  void ForgetKeptTables() { m_runner.ForgetTables(); }

  // Title of a values grid column.
  static QString ValueTitle(int col);

  // --- The file and the window --------------------------------------
  void SetEnabled(bool enabled);
  // The window was first shown: titles in the title row, the label and
  // value columns' widths kept as the ones to restore, nothing selected.
  void FirstShown();
  // MinValueRows from the grid's height, and its row count from that.
  void FitRows();
  // A file was opened: counts in blue, the fill order.
  void StartFile();
  // The file's case count is an estimate: counts in red.
  void MarkCountsEstimated();
  // The file was closed: no rows, no caption, no statistics.
  void Clear();
  // The current variable changed: back to the top, in fill order.
  void StartVariable();
  void HideStatistics();

  // --- What the pane shows ------------------------------------------
  // The value labels of the current variable, read through the open file.
  void ShowValueLabels(const SystemFile* file, const NumberSeparators& seps);
  // The frequency table of the current variable, counted over the cases;
  // the window's events are handled between batches. True when the user
  // moved to another variable meanwhile.
  bool ShowFrequencies(const FrequencyPass& pass);
  // Empties the pane where no pass can run (no cases to count).
  void ShowNoFrequencies();
  // Gives the label column (the value column for a long string's frequency
  // table) the room the other columns leave.
  void ValuesGridColumnWidthChanged();
  // The width a column has before the user or the options change it: the
  // design width, or its title's where the platform font needs more.
  int DefaultColumnWidth(int column) const;
  // Gives the value, count and percentage columns their default widths (a
  // hidden label column's value column keeps its room and takes the default
  // when the labels come back); the label column takes the room left.
  void RestoreDefaultColumnWidths();

  // --- The chart (values/ui/ValuesChart.cpp) ---------------------------
  // Shows or hides the chart under the grid.
  void SetChartShown(bool shown);
  // Draws the chart of what the grid shows: bars in the grid's row order
  // (at most 200), or the histogram; nothing for value labels.
  void RefreshChart();

  // --- Sorting, selection, copy, drawing, keys ----------------------
  // Key 0 sorts by label, 1 by fill order, 2 (and 3) by count; the same key
  // again inverts the direction.
  void SortValuesGrid(int key);
  void SortRowsByLabel(bool descending);
  void SortRowsByCount(bool descending);
  // The selected block as tab-separated text (a tab after every cell,
  // CR LF after every row); empty text when sender is not the values grid.
  void CopySelectionToClip(QObject* sender);
  void CopyClick();
  void SelectAllValuesClick();
  void ValuesGridDrawCell(int col, int row, bool selected, QColor& background, QColor& text,
                          Qt::Alignment& align);

 signals:
  // The caption's text changed: the window places it anew.
  void captionChanged();
  // The row count's text (empty for none), for the status bar.
  void countChanged(const QString& text);
  // Enter, or a double-click on the rows: labels and frequencies swap.
  void toggleDisplayRequested();
  // Backspace, Delete, F2 or Ctrl+F: the find box used last.
  void findBoxRequested();
  // F8: the filter switched.
  void filterSwitchRequested();
  // Ctrl+D: the file's document lines.
  void documentRequested();

 private:
  // Focus, the popup menu, or a sort on a title; true for a double-click on
  // the rows, which toggles between labels and frequencies.
  bool ValuesGridMouseDown(Qt::MouseButton button, int x, int y, bool doubleClick);
  // Ignores (consumes) the keys it acts on.
  void ValuesGridKeyDown(QKeyEvent* event);
  // Ctrl+A selects the statistics text, Ctrl+C copies the selected part.
  void StatisticsTextKeyDown(QKeyEvent* event);
  void createGrid();
  void createMemo();
  void createValuesMenu(QWidget* owner);
  void attachWidthHandler(bool attach);
  // Empties the grid's rows and lists and lists the titles again.
  void startValueRows();
  // Puts a finished (or cancelled) pass on screen.
  void showFrequencyResult(const FrequencyResult& result);
  // Writes the statistics lines into statisticsText, three label/value pairs a line when
  // they fit its width, two otherwise, with tab stops that line them up.
  void layoutStatistics();
  // Widens the "Freq" column, and the "Value" column of a numeric variable,
  // to their widest texts.
  void fitNumberColumns();

  UiService& m_ui;
  QLabel* m_captionLabel = nullptr;
  QWidget* m_valuesPanel = nullptr;
  ValuesGrid* m_valuesGrid = nullptr;
  QPlainTextEdit* m_statisticsText = nullptr;
  QMenu* m_valuesMenu = nullptr;
  QAction* m_copyAction = nullptr;
  QAction* m_selectAllAction = nullptr;
  FrequencyChartView* m_chartView = nullptr;
  bool m_chartShown = false;
  int m_minValueRows = 1;
  QColor m_countColor{0, 0, 255};
  bool m_frequenciesMode = false;
  bool m_frequencyTableShown = false;
  int m_valueRowCount = 0;
  int m_sortKey = 1;
  bool m_sortDescending = false;
  // The pass that counts the frequencies; it knows whether it runs.
  FrequencyRunner m_runner;
  // The statistics of the last numeric table, three lines as counted.
  std::vector<std::string> m_statisticsLines;
  VariableList& m_variables;
  const CaseWeighting& m_weighting;
  QObject* m_memoEvents = nullptr;
  QObject* m_gridEvents = nullptr;
};

}  // namespace brindle
