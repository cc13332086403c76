// The main window: tool bar, the variables pane (find bar and variables grid)
// on the left, the values pane on the right, the status bar, the menus, and
// the state of the one open data file. Its handlers are thin: the work is
// done by the panes and the GUI-free core (datafile/, variables/, values/,
// format/).
//
// Where the state and the handlers live:
//   app/                          frame, lifecycle, enabling, dropped files;
//                                 PaneHandlers.cpp hands events to the panes
//   variables/ui/VariablesPane    find bar, variables grid and table, marks, sort
//   values/ui/WeightingControls   weight button and selector, case weighting
//   values/ui/ValuesPane          caption, values grid, statistics box, popup
//                                 menu, frequencies mode, sort, frequency pass
//   app/FileHandlers.cpp          the file commands: open, close, dictionary
//                                 loading, file properties, document window,
//                                 write-access release, open in the application,
//                                 export; their work is in datafile/ui/,
//                                 launch/ui/ and export/ui/
#pragma once

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <string>
#include <vector>

#include "app/RecentFiles.h"
#include "datafile/DataFileState.h"
#include "datafile/ui/OpenFileGuard.h"
#include "format/NumberText.h"
#include "values/CaseWeighting.h"
#include "values/FrequencyRunner.h"
#include "values/ui/ValuesPane.h"
#include "values/ui/WeightingControls.h"
#include "variables/VariableList.h"
#include "variables/ui/VariablesPane.h"

class QAction;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace brindle {

class AboutBox;
class VariablesGrid;
class HelpWindow;
class DocumentWindow;
class ValuesGrid;
class UiService;
class VariableDetailsBox;
struct VarRecord;

class MainWindow : public QMainWindow, public DataFileState {
  Q_OBJECT

