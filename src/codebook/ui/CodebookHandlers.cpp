// File > Codebook... in the viewer; the document itself is written by codebook/.
#include "codebook/ui/CodebookHandlers.h"

#include <QDir>
#include <QFileInfo>


#include "platform/UiService.h"
#include "platform/WriteProgress.h"

namespace brindle {

QStringList CodebookFilters() {
  return {QStringLiteral("HTML codebook (*.html)"),
          QStringLiteral("HTML codebook, open after saving (*.html)"),
          QStringLiteral("All files (*)")};
}

std::optional<CodebookJob> AskCodebookJob(UiService& ui, QWidget* parent,
                                          const std::string& fileName) {
  const QFileInfo source(QString::fromStdString(fileName));
  const QString suggested =
      source.dir().filePath(source.completeBaseName() + QStringLiteral("_codebook.html"));
  int filter = 0;
  CodebookJob job;
  job.target =
      ui.GetSaveFileName(parent, QStringLiteral("Codebook"), suggested, CodebookFilters(), &filter);
  if (job.target.isEmpty()) return std::nullopt;
  job.openAfterSaving = filter == 1;
  return job;
}

bool RunCodebookJob(UiService& ui, QWidget* parent, const CodebookJob& job,
                    const CodebookSource& source, const CodebookRequest& request,
                    const std::function<bool()>& stopRequested) {
  WriteProgress progress(
      parent, QStringLiteral("Codebook"),
      QStringLiteral("Writing the codebook %1").arg(QFileInfo(job.target).fileName()),
      stopRequested);
  const ExportProgress onProgress = [&](std::int64_t done, std::int64_t total) {
    return progress.step(done, total);
  };
  const ExportResult result =
      WriteCodebookFile(job.target.toStdString(), source, request, onProgress);
  progress.close();
  if (stopRequested() || result.status == ExportStatus::Cancelled) return false;
  if (result.status == ExportStatus::Failed) {
    ui.SystemMessageBox(QStringLiteral("Codebook error"), QString::fromStdString(result.message),
                        MessageIcon::Error);
    return false;
  }
  if (!result.warning.empty())
    ui.SystemMessageBox(QStringLiteral("Codebook"),
                        QStringLiteral("%1 describes the cases that could be read.\n\n%2")
                            .arg(QFileInfo(job.target).fileName())
                            .arg(QString::fromStdString(result.warning)),
                        MessageIcon::Warning);
  if (job.openAfterSaving && !ui.OpenDocument(job.target))
    ui.SystemMessageBox(QStringLiteral("Codebook"),
                        QStringLiteral("%1 is written, but no program could be started to show "
                                       "it.")
                            .arg(job.target),
                        MessageIcon::Warning);
  return true;
}

}  // namespace brindle
