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
#include "platform/ScreenFit.h"
#include "platform/UiService.h"
#include "spssio/Spssio.h"
#include "values/ui/ValuesGrid.h"
#include "variables/ui/VariablesGrid.h"

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
      m_ui(ui),
      m_variables(ui, this),
      m_weighting(this, m_variables.variableList(), [this] { return m_file.WeightVarName; }),
      m_values(ui, this, m_variables.variableList(), m_weighting.Weighting()) {
  setWindowIcon(ProgramIcon());
  createActions();
  createMenus();
  createToolBar();
  createFindPanel();
  createPanes();
  createStatusBar();
  connectHandlers();
  connectPanes();
  connectFileInfoHandlers();
  connectExportHandlers();
  EnableFileCommands(false);
  FormCreate();
  createHelp();
  nameActions();
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

  for (std::size_t i = 0; i < 4; ++i)
    m_variables.findActions()[i]->setIcon(ToolImage(6 + static_cast<int>(i)));
  m_weighting.weightButton()->setIcon(ToolImage(13));

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
  UsePrintFormat = MakeCheckItem(this, QStringLiteral("Fixed &decimal format"));
  UsePrintFormat->setChecked(true);
  FrequenciesShown = MakeCheckItem(this, QStringLiteral("Display Frequencies"));
  FrequenciesShown->setShortcut(QKeySequence(Qt::Key_F6));
  CodebookItem = MakeAction(this, QStringLiteral("Code&book..."));
  Saveoptions = MakeAction(this, QStringLiteral("&Save options"));
  RestoreDefaultOptions = MakeAction(this, QStringLiteral("Restore default options"));
}

void MainWindow::nameActions() {
  // The names by which tests find them.
  const std::pair<QObject*, const char*> named[] = {
      {OpenBtn, "OpenBtn"},
      {FrequenciesBtn, "FrequenciesBtn"},
      {InfoBtn, "InfoBtn"},
      {ShowDocBtn, "ShowDocBtn"},
      {OpeninSpssBtn, "OpeninSpssBtn"},
      {openAction, "openAction"},
      {FileInfoItem, "FileInfoItem"},
      {FileDocItem, "FileDocItem"},
      {openInSpssAction, "openInSpssAction"},
      {Exportmnu, "Exportmnu"},
      {CodebookItem, "CodebookItem"},
      {CloseItem, "CloseItem"},
      {exitAction, "exitAction"},
      {ReleaseFileHandle, "ReleaseFileHandle"},
      {fontAction, "fontAction"},
      {ViewMenu, "ViewMenu"},
      {VariableDetailsItem, "VariableDetailsItem"},
      {FindInAttributesItem, "FindInAttributesItem"},
      {ChartItem, "ChartItem"},
      {UsePrintFormat, "UsePrintFormat"},
      {FrequenciesShown, "FrequenciesShown"},
      {Saveoptions, "Saveoptions"},
      {RestoreDefaultOptions, "RestoreDefaultOptions"},
      {HelpMenu, "HelpMenu"},
      {HelpOverview, "HelpOverview"},
      {HelpTopics, "HelpTopics"},
      {HelpKeys, "HelpKeys"},
      {aboutAction, "aboutAction"},
  };
  for (const auto& [object, name] : named) object->setObjectName(QString::fromLatin1(name));
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
  createPageMenu();

  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  options->addAction(ReleaseFileHandle);
  options->addAction(fontAction);
  options->addSeparator();
  for (const auto item : {VariablesPane::HideMissing, VariablesPane::HideFormat,
                          VariablesPane::HideMeasure, VariablesPane::HideRole})
    options->addAction(m_variables.hideColumnItem(item));
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
  for (QAction* button : m_variables.findActions()) toolBar->addAction(button);
  toolBar->addWidget(ToolGap(16));
  toolBar->addAction(m_weighting.weightButton());
  toolBar->addWidget(m_weighting.weightCombo());
}

void MainWindow::createFindPanel() {
  m_values.captionLabel()->setParent(m_variables.findBar());
  m_values.captionLabel()->setGeometry(370, 0, 10, m_variables.findBar()->height());
}

