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
#include <QToolButton>
#include <QUrl>

#include <cfloat>

#include "app/MainWindow.h"
#include "app/ToolImages.h"
#include "variables/ui/VariablesGrid.h"
#include "values/ui/ValuesGrid.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "testing/WindowTestSupport.h"

using namespace brindle;
using namespace brindle::testing;

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startsWithFileCommandsOff();
  void toolImagesDrawAtBothSizes();
  void firstShow();
  void commandLineOpensOnlyTheFirstArgument();
  void resizeKeepsTheGridsShare();
  void label1StaysRightOfFilter();
  void droppedFilesOpenOnlyTheFirst();
  void closingTheWindowClosesTheFile();
  void closingWhileCountingLeavesTheFile();
  void warningSignFollowsTheFile();
  void warningSignAfterAPassFindsDataPastTheCount();
};

void MainWindowTest::startsWithFileCommandsOff() {
  ShownWindow w;
  const MainWindow& f = w.form;
  for (QAction* a : {f.FileInfoItem, f.openInSpssAction, f.CloseItem, f.FrequenciesBtn, f.InfoBtn,
                     f.OpeninSpssBtn, f.findFirstAction, f.findLastAction, f.Weighting.weightButton,
                     f.ShowDocBtn, f.FileDocItem})
    QVERIFY2(!a->isEnabled(), qPrintable(a->text()));
  for (QAction* a : {f.OpenBtn, f.openAction, f.exitAction, f.HideMissingcolumn, f.FrequenciesShown})
    QVERIFY2(a->isEnabled(), qPrintable(a->text()));
  QVERIFY(!f.ShowDocBtn->isVisible());
  QVERIFY(f.Exportmnu->menuAction()->isVisible());
  QVERIFY(!f.Exportmnu->menuAction()->isEnabled());
  QVERIFY(!f.Variables.variablesGrid->isEnabled());
  QVERIFY(!f.Values.valuesGrid->isEnabled());
  QVERIFY(!f.Variables.findNameEdit->isEnabled());
  QVERIFY(!f.Values.statisticsText->isVisible());
  QVERIFY(f.UsePrintFormat->isChecked());
}

