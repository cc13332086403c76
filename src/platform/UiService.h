// Every message box, typed dialog, Open dialog and clipboard write of the
// program goes through one service, so that tests can record them instead of
// blocking on a modal window.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QMessageBox;
class QWidget;

namespace brindle {

enum class MessageIcon { None, Information, Warning, Error };

class UiService {
 public:
  virtual ~UiService() = default;
  // Plain message box: caption the application title, OK button, no icon.
  // The text is selectable; lines "label\tvalue" show as two aligned columns.
  virtual void ShowMessage(const QString& text) = 0;
  // Typed dialog "Warning" with an "OK" button.
  virtual void WarningDialog(const QString& text) = 0;
  // Typed dialog "Confirm" with "&Yes" and "&No"; true for Yes.
  virtual bool ConfirmDialog(const QString& text) = 0;
  // System message box with its own caption and icon (e.g. "File open error", Warning).
  virtual void SystemMessageBox(const QString& caption, const QString& text, MessageIcon icon) = 0;
  // Open dialog starting in folder (the working folder when empty); the
  // chosen path, or empty when cancelled. filter in Qt syntax.
  virtual QString GetOpenFileName(QWidget* parent, const QString& filter,
                                  const QString& folder) = 0;
  // Save dialog with a caption, a suggested path and a list of filters (Qt
  // syntax, one per entry); the chosen path, or empty when cancelled.
  // *filterIndex is the chosen filter's position on return (0 when the
  // dialog cannot tell).
  virtual QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                  const QStringList& filters, int* filterIndex) = 0;
  virtual void SetClipboardText(const QString& text) = 0;
  // Password dialog for an encrypted file: the file's name, a prompt
  // ("Password:", or "Wrong password" when asking again) and a masked entry.
  // False when cancelled; the caller wipes password after use.
  virtual bool GetPassword(QWidget* parent, const QString& fileName, const QString& prompt,
                           QString& password) = 0;
  // Opens a file the program wrote (a codebook) in the desktop's program for
  // it (a browser for HTML); false when none could be started.
  virtual bool OpenDocument(const QString& path) = 0;
};

// Widens a message box, which sizes itself to its text, to at least the room
// its caption needs in a title bar beside the window's buttons, so that a
// short text does not leave the caption cut ("F... d").
void FitToCaption(QMessageBox& box);

// The real dialogs: QMessageBox, QFileDialog and the application clipboard.
// Dialogs are modal and return when the user closes them.
class QtUiService : public UiService {
 public:
  void ShowMessage(const QString& text) override;
  void WarningDialog(const QString& text) override;
  bool ConfirmDialog(const QString& text) override;
  void SystemMessageBox(const QString& caption, const QString& text, MessageIcon icon) override;
  QString GetOpenFileName(QWidget* parent, const QString& filter, const QString& folder) override;
  QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                          const QStringList& filters, int* filterIndex) override;
  void SetClipboardText(const QString& text) override;
  bool GetPassword(QWidget* parent, const QString& fileName, const QString& prompt,
                   QString& password) override;
  bool OpenDocument(const QString& path) override;
};

// For tests: records every call and answers from scripted values; never
// shows anything. Call kinds are the method names ("ShowMessage",
// "WarningDialog", "ConfirmDialog", "SystemMessageBox", "GetOpenFileName",
// "SetClipboardText"); caption is the caption the real dialog would carry
// (the filter for GetOpenFileName), text the message (the clipboard text;
// the starting folder for GetOpenFileName;
// for "GetSaveFileName" the suggested path, the filters in caption after the
// dialog's caption, separated by newlines; for "GetPassword" the file name
// in caption, the prompt in text; for "OpenDocument" the path in text).
class RecordingUiService : public UiService {
 public:
  struct Call {
    QString kind;
    QString caption;
    QString text;
    MessageIcon icon = MessageIcon::None;
  };
  QList<Call> calls;
  QStringList openFileAnswers;  // taken front first; empty list answers ""
  QStringList saveFileAnswers;  // taken front first; empty list answers ""
  int saveFilterAnswer = 0;     // the filter the save dialog reports chosen
  bool confirmAnswer = true;
  QStringList passwordAnswers;  // taken front first; an empty list cancels
  QString clipboard;
  bool openDocumentAnswer = true;

  void ShowMessage(const QString& text) override;
  void WarningDialog(const QString& text) override;
  bool ConfirmDialog(const QString& text) override;
  void SystemMessageBox(const QString& caption, const QString& text, MessageIcon icon) override;
  QString GetOpenFileName(QWidget* parent, const QString& filter, const QString& folder) override;
  QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                          const QStringList& filters, int* filterIndex) override;
  void SetClipboardText(const QString& text) override;
  bool GetPassword(QWidget* parent, const QString& fileName, const QString& prompt,
                   QString& password) override;
  bool OpenDocument(const QString& path) override;

  // Number of recorded calls of one kind.
  int Count(const QString& kind) const;
  // The last recorded call; a default Call when none was made.
  Call Last() const;
};

}  // namespace brindle
