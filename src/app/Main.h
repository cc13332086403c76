// The main window: tool bar, find panel, the variables grid on the left, the
// values pane on the right, the status bar, the menus, and the state of the
// one open data file. Its handlers are thin: the work is done by the
// GUI-free core (datafile/, variables/, values/, format/).
//
// The handlers live beside the subsystem they serve:
//   app/            frame, lifecycle, enabling, dropped files
//   datafile/ui/    open, close, dictionary loading
//   variables/ui/   the variables grid and its table
//   values/ui/      the values pane
#pragma once

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <string>

#include "datafile/DataFileState.h"
#include "format/NumberText.h"
#include "values/CaseWeighting.h"
#include "values/FrequencyRunner.h"
#include "variables/TdxMemData.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QToolBar;
class QWidget;

namespace brindle {

class TBxDBGrid;
class TValStringGrid;
class UiService;
struct VarRecord;

class TForm1 : public QMainWindow, public DataFileState {
  Q_OBJECT

 public:
  // Builds the window with every file command disabled; nothing is opened
  // until the window is first shown. The service must outlive the window.
  explicit TForm1(UiService& ui, QWidget* parent = nullptr);
  ~TForm1() override;

  // The program's arguments (program name first). Only the first argument
  // after the program name is opened, when the window is first shown.
  void SetCommandLine(const QStringList& arguments);

  // --- Components, by their form names --------------------------------
  QToolBar* ToolBar1 = nullptr;
  QFrame* Panel1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QCheckBox* Filter1 = nullptr;
  QLabel* Label1 = nullptr;
  QSplitter* Splitter1 = nullptr;
  TBxDBGrid* VarGrid = nullptr;
  QWidget* Panel2 = nullptr;
  TValStringGrid* StringGrid1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QStatusBar* StatusBar = nullptr;
  QComboBox* WComboBox = nullptr;

  // Tool-bar buttons.
  QAction* OpenBtn = nullptr;
  QAction* FrequenciesBtn = nullptr;
  QAction* InfoBtn = nullptr;
  QAction* ShowDocBtn = nullptr;
  QAction* OpeninSpssBtn = nullptr;
  QAction* repfindbtn1 = nullptr;
  QAction* repfindbtn2 = nullptr;
  QAction* repfindbtn3 = nullptr;
  QAction* repfindbtn4 = nullptr;
  QAction* WeightBtn = nullptr;

  // Menu items. Check items carry their tag as the action's data.
  QAction* Open1 = nullptr;
  QAction* FileInfoItem = nullptr;
  QAction* FileDocItem = nullptr;
  QAction* OpenFileinSPSS1 = nullptr;
  QMenu* Exportmnu = nullptr;
  QAction* CloseItem = nullptr;
  QAction* Exit1 = nullptr;
  QAction* ReleaseFileHandle = nullptr;
  QAction* Font1 = nullptr;
  QAction* HideMissingcolumn = nullptr;
  QAction* HideFormatcolumn = nullptr;
  QAction* UsePrintFormat = nullptr;
  QAction* FrequenciesShown = nullptr;
  QAction* Saveoptions = nullptr;
  QAction* RestoreDefaultOptions = nullptr;

  // The variables table; the variables grid shows its view.
  TdxMemData VarMemData;

  // --- Window state ---------------------------------------------------
  double SysmisValue = 0;
  double LowestValue = 0;
  double HighestValue = 0;
  int LastClientWidth = 0;
  int MinValueRows = 1;
  bool OptionsReset = false;
  QColor CountColor{0, 0, 255};

  // Values pane.
  bool FrequencyTableShown = false;
  bool Counting = false;            // a frequency pass is reading the cases
  bool CountCancelRequested = false;
  int ValueRowCount = 0;
  int SortKey = 1;
  bool SortDescending = false;
  bool WeightingOn = false;

  // 1 when Edit1 was the last find box used, 2 for Edit2.
  int LastFindBox = 1;

  // Text of a status bar panel (0 position, 1 label, 2 count).
  QString StatusText(int panel) const;
  void SetStatusText(int panel, const QString& text);

  // The title plain messages carry: "Brindle", or the open file's name
  // followed by " - Brindle". It is also the application's name, so code
  // that stores settings names its key itself.
  QString ApplicationTitle() const { return m_applicationTitle; }

  // The separators numbers are written with: the user's locale.
  const NumberSeparators& Separators() const { return m_separators; }

  // --- Frame and lifecycle (app/) -------------------------------------
  void FormCreate();
  void FormShow();
  void FormResize();
  void FormClose();
  void FormDestroy();
  void Exit1Click();
  void Splitter1Moved();
  // Enables or disables every command that needs an open file, together.
  void EnableFileCommands(bool enabled);

