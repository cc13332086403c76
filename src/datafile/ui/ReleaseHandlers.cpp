#include "datafile/ui/ReleaseHandlers.h"

#include <QString>

#include <string>

#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "spssio/Spssio.h"

namespace brindle {

void ReleaseDataFileReported(UiService& ui, DataFileState& file) {
  if (ReleaseDataFile(file) != SPSS_OK)
    ui.ShowMessage(QStringLiteral("FAILED TO CLOSE FILE HANDLE"));
}

ReopenOutcome TakeDataFileBack(DataFileState& file) {
  WaitCursor wait;
  return ReopenDataFile(file);
}

StaleFileAction AskAboutStaleFile(UiService& ui, const DataFileState& file) {
  if (!file.FileStale) return StaleFileAction::None;
  const std::string name = file.FileName;
  if (!file.FileOpen()) {
    ui.ShowMessage(QStringLiteral("error reopening file ") + QString::fromStdString(name));
    return StaleFileAction::Close;
  }
  const bool reload = ui.ConfirmDialog(QString::fromStdString(name) +
                                       QStringLiteral("'s\ntime/date changed. Reload?"));
  // The question may have waited while another file was opened.
  if (!file.FileStale || file.FileName != name) return StaleFileAction::None;
  return reload ? StaleFileAction::Reload : StaleFileAction::Close;
}

}  // namespace brindle
