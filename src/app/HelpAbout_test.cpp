// Help topics by context number, the help pages themselves, and the About box.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>

#include <functional>

#include "app/AboutBox.h"
#include "app/HelpWindow.h"
#include "app/MainWindow.h"
#include "controls/LinkLabel.h"
#include "testing/WindowTestSupport.h"
#include "values/ui/ValuesGrid.h"
#include "variables/ui/VariablesGrid.h"

using namespace brindle;
using namespace brindle::testing;

class HelpAboutTest : public QObject {
  Q_OBJECT

 private slots:
  void menuAndF1OpenTheTopicOfTheirContext();
  void everyPageLoadsAndItsLinksResolve();
  void aboutBoxHidesOnOkEnterAndAnotherWindow();
  void helpWindowOpensWithinTheScreen();
  void menusPageNamesEveryMenuItemShown();
};

void HelpAboutTest::menuAndF1OpenTheTopicOfTheirContext() {
  ShownWindow w;
  MainWindow& f = w.form;
  QVERIFY(!f.helpWindow()->isVisible());
  const struct {
    QAction* item;
    const char* page;
  } items[] = {{Action(f, "HelpOverview"), "overview"},
               {Action(f, "HelpKeys"), "keys"},
               {Action(f, "HelpTopics"), "index"}};
  for (const auto& c : items) {
    c.item->trigger();
    QVERIFY(f.helpWindow()->isVisible());
    QCOMPARE(f.helpWindow()->CurrentPage(), QStringLiteral("qrc:/help/%1.html").arg(c.page));
  }
  // F1 gives the topic of the control with the focus.
  const struct {
    QWidget* focus;
    const char* page;
  } controls[] = {{f.variablesPane().variablesGrid(), "variables"},
                  {f.valuesPane().valuesGrid(), "values"}};
  for (const auto& c : controls) {
    f.helpWindow()->hide();
    QApplication::setActiveWindow(&f);
    c.focus->setEnabled(true);
    c.focus->setFocus();
    QTest::keyClick(c.focus, Qt::Key_F1);
    QCOMPARE(f.helpWindow()->CurrentPage(), QStringLiteral("qrc:/help/%1.html").arg(c.page));
  }
}

void HelpAboutTest::everyPageLoadsAndItsLinksResolve() {
  HelpWindow help;
  for (int context = 0; context <= 6; ++context) {
    const QString page = HelpPage(context);
    QFile file(QStringLiteral(":") + QUrl(page).path());
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(page));
    const QString html = QString::fromUtf8(file.readAll());
    help.Browser->setSource(QUrl(page));
    QVERIFY2(!help.Browser->documentTitle().isEmpty(), qPrintable(page));
    static const QRegularExpression link(QStringLiteral("href=\"([^\"]+)\""));
    for (auto m = link.globalMatch(html); m.hasNext();) {
      const QString target = m.next().captured(1);
      QVERIFY2(QFile::exists(QStringLiteral(":/help/") + target),
               qPrintable(page + " -> " + target));
    }
  }
  QCOMPARE(HelpPage(9), HelpPage(0));
}

void HelpAboutTest::aboutBoxHidesOnOkEnterAndAnotherWindow() {
  ShownWindow w;
  MainWindow& f = w.form;
  AboutBox* box = f.aboutBox();
  QVERIFY(!box->isVisible());
  QCOMPARE(box->windowTitle(), QStringLiteral("Brindle"));
  QVERIFY(box->Version->text().startsWith(QStringLiteral("Version ")));
  QVERIFY(box->Version->text().size() > 8);
  QCOMPARE(box->mailLink->Target().left(7), QStringLiteral("mailto:"));

  Action(f, "aboutAction")->trigger();
  QVERIFY(box->isVisible());
  QVERIFY(!box->isModal());
  QVERIFY(!box->Copyright->text().isEmpty());
  QTest::mouseClick(box->OKButton, Qt::LeftButton);
  QVERIFY(!box->isVisible());

  Action(f, "aboutAction")->trigger();
  QVERIFY(QTest::qWaitForWindowActive(box));
  QTest::keyClick(box, Qt::Key_Return);
  QVERIFY(!box->isVisible());

  // The main window becoming active hides the box.
  Action(f, "aboutAction")->trigger();
  QVERIFY(QTest::qWaitForWindowActive(box));
  f.activateWindow();
  QTRY_VERIFY(!box->isVisible());
}

void HelpAboutTest::helpWindowOpensWithinTheScreen() {
  ShownWindow w;
  MainWindow& f = w.form;
  // At a scale factor of 2 the screen's room in pixels of the program is
  // half as large: the design size no longer fits.
  const QRect room = f.screen()->availableGeometry();
  f.helpWindow()->resize(room.width() + 200, room.height() * 2);
  Action(f, "HelpOverview")->trigger();
  QVERIFY(f.helpWindow()->isVisible());
  QVERIFY(f.helpWindow()->width() < room.width());
  QVERIFY(f.helpWindow()->height() < room.height());
}

void HelpAboutTest::menusPageNamesEveryMenuItemShown() {
  ShownWindow w;
  QFile file(QStringLiteral(":/help/menus.html"));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(file.readAll());
  // Each item as the page names it: its caption in bold, without the
  // accelerator's ampersand, the dots and the key after the tab.
  const auto named = [&](const QAction* item) {
    QString caption = item->text().section(QLatin1Char('\t'), 0, 0);
    caption.remove(QLatin1Char('&')).remove(QStringLiteral("..."));
    return html.contains("<b>" + caption + "</b>");
  };
  int items = 0;
  std::function<void(const QMenu*)> walk = [&](const QMenu* menu) {
    for (const QAction* item : menu->actions()) {
      if (item->isSeparator()) continue;
      // The recent files are the user's, not the program's.
      if (menu == w.form.recentFilesMenu()) continue;
      ++items;
      // A page that describes an item the menu never shows misleads.
      QVERIFY2(named(item) == item->isVisible(), qPrintable(item->text()));
      if (item->menu()) walk(item->menu());
    }
  };
  for (const QAction* top : w.form.menuBar()->actions()) {
    QVERIFY2(html.contains("<h2>" + QString(top->text()).remove(QLatin1Char('&')) + "</h2>"),
             qPrintable(top->text()));
    walk(top->menu());
  }
  QVERIFY(items > 15);
}

QTEST_MAIN(HelpAboutTest)
#include "HelpAbout_test.moc"
