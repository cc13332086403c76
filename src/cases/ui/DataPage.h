// The data page: the cases of the open file in a grid, one row per case with
// its case number in the fixed title column, one column per variable of the
// variables view, titled by name (the label in the title's tooltip).
//
// While the grid has the focus the page takes its own keys: Ctrl+G go to a
// case, Ctrl+Home / Ctrl+End the first / last case, Ctrl+F find in the
// current column, F3 / Shift+F3 the next / previous match, Ctrl+C and
// Ctrl+Shift+C copy the selected block (the second with a line of names),
// Escape stops a sort or find. A click on a column's title sorts by it:
// ascending, descending, then file order. Sorts and finds read the column on
// the task pool; the window stays responsive and the status line tells the
// progress after half a second.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cases/CaseFind.h"
#include "cases/CaseOrder.h"
#include "cases/CaseView.h"
#include "cases/CellText.h"
#include "controls/GridBase.h"
#include "spssio/TaskPool.h"

namespace brindle {

class CaseView;
class CasesModel;
class SystemFile;
class UiService;

// The grid itself: uniform rows, hints for clipped cells, and the page's keys
// taken before the window's shortcuts see them.
class CasesGrid : public GridBase {
  Q_OBJECT

 public:
  explicit CasesGrid(QWidget* parent = nullptr);
  // Run for a key the page takes; true when it was handled.
  std::function<bool(QKeyEvent*)> OnPageKey;
  // Whether the page takes this key (the window's shortcut then stays quiet).
  static bool IsPageKey(const QKeyEvent* event);

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool viewportEvent(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  HintTarget HintCellAt(QPoint pos, QString& text, int& width) const override;
};

class DataPage : public QWidget {
  Q_OBJECT

 public:
  explicit DataPage(UiService& ui, QWidget* parent = nullptr);
  ~DataPage() override;

  CasesGrid* grid() const { return m_grid; }
  CasesModel* model() const { return m_model; }
  CaseView* view() const { return m_view.get(); }

  // A file was opened; the page keeps it until closeFile(), which the
  // window calls before it closes or releases the file. cases is the count
  // the program works with; estimated when the data is damaged (the window
  // has said so already).
  void openFile(std::shared_ptr<SystemFile> file, const std::string& path, std::int64_t cases,
                bool estimated);
  SystemFile* file() const { return m_file; }
  void closeFile();
  bool hasFile() const { return m_view != nullptr; }
  // The columns: dictionary positions of the variables view, in its order.
  void setColumns(const std::vector<std::size_t>& vars);
  // How values are written ("Fixed decimal format", separators) and whether
  // value labels stand in for values.
  void setCellOptions(bool fixedFormat, const NumberSeparators& seps);
  void setShowLabels(bool on);
  bool showLabels() const { return m_options.mode == CellMode::Labels; }

  // The current variable (a dictionary position): its column gets the
  // cursor, on the same case.
  void setCurrentVariable(std::size_t var);
  std::optional<std::size_t> currentVariable() const;
  // The case (1-based) under the cursor; 0 when none.
  std::int64_t currentCase() const;

  // --- Commands ---------------------------------------------------------
  void goToCasePrompt();  // Ctrl+G
  // Puts the cursor on case `number` (1-based, in the file) in the current
  // column; a clear message and no move for a number that is not a case.
  bool goToCase(const QString& number);
  void goToFirst();  // Ctrl+Home
  void goToLast();   // Ctrl+End
  void findPrompt();  // Ctrl+F
  // Finds text in the current column from the cursor on; F3 / Shift+F3
  // repeat it forward / backward.
  void find(const QString& text, bool forward);
  void findAgain(bool forward);
  // Sorts by a column: the next of ascending, descending, file order.
  void sortByColumn(int column);
  // Stops a running sort, find or copy; true when one ran.
  bool stopWork();
  bool working() const { return m_job != nullptr; }
  // The selected block as tab-separated lines (CR LF), to the clipboard;
  // a large block is copied on the pool, like a sort.
  void copySelection(bool header);

 signals:
  // The cursor moved to another variable's column.
  void currentVariableChanged(std::size_t var);
  // A text for the window's status line (empty clears it).
  void statusMessage(const QString& text);

 private:
  struct Job;
  bool pageKey(QKeyEvent* e);
  void moveTo(std::int64_t row, int column);
  void readAheadVisible();
  void startJob(std::unique_ptr<Job> job);
  void pollJob();
  void finishFind(std::int64_t row, bool forward);
  void finishCopy(const CopiedCells& copied, std::int64_t rows);
  // The rows in their new order; the cursor stays on case caseNow (1-based).
  void applyOrder(int column, int state, std::int64_t caseNow);
  void showDamageOnce();
  int currentColumn() const;

  UiService& m_ui;
  CasesGrid* m_grid = nullptr;
  CasesModel* m_model = nullptr;
  std::shared_ptr<SystemFile> m_fileHeld;
  SystemFile* m_file = nullptr;
  std::unique_ptr<CaseView> m_view;
  CellOptions m_options;
  std::vector<std::size_t> m_vars;
  bool m_estimated = false;
  bool m_damageShown = false;
  bool m_countShown = false;  // the status line tells the count pass's progress

  // The sort: the column's variable and its state (0 file order, 1 up, 2 down).
  std::optional<std::size_t> m_sortVar;
  int m_sortState = 0;

  // The last find: its text, variable and marks.
  QString m_findText;
  std::optional<std::size_t> m_findVar;
  bool m_findLabels = false;
  std::shared_ptr<CaseMatches> m_matches;

  std::unique_ptr<Job> m_job;
  QTimer m_poll;
  QElapsedTimer m_jobClock;
};

}  // namespace brindle
