// The data page in the real window: the tabs and View > Variables / Data,
// the variables of a filtered view as its columns, the current variable
// followed both ways, Value Labels and the "Fixed decimal format" option in
// its cells, the keys that keep their meaning on the variables page, and the
// last page kept with the options.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QCheckBox>
#include <QTabWidget>
#include <QTest>

#include "app/MainWindow.h"
#include "app/Options.h"
#include "cases/CaseView.h"
#include "cases/ui/CasesModel.h"
#include "cases/ui/DataPage.h"
#include "testing/WindowTestSupport.h"
#include "variables/ui/VariablesGrid.h"

using namespace brindle;
using namespace brindle::testing;

class DataPageHandlersTest : public QObject {
  Q_OBJECT

 private slots:
  void pagesSwitchByMenuAndTabs();
  void columnsFollowTheVariablesView();
  void currentVariableBothWays();
  void labelsAndFixedFormat();
  void lastPageKeptWithTheOptions();
  void closingTheFileEmptiesThePage();
};

namespace {

QString Cell(MainWindow& f, int row, int col) {
  CasesModel* model = f.dataPage->model();
  return model->data(model->index(row, col), Qt::DisplayRole).toString();
}

}  // namespace

void DataPageHandlersTest::pagesSwitchByMenuAndTabs() {
  ShownWindow w;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  MainWindow& f = w.form;
  QCOMPARE(f.pages->count(), 2);
  QCOMPARE(f.pages->tabText(0), QStringLiteral("Variables"));
  QCOMPARE(f.pages->tabText(1), QStringLiteral("Data"));
  QCOMPARE(f.DataPageItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_2));
  QCOMPARE(f.VariablesPageItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_1));
  f.DataPageItem->trigger();
  QVERIFY(f.DataPageShown());
  QVERIFY(f.DataPageItem->isChecked());
  QCOMPARE(f.dataPage->model()->rowCount(), 2);
  QTRY_COMPARE(Cell(f, 1, 0), QStringLiteral("2"));
  f.pages->setCurrentIndex(0);
  QVERIFY(f.VariablesPageItem->isChecked());
  QVERIFY(!f.DataPageShown());
}

void DataPageHandlersTest::columnsFollowTheVariablesView() {
  ShownWindow w;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  MainWindow& f = w.form;
  f.ShowPage(1);
  QCOMPARE(f.dataPage->model()->columnCount(), 7);
  // A filter on the names: those that hold "co" (comment, score).
  f.Variables.findNameEdit->setText(QStringLiteral("co"));
  f.Variables.filterCheck->click();
  QCOMPARE(f.dataPage->model()->columnCount(), f.Variables.variableList.RecordCount());
  QCOMPARE(f.dataPage->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
           QString::fromStdString(f.Variables.variableList.ViewRecord(0)->VarName));
  f.Variables.filterCheck->click();
  QCOMPARE(f.dataPage->model()->columnCount(), 7);
}

void DataPageHandlersTest::currentVariableBothWays() {
  ShownWindow w;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  MainWindow& f = w.form;
  f.Variables.variableList.SetRecNo(3);  // city
  f.ShowPage(1);
  QCOMPARE(f.dataPage->currentVariable(), std::optional<std::size_t>(2));
  // A move on the data page moves the variables cursor; the values pane
  // catches up when its page comes back.
  f.dataPage->grid()->setCurrentIndex(f.dataPage->model()->index(0, 1));
  QCOMPARE(f.Variables.variableList.RecNo(), 2);
  f.ShowPage(0);
  QCOMPARE(f.Values.captionLabel->text(), QStringLiteral("sex"));
  f.Variables.variableList.SetRecNo(5);
  f.ShowPage(1);
  QCOMPARE(f.dataPage->currentVariable(), std::optional<std::size_t>(4));
}

void DataPageHandlersTest::labelsAndFixedFormat() {
  ShownWindow w;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  MainWindow& f = w.form;
  f.ShowPage(1);
  QTRY_COMPARE(Cell(f, 0, 1), QStringLiteral("1"));
  QCOMPARE(Cell(f, 0, 4), QStringLiteral("1.50"));
  f.ValueLabelsItem->trigger();
  QCOMPARE(Cell(f, 0, 1), QStringLiteral("Male"));
  QCOMPARE(Cell(f, 0, 2), QStringLiteral("Amsterdam"));
  f.ValueLabelsItem->trigger();
  f.UsePrintFormat->trigger();
  QCOMPARE(Cell(f, 0, 4), QStringLiteral("1.5"));
}

void DataPageHandlersTest::lastPageKeptWithTheOptions() {
  auto file = WriteTemp(SampleDictionary());
  {
    ShownWindow w;
    w.Open(file->path());
    w.form.ShowPage(1);
    w.form.ValueLabelsItem->setChecked(true);
    w.form.SaveoptionsClick();
  }
  {
    RecordingUiService ui;
    MainWindow form{ui};
    form.show();
    QVERIFY(form.DataPageShown());
    QVERIFY(form.ValueLabelsItem->isChecked());
    form.RestoreDefaultOptionsClick();
    QVERIFY(!form.ValueLabelsItem->isChecked());
  }
  OpenOptionsStore()->clear();
}

void DataPageHandlersTest::closingTheFileEmptiesThePage() {
  ShownWindow w;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  MainWindow& f = w.form;
  f.ShowPage(1);
  QVERIFY(f.dataPage->hasFile());
  f.CloseItem->trigger();
  QVERIFY(!f.dataPage->hasFile());
  QCOMPARE(f.dataPage->model()->rowCount(), 0);
}

QTEST_MAIN(DataPageHandlersTest)
#include "DataPageHandlers_test.moc"
