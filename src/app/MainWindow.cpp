#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "app/Options.h"
#include "app/ToolImages.h"
#include "variables/ui/VariablesGrid.h"
#include "values/ui/ValuesGrid.h"
#include "platform/ScreenFit.h"
#include "platform/UiService.h"
#include "spssio/Spssio.h"

namespace brindle {

namespace {

constexpr int kStatusSideWidth = 60;

// A gap of a given width in the tool bar with a thin line in its middle.
QWidget* ToolGap(int width) {
  auto* gap = new QFrame;
  gap->setFrameShape(QFrame::VLine);
  gap->setFrameShadow(QFrame::Sunken);
  gap->setFixedWidth(width);
  return gap;
}

QAction* MakeAction(QObject* parent, const QString& text, const QKeySequence& shortcut = {}) {
  auto* action = new QAction(text, parent);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  return action;
}

QAction* MakeCheckItem(QObject* parent, const QString& text, int tag = 0) {
  auto* action = new QAction(text, parent);
  action->setCheckable(true);
  action->setData(tag);
  return action;
}

NumberSeparators LocaleSeparators() {
  const QLocale locale = QLocale::system();
  NumberSeparators seps;
  seps.decimal = locale.decimalPoint().toStdString();
  seps.thousands = locale.groupSeparator().toStdString();
  return seps;
}

}  // namespace

MainWindow::MainWindow(UiService& ui, QWidget* parent)
    : QMainWindow(parent),
      Variables(ui, this),
      Values(ui, this, Variables.variableList, Weighting.Weighting()),
      m_ui(ui) {
  setWindowIcon(ProgramIcon());
  createActions();
  createMenus();
  createToolBar();
  createFindPanel();
  createPanes();
  createStatusBar();
  connectHandlers();
  connectFileInfoHandlers();
  connectExportHandlers();
  EnableFileCommands(false);
  FormCreate();
  createHelp();
}

MainWindow::~MainWindow() { FormDestroy(); }

void MainWindow::SetCommandLine(const QStringList& arguments) {
  m_commandLineFile = arguments.size() > 1 ? arguments.at(1) : QString();
}

void MainWindow::createActions() {
  OpenBtn = MakeAction(this, QStringLiteral("Open"));
  OpenBtn->setIcon(ToolImage(0));
  OpenBtn->setToolTip(QStringLiteral("Open SPSS data file"));

  FrequenciesBtn = MakeAction(this, QStringLiteral("Frequencies"));
  FrequenciesBtn->setCheckable(true);
  FrequenciesBtn->setIcon(ToolImage(10));
  FrequenciesBtn->setToolTip(QStringLiteral("Display Frequencies"));

  InfoBtn = MakeAction(this, QStringLiteral("Properties"));
  InfoBtn->setIcon(ToolImage(4));
  InfoBtn->setToolTip(QStringLiteral("Show file properties"));

  ShowDocBtn = MakeAction(this, QStringLiteral("Document"));
  ShowDocBtn->setIcon(ToolImage(5));
  ShowDocBtn->setToolTip(QStringLiteral("Show document"));
  ShowDocBtn->setEnabled(false);
  ShowDocBtn->setVisible(false);

  OpeninSpssBtn = MakeAction(this, QStringLiteral("SPSS"));
  OpeninSpssBtn->setIcon(ToolImage(3));
  OpeninSpssBtn->setToolTip(QStringLiteral("Open file in SPSS"));

  const char* const findHints[4] = {"Find first", "Find previous", "Find next", "Find last"};
  QAction** findButtons[4] = {&findFirstAction, &findPreviousAction, &findNextAction, &findLastAction};
  for (int i = 0; i < 4; ++i) {
    QAction* button = MakeAction(this, QString::fromLatin1(findHints[i]));
    button->setIcon(ToolImage(6 + i));
    button->setToolTip(QString::fromLatin1(findHints[i]));
    button->setData(i + 1);
    *findButtons[i] = button;
  }

  Weighting.weightButton->setIcon(ToolImage(13));

  openAction = MakeAction(this, QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O));
  FileInfoItem =
      MakeAction(this, QStringLiteral("File &Properties"), QKeySequence(Qt::CTRL | Qt::Key_I));
  FileDocItem = MakeAction(this, QStringLiteral("File &Document"));
  FileDocItem->setEnabled(false);
  FileDocItem->setVisible(false);
  openInSpssAction =
      MakeAction(this, QStringLiteral("Open File in &SPSS"), QKeySequence(Qt::Key_F10));
  CloseItem = MakeAction(this, QStringLiteral("&Close"), QKeySequence(Qt::CTRL | Qt::Key_F4));
  exitAction = MakeAction(this, QStringLiteral("E&xit"), QKeySequence(Qt::ALT | Qt::Key_X));