 public:
  // Builds the window with every file command disabled; nothing is opened
  // until the window is first shown. The service must outlive the window.
  explicit MainWindow(UiService& ui, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The program's arguments (program name first). Only the first argument
  // after the program name is opened, when the window is first shown.
  void SetCommandLine(const QStringList& arguments);

  // --- Components, by their form names --------------------------------
  QToolBar* toolBar = nullptr;
  // The variables pane: the find bar findBar (findNameEdit, findLabelEdit, filterCheck), the
  // variables grid variablesGrid over the variables table variableList, its marks,
  // popup menu and sort order.
  VariablesPane Variables;
  // The weighting controls of the tool bar: weightButton and weightCombo.
  WeightingControls Weighting{this};
  // The values pane: captionLabel, valuesPanel with valuesGrid and statisticsText, valuesMenu,
  // what it shows and the frequency pass.
  ValuesPane Values;
  QSplitter* splitter = nullptr;
  QStatusBar* StatusBar = nullptr;

  // Tool-bar buttons.
  QAction* OpenBtn = nullptr;
  QAction* FrequenciesBtn = nullptr;
  QAction* InfoBtn = nullptr;
  QAction* ShowDocBtn = nullptr;
  QAction* OpeninSpssBtn = nullptr;
  QAction* findFirstAction = nullptr;
  QAction* findPreviousAction = nullptr;
  QAction* findNextAction = nullptr;
  QAction* findLastAction = nullptr;

  // Menu items. Check items carry their tag as the action's data.
  QAction* openAction = nullptr;
  QAction* FileInfoItem = nullptr;
  QAction* FileDocItem = nullptr;
  QAction* openInSpssAction = nullptr;
  QMenu* Exportmnu = nullptr;
  QAction* CodebookItem = nullptr;
  QAction* CloseItem = nullptr;
  QAction* exitAction = nullptr;
  QAction* ReleaseFileHandle = nullptr;
  QAction* fontAction = nullptr;
  QAction* HideMissingcolumn = nullptr;
  QAction* HideFormatcolumn = nullptr;
  QAction* HideMeasurecolumn = nullptr;
  QAction* HideRolecolumn = nullptr;
  // View menu (app/DictionaryHandlers.cpp).
  QMenu* ViewMenu = nullptr;
  QAction* VariableDetailsItem = nullptr;
  QAction* FindInAttributesItem = nullptr;
  VariableDetailsBox* DetailsBox = nullptr;
  QAction* UsePrintFormat = nullptr;
  QAction* FrequenciesShown = nullptr;
  QAction* Saveoptions = nullptr;
  QAction* RestoreDefaultOptions = nullptr;

  // The document window; lives as long as this window.
  DocumentWindow* documentWindow = nullptr;

  // --- Window state ---------------------------------------------------
  double SysmisValue = 0;
  double LowestValue = 0;
  double HighestValue = 0;
  int LastClientWidth = 0;
  bool OptionsReset = false;

  // Text of a status bar panel (0 position, 1 label, 2 count).
  QString StatusText(int panel) const;
  void SetStatusText(int panel, const QString& text);

  // The status bar's warning sign: shown while the open file had warnings
  // (what the reader found wrong but could read past), with their number in
  // its tool tip; a click shows the properties report, which lists them.
  // Opening a file sets the count from the file, closing it clears it.
  QToolButton* warningSign() const { return m_warningSign; }
  void setWarningCount(std::size_t count);
  // The sign shows the open file's warnings as they are now: a pass may add
  // one (compressed data that goes on past the case count).
  void updateWarningCount();

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
  void ExitClick();
  // Options (app/Options.cpp): "&Save options" and "Restore default options".
  void SaveoptionsClick();
  void RestoreDefaultOptionsClick();
  void SplitterMoved();
  // Enables or disables every command that needs an open file, together.
  void EnableFileCommands(bool enabled);

  // --- Open file (app/FileHandlers.cpp, datafile/ui/) ----------------
  // Opens fileName, or asks for one when it is empty. A file that cannot be
  // opened is reported and leaves the open file, its name and the screen as
  // they were; a new file replaces the old one only once it has opened.
  // key: the key an earlier open of an encrypted file found (a reload).
  void OpenDataFile(const QString& fileName, const FileKey* key = nullptr);
  void OpenClick();
  // The folder the Open dialog starts in: the open file's, else the one
  // of the file opened last (kept with the options), else the working folder.
  QString openDialogFolder() const;
  // File > Recent Files: newest first; a file that is gone is taken off the
  // list with a message instead of being opened.
  QMenu* recentFilesMenu() const { return m_recentFilesMenu; }
  const RecentFiles& recentFiles() const { return m_recentFiles; }
  void openRecentFile(const QString& path);
  // Closes the open file and empties every pane (ignored while counting).
  void CloseItemClick();
  // Fills the variables table from the open file and shows the first variable.
  void GetVarInfo();
  // The file properties report (InfoBtn, "File &Properties", Ctrl+I).
  void ShowFileInfo();
  // File > Export (export/ui/ExportHandlers): kind 0 data, 1 variable
  // properties, 2 value labels.
  void connectExportHandlers();
  void ExportClick(int kind);
  // File > Codebook... (codebook/ui/CodebookHandlers): every variable of the
  // file, counted with the current weighting, into an HTML file.
  void CodebookClick();
  // View > Chart: the chart of the frequency table under the values grid.
  QAction* ChartItem = nullptr;
  // The document window with the file's document lines (ShowDocBtn, Ctrl+D).
  void ShowDocBtnClick();
  // View > Variable Details (Ctrl+Enter): the details box of the current
  // variable, which then follows the current variable while it is open.
  void VariableDetailsClick();
  void RefreshVariableDetails();
  // View > Find in Attributes: asks for a text and moves to the next
  // variable with an attribute value that holds it (any letter case).
  void FindInAttributesClick();

  // --- Write-access release (app/FileHandlers.cpp, datafile/ui/) -----
  // "Allow &write access": toggles the check mark.
  void ReleaseFileHandleClick();
  // The application lost the foreground: with the option on, lets go of the
  // open file (not while a frequency pass reads it).
  void ApplicationDeactivated();
  // The application is in the foreground again: takes a released file back;
  // a file that changed meanwhile is offered for reloading, a file that is
  // gone is reported and closed.
  void ApplicationActivated();
  // Whether the open file may be read through File now. A released
  // file is taken back first; one that changed or went meanwhile may not be
  // read: it is offered for reloading (or reported and closed) from the event
  // loop, and false returned. True when no file is open.
  bool HoldFile();

  // --- Find, filter, selection and copy -------------------------------
  // Each hands over to the variables pane, which documents them.
  void FocusLastFindBox();
  bool FindVariable(bool forward, bool fromEnd);
  void FindButtonClick(QAction* sender);
  bool FindBoxKeyDown(QLineEdit* box, QKeyEvent* event);
  void FindBoxEnter(QLineEdit* box);
  void FilterCheckClick();
  void VariableListFilterRecord(bool& accept);
  void PopupCopyClick(QObject* sender);
  void SelectAllVariablesClick();

  // --- Help and About (app/HelpHandlers.cpp) -------------------------
  QMenu* HelpMenu = nullptr;
  QAction* HelpOverview = nullptr;
  QAction* HelpTopics = nullptr;
  QAction* HelpKeys = nullptr;
  QAction* aboutAction = nullptr;
  AboutBox* aboutBox = nullptr;
  HelpWindow* helpWindow = nullptr;
  // "Overview" and "Shortcut Keys": the topic of the item's context number.
  void HelpOverviewClick(QAction* item);
  // "Topics": the contents of the help pages.
  void HelpTopicsClick();
  // "&About...": the About box, not modal.
  void AboutClick();
  // F1: the topic of the control with the focus.
  void ShowContextHelp();
  // The help window with the topic of a context number (0: the contents).
  void ShowHelpTopic(int context);

  // --- Open in the associated application (launch/ui/) ---------------
  // "Open File in &SPSS" (F10, OpeninSpssBtn): asks the desktop to open the file.
  void OpenInSpssClick();
  // Ctrl+N in the variables grid: starts the registered open command on the file.
  void OpenWithRegisteredCommand();

  // --- Variables grid (app/PaneHandlers.cpp, the variables pane) -----
  // The current variable changed: status bar and values pane follow it.
  void VariableListAfterScroll();
  // Sorts by the field (ascending on a new field, reversed on the same one);
  // the values pane then follows the first row once.
  void SortVariables(const std::string& fieldName);
  void VariablesGridTitleClick(int column);
  void VariablesGridDrawColumnCell(const VarRecord& rec, int col, bool selected, bool marked,
                             QColor& background, QColor& text);
  void VariablesGridKeyDown(QKeyEvent* event);
  void VariablesGridMouseDown(VariablesGrid* grid, Qt::MouseButton button, Qt::KeyboardModifiers mods, int x,
                        int y, bool doubleClick);
  // The variables pane's.
  void VariablesGridColumnWidthChanged();
  void HideFormatcolumnClick(QAction* item);

  // --- Values pane (app/PaneHandlers.cpp, the values pane) -----------
  void ShowValueLabels();
  void ToggleDisplayLabels();
  void FrequenciesShownClick();
  // The frequency table of the current variable, counted (or weighted, with
  // weightButton down) over every case of the open file. Does nothing while a
  // pass runs or when the file has no cases. The window stays responsive
  // during the pass: Escape in the variables grid cancels it, a move in the
  // grid is shown once it is over, and closing the window waits for it.
  void ShowFrequencies();

  // --- Values grid sorting, drawing and copy --------------------------
  // Each hands over to the values pane, which documents them.
  void ValuesGridColumnWidthChanged();
  void SortValuesGrid(int key);
  void SortRowsByLabel(bool descending);
  void SortRowsByCount(bool descending);
  void CopySelectionToClip(QObject* sender);
  void CopyClick();
  void SelectAllValuesClick();
  void ValuesGridDrawCell(int col, int row, bool selected, QColor& background, QColor& text,
                           Qt::Alignment& align);
  void StatisticsTextKeyDown(QKeyEvent* event);
  // The pane's press (focus, popup menu, sort by a title); a double-click on
  // the rows toggles between labels and frequencies.
  void ValuesGridMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers mods, int x, int y,
                            bool doubleClick);
  // Ignores (consumes) the keys it acts on.
  void ValuesGridKeyDown(QKeyEvent* event);

