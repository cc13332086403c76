// The main window's frame: initial states, enabling, start-up, resizing,
// dropped files and closing.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTest>
#include <QUrl>

#include <cfloat>

#include "app/Main.h"
#include "app/ToolImages.h"
#include "app/WindowTestSupport.h"
#include "controls/BxDBGrid.h"
#include "controls/ValStringGrid.h"
#include "spssio/spssio.h"

using namespace brindle;
using namespace brindle::testing;

class MainTest : public QObject {
  Q_OBJECT

 private slots:
  void startsWithFileCommandsOff();
  void toolImagesDrawAtBothSizes();
  void enableFileCommands();
  void firstShow();
  void commandLineOpensOnlyTheFirstArgument();
  void resizeKeepsTheGridsShare();
  void label1StaysRightOfFilter();
  void droppedFilesOpenOnlyTheFirst();
  void closingTheWindowClosesTheFile();
  void closingWhileCountingLeavesTheFile();
};

void MainTest::startsWithFileCommandsOff() {
  ShownWindow w;
  const TForm1& f = w.form;
  for (QAction* a : {f.FileInfoItem, f.OpenFileinSPSS1, f.CloseItem, f.FrequenciesBtn, f.InfoBtn,
                     f.OpeninSpssBtn, f.repfindbtn1, f.repfindbtn4, f.WeightBtn, f.ShowDocBtn,
                     f.FileDocItem})
    QVERIFY2(!a->isEnabled(), qPrintable(a->text()));
  for (QAction* a : {f.OpenBtn, f.Open1, f.Exit1, f.HideMissingcolumn, f.FrequenciesShown})
    QVERIFY2(a->isEnabled(), qPrintable(a->text()));
  QVERIFY(!f.ShowDocBtn->isVisible());
  QVERIFY(f.Exportmnu->menuAction()->isVisible());
  QVERIFY(!f.Exportmnu->menuAction()->isEnabled());
  QVERIFY(!f.VarGrid->isEnabled());
  QVERIFY(!f.StringGrid1->isEnabled());
  QVERIFY(!f.Edit1->isEnabled());
  QVERIFY(!f.Memo1->isVisible());
  QVERIFY(f.UsePrintFormat->isChecked());
}

void MainTest::toolImagesDrawAtBothSizes() {
  for (int i = 0; i < kToolImageCount; ++i) {
    for (int size : {16, 24}) {
      const QImage image = ToolImage(i).pixmap(size, size).toImage();
      QCOMPARE(image.width(), size);
      // Something is drawn: not every pixel is transparent.
      bool drawn = false;
      for (int y = 0; y < size && !drawn; ++y)
        for (int x = 0; x < size && !drawn; ++x) drawn = qAlpha(image.pixel(x, y)) > 0;
      QVERIFY2(drawn, qPrintable(QString("image %1 at %2 px").arg(i).arg(size)));
    }
  }
  QVERIFY(ToolImage(kToolImageCount).isNull());
  QVERIFY(!ProgramIcon().pixmap(32, 32).isNull());
}

void MainTest::enableFileCommands() {
  ShownWindow w;
  TForm1& f = w.form;
  const QList<QObject*> set{f.FileInfoItem, f.OpenFileinSPSS1, f.CloseItem, f.FrequenciesBtn,
                            f.InfoBtn, f.OpeninSpssBtn, f.Edit1, f.Edit2, f.Filter1, f.VarGrid,
                            f.StringGrid1, f.Memo1, f.Exportmnu, f.WComboBox,
                            f.WeightBtn, f.repfindbtn1, f.repfindbtn2, f.repfindbtn3,
                            f.repfindbtn4};
  for (bool on : {true, false}) {
    f.EnableFileCommands(on);
    for (QObject* o : set) QCOMPARE(o->property("enabled").toBool(), on);
    // Never part of the set: the document commands and the always-on ones.
    QVERIFY(!f.ShowDocBtn->isEnabled());
    QVERIFY(!f.FileDocItem->isEnabled());
    QVERIFY(f.OpenBtn->isEnabled());
    QVERIFY(f.Open1->isEnabled());
    QVERIFY(f.Exit1->isEnabled());
  }
}