void MainWindow::createPanes() {
  splitter = new QSplitter(Qt::Horizontal);
  splitter->setObjectName(QStringLiteral("splitter"));
  splitter->setHandleWidth(3);
  splitter->setChildrenCollapsible(false);
  splitter->addWidget(m_variables.variablesGrid());
  splitter->addWidget(m_values.valuesPanel());
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
  layout->addWidget(m_variables.findBar());
  layout->addWidget(bevel2);
  layout->addWidget(createPages(splitter), 1);
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

  // The handler inverts the check mark itself (it is also called from
  // code), so the toggle Qt made on the way is taken back first.
  connect(FrequenciesShown, &QAction::triggered, this, [this](bool checked) {
    FrequenciesShown->setChecked(!checked);
    FrequenciesShownClick();
  });
  connect(FrequenciesBtn, &QAction::triggered, this, [this] { FrequenciesShownClick(); });

  connect(Saveoptions, &QAction::triggered, this, [this] { SaveoptionsClick(); });
  connect(RestoreDefaultOptions, &QAction::triggered, this,
          [this] { RestoreDefaultOptionsClick(); });
  connect(openInSpssAction, &QAction::triggered, this, [this] { OpenInSpssClick(); });
  connect(OpeninSpssBtn, &QAction::triggered, this, [this] { OpenInSpssClick(); });

  connect(splitter, &QSplitter::splitterMoved, this, [this] { SplitterMoved(); });
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
  m_optionsReset = false;
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
  m_values.valuesPanel()->layout()->activate();
  spssHostSysmisVal(&m_sysmisValue);
  spssLowHighVal(&m_lowestValue, &m_highestValue);
  m_values.FirstShown();
  const int varWidth = width() / 2;
  splitter->setSizes(
      {varWidth, std::max(0, splitter->width() - splitter->handleWidth() - varWidth)});
  // Both grids changed width: their label columns take up the new room.
  SplitterMoved();
  m_lastClientWidth = width();
  setWindowTitle(QStringLiteral("Brindle"));
  m_values.FitRows();
  if (!m_commandLineFile.isEmpty()) OpenDataFile(m_commandLineFile);
}

void MainWindow::FormResize() {
  const int clientWidth = width();
  if (m_lastClientWidth > 0) {
    const QList<int> sizes = splitter->sizes();
    const int varWidth =
        static_cast<int>(static_cast<long long>(clientWidth) *
                         (sizes.isEmpty() ? 0 : sizes.first()) / m_lastClientWidth);
    splitter->setSizes(
        {varWidth, std::max(0, splitter->width() - splitter->handleWidth() - varWidth)});
  }
  m_lastClientWidth = clientWidth;
  m_values.FitRows();
  placeCaptionLabel();
  SplitterMoved();
}

void MainWindow::placeCaptionLabel() {
  const int panel2Left = m_values.valuesPanel()->mapTo(this, QPoint(0, 0)).x() -
                         m_variables.findBar()->mapTo(this, QPoint(0, 0)).x();
  int left = panel2Left + 1;
  const int filterRight = m_variables.filterCheck()->geometry().right() + 1;
  if (left < filterRight + 2) left = filterRight + 2;
  m_values.captionLabel()->setGeometry(left, 0, m_values.captionLabel()->sizeHint().width(),
                                       m_variables.findBar()->height());
}

void MainWindow::FormClose() {
  // A running frequency pass still reads the file; it is closed with the
  // program once the pass is over.
  if (Counting()) return;
  DataPageCloseFile();
  m_values.ForgetKeptTables();
  m_openFile.Close();
  m_variables.variableList().Close();
}

void MainWindow::FormDestroy() {
  // A window torn down without being closed still lets go of its file.
  if (dataPage) DataPageCloseFile();
  m_values.ForgetKeptTables();
  m_openFile.Close();
  if (!m_optionsReset) saveWindowPlacement();
}

void MainWindow::ExitClick() { close(); }

void MainWindow::SplitterMoved() {
  m_variables.VariablesGridColumnWidthChanged();
  m_values.ValuesGridColumnWidthChanged();
}

void MainWindow::EnableFileCommands(bool enabled) {
  FileInfoItem->setEnabled(enabled);
  openInSpssAction->setEnabled(enabled);
  CloseItem->setEnabled(enabled);
  FrequenciesBtn->setEnabled(enabled);
  InfoBtn->setEnabled(enabled);
  OpeninSpssBtn->setEnabled(enabled);
  m_variables.SetEnabled(enabled);
  m_values.SetEnabled(enabled);
  Exportmnu->setEnabled(enabled);
  Exportmnu->menuAction()->setEnabled(enabled);
  CodebookItem->setEnabled(enabled);
  m_weighting.SetEnabled(enabled);
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
