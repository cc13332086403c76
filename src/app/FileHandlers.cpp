// MainWindow's file commands: open and close, the file properties report and the
// document window, the write-access release, opening the file in its
// application, and File > Export. The work is done by datafile/ui,
// launch/ui and export/ui and the core under them; here the window decides
// when, and what the panes and menus show afterwards.
#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <string>

#include "app/MainWindow.h"
#include "controls/DocumentWindow.h"
#include "datafile/DictionaryLoader.h"
#include "datafile/ui/FileInfoHandlers.h"
#include "datafile/ui/OpenFileHandlers.h"
#include "datafile/ui/ReleaseHandlers.h"
#include "codebook/ui/CodebookHandlers.h"
#include "export/ui/ExportHandlers.h"
#include "launch/ui/LaunchHandlers.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "variables/ui/VariablesGrid.h"

namespace brindle {

// --- Open and close ---------------------------------------------------------

void MainWindow::OpenClick() { OpenDataFile(QString()); }

QString MainWindow::openDialogFolder() const {
  if (m_file.FileOpen() && !m_file.FileName.empty())
    return QFileInfo(QString::fromStdString(m_file.FileName)).absolutePath();
  return m_recentFiles.LastFolder();
}

void MainWindow::openRecentFile(const QString& path) {
  if (Counting()) return;
  if (!QFileInfo(path).isFile()) {
    m_ui.ShowMessage(
        path + QStringLiteral("\nno longer exists; it is taken off the list of recent files."));
    m_recentFiles.Remove(path);
    updateRecentFilesMenu();
    return;
  }
  OpenDataFile(path);
}

void MainWindow::updateRecentFilesMenu() {
  // The list changes while one of its items is being triggered (a file
  // opened from it): the old items go once that is over.
  for (QAction* item : m_recentFilesMenu->actions()) {
    m_recentFilesMenu->removeAction(item);
    item->deleteLater();
  }
  const QStringList& files = m_recentFiles.Files();
  for (qsizetype i = 0; i < files.size(); ++i) {
    const QString path = files.at(i);
    QString caption = path;
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* item = m_recentFilesMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(caption));
    item->setData(path);
    connect(item, &QAction::triggered, this, [this, path] { openRecentFile(path); });
  }
  m_recentFilesMenu->setEnabled(!files.isEmpty());
}

void MainWindow::OpenDataFile(const QString& fileName, const FileKey* key) {
  // A frequency pass reads the open file; replacing it now would pull the
  // file from under the pass.
  if (Counting()) return;
  QString name = fileName;
  if (name.isEmpty()) name = AskDataFileName(m_ui, this, openDialogFolder());
  if (name.isEmpty()) return;

  // The new file is opened into a state of its own: until it has opened,
  // the old file, its name and everything on screen stay as they are.
  DataFileState opened;
  if (!OpenDataFileReported(m_ui, this, name, opened, key)) return;

  m_documentWindow->FormClose();
  m_documentWindow->close();
  m_weighting.Reset();

  DataPageCloseFile();
  m_values.ForgetKeptTables();
  if (m_openFile.Close() != SPSS_OK)
    m_ui.WarningDialog(QStringLiteral("Failed to close ") +
                       QString::fromStdString(m_file.FileName));

  WaitCursor wait;
  EnableFileCommands(true);
  m_file = opened;
  m_file.CaseCountEstimated = false;
  m_values.StartFile();

  ShowDocBtn->setEnabled(m_file.HasDocument != 0);
  ShowDocBtn->setVisible(m_file.HasDocument != 0);

  const QFileInfo info(name);
  setWindowTitle(QStringLiteral("Brindle ") + info.absoluteFilePath());
  m_recentFiles.Add(name);
  updateRecentFilesMenu();
  setApplicationTitle(info.fileName() + QStringLiteral(" - Brindle"));

  m_variables.variableList().SetSortedField(std::string());
  m_variables.variablesGrid()->HideSortIndicator();
  m_variables.ClearFind();

  GetVarInfo();
  updateWarningCount();

  m_variables.variablesGrid()->setFocus();
}

