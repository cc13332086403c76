// The main window: tool bar, the variables pane (find bar and variables grid)
// on the left, the values pane on the right, the status bar, the menus, and
// the state of the one open data file. Its handlers are thin: the work is
// done by the panes and the GUI-free core (datafile/, variables/, values/,
// format/).
//
// Where the state and the handlers live:
//   app/                          frame, lifecycle, enabling, dropped files;
//                                 PaneHandlers.cpp connects what crosses panes
//   variables/ui/VariablesPane    find bar, find buttons, variables grid and
//                                 table, its keys, marks, popup menu, sort,
//                                 hide-column items
//   values/ui/WeightingControls   weight button and selector, case weighting
//   values/ui/ValuesPane          caption, values grid and its keys,
//                                 statistics box, popup menu, frequencies
//                                 mode, sort, frequency pass
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
class QTabWidget;
class QToolButton;
class QWidget;

namespace brindle {

class AboutBox;
class DataPage;
class VariablesGrid;
class HelpWindow;
class DocumentWindow;
class ValuesGrid;
class UiService;
class VariableDetailsBox;
struct VarRecord;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the window with every file command disabled; nothing is opened
  // until the window is first shown. The service must outlive the window.
  explicit MainWindow(UiService& ui, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The program's arguments (program name first). Only the first argument
  // after the program name is opened, when the window is first shown.
  void SetCommandLine(const QStringList& arguments);

  // --- The panes and the open file ------------------------------------
  // The variables pane: find bar, find buttons, variables grid and table.
  VariablesPane& variablesPane() { return m_variables; }
  const VariablesPane& variablesPane() const { return m_variables; }
  // The values pane: caption, values grid, statistics box, frequency pass.
  ValuesPane& valuesPane() { return m_values; }
  const ValuesPane& valuesPane() const { return m_values; }
  // The tool bar's weight button and selector.
  WeightingControls& weighting() { return m_weighting; }
  const WeightingControls& weighting() const { return m_weighting; }
  // The open file's state; FileHandle is -1 while no file is open.
  const DataFileState& fileState() const { return m_file; }

  // Text of a status bar panel (0 position, 1 label, 2 count).
  QString StatusText(int panel) const;

  // The status bar's warning sign: shown while the open file had warnings
  // (what the reader found wrong but could read past), with their number in
  // its tool tip; a click shows the properties report, which lists them.
  // Opening a file sets the count from the file, closing it clears it.
  QToolButton* warningSign() const { return m_warningSign; }
  void setWarningCount(std::size_t count);

  // The title plain messages carry: "Brindle", or the open file's name
  // followed by " - Brindle". It is also the application's name, so code
  // that stores settings names its key itself.
  QString ApplicationTitle() const { return m_applicationTitle; }

  // The separators numbers are written with: the user's locale.
  const NumberSeparators& Separators() const { return m_separators; }

  // The I/O module's system-missing value and its lowest and highest
  // values, asked for when the window is first shown.
  double sysmisValue() const { return m_sysmisValue; }
  double lowestValue() const { return m_lowestValue; }
  double highestValue() const { return m_highestValue; }
  // The width the last resize left; the variables pane keeps its share of it.
  int lastClientWidth() const { return m_lastClientWidth; }
  // "Restore default options" ran: the placement is not saved on the way out.
  bool optionsReset() const { return m_optionsReset; }

  // The document window, the help window and the About box; each lives as
  // long as this window.
  DocumentWindow* documentWindow() const { return m_documentWindow; }
  HelpWindow* helpWindow() const { return m_helpWindow; }
  AboutBox* aboutBox() const { return m_aboutBox; }

  // --- Commands -------------------------------------------------------
  // Opens fileName, or asks for one when it is empty. A file that cannot be
  // opened is reported and leaves the open file, its name and the screen as
  // they were; a new file replaces the old one only once it has opened.
  // key: the key an earlier open of an encrypted file found (a reload).
  void OpenDataFile(const QString& fileName, const FileKey* key = nullptr);
  // The folder the Open dialog starts in: the open file's, else the one
  // of the file opened last (kept with the options), else the working folder.
  QString openDialogFolder() const;
  // File > Recent Files: newest first; a file that is gone is taken off the
  // list with a message instead of being opened.
  QMenu* recentFilesMenu() const { return m_recentFilesMenu; }
  const RecentFiles& recentFiles() const { return m_recentFiles; }
  // Closes the open file and empties every pane (ignored while counting).
  void CloseItemClick();
  // The file properties report (InfoBtn, "File &Properties", Ctrl+I).
  void ShowFileInfo();
  // The document window with the file's document lines (ShowDocBtn, Ctrl+D).
  void ShowDocBtnClick();
  // The application lost the foreground: with the option on, lets go of the
  // open file (not while a frequency pass reads it).
  void ApplicationDeactivated();
  // The application is in the foreground again: takes a released file back;
  // a file that changed meanwhile is offered for reloading, a file that is
  // gone is reported and closed.
  void ApplicationActivated();
  // Sorts by the field (ascending on a new field, reversed on the same one);
  // the values pane then follows the first row once.
  void SortVariables(const std::string& fieldName);
  // Value labels and the frequency table swap (Enter, a double-click).
  void ToggleDisplayLabels();
  // Options > Display Frequencies (F6) and the tool button: the values pane
  // follows the variables grid with frequency tables, or stops.
  void FrequenciesShownClick();
  // The frequency table of the current variable, counted (or weighted, with
  // weightButton down) over every case of the open file. Does nothing while a
  // pass runs or when the file has no cases. The window stays responsive
  // during the pass: Escape in the variables grid cancels it, a move in the
  // grid is shown once it is over, and closing the window waits for it.
  void ShowFrequencies();
  // Both grids' label columns take the room the splitter gives them.
  void SplitterMoved();
  // The variables pane keeps its share of the new width; the values pane
  // fits its rows and caption.
  void FormResize();

  // A pass reads the cases: the frequency runner's, or an export's. The file
  // stays held (not released, closed or replaced) meanwhile.
  bool Counting() const { return m_values.Counting() || m_exporting; }
  // A weighted table is what the next frequency pass counts.
  bool WeightingOn() const { return m_weighting.Weighting().WeightingOn(); }
  // The weight variable the next weighted table uses; empty when none.
  const std::string& ActiveWeightName() const { return m_weighting.Weighting().ActiveWeightName(); }
  // Whether the values pane follows the variables grid with frequency tables.
  bool FrequenciesMode() const { return m_values.frequenciesMode(); }

  // --- Pages (app/DataPageHandlers.cpp, cases/ui/) --------------------
  // Shows page 0 (Variables) or 1 (Data).
  void ShowPage(int page);
  bool DataPageShown() const;
  // The tabs of the two pages, and the data page.
  QTabWidget* pageTabs() const { return pages; }
  DataPage* dataPageWidget() const { return dataPage; }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void createActions();
  // Gives the window's actions and menus their object names.
  void nameActions();
  void createMenus();
  void createToolBar();
  void createFindPanel();
  void createPanes();
  void createStatusBar();
  void connectHandlers();
  // Connects the panes' signals: what one pane asks of another or of the
  // window (app/PaneHandlers.cpp).
  void connectPanes();
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
  void SetStatusText(int panel, const QString& text);
  // The sign shows the open file's warnings as they are now: a pass may add
  // one (compressed data that goes on past the case count).
  void updateWarningCount();

  // --- Frame and lifecycle (app/) -------------------------------------
  void FormCreate();
  void FormShow();
  void FormClose();
  void FormDestroy();
  void ExitClick();
  // Options (app/Options.cpp): "&Save options" and "Restore default options".
  void SaveoptionsClick();
  void RestoreDefaultOptionsClick();
  // Enables or disables every command that needs an open file, together.
  void EnableFileCommands(bool enabled);

  // --- Open file (app/FileHandlers.cpp, datafile/ui/) ----------------
  void OpenClick();
  void openRecentFile(const QString& path);
  // Fills the variables table from the open file and shows the first variable.
  void GetVarInfo();
  // File > Export (export/ui/ExportHandlers): kind 0 data, 1 variable
  // properties, 2 value labels.
  void connectExportHandlers();
  void ExportClick(int kind);
  // File > Codebook... (codebook/ui/CodebookHandlers): every variable of the
  // file, counted with the current weighting, into an HTML file.
  void CodebookClick();
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
  // Whether the open file may be read through File now. A released
  // file is taken back first; one that changed or went meanwhile may not be
  // read: it is offered for reloading (or reported and closed) from the event
  // loop, and false returned. True when no file is open.
  bool HoldFile();

  // --- Help and About (app/HelpHandlers.cpp) -------------------------
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

  // --- What crosses the panes (app/PaneHandlers.cpp) ------------------
  // The current variable changed: status bar and values pane follow it.
  void VariableListAfterScroll();
  void ShowValueLabels();
  // The page tabs around the splitter, and their View menu items.
  QWidget* createPages(QWidget* variablesPage);
  void createPageMenu();
  // The open file, the variables view's columns, the current variable and
  // the value options, handed to the data page.
  void DataPageOpenFile();
  void DataPageCloseFile();
  void DataPageColumns();
  void DataPageFollowVariable();
  // The data page moved to the column of variable var (a dictionary position).
  void DataPageVariableChosen(std::size_t var);

  UiService& m_ui;
  // The state of the one open data file.
  DataFileState m_file;
  // Closes the open file's handle, at the latest when the window goes.
  OpenFileGuard m_openFile{m_file};
  VariablesPane m_variables;
  WeightingControls m_weighting;
  ValuesPane m_values;

  QToolBar* toolBar = nullptr;
  QSplitter* splitter = nullptr;
  QStatusBar* StatusBar = nullptr;
  // The two pages under the find bar: 0 Variables (the splitter), 1 Data.
  QTabWidget* pages = nullptr;
  DataPage* dataPage = nullptr;
  // View > Variables (Ctrl+1), View > Data (Ctrl+2), View > Value Labels.
  QAction* VariablesPageItem = nullptr;
  QAction* DataPageItem = nullptr;
  QAction* ValueLabelsItem = nullptr;

  // Tool-bar buttons.
  QAction* OpenBtn = nullptr;
  QAction* FrequenciesBtn = nullptr;
  QAction* InfoBtn = nullptr;
  QAction* ShowDocBtn = nullptr;
  QAction* OpeninSpssBtn = nullptr;

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
  // View menu (app/DictionaryHandlers.cpp).
  QMenu* ViewMenu = nullptr;
  QAction* VariableDetailsItem = nullptr;
  QAction* FindInAttributesItem = nullptr;
  // View > Chart: the chart of the frequency table under the values grid.
  QAction* ChartItem = nullptr;
  VariableDetailsBox* DetailsBox = nullptr;
  QAction* UsePrintFormat = nullptr;
  QAction* FrequenciesShown = nullptr;
  QAction* Saveoptions = nullptr;
  QAction* RestoreDefaultOptions = nullptr;
  QMenu* HelpMenu = nullptr;
  QAction* HelpOverview = nullptr;
  QAction* HelpTopics = nullptr;
  QAction* HelpKeys = nullptr;
  QAction* aboutAction = nullptr;

  DocumentWindow* m_documentWindow = nullptr;
  AboutBox* m_aboutBox = nullptr;
  HelpWindow* m_helpWindow = nullptr;

  double m_sysmisValue = 0;
  double m_lowestValue = 0;
  double m_highestValue = 0;
  int m_lastClientWidth = 0;
  bool m_optionsReset = false;
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
  // A move on the data page left the values pane behind: it catches up when
  // the variables page comes back.
  bool m_valuesBehind = false;
};

}  // namespace brindle
