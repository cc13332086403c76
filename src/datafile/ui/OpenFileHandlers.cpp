// TForm1's open and close commands: the window's side of opening a data file
// and loading its dictionary. The module calls and texts are in datafile/.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <string>

#include "app/MainWindow.h"
#include "controls/BxDBGrid.h"
#include "controls/ShowDoc.h"
#include "controls/ValStringGrid.h"
#include "datafile/DictionaryLoader.h"
#include "datafile/FileReport.h"
#include "datafile/OpenFile.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "spssio/spssio.h"

namespace brindle {

namespace {

// Lower- and upper-case extensions: file names on Linux are case-sensitive.
const char* const kOpenFilter = "SPSS (*.sav *.SAV *.zsav *.ZSAV);;*.* (*)";

// Asks for the password of an encrypted file until one opens it or the user
// cancels (then the file is an encrypted one that cannot be read). Returns
// the open's code; the typed text is wiped after each try.
int OpenWithPassword(UiService& ui, QWidget* parent, const std::string& name, DataFileState& opened,
                     std::string& errorText) {
  QString prompt = QStringLiteral("Password:");
  for (;;) {
    QString password;
    if (!ui.GetPassword(parent, QString::fromStdString(name), prompt, password)) {
      errorText = OpenErrorText(SPSS_ENCRYPTED_FILE, name);
      return SPSS_ENCRYPTED_FILE;
    }
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

void TForm1::Open1Click() { OpenDataFile(QString()); }

void TForm1::OpenDataFile(const QString& fileName, const FileKey* key) {
  // A frequency pass reads the open file; replacing it now would pull the
  // file from under the pass.
  if (Counting()) return;
  QString name = fileName;
  if (name.isEmpty()) name = m_ui.GetOpenFileName(this, QString::fromLatin1(kOpenFilter));
  if (name.isEmpty()) return;

  // The new file is opened into a state of its own: until it has opened,
  // the old file, its name and everything on screen stay as they are.
  DataFileState opened;
  std::string errorText;
  int code = 0;
  {
    WaitCursor wait;
    code = OpenDataFileState(name.toStdString(), opened, &errorText, nullptr, key);
  }
  // An encrypted file asks for its password; so does one encrypted anew
  // since its key was found.
  if (code == SPSS_ENCRYPTED_FILE || (key && code == SPSS_WRONG_PASSWORD))
    code = OpenWithPassword(m_ui, this, name.toStdString(), opened, errorText);
  if (code != SPSS_OK) {
    m_ui.SystemMessageBox(QStringLiteral("File open error"), QString::fromStdString(errorText),
                          MessageIcon::Warning);
    return;
  }

  ShowDocFrm->FormClose();
  ShowDocFrm->close();
  ResetWeighting();

  if (m_openFile.Close() != SPSS_OK)
    m_ui.WarningDialog(QStringLiteral("Failed to close ") + QString::fromStdString(FileName));

  WaitCursor wait;
  EnableFileCommands(true);
  static_cast<DataFileState&>(*this) = opened;
  CaseCountEstimated = false;
  Values.CountColor = QColor(0, 0, 255);

  ShowDocBtn->setEnabled(HasDocument != 0);
  ShowDocBtn->setVisible(HasDocument != 0);

  const QFileInfo info(name);
  setWindowTitle(QStringLiteral("Brindle ") + info.absoluteFilePath());
  setApplicationTitle(info.fileName() + QStringLiteral(" - Brindle"));

  Variables.VarMemData.SetSortedField(std::string());
  Variables.ClearFind();

  GetVarInfo();

  Variables.VarGrid->setFocus();
  Values.SortDescending = false;
  Values.SortKey = 1;
}

void TForm1::GetVarInfo() {
  Values.Memo1->clear();
  Values.Memo1->setVisible(false);
  Variables.VarGrid->SetDataSourceEnabled(false);
  const DictionaryLoadResult result = LoadDictionary(*this, Variables.VarMemData, m_separators);
  Variables.VarGrid->SetDataSourceEnabled(true);
  if (result.errorCode != 0) {
    m_ui.ShowMessage(QString::fromStdString(result.error));
    return;
  }
  if (!result.warning.empty()) {
    Values.CountColor = QColor(255, 0, 0);
    m_ui.WarningDialog(QString::fromStdString(result.warning));
  }
  // A file with a weight variable offers it at once; weighting stays off.
  if (!WeightVarName.empty()) WComboBoxDropDown();
  VarMemDataAfterScroll();
}

void TForm1::CloseItemClick() {
  // The frequency pass still reads the file.
  if (Counting()) return;
  m_openFile.Close();
  // Nothing of the closed file is kept: its name, counts and flags go too.
  static_cast<DataFileState&>(*this) = DataFileState();
  setWindowTitle(QStringLiteral("Brindle"));
  setApplicationTitle(QStringLiteral("Brindle"));

  Variables.VarMemData.Close();

  Values.StringGrid1->SetRowCount(Values.MinValueRows);
  startValueRows();
  Values.ValueRowCount = 0;
  Values.FrequencyTableShown = false;
  Values.Memo1->clear();
  Values.Memo1->setVisible(false);
  Variables.Edit1->clear();
  Variables.Edit2->clear();
  Values.Label1->clear();
  Values.StringGrid1->SelectNone();
  attachValuesWidthHandler(false);
  Values.StringGrid1->RestoreLabelColumn();
  attachValuesWidthHandler(true);
  for (int panel = 0; panel < 3; ++panel) SetStatusText(panel, QString());

  Weighting.Reset();

  EnableFileCommands(false);
  ShowDocBtn->setEnabled(false);
  ShowDocBtn->setVisible(false);
}

}  // namespace brindle