  // --- Open file (datafile/ui/) ---------------------------------------
  // Opens fileName, or asks for one when it is empty. A file that cannot be
  // opened is reported and leaves the open file, its name and the screen as
  // they were; a new file replaces the old one only once it has opened.
  void OpenDataFile(const QString& fileName);
  void Open1Click();
  // Closes the open file and empties every pane (ignored while counting).
  void CloseItemClick();
  // Fills the variables table from the open file and shows the first variable.
  void GetVarInfo();
  // The file properties report (InfoBtn, "File &Properties", Ctrl+I).
  void ShowFileInfo();
  // The document window with the file's document lines (ShowDocBtn, Ctrl+D).
  void ShowDocBtnClick();

  // --- Find and filter (variables/ui/) --------------------------------
  // Puts the focus in the find box that was used last (LastFindBox).
  void FocusLastFindBox();

  // --- Open in the associated application (launch/ui/) ---------------
  // "Open File in &SPSS" (F10, OpeninSpssBtn): asks the desktop to open the file.
  void OpenFileinSPSS1Click();
  // Ctrl+N in the variables grid: starts the registered open command on the file.
  void OpenWithRegisteredCommand();

  // --- Variables grid (variables/ui/) ---------------------------------
  void VarMemDataAfterScroll();
  // Sorts by the field: ascending on a new field, reversed on the same one.
  void SortVariables(const std::string& fieldName);
  void VarGridTitleClick(int column);
  void VarGridDrawColumnCell(const VarRecord& rec, int col, bool selected, bool marked,
                             QColor& background, QColor& text);
  void VarGridKeyDown(QKeyEvent* event);
  void VarGridMouseDown(TBxDBGrid* grid, Qt::MouseButton button, Qt::KeyboardModifiers mods,
                        int x, int y, bool doubleClick);
  // Gives the label column the room the other columns leave (never below 0).
  void VarGridColumnWidthChanged();
  // Shows or hides the column named by the item's tag; the check mark means hidden.
  void HideFormatcolumnClick(QAction* item);

  // --- Values pane (values/ui/) ---------------------------------------
  void ShowValueLabels();
  void ToggleDisplayLabels();
  void FrequenciesShownClick();
  // The frequency table of the current variable, counted (or weighted, with
  // WeightBtn down) over every case of the open file. Does nothing while a
  // pass runs or when the file has no cases. The window stays responsive
  // during the pass: Escape in the variables grid cancels it, a move in the
  // grid is shown once it is over, and closing the window waits for it.
  void ShowFrequencies();
  // Gives the label column (the value column for a long string's frequency
  // table) the room the other columns leave.
  void StringGrid1ColumnWidthChanged();

  // --- Case weighting (values/ui/) ------------------------------------
  // Fills the weight selector once per file from the variables table's
  // present order and filter, selecting the file's own weight variable.
  void WComboBoxDropDown();
  // The user picked item `index` of the weight selector.
  void WComboBoxChange(int index);
  // The user clicked WeightBtn; `down` is its new state.
  void WeightBtnClick(bool down);
  // A file was opened: empty selector, button up, weighting off.
  void ResetWeighting();
  // The weight variable the next weighted table uses; empty when none.
  const std::string& ActiveWeightName() const { return m_weighting.ActiveWeightName(); }

  // Whether the values pane follows the variables grid with frequency tables.
  bool FrequenciesMode() const { return m_frequenciesMode; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // MinValueRows from the values grid's height, and its row count from that.
  void fitValueRows();
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void createActions();
  void createMenus();
  void createToolBar();
  void createFindPanel();
  void createPanes();
  void createStatusBar();
  void connectHandlers();
  bool readSettings();
  void saveWindowPlacement();
  void setApplicationTitle(const QString& title);
  void placeLabel1();
  void attachValuesWidthHandler(bool attach);
  // Title of a values grid column.
  static QString valueTitle(int col);
  // Empties the values grid's rows and lists and lists the titles again.
  void startValueRows();
  // Runs between batches of a frequency pass: lets the window handle what
  // is pending and passes an Escape on to the pass.
  void pumpDuringPass();
  // Puts a finished (or cancelled) pass on screen.
  void showFrequencyResult(const FrequencyResult& result);
  // Empties the values pane where no pass can run (no cases to count).
  void showNoFrequencies();
  // Brings the weight controls in line with m_weighting.
  void mirrorWeighting();

  UiService& m_ui;
  QString m_commandLineFile;
  QString m_applicationTitle;
  NumberSeparators m_separators;
  std::array<QLabel*, 3> m_statusPanels{};
  bool m_shown = false;
  bool m_frequenciesMode = false;
  FrequencyRunner m_runner;
  CaseWeighting m_weighting;
  // The window was asked to close while a pass read the file.
  bool m_closeAfterPass = false;
};

}  // namespace brindle