  ReleaseFileHandle = MakeCheckItem(this, QStringLiteral("Allow &write access"));
  fontAction = MakeAction(this, QStringLiteral("Font"));
  fontAction->setEnabled(false);
  fontAction->setVisible(false);
  HideMissingcolumn = MakeCheckItem(this, QStringLiteral("Hide &Missing column"), 2);
  HideFormatcolumn = MakeCheckItem(this, QStringLiteral("Hide &Format column"), 3);
  HideMeasurecolumn = MakeCheckItem(this, QStringLiteral("Hide M&easure column"), 5);
  HideRolecolumn = MakeCheckItem(this, QStringLiteral("Hide &Role column"), 6);
  // The Measure and Role columns start hidden: the list keeps its look, and
  // its label column its room, until they are asked for.
  HideFormatcolumnClick(HideMeasurecolumn);
  HideFormatcolumnClick(HideRolecolumn);
  UsePrintFormat = MakeCheckItem(this, QStringLiteral("Fixed &decimal format"));
  UsePrintFormat->setChecked(true);
  FrequenciesShown = MakeCheckItem(this, QStringLiteral("Display Frequencies"));
  FrequenciesShown->setShortcut(QKeySequence(Qt::Key_F6));
  CodebookItem = MakeAction(this, QStringLiteral("Code&book..."));
  Saveoptions = MakeAction(this, QStringLiteral("&Save options"));
  RestoreDefaultOptions = MakeAction(this, QStringLiteral("Restore default options"));
}

void MainWindow::createMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(openAction);
  m_recentFilesMenu = file->addMenu(QStringLiteral("&Recent Files"));
  m_recentFilesMenu->setEnabled(false);
  file->addAction(FileInfoItem);
  file->addAction(FileDocItem);
  file->addSeparator();
  file->addAction(openInSpssAction);
  file->addSeparator();
  Exportmnu = file->addMenu(QStringLiteral("E&xport"));
  Exportmnu->addAction(QStringLiteral("&Data"));
  Exportmnu->addAction(QStringLiteral("&Variable properties"));
  Exportmnu->addAction(QStringLiteral("Value &labels"));
  file->addAction(CodebookItem);
  file->addSeparator();
  file->addAction(CloseItem);
  file->addAction(exitAction);

  createViewMenu();

  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  options->addAction(ReleaseFileHandle);
  options->addAction(fontAction);
  options->addSeparator();
  options->addAction(HideMissingcolumn);
  options->addAction(HideFormatcolumn);
  options->addAction(HideMeasurecolumn);
  options->addAction(HideRolecolumn);
  options->addSeparator();
  options->addAction(UsePrintFormat);
  options->addAction(FrequenciesShown);
  options->addSeparator();
  options->addAction(Saveoptions);
  options->addAction(RestoreDefaultOptions);

  HelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
  HelpOverview = HelpMenu->addAction(QStringLiteral("Overview"));
  HelpTopics = HelpMenu->addAction(QStringLiteral("Topics"));
  HelpKeys = HelpMenu->addAction(QStringLiteral("Shortcut Keys"));
  aboutAction = HelpMenu->addAction(QStringLiteral("&About..."));
}

