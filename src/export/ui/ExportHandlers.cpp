// File > Export in the viewer; the files themselves are written by export/.
#include "export/ui/ExportHandlers.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include "export/ExcelExport.h"
#include "export/ParquetExport.h"
#include "export/StataExport.h"
#include "platform/UiService.h"
#include "platform/WriteProgress.h"
#include "variables/VariableList.h"

namespace brindle {
namespace {

const char* const kCaptions[] = {"Export data", "Export variable properties",
                                 "Export value labels"};
const char* const kSuffixes[] = {"", "_variables", "_labels"};

}  // namespace

std::optional<ExportJob> AskExportJob(UiService& ui, QWidget* parent, int kind,
                                      const std::string& fileName, const VariableList& variables) {
  const QFileInfo source(QString::fromStdString(fileName));
  const QString suggested =
      source.dir().filePath(source.completeBaseName() + QLatin1String(kSuffixes[kind]) + ".csv");
  QStringList filters;
  if (kind == 0)
    filters << QStringLiteral("CSV, values (*.csv)")
            << QStringLiteral("CSV, formatted values (*.csv)")
            << QStringLiteral("CSV, value labels (*.csv)")
            << QStringLiteral("Parquet, typed values (*.parquet)")
            << QStringLiteral("Parquet, value labels (*.parquet)")
            << QStringLiteral("Excel workbook, values (*.xlsx)")
            << QStringLiteral("Excel workbook, value labels (*.xlsx)")
            << QStringLiteral("Stata 14 (*.dta)");
  else
    filters << QStringLiteral("CSV (*.csv)");
  filters << QStringLiteral("All files (*)");
  int filter = 0;
  ExportJob job;
  job.kind = kind;
  job.target =
      ui.GetSaveFileName(parent, QString::fromLatin1(kCaptions[kind]), suggested, filters, &filter);
  if (job.target.isEmpty()) return std::nullopt;
  job.mode = filter == 1                                 ? DataMode::Formatted
             : filter == 2 || filter == 4 || filter == 6 ? DataMode::Labels
                                                         : DataMode::Raw;
  // Parquet and Excel by their filters, or by the name under "All files".
  job.parquet = kind == 0 && (filter == 3 || filter == 4 ||
                              job.target.endsWith(QLatin1String(".parquet"), Qt::CaseInsensitive));
  job.dta = kind == 0 && !job.parquet &&
            (filter == 7 || job.target.endsWith(QLatin1String(".dta"), Qt::CaseInsensitive));
  job.xlsx = kind == 0 && !job.parquet && !job.dta &&
             (filter == 5 || filter == 6 ||
              job.target.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive));

  // Variable properties and labels cover the whole dictionary in file order;
  // the data the variables of the view.
  for (int i = 0; i < variables.StoredCount(); ++i)
    job.records.push_back(*variables.StoredRecord(i));
  std::sort(job.records.begin(), job.records.end(),
            [](const VarRecord& a, const VarRecord& b) { return a.RecId < b.RecId; });
  for (int row = 0; row < variables.RecordCount(); ++row)
    job.vars.push_back(variables.ViewRecord(row)->RecId - 1);
  if (kind == 0 && job.vars.empty()) {
    ui.ShowMessage(QStringLiteral("No variables to export."));
    return std::nullopt;
  }
  return job;
}

void RunExportJob(UiService& ui, QWidget* parent, const ExportJob& job, SystemFile& file,
                  const std::string& fileName, const std::function<bool()>& stopRequested) {
  WriteProgress progress(parent, QString::fromLatin1(kCaptions[job.kind]),
                         QStringLiteral("Exporting to %1").arg(QFileInfo(job.target).fileName()),
                         stopRequested);
  const ExportProgress onProgress = [&](std::int64_t done, std::int64_t total) {
    return progress.step(done, total);
  };
  const ExportResult result = ExportToFile(
      job.target.toStdString(),
      [&](ExportFile& out) {
        if (job.kind == 1) return ExportVariables(file, job.records, out);
        if (job.kind == 2) return ExportValueLabels(file, job.records, out);
        if (job.parquet) return ExportDataParquet(file, job.vars, job.mode, out, onProgress);
        if (job.dta) return ExportDataDta(file, job.vars, out, onProgress);
        if (job.xlsx) return ExportDataXlsx(file, job.vars, job.mode, job.records, out, onProgress);
        return ExportData(file, job.vars, job.mode, out, onProgress);
      },
      fileName);
  progress.close();
  if (stopRequested()) return;
  if (result.status == ExportStatus::Failed)
    ui.SystemMessageBox(QStringLiteral("Export error"), QString::fromStdString(result.message),
                        MessageIcon::Error);
  else if (result.status == ExportStatus::Done && !result.warning.empty())
    ui.SystemMessageBox(QString::fromLatin1(kCaptions[job.kind]),
                        QStringLiteral("%1 is written with the %2 that could be read.\n\n%3")
                            .arg(QFileInfo(job.target).fileName())
                            .arg(result.rows == 1 ? QStringLiteral("1 case")
                                                  : QStringLiteral("%1 cases").arg(result.rows))
                            .arg(QString::fromStdString(
                                result.note.empty() ? result.warning
                                                    : result.warning + "\n\n" + result.note)),
                        MessageIcon::Warning);
  else if (result.status == ExportStatus::Done && !result.note.empty())
    ui.SystemMessageBox(QString::fromLatin1(kCaptions[job.kind]),
                        QString::fromStdString(result.note), MessageIcon::Information);
}

}  // namespace brindle
