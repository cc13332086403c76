// New windows within the screen's room: too large ones shrink, ones placed
// partly off the screen come back, ones that fit stay as they are.
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "platform/ScreenFit.h"

class ScreenFitTest : public QObject {
  Q_OBJECT

 private slots:
  void windowsFitTheScreen_data();
  void windowsFitTheScreen();
};

void ScreenFitTest::windowsFitTheScreen_data() {
  const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
  QTest::addColumn<QRect>("placed");  // an invalid position: left to the window manager
  QTest::addColumn<bool>("moved");
  QTest::addColumn<QSize>("size");
  QTest::addColumn<QSize>("expected");
  const QSize most(room.width() - 16, room.height() - 48);
  QTest::newRow("fits") << QRect() << false << QSize(300, 200) << QSize(300, 200);
  QTest::newRow("twice the screen") << QRect() << false << room.size() * 2 << most;
  QTest::newRow("too tall only") << QRect() << false << QSize(300, room.height() + 10)
                                 << QSize(300, most.height());
  QTest::newRow("too wide only") << QRect() << false << QSize(room.width(), 100)
                                 << QSize(most.width(), 100);
  QTest::newRow("placed off the bottom right")
      << QRect(room.right() - 50, room.bottom() - 50, 300, 200) << true << QSize(300, 200)
      << QSize(300, 200);
  QTest::newRow("placed off the top left") << QRect(room.left() - 500, room.top() - 500, 300, 200)
                                           << true << QSize(300, 200) << QSize(300, 200);
}

void ScreenFitTest::windowsFitTheScreen() {
  QFETCH(QRect, placed);
  QFETCH(bool, moved);
  QFETCH(QSize, size);
  QFETCH(QSize, expected);
  const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget window;
  window.resize(size);
  if (placed.isValid()) window.move(placed.topLeft());
  brindle::FitToScreen(window);
  QCOMPARE(window.size(), expected);
  if (moved) {
    QVERIFY(room.contains(window.geometry()));
  }
}

QTEST_MAIN(ScreenFitTest)
#include "ScreenFit_test.moc"