void MainWindow::createToolBar() {
  toolBar = addToolBar(QStringLiteral("Tools"));
  toolBar->setObjectName(QStringLiteral("toolBar"));
  toolBar->setMovable(false);
  toolBar->setFloatable(false);
  toolBar->toggleViewAction()->setVisible(false);
  setContextMenuPolicy(Qt::NoContextMenu);

  toolBar->addAction(OpenBtn);
  toolBar->addWidget(ToolGap(10));
  toolBar->addAction(FrequenciesBtn);
  toolBar->addWidget(ToolGap(10));
  toolBar->addAction(InfoBtn);
  toolBar->addAction(ShowDocBtn);
  toolBar->addWidget(ToolGap(10));
  toolBar->addAction(OpeninSpssBtn);
  toolBar->addWidget(ToolGap(15));
  toolBar->addAction(findFirstAction);
  toolBar->addAction(findPreviousAction);
  toolBar->addAction(findNextAction);
  toolBar->addAction(findLastAction);
  toolBar->addWidget(ToolGap(16));
  toolBar->addAction(Weighting.weightButton);
  toolBar->addWidget(Weighting.weightCombo);
}

void MainWindow::createFindPanel() {
  Values.captionLabel->setParent(Variables.findBar);
  Values.captionLabel->setGeometry(370, 0, 10, Variables.findBar->height());
}

void MainWindow::createPanes() {
  splitter = new QSplitter(Qt::Horizontal);
  splitter->setHandleWidth(3);
  splitter->setChildrenCollapsible(false);
  splitter->addWidget(Variables.variablesGrid);
  splitter->addWidget(Values.valuesPanel);
  // Like a grid docked at the left edge: a resize of the window changes the
  // values pane; FormResize then restores the grid's share.
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);

  auto* bevel2 = new QFrame;
  bevel2->setFrameShape(QFrame::HLine);
  bevel2->setFrameShadow(QFrame::Sunken);
  bevel2->setFixedHeight(1);

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Variables.findBar);
  layout->addWidget(bevel2);
  layout->addWidget(splitter, 1);
  setCentralWidget(central);
}

void MainWindow::createStatusBar() {
  StatusBar = statusBar();
  for (std::size_t i = 0; i < m_statusPanels.size(); ++i) {
    auto* panel = new QLabel;
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setTextFormat(Qt::PlainText);
    panel->setContentsMargins(3, 0, 3, 0);
    m_statusPanels[i] = panel;
  }
  m_statusPanels[0]->setMinimumWidth(kStatusSideWidth);
  m_statusPanels[2]->setMinimumWidth(kStatusSideWidth);
  m_statusPanels[2]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // The label panel takes what the two side panels leave.
  m_statusPanels[1]->setMinimumWidth(1);
  m_statusPanels[1]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  StatusBar->addPermanentWidget(m_statusPanels[0]);
  StatusBar->addPermanentWidget(m_statusPanels[1], 1);
  StatusBar->addPermanentWidget(m_statusPanels[2]);

  m_warningSign = new QToolButton;
  m_warningSign->setObjectName(QStringLiteral("warningSign"));
  m_warningSign->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
  m_warningSign->setAutoRaise(true);
  m_warningSign->setFocusPolicy(Qt::NoFocus);
  const int side = m_statusPanels[2]->sizeHint().height();
  m_warningSign->setIconSize(QSize(side, side));
  m_warningSign->setVisible(false);
  StatusBar->addPermanentWidget(m_warningSign);
  connect(m_warningSign, &QToolButton::clicked, this, [this] { ShowFileInfo(); });
}

void MainWindow::setWarningCount(std::size_t count) {
  m_warningSign->setVisible(count > 0);
  m_warningSign->setToolTip(count == 1
                                ? QStringLiteral("1 warning: click for details")
                                : QStringLiteral("%1 warnings: click for details").arg(count));
}