void MainWindow::updateWarningCount() {
  setWarningCount(m_file.File ? m_file.File->warnings().size() : 0);
}

void MainWindow::GetVarInfo() {
  m_values.HideStatistics();
  m_variables.variablesGrid()->SetDataSourceEnabled(false);
  const DictionaryLoadResult result =
      LoadDictionary(m_file, m_variables.variableList(), m_separators);
  m_variables.variablesGrid()->SetDataSourceEnabled(true);
  if (result.errorCode != 0) {
    m_ui.ShowMessage(QString::fromStdString(result.error));
    return;
  }
  if (!result.warning.empty()) {
    m_values.MarkCountsEstimated();
    m_ui.WarningDialog(QString::fromStdString(result.warning));
  }
  // A file with a weight variable offers it at once; weighting stays off.
  if (!m_file.WeightVarName.empty()) m_weighting.FillWeightList();
  VariableListAfterScroll();
  DataPageOpenFile();
}

void MainWindow::CloseItemClick() {
  // The frequency pass still reads the file.
  if (Counting()) return;
  DataPageCloseFile();
  m_values.ForgetKeptTables();
  m_openFile.Close();
  // Nothing of the closed file is kept: its name, counts and flags go too.
  m_file = DataFileState();
  setWindowTitle(QStringLiteral("Brindle"));
  setApplicationTitle(QStringLiteral("Brindle"));

  m_variables.variableList().Close();
  m_variables.variablesGrid()->HideSortIndicator();

  m_values.Clear();
  m_variables.findNameEdit()->clear();
  m_variables.findLabelEdit()->clear();
  for (int panel = 0; panel < 3; ++panel) SetStatusText(panel, QString());
  setWarningCount(0);

  m_weighting.Reset();

  EnableFileCommands(false);
  ShowDocBtn->setEnabled(false);
  ShowDocBtn->setVisible(false);
}

// --- File properties and document -------------------------------------------

void MainWindow::connectFileInfoHandlers() {
  m_documentWindow = new DocumentWindow(m_ui, this);
  m_documentWindow->FileName = [this] { return QString::fromStdString(m_file.FileName); };

  connect(InfoBtn, &QAction::triggered, this, [this] { ShowFileInfo(); });
  connect(FileInfoItem, &QAction::triggered, this, [this] { ShowFileInfo(); });
  connect(ShowDocBtn, &QAction::triggered, this, [this] { ShowDocBtnClick(); });
  connect(FileDocItem, &QAction::triggered, this, [this] { ShowDocBtnClick(); });
  // The handler inverts the check mark itself, so Qt's toggle is taken back.
  connect(ReleaseFileHandle, &QAction::triggered, this, [this](bool checked) {
    ReleaseFileHandle->setChecked(!checked);
    ReleaseFileHandleClick();
  });
  // The whole application, not a single window: moving between the main
  // window, the document window and a message box changes nothing.
  connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
              ApplicationActivated();
            else
              ApplicationDeactivated();
          });
}

void MainWindow::ShowFileInfo() {
  if (!m_file.FileOpen() || !HoldFile()) return;
  ShowFileReport(m_ui, m_file);
}

void MainWindow::ShowDocBtnClick() {
  if (m_file.HasDocument == 0 || !m_file.FileOpen() || !HoldFile()) return;
  ShowDocumentLines(m_ui, m_file, *m_documentWindow);
}

// --- Write-access release ---------------------------------------------------

void MainWindow::ReleaseFileHandleClick() {
  ReleaseFileHandle->setChecked(!ReleaseFileHandle->isChecked());
}

void MainWindow::ApplicationDeactivated() {
  // A frequency pass still reads the file; a stale file is on its way out.
  if (!m_file.FileOpen() || !ReleaseFileHandle->isChecked() || Counting() || m_file.FileStale)
    return;
  // The data page reads through handles of its own: they go first.
  DataPageCloseFile();
  m_values.ForgetKeptTables();
  ReleaseDataFileReported(m_ui, m_file);
  if (!m_file.FileReleased) DataPageOpenFile();
}

