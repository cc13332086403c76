#include "datafile/ui/FileInfoHandlers.h"

#include <QStringList>

#include <string>

#include "controls/DocumentWindow.h"
#include "datafile/DocumentReader.h"
#include "datafile/FileReport.h"
#include "platform/UiService.h"
#include "spssio/SystemFile.h"

namespace brindle {

void ShowFileReport(UiService& ui, const DataFileState& file) {
  ui.ShowMessage(QString::fromStdString(
      FileInfoReport(file, file.File->productText(), file.File->caseSize())));
}

void ShowDocumentLines(UiService& ui, const DataFileState& file, DocumentWindow& window) {
  const std::string encoding = file.File->encoding();
  const DocumentReadResult doc = DocumentOf(*file.File);
  if (!doc.found) {
    if (!doc.message.empty()) ui.ShowMessage(QString::fromStdString(doc.message));
    return;
  }
  QStringList lines;
  for (const std::string& line : DocumentWindowLines(doc, encoding))
    lines << QString::fromStdString(line);
  window.ShowLines(lines);
}

}  // namespace brindle
