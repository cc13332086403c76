#include "app/HelpWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/ScreenFit.h"

namespace brindle {

QString HelpPage(int context) {
  static const char* const pages[] = {"index", "overview", "variables", "values",
                                      "menus", "keys",     "data"};
  const int i = (context >= 1 && context <= 6) ? context : 0;
  return QStringLiteral("qrc:/help/%1.html").arg(QLatin1String(pages[i]));
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Brindle Help"));
  resize(640, 560);
  Browser = new QTextBrowser;
  Browser->setOpenExternalLinks(true);

  auto* contents = new QPushButton(QStringLiteral("&Contents"));
  auto* back = new QPushButton(QStringLiteral("&Back"));
  auto* forward = new QPushButton(QStringLiteral("&Forward"));
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(contents, &QPushButton::clicked, this, [this] { Browser->setSource(QUrl(HelpPage(0))); });
  connect(back, &QPushButton::clicked, Browser, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, Browser, &QTextBrowser::forward);
  connect(Browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(Browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
  connect(Browser, &QTextBrowser::sourceChanged, this,
          [this] { setWindowTitle(Browser->documentTitle() + QStringLiteral(" - Brindle Help")); });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(contents);
  buttons->addWidget(back);
  buttons->addWidget(forward);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(Browser, 1);
}

void HelpWindow::ShowTopic(int context) {
  Browser->setSource(QUrl(HelpPage(context)));
  if (!isVisible()) FitToScreen(*this);
  show();
  raise();
  activateWindow();
}

QString HelpWindow::CurrentPage() const { return Browser->source().toString(); }

}  // namespace brindle