void MainWindowTest::toolImagesDrawAtBothSizes() {
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

void MainWindowTest::firstShow() {
  ShownWindow w;
  MainWindow& f = w.form;
  QCOMPARE(f.windowTitle(), QString("Brindle"));
  QVERIFY(!f.FileOpen());
  QCOMPARE(f.SysmisValue, -DBL_MAX);
  QCOMPARE(f.HighestValue, DBL_MAX);
  QVERIFY(f.LowestValue > -DBL_MAX && f.LowestValue < -1e300);
  const QStringList titles{"Value Label", "Value", "Freq", "% Total", "% Valid"};
  for (int c = 0; c < 5; ++c) QCOMPARE(f.Values.valuesGrid->Cell(c, 0), titles[c]);
  QCOMPARE(f.Values.valuesGrid->Selection().left, -1);
  // The grid has half of the window; the rows that fit are the minimum.
  QVERIFY(qAbs(f.Variables.variablesGrid->width() - f.width() / 2) <= 1);
  const int fit =
      1 + f.Values.valuesGrid->viewport()->height() / f.Values.valuesGrid->DefaultRowHeight();
  QCOMPARE(f.Values.MinValueRows, fit);
  QCOMPARE(f.Values.valuesGrid->RowCount(), std::max(fit, 1));
  QCOMPARE(f.Values.valuesGrid->SavedValueWidth, f.Values.valuesGrid->ColWidth(1));
  QCOMPARE(f.Values.valuesGrid->SavedLabelWidth, f.Values.valuesGrid->ColWidth(0));
}

void MainWindowTest::commandLineOpensOnlyTheFirstArgument() {
  auto first = WriteTemp(SampleDictionary());
  auto second = WriteTemp(ManyVariables(3));
  RecordingUiService ui;
  MainWindow form(ui);
  form.SetCommandLine(
      {"brindle", QString::fromStdString(first->path()), QString::fromStdString(second->path())});
  form.setWindowState(Qt::WindowNoState);
  form.show();
  QVERIFY(form.FileOpen());
  QCOMPARE(form.FileName, first->path());
  QCOMPARE(form.NumVars, 7);
  QVERIFY(ui.calls.isEmpty());
}

void MainWindowTest::resizeKeepsTheGridsShare() {
  ShownWindow w;
  MainWindow& f = w.form;
  f.splitter->setSizes({300, f.splitter->width() - 303});
  const double share = double(f.Variables.variablesGrid->width()) / f.width();
  f.resize(1400, 800);
  QCOMPARE(f.LastClientWidth, 1400);
  QVERIFY(qAbs(double(f.Variables.variablesGrid->width()) / f.width() - share) < 0.003);
  f.resize(700, 500);
  QVERIFY(qAbs(double(f.Variables.variablesGrid->width()) / f.width() - share) < 0.005);
  const int fit =
      1 + f.Values.valuesGrid->viewport()->height() / f.Values.valuesGrid->DefaultRowHeight();
  QCOMPARE(f.Values.MinValueRows, fit);
}

void MainWindowTest::label1StaysRightOfFilter() {
  ShownWindow w;
  MainWindow& f = w.form;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  f.Variables.variableList.SetRecNo(2);
  QCOMPARE(f.Values.captionLabel->text(), QString("sex"));
  const int filterRight = f.Variables.filterCheck->geometry().right() + 1;
  // A wide grid: the label sits over the values pane.
  f.splitter->setSizes({600, f.splitter->width() - 603});
  f.FormResize();
  QCOMPARE(f.Values.captionLabel->x(), f.Values.valuesPanel->mapTo(&f, QPoint(0, 0)).x() + 1);
  QVERIFY(f.Values.captionLabel->x() > filterRight + 2);
  // A narrow grid: the label keeps clear of the filter check box.
  f.splitter->setSizes({120, f.splitter->width() - 123});
  f.FormResize();
  QCOMPARE(f.Values.captionLabel->x(), filterRight + 2);
}

void MainWindowTest::droppedFilesOpenOnlyTheFirst() {
  ShownWindow w;
  MainWindow& f = w.form;
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

void MainWindowTest::closingTheWindowClosesTheFile() {
  ShownWindow w;
  MainWindow& f = w.form;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  const std::weak_ptr<SystemFile> handle = f.File;
  QVERIFY(!handle.expired());
  f.exitAction->trigger();
  QVERIFY(!f.isVisible());
  QVERIFY(!f.FileOpen());
  QVERIFY(!f.Variables.variableList.Active());
  // Nothing holds the file.
  QVERIFY(handle.expired());
}

void MainWindowTest::closingWhileCountingLeavesTheFile() {
  ShownWindow w;
  MainWindow& f = w.form;
  w.Open(LongFile().path());
  DuringPass(
      [&] {
        f.close();
        QVERIFY(f.FileOpen());
        QVERIFY(f.Variables.variableList.Active());
      },
      [&] { f.ShowFrequencies(); });
  // The window closes once the pass is over.
  QVERIFY(!f.isVisible());
  QVERIFY(!f.FileOpen());
}

void MainWindowTest::warningSignFollowsTheFile() {
  ShownWindow w;
  MainWindow& f = w.form;
  QToolButton* sign = f.warningSign();
  QVERIFY(!sign->isVisible());
  auto sound = WriteTemp(SampleDictionary());
  w.Open(sound->path());
  // A sound file: no sign, and nothing popped up on the way.
  QVERIFY(!sign->isVisible());
  QCOMPARE(w.ui.calls.size(), 1);

  f.setWarningCount(3);
  QVERIFY(sign->isVisible());
  QCOMPARE(sign->toolTip(), QString("3 warnings: click for details"));
  f.setWarningCount(1);
  QCOMPARE(sign->toolTip(), QString("1 warning: click for details"));
  QCOMPARE(w.ui.calls.size(), 1);
  // A click shows the properties report, as Ctrl+I does.
  QTest::mouseClick(sign, Qt::LeftButton);
  QCOMPARE(w.ui.calls.size(), 2);
  QCOMPARE(w.ui.Last().kind, QString("ShowMessage"));
  QVERIFY(w.ui.Last().text.startsWith(QString::fromStdString(sound->path()) + "\nfile date"));

  // Another file that opens without warnings takes the sign away...
  auto other = WriteTemp(ManyVariables(2));
  w.Open(other->path());
  QVERIFY(!sign->isVisible());
  // ...and so does closing the file.
  f.setWarningCount(2);
  f.CloseItem->trigger();
  QVERIFY(!sign->isVisible());
}

// Compressed data past the header's count is found by the first pass that
// reaches the count: the sign comes with the frequency table.
void MainWindowTest::warningSignAfterAPassFindsDataPastTheCount() {
  ShownWindow w;
  MainWindow& f = w.form;
  QToolButton* sign = f.warningSign();
  SavFile file;
  file.variables = {brindle::testing::Variable::numeric("n")};
  for (int i = 1; i <= 5; ++i) file.cases.push_back({double(i)});
  file.headerCases = 3;
  file.extendedCases = 3;
  auto longer = WriteTemp(file);
  w.Open(longer->path());
  QVERIFY(!sign->isVisible());
  f.ShowFrequencies();
  QVERIFY(sign->isVisible());
  QCOMPARE(sign->toolTip(), QString("1 warning: click for details"));
  QTest::mouseClick(sign, Qt::LeftButton);
  QCOMPARE(w.ui.Last().kind, QString("ShowMessage"));
  QVERIFY(w.ui.Last().text.contains("\nwarnings\ncase data at offset "));
  QVERIFY(w.ui.Last().text.contains(
      ": the data goes on past the 3 cases the file header counts; only those are read"));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindow_test.moc"
