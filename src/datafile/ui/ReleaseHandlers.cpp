// TForm1's write-access release: the open file is let go while the program
// is in the background and taken back when it returns. The module calls and
// the change test are in datafile/FileRelease.
#include <QAction>
#include <QTimer>

#include <string>

#include "app/MainWindow.h"
#include "datafile/FileRelease.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "spssio/spssio.h"

namespace brindle {

void TForm1::Releasefilehandle1Click() {
  ReleaseFileHandle->setChecked(!ReleaseFileHandle->isChecked());
}

void TForm1::ApplicationEvents1Deactivate() {
  // A frequency pass still reads the file; a stale file is on its way out.
  if (FileHandle == -1 || !ReleaseFileHandle->isChecked() || Counting() || FileStale) return;
  if (ReleaseDataFile(*this) != SPSS_OK) m_ui.ShowMessage(QStringLiteral("FAILED TO CLOSE FILE HANDLE"));
}

void TForm1::ApplicationEvents1Activate() {
  // A released file is always taken back, also should the option have been
  // switched off meanwhile: nothing else would ever reopen it.
  if (!FileReleased) return;
  ReopenOutcome outcome;
  {
    WaitCursor wait;
    outcome = ReopenDataFile(*this);
  }
  if (outcome != ReopenOutcome::Unchanged) settleStaleFile();
}

bool TForm1::HoldFile() {
  if (FileStale) return false;
  if (!FileReleased) return true;
  // Something wants to read before the activation arrived (a click can come
  // first): take the file back now.
  ReopenOutcome outcome;
  {
    WaitCursor wait;
    outcome = ReopenDataFile(*this);
  }
  if (outcome == ReopenOutcome::Unchanged) return true;
  // Closing or reloading now would pull the variables table from under the
  // caller (a cursor move, say): the question waits for the event loop.
  QTimer::singleShot(0, this, [this] { settleStaleFile(); });
  return false;
}

void TForm1::settleStaleFile() {
  if (!FileStale) return;
  const std::string name = FileName;
  if (FileHandle == -1) {
    m_ui.ShowMessage(QStringLiteral("error reopening file ") + QString::fromStdString(name));
    CloseItemClick();
    return;
  }
  const bool reload = m_ui.ConfirmDialog(QString::fromStdString(name) +
                                         QStringLiteral("'s\ntime/date changed. Reload?"));
  // The question may have waited while another file was opened.
  if (!FileStale || FileName != name) return;
  // An encrypted file reloads with its key; the password is long gone.
  const std::shared_ptr<const FileKey> key = Key;
  CloseItemClick();
  if (reload) OpenDataFile(QString::fromStdString(name), key.get());
}

}  // namespace brindle