void MainWindow::connectHandlers() {
  connect(OpenBtn, &QAction::triggered, this, [this] { OpenClick(); });
  connect(openAction, &QAction::triggered, this, [this] { OpenClick(); });
  connect(CloseItem, &QAction::triggered, this, [this] { CloseItemClick(); });
  connect(exitAction, &QAction::triggered, this, [this] { ExitClick(); });

  // The handlers invert the check marks themselves (they are also called
  // from code), so the toggle Qt made on the way is taken back first.
  for (QAction* item : {HideMissingcolumn, HideFormatcolumn, HideMeasurecolumn, HideRolecolumn}) {
    connect(item, &QAction::triggered, this, [this, item](bool checked) {
      item->setChecked(!checked);
      HideFormatcolumnClick(item);
    });
  }
  connect(FrequenciesShown, &QAction::triggered, this, [this](bool checked) {
    FrequenciesShown->setChecked(!checked);
    FrequenciesShownClick();
  });
  connect(FrequenciesBtn, &QAction::triggered, this, [this] { FrequenciesShownClick(); });

  connect(Weighting.weightButton, &QAction::triggered, this,
          [this](bool down) { WeightButtonClick(down); });
  Weighting.weightCombo->OnDropDown = [this] { FillWeightList(); };
  connect(Weighting.weightCombo, &QComboBox::activated, this,
          [this](int index) { WeightChosen(index); });

  connect(Saveoptions, &QAction::triggered, this, [this] { SaveoptionsClick(); });
  connect(RestoreDefaultOptions, &QAction::triggered, this,
          [this] { RestoreDefaultOptionsClick(); });
  connect(openInSpssAction, &QAction::triggered, this, [this] { OpenInSpssClick(); });
  connect(OpeninSpssBtn, &QAction::triggered, this, [this] { OpenInSpssClick(); });

  connect(splitter, &QSplitter::splitterMoved, this, [this] { SplitterMoved(); });

  Variables.variableList.SetAfterScroll([this](VariableList&) { VariableListAfterScroll(); });
  Variables.OnCurrentChanged = [this] { VariableListAfterScroll(); };
  VariablesGrid* varGrid = Variables.variablesGrid;
  varGrid->OnMouseDown = [this](VariablesGrid* grid, Qt::MouseButton button, Qt::KeyboardModifiers mods,
                                int x, int y, bool doubleClick) {
    VariablesGridMouseDown(grid, button, mods, x, y, doubleClick);
  };
  varGrid->OnKeyDown = [this](QKeyEvent* event) { VariablesGridKeyDown(event); };
  varGrid->OnTitleClick = [this](int column) { VariablesGridTitleClick(column); };
  for (QAction* button : {findFirstAction, findPreviousAction, findNextAction, findLastAction})
    connect(button, &QAction::triggered, this, [this, button] { FindButtonClick(button); });
  Values.valuesGrid->OnMouseDown = [this](Qt::MouseButton button, Qt::KeyboardModifiers mods,
                                           int x, int y, bool doubleClick) {
    ValuesGridMouseDown(button, mods, x, y, doubleClick);
  };
  Values.valuesGrid->OnKeyDown = [this](QKeyEvent* event) { ValuesGridKeyDown(event); };
  Values.OnCaptionChanged = [this] { placeCaptionLabel(); };
  Values.OnCountChanged = [this](const QString& text) { SetStatusText(2, text); };
  // A scroll bar that comes or goes changes the room the columns share.
  varGrid->viewport()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && watched == Variables.variablesGrid->viewport())
    VariablesGridColumnWidthChanged();
  return QMainWindow::eventFilter(watched, event);
}

QString MainWindow::StatusText(int panel) const {
  if (panel < 0 || panel >= static_cast<int>(m_statusPanels.size())) return {};
  return m_statusPanels[static_cast<std::size_t>(panel)]->text();
}

void MainWindow::SetStatusText(int panel, const QString& text) {
  if (panel < 0 || panel >= static_cast<int>(m_statusPanels.size())) return;
  m_statusPanels[static_cast<std::size_t>(panel)]->setText(text);
}

void MainWindow::setApplicationTitle(const QString& title) {
  m_applicationTitle = title;
  // Plain messages take their caption from here. A display name would do as
  // well but is appended to every window title on X11 and Wayland.
  QCoreApplication::setApplicationName(title);
}

// --- Lifecycle ------------------------------------------------------------

void MainWindow::FormCreate() {
  OptionsReset = false;
  m_separators = LocaleSeparators();
  setApplicationTitle(QStringLiteral("Brindle"));
  resize(kDesignWidth, kDesignHeight);
  if (!readSettings()) setWindowState(windowState() | Qt::WindowMaximized);
  updateRecentFilesMenu();
  setAcceptDrops(true);
}

