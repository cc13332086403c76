// The main window: tool bar, find panel, the variables grid on the left, the
// values pane on the right, the status bar, the menus, and the state of the
// one open data file. Its handlers are thin: the work is done by the
// GUI-free core (datafile/, variables/, values/, format/).
//
// The handlers live beside the subsystem they serve:
//   app/            frame, lifecycle, enabling, dropped files
//   datafile/ui/    open, close, dictionary loading, file properties,
//                   document window, write-access release
//   variables/ui/   the variables grid and its table
//   values/ui/      the values pane
#pragma once

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <string>
#include <vector>

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

class TAboutBox;
class TBxDBGrid;
class THelpWindow;
class TShowDocFrm;
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

  // The values grid's popup menu, opened by its right-button handler.
  QMenu* PopupMenu2 = nullptr;
  QAction* Copy1 = nullptr;
  QAction* SelectAllValues = nullptr;

  // The document window; lives as long as this window.
  TShowDocFrm* ShowDocFrm = nullptr;

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
  // Options (app/Options.cpp): "&Save options" and "Restore default options".
  void SaveoptionsClick();
  void RestoreDefaultOptionsClick();
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
  // File > Export (src/export/ui/ExportHandlers.cpp): kind 0 data, 1 variable
  // properties, 2 value labels.
  void connectExportHandlers();
  void ExportClick(int kind);
  // The document window with the file's document lines (ShowDocBtn, Ctrl+D).
  void ShowDocBtnClick();

  // --- Write-access release (datafile/ui/) ----------------------------
  // "Allow &write access": toggles the check mark.
  void Releasefilehandle1Click();
  // The application lost the foreground: with the option on, lets go of the
  // open file (not while a frequency pass reads it).
  void ApplicationEvents1Deactivate();
  // The application is in the foreground again: takes a released file back;
  // a file that changed meanwhile is offered for reloading, a file that is
  // gone is reported and closed.
  void ApplicationEvents1Activate();
  // Whether the open file may be read through FileHandle now. A released
  // file is taken back first; one that changed or went meanwhile may not be
  // read: it is offered for reloading (or reported and closed) from the event
  // loop, and false returned. True when no file is open.
  bool HoldFile();

  // --- Find and filter (variables/ui/) --------------------------------
  // Puts the focus in the find box that was used last (LastFindBox).
  void FocusLastFindBox();
  // Moves the variables grid to the next variable, in a direction, whose name
  // (Edit1's text) or label (Edit2's) holds the text; reports "not found" in
  // a message box. Returns whether a variable was found.
  bool FindVariable(bool forward, bool fromEnd);
  // The four find buttons: tag 1 first, 2 previous, 3 next, 4 last.
  void RepFindBtn1Click(QAction* sender);
  // Keys of both find boxes; true when the key was a find command.
  bool Edit1KeyDown(QLineEdit* box, QKeyEvent* event);
  // A find box was entered: the other one is emptied.
  void Edit2Enter(QLineEdit* box);
  // Switches the filter to Filter1's check mark.
  void Filter1Click();
  // The variables table's filter predicate.
  void VarMemDataFilterRecord(bool& accept);

  // --- Variable selection and copy (variables/ui/) --------------------
  QMenu* PopupMenu1 = nullptr;
  QMenu* CopySelected1 = nullptr;
  QAction* Variables1 = nullptr;
  QAction* VariablesLabels1 = nullptr;
  QAction* All1 = nullptr;
  QAction* SelectAllVariables = nullptr;
  // Copies the marked variables, or the current one, at the sender's tag's
  // level (a menu item's; 2 for any other sender).
  void PopupCopyClick(QObject* sender);
  // Marks every variable of the view; earlier marks stay.
  void SelectAllVariablesClick();

  // --- Help and About (app/HelpHandlers.cpp) -------------------------
  QMenu* HelpMenu = nullptr;
  QAction* HelpOverview = nullptr;
  QAction* HelpTopics = nullptr;
  QAction* HelpKeys = nullptr;
  QAction* About1 = nullptr;
  TAboutBox* AboutBox = nullptr;
  THelpWindow* HelpWindow = nullptr;
  // "Overview" and "Shortcut Keys": the topic of the item's context number.
  void HelpOverviewClick(QAction* item);
  // "Topics": the contents of the help pages.
  void HelpTopicsClick();
  // "&About...": the About box, not modal.
  void About1Click();
  // F1: the topic of the control with the focus.
  void ShowContextHelp();
  // The help window with the topic of a context number (0: the contents).
  void ShowHelpTopic(int context);

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

  // --- Values grid sorting, drawing and copy (values/ui/) --------------
  // Key 0 sorts by label, 1 by fill order, 2 (and 3) by count; the same key
  // again inverts the direction.
  void SortValuesGrid(int key);
  void SortRowsByLabel(bool descending);
  void SortRowsByCount(bool descending);
  // The selected block as tab-separated text (a tab after every cell,
  // CR LF after every row); empty text when sender is not the values grid.
  void CopySelectionToClip(QObject* sender);
  void Copy1Click();
  void SelectAllValuesClick();
  void StringGrid1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers mods, int x, int y,
                            bool doubleClick);
  // Ignores (consumes) the keys it acts on.
  void StringGrid1KeyDown(QKeyEvent* event);
  void StringGrid1DrawCell(int col, int row, bool selected, QColor& background, QColor& text,
                           Qt::Alignment& align);
  // Ctrl+A selects the statistics text, Ctrl+C copies the selected part.
  void Memo1KeyDown(QKeyEvent* event);

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
  void connectFindHandlers();
  void createPopupMenu1();
  bool findVariable(bool forward, bool fromEnd, bool refresh);
  void createPanes();
  void createStatusBar();
  void connectHandlers();
  void createHelp();
  // Creates the document window and connects the file properties, document
  // and release commands and the application's activation.
  void connectFileInfoHandlers();
  // After a released file was found changed or gone on its way back: the
  // question and reload, or the message and close.
  void settleStaleFile();
  bool readSettings();
  void saveWindowPlacement();
  void setApplicationTitle(const QString& title);
  void placeLabel1();
  void attachValuesWidthHandler(bool attach);
  // Creates PopupMenu2 and attaches the values grid's and the memo's handlers.
  void connectValuesGridHandlers();
  // Writes m_statisticsLines into Memo1, three label/value pairs a line when
  // they fit its width, two otherwise, with tab stops that line them up.
  void layoutStatistics();
  // Widens the "Freq" column, and the "Value" column of a numeric variable,
  // to their widest texts.
  void fitNumberColumns();
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
  // The stored placement gave a position that the first show keeps.
  bool m_keepPosition = false;
  // The statistics of the last numeric table, three lines as counted.
  std::vector<std::string> m_statisticsLines;
};

}  // namespace brindle
