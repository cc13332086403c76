#include "platform/UiService.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "platform/WaitCursor.h"

using brindle::MessageIcon;
using brindle::RecordingUiService;

class UiServiceTest : public QObject {
  Q_OBJECT

 private slots:
  void recordingCapturesEveryCallWithItsCaption() {
    QApplication::setApplicationDisplayName("Brindle");
    RecordingUiService ui;
    ui.ShowMessage("plain");
    ui.WarningDialog("careful");
    ui.confirmAnswer = false;
    QVERIFY(!ui.ConfirmDialog("sure?"));
    ui.SystemMessageBox("File open error", "x.sav\ncannot be opened", MessageIcon::Warning);
    ui.SetClipboardText("a\tb\t\r\n");

    QCOMPARE(ui.calls.size(), 5);
    const QStringList captions{"Brindle", "Warning", "Confirm", "File open error", ""};
    const QStringList texts{"plain", "careful", "sure?", "x.sav\ncannot be opened", "a\tb\t\r\n"};
    const QStringList kinds{"ShowMessage", "WarningDialog", "ConfirmDialog", "SystemMessageBox",
                            "SetClipboardText"};
    for (int i = 0; i < 5; ++i) {
      QCOMPARE(ui.calls[i].kind, kinds[i]);
      QCOMPARE(ui.calls[i].caption, captions[i]);
      QCOMPARE(ui.calls[i].text, texts[i]);
    }
    QCOMPARE(ui.calls[3].icon, MessageIcon::Warning);
    QCOMPARE(ui.clipboard, QString("a\tb\t\r\n"));
    QCOMPARE(ui.Count("ConfirmDialog"), 1);
    QCOMPARE(ui.Last().kind, QString("SetClipboardText"));
  }

  void openAnswersAreTakenInTurn() {
    RecordingUiService ui;
    ui.openFileAnswers = {"/data/one.sav", "/data/two.sav"};
    QCOMPARE(ui.GetOpenFileName(nullptr, "SPSS (*.sav)", "/data"), QString("/data/one.sav"));
    QCOMPARE(ui.GetOpenFileName(nullptr, "SPSS (*.sav)", "/data"), QString("/data/two.sav"));
    QCOMPARE(ui.GetOpenFileName(nullptr, "SPSS (*.sav)", "/data"), QString());
    QCOMPARE(ui.Count("GetOpenFileName"), 3);
    QCOMPARE(ui.Last().caption, QString("SPSS (*.sav)"));
  }

  void waitCursorNestsAndRestores() {
    QVERIFY(QApplication::overrideCursor() == nullptr);
    {
      brindle::WaitCursor outer;
      QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
      { brindle::WaitCursor inner; }
      QVERIFY(QApplication::overrideCursor() != nullptr);
    }
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  // The real plain message: label/value lines in two columns (a message box
  // does not expand tabs), selectable, and Ctrl+C copies the text as given.
  void plainMessageLinesUpTabbedText() {
    QApplication::setApplicationDisplayName("x.sav - Brindle");
    const QString text = "x.sav\nvariables\t7\ncases    \t2\nno weight variable defined";
    QString shown;
    Qt::TextInteractionFlags flags;
    QString caption;
    QString copied;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      caption = box->windowTitle();
      shown = box->text();
      QLabel* label = box->findChild<QLabel*>("qt_msgbox_label");
      flags = label->textInteractionFlags();
      QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
      copied = QApplication::clipboard()->text();
      // A selection keeps the tabs between the columns.
      label->setSelection(0, label->text().size());
      QTest::keyClick(label, Qt::Key_C, Qt::ControlModifier);
      box->accept();
    });
    brindle::QtUiService().ShowMessage(text);
    QCOMPARE(caption, QString("x.sav - Brindle"));
    QVERIFY(flags.testFlag(Qt::TextSelectableByMouse));
    QVERIFY(shown.contains("<tr><td>variables</td><td style=\"padding-left:12px\">7</td></tr>"));
    QVERIFY(shown.contains("<td colspan=\"2\">no weight variable defined</td>"));
    QCOMPARE(copied, text);
    QVERIFY(QApplication::clipboard()->text().contains("\nvariables\t7\ncases    \t2\nno weight"));
  }

  // A short text in a box with a longer caption: the box is as wide as the
  // caption needs, whatever kind of box it is.
  void messageBoxesAreWideEnoughForTheirCaption_data() {
    QTest::addColumn<int>("kind");  // 0 system box, 1 plain message
    QTest::addColumn<QString>("caption");
    QTest::newRow("find first") << 0 << " Find first";
    QTest::newRow("find previous") << 0 << " Find previous";
    QTest::newRow("long file name")
        << 1 << "a rather long file name of a survey of 2024.sav - Brindle";
  }

  void messageBoxesAreWideEnoughForTheirCaption() {
    QFETCH(int, kind);
    QFETCH(QString, caption);
    QApplication::setApplicationDisplayName(caption);
    int width = 0;
    QString shownCaption;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      width = box->width();
      shownCaption = box->windowTitle();
      box->accept();
    });
    brindle::QtUiService ui;
    if (kind == 0)
      ui.SystemMessageBox(caption, "x not found", MessageIcon::Information);
    else
      ui.ShowMessage("x");
    QCOMPARE(shownCaption, caption);
    QFont bold = QApplication::font();
    bold.setBold(true);
    // Room for the title bar's icon and its three buttons beside the caption.
    QVERIFY2(width > QFontMetrics(bold).horizontalAdvance(caption) + 100,
             qPrintable(QString::number(width)));
  }
};

QTEST_MAIN(UiServiceTest)
#include "UiService_test.moc"
