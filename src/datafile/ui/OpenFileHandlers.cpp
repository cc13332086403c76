#include "datafile/ui/OpenFileHandlers.h"

#include <QByteArray>

#include <optional>
#include <string>

#include "datafile/FileReport.h"
#include "datafile/OpenFile.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "spssio/Spssio.h"

namespace brindle {

namespace {

// Lower- and upper-case extensions: file names on Linux are case-sensitive.
const char* const kOpenFilter = "SPSS (*.sav *.SAV *.zsav *.ZSAV);;*.* (*)";

// Asks for the password of an encrypted file until one opens it or the user
// cancels. Returns the open's code, or nothing when the user cancelled; the
// typed text is wiped after each try.
std::optional<int> OpenWithPassword(UiService& ui, QWidget* parent, const std::string& name,
                                    DataFileState& opened, std::string& errorText) {
  QString prompt = QStringLiteral("Password:");
  for (;;) {
    QString password;
    if (!ui.GetPassword(parent, QString::fromStdString(name), prompt, password))
      return std::nullopt;
    QByteArray bytes = password.toUtf8();
    password.fill(QLatin1Char(' '));
    int code;
    {
      WaitCursor wait;
      code = OpenDataFileState(name, opened, &errorText, bytes.constData());
    }
    bytes.fill('\0');
    if (code != SPSS_WRONG_PASSWORD) return code;
    prompt = QStringLiteral("Wrong password");
  }
}

}  // namespace

QString AskDataFileName(UiService& ui, QWidget* parent, const QString& folder) {
  return ui.GetOpenFileName(parent, QString::fromLatin1(kOpenFilter), folder);
}

bool OpenDataFileReported(UiService& ui, QWidget* parent, const QString& name,
                          DataFileState& opened, const FileKey* key) {
  std::string errorText;
  int code = 0;
  {
    WaitCursor wait;
    code = OpenDataFileState(name.toStdString(), opened, &errorText, nullptr, key);
  }
  // An encrypted file asks for its password; so does one encrypted anew
  // since its key was found.
  if (code == SPSS_ENCRYPTED_FILE || (key && code == SPSS_WRONG_PASSWORD)) {
    const std::optional<int> withPassword =
        OpenWithPassword(ui, parent, name.toStdString(), opened, errorText);
    // Cancel is the user's choice, not a failure: nothing to report, and the
    // file on screen stays.
    if (!withPassword) return false;
    code = *withPassword;
  }
  if (code == SPSS_OK) return true;
  ui.SystemMessageBox(QStringLiteral("File open error"), QString::fromStdString(errorText),
                      MessageIcon::Warning);
  return false;
}

}  // namespace brindle
