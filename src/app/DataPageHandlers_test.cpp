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
  CasesModel* model = f.dataPageWidget()->model();
  return model->data(model->index(row, col), Qt::DisplayRole).toString();
}

}  // namespace

void DataPageHandlersTest::pagesSwitchByMenuAndTabs() {
  ShownWindow w;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  MainWindow& f = w.form;
  QCOMPARE(f.pageTabs()->count(), 2);
  QCOMPARE(f.pageTabs()->tabText(0), QStringLiteral("Variables"));
  QCOMPARE(f.pageTabs()->tabText(1), QStringLiteral("Data"));
  QCOMPARE(Action(f, "DataPageItem")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_2));
  QCOMPARE(Action(f, "VariablesPageItem")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_1));
  Action(f, "DataPageItem")->trigger();
  QVERIFY(f.DataPageShown());
  QVERIFY(Action(f, "DataPageItem")->isChecked());
  QCOMPARE(f.dataPageWidget()->model()->rowCount(), 2);
  QTRY_COMPARE(Cell(f, 1, 0), QStringLiteral("2"));
  f.pageTabs()->setCurrentIndex(0);
  QVERIFY(Action(f, "VariablesPageItem")->isChecked());
  QVERIFY(!f.DataPageShown());
}

void DataPageHandlersTest::columnsFollowTheVariablesView() {
  ShownWindow w;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  MainWindow& f = w.form;
  f.ShowPage(1);
  QCOMPARE(f.dataPageWidget()->model()->columnCount(), 7);
  // A filter on the names: those that hold "co" (comment, score).
  f.variablesPane().findNameEdit()->setText(QStringLiteral("co"));
  f.variablesPane().filterCheck()->click();
  QCOMPARE(f.dataPageWidget()->model()->columnCount(), f.variablesPane().variableList().RecordCount());
  QCOMPARE(f.dataPageWidget()->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
           QString::fromStdString(f.variablesPane().variableList().ViewRecord(0)->VarName));
  f.variablesPane().filterCheck()->click();
  QCOMPARE(f.dataPageWidget()->model()->columnCount(), 7);
}

void DataPageHandlersTest::currentVariableBothWays() {
  ShownWindow w;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  MainWindow& f = w.form;
  f.variablesPane().variableList().SetRecNo(3);  // city
  f.ShowPage(1);
  QCOMPARE(f.dataPageWidget()->currentVariable(), std::optional<std::size_t>(2));
  // A move on the data page moves the variables cursor; the values pane
  // catches up when its page comes back.
  f.dataPageWidget()->grid()->setCurrentIndex(f.dataPageWidget()->model()->index(0, 1));
  QCOMPARE(f.variablesPane().variableList().RecNo(), 2);
  f.ShowPage(0);
  QCOMPARE(f.valuesPane().captionLabel()->text(), QStringLiteral("sex"));
  f.variablesPane().variableList().SetRecNo(5);
  f.ShowPage(1);
  QCOMPARE(f.dataPageWidget()->currentVariable(), std::optional<std::size_t>(4));
}

void DataPageHandlersTest::labelsAndFixedFormat() {
  ShownWindow w;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  MainWindow& f = w.form;
  f.ShowPage(1);
  QTRY_COMPARE(Cell(f, 0, 1), QStringLiteral("1"));
  QCOMPARE(Cell(f, 0, 4), QStringLiteral("1.50"));
  Action(f, "ValueLabelsItem")->trigger();
  QCOMPARE(Cell(f, 0, 1), QStringLiteral("Male"));
  QCOMPARE(Cell(f, 0, 2), QStringLiteral("Amsterdam"));
  Action(f, "ValueLabelsItem")->trigger();
  Action(f, "UsePrintFormat")->trigger();
  QCOMPARE(Cell(f, 0, 4), QStringLiteral("1.5"));
}

void DataPageHandlersTest::lastPageKeptWithTheOptions() {
  auto file = WriteTemp(SampleDictionary());
  {
    ShownWindow w;
    w.Open(file->path());
    w.form.ShowPage(1);
    Action(w.form, "ValueLabelsItem")->setChecked(true);
    Action(w.form, "Saveoptions")->trigger();
  }
  {
    RecordingUiService ui;
    MainWindow form{ui};
    form.show();
    QVERIFY(form.DataPageShown());
    QVERIFY(Action(form, "ValueLabelsItem")->isChecked());
    Action(form, "RestoreDefaultOptions")->trigger();
    QVERIFY(!Action(form, "ValueLabelsItem")->isChecked());
  }
  OpenOptionsStore()->clear();
}

void DataPageHandlersTest::closingTheFileEmptiesThePage() {
  ShownWindow w;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  MainWindow& f = w.form;
  f.ShowPage(1);
  QVERIFY(f.dataPageWidget()->hasFile());
  Action(f, "CloseItem")->trigger();
  QVERIFY(!f.dataPageWidget()->hasFile());
  QCOMPARE(f.dataPageWidget()->model()->rowCount(), 0);
}

QTEST_MAIN(DataPageHandlersTest)
#include "DataPageHandlers_test.moc"
