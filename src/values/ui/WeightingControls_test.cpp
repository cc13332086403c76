// The weight controls in the real window: the selector filled on first
// drop-down or at the load of a file with a weight variable, the button and
// its hints, and the weighted table they lead to.
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include "app/MainWindow.h"
#include "testing/WindowTestSupport.h"
#include "values/ui/ValuesGrid.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

// grade F1.0 (missing 9), city A3, Beta, alpha, w: numeric. Weights: 0,
// negative and system-missing count nowhere; 2.6 + 0 for grade 1, -1 + 1.4
// for grade 2, 1.0 for the missing 9.
SavFile Weighted(const std::string& declaredWeight) {
  SavFile f;
  Variable grade = Variable::numeric("grade");
  grade.print = Format{5, 1, 0};
  grade.missingCode = 1;
  grade.missing[0] = 9;
  f.variables = {grade, Variable::string("city", 3), Variable::numeric("Beta"),
                 Variable::numeric("alpha"), Variable::numeric("w")};
  const double s = sysmis();
  const std::string c = "x";
  f.cases = {{1.0, c, 0.0, 0.0, 2.6}, {1.0, c, 0.0, 0.0, 0.0}, {2.0, c, 0.0, 0.0, -1.0},
             {2.0, c, 0.0, 0.0, 1.4}, {9.0, c, 0.0, 0.0, 1.0}, {s, c, 0.0, 0.0, s}};
  f.weight = declaredWeight;
  return f;
}

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

// The user picks an item of the open list.
void Pick(MainWindow& f, const QString& text) {
  const int index = f.weighting().weightCombo()->findText(text);
  QVERIFY(index >= 0);
  f.weighting().weightCombo()->setCurrentIndex(index);
  emit f.weighting().weightCombo()->activated(index);
}

void DropDown(MainWindow& f) {
  f.weighting().weightCombo()->showPopup();
  f.weighting().weightCombo()->hidePopup();
}

const QStringList kItems = {" ", "alpha", "Beta", "grade", "w"};

}  // namespace

class WeightingControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();

  void fileWeightIsPreselected();
  void firstDropDownFillsTheList();
  void buttonAndHints_data();
  void buttonAndHints();
  void weightedTable();
  void longListScrolls();

 private:
  std::unique_ptr<ShownWindow> m_w;
  std::unique_ptr<TempFile> m_file;
  void OpenWith(const std::string& declaredWeight) {
    m_w = std::make_unique<ShownWindow>();
    Action(m_w->form, "FrequenciesShown")->trigger();
    m_file = WriteTemp(Weighted(declaredWeight));
    m_w->Open(m_file->path());
  }
};

void WeightingControlsTest::cleanup() {
  m_w.reset();
  m_file.reset();
}

void WeightingControlsTest::fileWeightIsPreselected() {
  OpenWith("w");
  MainWindow& f = m_w->form;
  QCOMPARE(Items(f.weighting().weightCombo()), kItems);
  QCOMPARE(f.weighting().weightCombo()->currentText(), QString("w"));
  // Offered, not switched on: the first table counts cases.
  QVERIFY(!f.weighting().weightButton()->isChecked());
  QVERIFY(!f.WeightingOn());
  QVERIFY(f.ActiveWeightName().empty());
  QCOMPARE(f.weighting().weightButton()->toolTip(), QString("Set Weight on"));
  QCOMPARE(f.valuesPane().valuesGrid()->Cell(2, 2), QString("2"));
  // Another file starts over.
  auto plain = WriteTemp(Weighted(""));
  m_w->Open(plain->path());
  QCOMPARE(f.weighting().weightCombo()->count(), 0);
  DropDown(f);
  QCOMPARE(f.weighting().weightCombo()->currentText(), QString(" "));
}

void WeightingControlsTest::firstDropDownFillsTheList() {
  OpenWith("");
  MainWindow& f = m_w->form;
  QCOMPARE(f.weighting().weightCombo()->count(), 0);
  // A filter active at the first drop-down decides what is offered.
  f.variablesPane().variableList().SetOnFilterRecord(
      [](VariableList& t, bool& accept) { accept = t.Current()->VarName != "alpha"; });
  f.variablesPane().variableList().SetFiltered(true);
  f.variablesPane().variableList().Refilter();
  DropDown(f);
  QCOMPARE(Items(f.weighting().weightCombo()), QStringList({" ", "Beta", "grade", "w"}));
  QCOMPARE(f.weighting().weightCombo()->currentIndex(), 0);
  f.variablesPane().variableList().SetFiltered(false);
  f.variablesPane().variableList().Refilter();
  DropDown(f);
  QCOMPARE(f.weighting().weightCombo()->count(), 4);
}

