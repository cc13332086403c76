// TForm1's File > Export commands: a target file from the save dialog (its
// filter chooses raw values, formatted values or value labels for the data),
// the CSV written by export/ with a progress dialog whose Cancel stops it,
// and a message when it fails.
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>

#include <algorithm>
#include <vector>

#include "app/MainWindow.h"
#include "export/CsvExport.h"
#include "platform/UiService.h"

namespace brindle {
namespace {

const char* const kCaptions[] = {"Export data", "Export variable properties", "Export value labels"};
const char* const kSuffixes[] = {"", "_variables", "_labels"};

}  // namespace

void TForm1::connectExportHandlers() {
  const QList<QAction*> items = Exportmnu->actions();
  for (int kind = 0; kind < std::min<int>(3, static_cast<int>(items.size())); ++kind)
    connect(items[kind], &QAction::triggered, this, [this, kind] { ExportClick(kind); });
}

void TForm1::ExportClick(int kind) {
  if (FileHandle == -1 || Counting() || !HoldFile()) return;
  const QFileInfo source(QString::fromStdString(FileName));
  const QString suggested =
      source.dir().filePath(source.completeBaseName() + QLatin1String(kSuffixes[kind]) + ".csv");
  QStringList filters;
  if (kind == 0)
    filters << QStringLiteral("CSV, values (*.csv)") << QStringLiteral("CSV, formatted values (*.csv)")
            << QStringLiteral("CSV, value labels (*.csv)");
  else
    filters << QStringLiteral("CSV (*.csv)");
  filters << QStringLiteral("All files (*)");
  int filter = 0;
  const QString target =
      m_ui.GetSaveFileName(this, QString::fromLatin1(kCaptions[kind]), suggested, filters, &filter);
  if (target.isEmpty()) return;
  const DataMode mode = filter == 1 ? DataMode::Formatted : filter == 2 ? DataMode::Labels : DataMode::Raw;

  // Variable properties and labels cover the whole dictionary in file order;
  // the data the variables of the view.
  std::vector<VarRecord> records;
  for (int i = 0; i < Variables.VarMemData.StoredCount(); ++i)
    records.push_back(*Variables.VarMemData.StoredRecord(i));
  std::sort(records.begin(), records.end(),
            [](const VarRecord& a, const VarRecord& b) { return a.RecId < b.RecId; });
  std::vector<int> vars;
  for (int row = 0; row < Variables.VarMemData.RecordCount(); ++row)
    vars.push_back(Variables.VarMemData.ViewRecord(row)->RecId - 1);
  if (kind == 0 && vars.empty()) {
    m_ui.ShowMessage(QStringLiteral("No variables to export."));
    return;
  }

  QProgressDialog progress(QStringLiteral("Exporting to %1").arg(QFileInfo(target).fileName()),
                           QStringLiteral("Cancel"), 0, 100, this);
  progress.setWindowTitle(QString::fromLatin1(kCaptions[kind]));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(400);
  progress.setAutoReset(false);
  progress.setValue(0);
  const ExportProgress onProgress = [this, &progress](std::int64_t done, std::int64_t total) {
    if (total > 0) progress.setValue(static_cast<int>(std::min<std::int64_t>(100, done * 100 / total)));
    QCoreApplication::processEvents();
    // Closing the window cancels the export; the window closes after it.
    return !progress.wasCanceled() && !m_closeAfterPass;
  };
  // The file stays held (not released, not closed) while the cases are read.
  const int handle = FileHandle;
  m_exporting = true;
  const ExportResult result = ExportToFile(target.toStdString(), [&](ExportFile& out) {
    if (kind == 1) return ExportVariables(handle, records, out);
    if (kind == 2) return ExportValueLabels(handle, records, out);
    return ExportData(handle, vars, mode, out, onProgress);
  }, FileName);
  m_exporting = false;
  progress.close();
  if (m_closeAfterPass) {
    m_closeAfterPass = false;
    close();
    return;
  }
  if (result.status == ExportStatus::Failed)
    m_ui.SystemMessageBox(QStringLiteral("Export error"), QString::fromStdString(result.message),
                          MessageIcon::Error);
}

}  // namespace brindle