void MainTest::firstShow() {
  ShownWindow w;
  TForm1& f = w.form;
  QCOMPARE(f.windowTitle(), QString("Brindle"));
  QCOMPARE(f.FileHandle, -1);
  QCOMPARE(f.SysmisValue, -DBL_MAX);
  QCOMPARE(f.HighestValue, DBL_MAX);
  QVERIFY(f.LowestValue > -DBL_MAX && f.LowestValue < -1e300);
  const QStringList titles{"Value Label", "Value", "Freq", "% Total", "% Valid"};
  for (int c = 0; c < 5; ++c) QCOMPARE(f.StringGrid1->Cell(c, 0), titles[c]);
  QCOMPARE(f.StringGrid1->Selection().left, -1);
  // The grid has half of the window; the rows that fit are the minimum.
  QVERIFY(qAbs(f.VarGrid->width() - f.width() / 2) <= 1);
  const int fit = 1 + f.StringGrid1->viewport()->height() / f.StringGrid1->DefaultRowHeight();
  QCOMPARE(f.MinValueRows, fit);
  QCOMPARE(f.StringGrid1->RowCount(), std::max(fit, 1));
  QCOMPARE(f.StringGrid1->SavedValueWidth, f.StringGrid1->ColWidth(1));
  QCOMPARE(f.StringGrid1->SavedLabelWidth, f.StringGrid1->ColWidth(0));
}

void MainTest::commandLineOpensOnlyTheFirstArgument() {
  auto first = WriteTemp(SampleDictionary());
  auto second = WriteTemp(ManyVariables(3));
  RecordingUiService ui;
  TForm1 form(ui);
  form.SetCommandLine({"brindle", QString::fromStdString(first->path()),
                       QString::fromStdString(second->path())});
  form.setWindowState(Qt::WindowNoState);
  form.show();
  QVERIFY(form.FileHandle >= 0);
  QCOMPARE(form.FileName, first->path());
  QCOMPARE(form.NumVars, 7);
  QVERIFY(ui.calls.isEmpty());
}

void MainTest::resizeKeepsTheGridsShare() {
  ShownWindow w;
  TForm1& f = w.form;
  f.Splitter1->setSizes({300, f.Splitter1->width() - 303});
  const double share = double(f.VarGrid->width()) / f.width();
  f.resize(1400, 800);
  QCOMPARE(f.LastClientWidth, 1400);
  QVERIFY(qAbs(double(f.VarGrid->width()) / f.width() - share) < 0.003);
  f.resize(700, 500);
  QVERIFY(qAbs(double(f.VarGrid->width()) / f.width() - share) < 0.005);
  const int fit = 1 + f.StringGrid1->viewport()->height() / f.StringGrid1->DefaultRowHeight();
  QCOMPARE(f.MinValueRows, fit);
}

void MainTest::label1StaysRightOfFilter() {
  ShownWindow w;
  TForm1& f = w.form;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  f.VarMemData.SetRecNo(2);
  QCOMPARE(f.Label1->text(), QString("sex"));
  const int filterRight = f.Filter1->geometry().right() + 1;
  // A wide grid: the label sits over the values pane.
  f.Splitter1->setSizes({600, f.Splitter1->width() - 603});
  f.FormResize();
  QCOMPARE(f.Label1->x(), f.Panel2->mapTo(&f, QPoint(0, 0)).x() + 1);
  QVERIFY(f.Label1->x() > filterRight + 2);
  // A narrow grid: the label keeps clear of the filter check box.
  f.Splitter1->setSizes({120, f.Splitter1->width() - 123});
  f.FormResize();
  QCOMPARE(f.Label1->x(), filterRight + 2);
}

void MainTest::droppedFilesOpenOnlyTheFirst() {
  ShownWindow w;
  TForm1& f = w.form;
  auto first = WriteTemp(SampleDictionary());
  auto second = WriteTemp(ManyVariables(3));
  auto third = WriteTemp(ManyVariables(4));
  for (const auto* file : {first.get(), second.get()}) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(file->path())),
                  QUrl::fromLocalFile(QString::fromStdString(third->path()))});
    // A drop reaches the window that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f, &drop);
    QCOMPARE(f.FileName, file->path());
  }
  // The second drop replaced the first file.
  QCOMPARE(f.NumVars, 3);
  QCOMPARE(w.GridNames(), QStringList({"v1", "v2", "v3"}));
}

void MainTest::closingTheWindowClosesTheFile() {
  ShownWindow w;
  TForm1& f = w.form;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  const int handle = f.FileHandle;
  QVERIFY(handle >= 0);
  f.Exit1->trigger();
  QVERIFY(!f.isVisible());
  QCOMPARE(f.FileHandle, -1);
  QVERIFY(!f.VarMemData.Active());
  // The module no longer knows the handle.
  QVERIFY(spssCloseRead(handle) != SPSS_OK);
}

void MainTest::closingWhileCountingLeavesTheFile() {
  ShownWindow w;
  TForm1& f = w.form;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  f.Counting = true;
  f.close();
  QVERIFY(f.FileHandle >= 0);
  QVERIFY(f.VarMemData.Active());
  f.Counting = false;
}

QTEST_MAIN(MainTest)
#include "Main_test.moc"
