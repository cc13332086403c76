// The About box: product name, version, copyright, and links to the web page
// and the e-mail address. Not modal; OK, Enter, and another window of the
// program becoming active hide it; switching to another application does not.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace brindle {

class LinkLabel;
class UiService;

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  // Messages (a link that cannot be opened) go through ui, which must
  // outlive the box.
  explicit AboutBox(UiService& ui, QWidget* parent = nullptr);

  QFrame* frame = nullptr;
  QLabel* ProgramIcon = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* Copyright = nullptr;
  QLabel* spacerLabel = nullptr;
  LinkLabel* webLink = nullptr;
  QLabel* mailCaption = nullptr;
  LinkLabel* mailLink = nullptr;
  QPushButton* OKButton = nullptr;

  void FormShow();
  void OKButtonClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  bool m_wasActive = false;
};

}  // namespace brindle
