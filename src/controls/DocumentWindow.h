// The document window: the open file's document lines in a list the user can
// read, select from and copy. One instance lives as long as the main window;
// it is not modal and stays above its owner. Closing it in any way empties
// the list, so the next showing starts afresh.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QAction;
class QListWidget;
class QMenu;

namespace brindle {

class UiService;

class DocumentWindow : public QWidget {
  Q_OBJECT

 public:
  // owner: the main window, which the document window stays above. The
  // service (the clipboard) must outlive the window.
  DocumentWindow(UiService& ui, QWidget* owner);

  QListWidget* linesList = nullptr;
  QMenu* variablesMenu = nullptr;
  QAction* CopyDoc = nullptr;
  QAction* SelectAlldoc = nullptr;

  // The open file's name, for the caption; asked each time the window is shown.
  std::function<QString()> FileName;

  // Replaces the list with lines and shows the window, or brings it to the
  // front with a fresh caption when it is shown already.
  void ShowLines(const QStringList& lines);
  // The list's lines, top to bottom.
  QStringList Lines() const;

  // Caption: the file's name without its folder and " - Documents".
  void FormShow();
  // Empties the list.
  void FormClose();
  // Puts the selected lines on the clipboard, each followed by "\n".
  void CopyDocClick();
  void SelectAlldocClick();
  // Returns whether the key was one of the list's commands.
  bool ListBox1KeyDown(int key, Qt::KeyboardModifiers modifiers);
  // The right button opens variablesMenu at globalPos, with "&Copy" enabled
  // exactly when something is selected. Returns whether it acted.
  bool ListBox1MouseDown(Qt::MouseButton button, const QPoint& globalPos);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  UiService& m_ui;
  bool m_placed = false;
};

}  // namespace brindle
