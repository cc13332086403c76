#include "datafile/ui/OpenFileHandlers.h"

#include <string>

#include "datafile/OpenFile.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "spssio/spssio.h"

namespace brindle {

namespace {

// Lower- and upper-case extensions: file names on Linux are case-sensitive.
const char* const kOpenFilter = "SPSS (*.sav *.SAV *.zsav *.ZSAV);;*.* (*)";

}  // namespace

QString AskDataFileName(UiService& ui, QWidget* parent) {
  return ui.GetOpenFileName(parent, QString::fromLatin1(kOpenFilter));
}

bool OpenDataFileReported(UiService& ui, const QString& name, DataFileState& opened) {
  std::string errorText;
  int code = 0;
  {
    WaitCursor wait;
    code = OpenDataFileState(name.toStdString(), opened, &errorText);
  }
  if (code == SPSS_OK) return true;
  ui.SystemMessageBox(QStringLiteral("File open error"), QString::fromStdString(errorText),
                      MessageIcon::Warning);
  return false;
}

}  // namespace brindle