void MainWindow::FormShow() {
  // The panes get their first geometry now, not at the next turn of the
  // event loop: the widths and row counts below depend on it.
  layout()->activate();
  centralWidget()->layout()->activate();
  Values.valuesPanel->layout()->activate();
  spssHostSysmisVal(&SysmisValue);
  spssLowHighVal(&LowestValue, &HighestValue);
  Values.FirstShown();
  const int varWidth = width() / 2;
  splitter->setSizes(
      {varWidth, std::max(0, splitter->width() - splitter->handleWidth() - varWidth)});
  // Both grids changed width: their label columns take up the new room.
  SplitterMoved();
  LastClientWidth = width();
  setWindowTitle(QStringLiteral("Brindle"));
  Values.FitRows();
  if (!m_commandLineFile.isEmpty()) OpenDataFile(m_commandLineFile);
}

void MainWindow::FormResize() {
  const int clientWidth = width();
  if (LastClientWidth > 0) {
    const QList<int> sizes = splitter->sizes();
    const int varWidth = static_cast<int>(static_cast<long long>(clientWidth) *
                                          (sizes.isEmpty() ? 0 : sizes.first()) / LastClientWidth);
    splitter->setSizes(
        {varWidth, std::max(0, splitter->width() - splitter->handleWidth() - varWidth)});
  }
  LastClientWidth = clientWidth;
  Values.FitRows();
  placeCaptionLabel();
  SplitterMoved();
}

void MainWindow::placeCaptionLabel() {
  const int panel2Left = Values.valuesPanel->mapTo(this, QPoint(0, 0)).x() -
                         Variables.findBar->mapTo(this, QPoint(0, 0)).x();
  int left = panel2Left + 1;
  const int filterRight = Variables.filterCheck->geometry().right() + 1;
  if (left < filterRight + 2) left = filterRight + 2;
  Values.captionLabel->setGeometry(left, 0, Values.captionLabel->sizeHint().width(),
                             Variables.findBar->height());
}

void MainWindow::FormClose() {
  // A running frequency pass still reads the file; it is closed with the
  // program once the pass is over.
  if (Counting()) return;
  m_openFile.Close();
  Variables.variableList.Close();
}

void MainWindow::FormDestroy() {
  // A window torn down without being closed still lets go of its file.
  m_openFile.Close();
  if (!OptionsReset) saveWindowPlacement();
}

void MainWindow::ExitClick() { close(); }

void MainWindow::SplitterMoved() {
  VariablesGridColumnWidthChanged();
  ValuesGridColumnWidthChanged();
}

void MainWindow::EnableFileCommands(bool enabled) {
  FileInfoItem->setEnabled(enabled);
  openInSpssAction->setEnabled(enabled);
  CloseItem->setEnabled(enabled);
  FrequenciesBtn->setEnabled(enabled);
  InfoBtn->setEnabled(enabled);
  OpeninSpssBtn->setEnabled(enabled);
  Variables.SetEnabled(enabled);
  Values.SetEnabled(enabled);
  Exportmnu->setEnabled(enabled);
  Exportmnu->menuAction()->setEnabled(enabled);
  CodebookItem->setEnabled(enabled);
  Weighting.SetEnabled(enabled);
  findFirstAction->setEnabled(enabled);
  findPreviousAction->setEnabled(enabled);
  findNextAction->setEnabled(enabled);
  findLastAction->setEnabled(enabled);
  VariableDetailsItem->setEnabled(enabled);
  FindInAttributesItem->setEnabled(enabled);
}

// --- Events -----------------------------------------------------------------

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (m_shown || event->spontaneous()) return;
  m_shown = true;
  // Never larger than the screen's room (a scale factor of 2 halves it).
  if (!isMaximized() && !isFullScreen()) FitToScreen(*this);
  // A stored position survives; otherwise the window is centred.
  if (!isMaximized() && !isFullScreen() && !m_keepPosition) {
    if (const QScreen* s = screen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(s->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  FormShow();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // A frequency pass still reads the file: the window closes when it is over.
  if (Counting()) {
    m_closeAfterPass = true;
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  event->acceptProposedAction();
  // Only the first of several dropped files is opened.
  const QString name = urls.isEmpty() ? QString() : urls.first().toLocalFile();
  if (!name.isEmpty()) OpenDataFile(name);
}

}  // namespace brindle