void WeightingControlsTest::buttonAndHints_data() {
  QTest::addColumn<QStringList>("steps");  // an item to pick, or "press"
  QTest::addColumn<bool>("down");
  QTest::addColumn<QString>("hint");
  QTest::addColumn<QString>("weight");  // weighted by, when down
  QTest::newRow("press on the blank item") << QStringList{"press"} << false << "Set Weight On"
                                           << "";
  QTest::newRow("press on a variable") << QStringList{"w", "press"} << true << "Set Weight Off"
                                       << "w";
  QTest::newRow("press twice") << QStringList{"w", "press", "press"} << false << "Set Weight On"
                               << "";
  QTest::newRow("blank item while on") << QStringList{"w", "press", " "} << false << "Set Weight on"
                                       << "";
  QTest::newRow("another variable while on")
      << QStringList{"w", "press", "alpha"} << true << "Set Weight Off"
      << "alpha";
}

void WeightingControlsTest::buttonAndHints() {
  QFETCH(QStringList, steps);
  QFETCH(bool, down);
  QFETCH(QString, hint);
  QFETCH(QString, weight);
  OpenWith("");
  MainWindow& f = m_w->form;
  DropDown(f);
  for (const QString& step : steps) {
    if (step == "press")
      f.weighting().weightButton()->trigger();
    else
      Pick(f, step);
  }
  QCOMPARE(f.weighting().weightButton()->isChecked(), down);
  QCOMPARE(f.WeightingOn(), down);
  QCOMPARE(f.weighting().weightButton()->toolTip(), hint);
  if (down) QCOMPARE(QString::fromStdString(f.ActiveWeightName()), weight);
}

void WeightingControlsTest::weightedTable() {
  OpenWith("w");
  MainWindow& f = m_w->form;
  const QString decimal = QString::fromStdString(f.Separators().decimal);
  auto pct = [&](const char* p) { return QString(p).replace('.', decimal); };
  f.weighting().weightButton()->trigger();
  // A change of weighting waits for the next table.
  QCOMPARE(f.valuesPane().valueRowCount(), 4);
  f.ToggleDisplayLabels();
  f.ToggleDisplayLabels();
  QCOMPARE(f.valuesPane().valueRowCount(), 3);
  const QList<QStringList> rows = {{"1", "3", pct("52.0"), pct("65.0")},
                                   {"2", "1", pct("28.0"), pct("35.0")},
                                   {"9", "1", pct("20.0"), "MISS"}};
  for (int r = 0; r < 3; ++r) {
    QStringList shown;
    for (int c = 1; c < 5; ++c) shown << f.valuesPane().valuesGrid()->Cell(c, r + 1).trimmed();
    QCOMPARE(shown, rows[r]);
  }
  const QStringList lines = f.valuesPane().statisticsText()->toPlainText().split('\n');
  QCOMPARE(lines.size(), 3);
  QVERIFY(lines[0].startsWith("valid\t4\t"));
  QVERIFY(lines[1].startsWith("missing\t1\t"));
  QVERIFY(lines[2].startsWith("total\t5\t"));
  QVERIFY(f.valuesPane().statisticsText()->isVisible());
  QCOMPARE(f.StatusText(2), QString("3"));
}

void WeightingControlsTest::longListScrolls() {
  m_w = std::make_unique<ShownWindow>();
  m_file = WriteTemp(ManyVariables(40));
  m_w->Open(m_file->path());
  MainWindow& f = m_w->form;
  f.weighting().weightCombo()->showPopup();
  const QAbstractItemView* list = f.weighting().weightCombo()->view();
  QCOMPARE(f.weighting().weightCombo()->count(), 41);
  // 15 rows show (give or take the frame), the rest scroll.
  const int rows = list->viewport()->height() / list->sizeHintForRow(0);
  QVERIFY2(rows >= 14 && rows <= 15, qPrintable(QString::number(rows)));
  f.weighting().weightCombo()->hidePopup();
}

QTEST_MAIN(WeightingControlsTest)
#include "WeightingControls_test.moc"
