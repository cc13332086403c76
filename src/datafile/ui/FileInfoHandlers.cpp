// TForm1's handlers of the file properties report and the document window.
// The report's text and the document's lines come from datafile/.
#include <QAction>
#include <QGuiApplication>

#include <string>

#include "app/MainWindow.h"
#include "controls/ShowDoc.h"
#include "datafile/DocumentReader.h"
#include "datafile/FileReport.h"
#include "platform/UiService.h"
#include "spssio/spssio.h"

namespace brindle {

void TForm1::connectFileInfoHandlers() {
  ShowDocFrm = new TShowDocFrm(m_ui, this);
  ShowDocFrm->FileName = [this] { return QString::fromStdString(FileName); };

  connect(InfoBtn, &QAction::triggered, this, [this] { ShowFileInfo(); });
  connect(FileInfoItem, &QAction::triggered, this, [this] { ShowFileInfo(); });
  connect(ShowDocBtn, &QAction::triggered, this, [this] { ShowDocBtnClick(); });
  connect(FileDocItem, &QAction::triggered, this, [this] { ShowDocBtnClick(); });
  // The handler inverts the check mark itself, so Qt's toggle is taken back.
  connect(ReleaseFileHandle, &QAction::triggered, this, [this](bool checked) {
    ReleaseFileHandle->setChecked(!checked);
    Releasefilehandle1Click();
  });
  // The whole application, not a single window: moving between the main
  // window, the document window and a message box changes nothing.
  connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
              ApplicationEvents1Activate();
            else
              ApplicationEvents1Deactivate();
          });
}

void TForm1::ShowFileInfo() {
  if (FileHandle == -1 || !HoldFile()) return;
  std::string systemString;
  std::int64_t caseSize = 0;
  spssGetSystemString(FileHandle, systemString);
  spssGetCaseSize(FileHandle, &caseSize);
  m_ui.ShowMessage(QString::fromStdString(FileInfoReport(*this, systemString, caseSize)));
}

void TForm1::ShowDocBtnClick() {
  if (HasDocument == 0 || FileHandle == -1 || !HoldFile()) return;
  std::string encoding;
  spssGetFileEncoding(FileHandle, encoding);
  const DocumentReadResult doc = ReadDocumentRecord(FileName, Key.get());
  if (!doc.found) {
    // No termination record at all: nothing to say and nothing to show.
    if (!doc.message.empty()) m_ui.ShowMessage(QString::fromStdString(doc.message));
    return;
  }
  QStringList lines;
  for (const std::string& line : DocumentWindowLines(doc, encoding))
    lines << QString::fromStdString(line);
  ShowDocFrm->ShowLines(lines);
}

}  // namespace brindle
