// The help window: the program's own help pages, built in as resources,
// shown by context number.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace brindle {

// The page of a context number: 1 overview, 2 the variables list and find
// bar, 3 the values pane, 4 menus and options, 5 shortcut keys, 6 the data
// page; any other number the contents.
QString HelpPage(int context);

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  QTextBrowser* Browser = nullptr;

  // Shows the window with the page of the context number, in front.
  void ShowTopic(int context);
  // The page on display, "qrc:/help/keys.html" and so on.
  QString CurrentPage() const;
};

}  // namespace brindle