void MainWindow::ApplicationActivated() {
  // A released file is always taken back, also should the option have been
  // switched off meanwhile: nothing else would ever reopen it.
  if (!m_file.FileReleased) return;
  if (TakeDataFileBack(m_file) != ReopenOutcome::Unchanged)
    settleStaleFile();
  else
    DataPageOpenFile();
}

bool MainWindow::HoldFile() {
  if (m_file.FileStale) return false;
  if (!m_file.FileReleased) return true;
  // Something wants to read before the activation arrived (a click can come
  // first): take the file back now.
  if (TakeDataFileBack(m_file) == ReopenOutcome::Unchanged) {
    DataPageOpenFile();
    return true;
  }
  // Closing or reloading now would pull the variables table from under the
  // caller (a cursor move, say): the question waits for the event loop.
  QTimer::singleShot(0, this, [this] { settleStaleFile(); });
  return false;
}

void MainWindow::settleStaleFile() {
  const std::string name = m_file.FileName;
  const StaleFileAction action = AskAboutStaleFile(m_ui, m_file);
  if (action == StaleFileAction::None) return;
  // An encrypted file reloads with its key; the password is long gone.
  const std::shared_ptr<const FileKey> key = m_file.Key;
  CloseItemClick();
  if (action == StaleFileAction::Reload) OpenDataFile(QString::fromStdString(name), key.get());
}

// --- Open in the associated application -------------------------------------

void MainWindow::OpenInSpssClick() { OpenInAssociatedApplication(m_ui, m_file.FileName); }
void MainWindow::OpenWithRegisteredCommand() { StartRegisteredCommand(m_ui, m_file.FileName); }

// --- Export -----------------------------------------------------------------

void MainWindow::connectExportHandlers() {
  const QList<QAction*> items = Exportmnu->actions();
  for (int kind = 0; kind < std::min<int>(3, static_cast<int>(items.size())); ++kind)
    connect(items[kind], &QAction::triggered, this, [this, kind] { ExportClick(kind); });
  connect(CodebookItem, &QAction::triggered, this, [this] { CodebookClick(); });
}

void MainWindow::CodebookClick() {
  if (!m_file.FileOpen() || Counting() || !HoldFile()) return;
  const std::optional<CodebookJob> job = AskCodebookJob(m_ui, this, m_file.FileName);
  if (!job) return;
  CodebookSource source;
  source.state = &m_file;
  // The whole dictionary in file order.
  const VariableList& variables = m_variables.variableList();
  for (int i = 0; i < variables.StoredCount(); ++i)
    source.records.push_back(*variables.StoredRecord(i));
  std::sort(source.records.begin(), source.records.end(),
            [](const VarRecord& a, const VarRecord& b) { return a.RecId < b.RecId; });
  CodebookRequest request;
  if (m_weighting.Weighting().ButtonDown()) request.weight = ActiveWeightName();
  request.usePrintFormat = UsePrintFormat->isChecked();
  request.seps = Separators();
  // Held like an export: closing the window cancels, and closes after it.
  m_exporting = true;
  RunCodebookJob(m_ui, this, *job, source, request, [this] { return m_closeAfterPass; });
  m_exporting = false;
  if (m_closeAfterPass) {
    m_closeAfterPass = false;
    close();
  }
}

void MainWindow::ExportClick(int kind) {
  if (!m_file.FileOpen() || Counting() || !HoldFile()) return;
  const std::optional<ExportJob> job =
      AskExportJob(m_ui, this, kind, m_file.FileName, m_variables.variableList());
  if (!job) return;
  // The file stays held (not released, not closed) while the cases are read;
  // closing the window cancels the export, and the window closes after it.
  m_exporting = true;
  RunExportJob(m_ui, this, *job, *m_file.File, m_file.FileName,
               [this] { return m_closeAfterPass; });
  m_exporting = false;
  updateWarningCount();
  if (m_closeAfterPass) {
    m_closeAfterPass = false;
    close();
  }
}

}  // namespace brindle