  // --- Case weighting (app/PaneHandlers.cpp, the weighting controls) -
  // Fills the weight selector once per file from the variables table's
  // present order and filter, selecting the file's own weight variable.
  void FillWeightList();
  // The user picked item `index` of the weight selector.
  void WeightChosen(int index);
  // The user clicked weightButton; `down` is its new state.
  void WeightButtonClick(bool down);
  // A file was opened: empty selector, button up, weighting off.
  void ResetWeighting();
  // The weight variable the next weighted table uses; empty when none.
  const std::string& ActiveWeightName() const { return Weighting.Weighting().ActiveWeightName(); }

  // A pass reads the cases: the frequency runner's, or an export's. The file
  // stays held (not released, closed or replaced) meanwhile.
  bool Counting() const { return Values.Runner.Counting() || m_exporting; }
  // A weighted table is what the next frequency pass counts.
  bool WeightingOn() const { return Weighting.Weighting().WeightingOn(); }

  // Whether the values pane follows the variables grid with frequency tables.
  bool FrequenciesMode() const { return Values.FrequenciesMode; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
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
  void createHelp();
  // Creates the document window and connects the file properties, document
  // and release commands and the application's activation.
  void connectFileInfoHandlers();
  // The View menu: its actions, the menu and their connections.
  void createViewMenu();
  // After a released file was found changed or gone on its way back: the
  // question and reload, or the message and close.
  void settleStaleFile();
  bool readSettings();
  void updateRecentFilesMenu();
  void saveWindowPlacement();
  void setApplicationTitle(const QString& title);
  // Places the values pane's caption in the find bar, beside the filter box.
  void placeCaptionLabel();

  UiService& m_ui;
  // Closes the open file's handle, at the latest when the window goes.
  OpenFileGuard m_openFile{*this};
  QString m_commandLineFile;
  QString m_applicationTitle;
  NumberSeparators m_separators;
  std::array<QLabel*, 3> m_statusPanels{};
  QToolButton* m_warningSign = nullptr;
  QMenu* m_recentFilesMenu = nullptr;
  RecentFiles m_recentFiles;
  bool m_shown = false;
  // The window was asked to close while a pass read the file.
  bool m_closeAfterPass = false;
  // An export is reading the cases.
  bool m_exporting = false;
  // The stored placement gave a position that the first show keeps.
  bool m_keepPosition = false;
  // What Find in Attributes looked for last.
  QString m_attributeFindText;
};

}  // namespace brindle
