// The dictionary's further parts in the window: the Measure and Role
// columns, the variable details box and Find in Attributes.
#include <QAction>
#include <QInputDialog>
#include <QTest>
#include <QTimer>

#include "testing/WindowTestSupport.h"
#include "variables/ui/VariableDetailsBox.h"
#include "variables/ui/VariableTableModel.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

// SampleDictionary with levels, roles and attributes on some variables (the
// test writer records scale for the other numbers, nominal for strings).
std::unique_ptr<TempFile> DictionaryFile(bool displayParameters = true) {
  SavFile f = SampleDictionary();
  f.variables[0].measure = 3;  // id scale
  f.variables[1].measure = 1;  // sex nominal
  f.variables[2].measure = 1;  // city nominal
  f.variables[4].measure = 2;  // score ordinal
  f.displayParameters = displayParameters;
  const std::string attributes =
      "sex:$@Role('1'\n)Question('Which sex?'\n)/score:$@Role('5'\n)Note('a slash / here'\n)"
      "/age:Note('Asked in years'\n)";
  const std::string sets = "$set=C 4 Both SEX SCORE\n";
  f.extraExtensions = {{7, 1, int(sets.size()), {sets.begin(), sets.end()}},
                       {18, 1, int(attributes.size()), {attributes.begin(), attributes.end()}}};
  return WriteTemp(f);
}

// Answers the next Find in Attributes question with text (or cancels).
void AnswerFind(const QString& text, bool accept = true) {
  QTimer::singleShot(0, [text, accept] {
    auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog != nullptr);
    dialog->setTextValue(text);
    accept ? dialog->accept() : dialog->reject();
  });
}

QString CurrentName(const MainWindow& f) {
  return QString::fromStdString(f.variablesPane().variableList().Current()->VarName);
}

}  // namespace

class DictionaryViewTest : public QObject {
  Q_OBJECT

 private slots:
  void measureAndRoleColumns();
  void nothingRecordedLeavesTheColumnsEmpty();
  void sortsByMeasure();
  void hiddenColumnsAreSavedAndRestored();
  void olderOptionsKeepTheNewColumnsHidden();
  void ctrlEnterShowsTheDetailsThatFollowTheCursor();
  void findInAttributesWrapsAndLeavesTheFindBoxes();
};

void DictionaryViewTest::measureAndRoleColumns() {
  ShownWindow w;
  const auto file = DictionaryFile();
  w.Open(file->path());
  const VariableTableModel* model = w.form.variablesPane().variablesGrid()->Model();
  QCOMPARE(model->Title(VariableTableModel::kMeasureColumn), QStringLiteral("Measure"));
  QCOMPARE(model->Title(VariableTableModel::kRoleColumn), QStringLiteral("Role"));
  const QStringList measures = {"scale",   "nominal", "nominal", "nominal",
                                "ordinal", "scale",   "scale"};
  const QStringList roles = {"", "target", "", "", "split", "", ""};
  for (int row = 0; row < measures.size(); ++row) {
    QCOMPARE(model->CellText(row, VariableTableModel::kMeasureColumn), measures[row]);
    QCOMPARE(model->CellText(row, VariableTableModel::kRoleColumn), roles[row]);
    const QVariant icon =
        model->index(row, VariableTableModel::kMeasureColumn).data(Qt::DecorationRole);
    QCOMPARE(icon.isValid() && !icon.value<QPixmap>().isNull(), !measures[row].isEmpty());
  }
  // Hidden until asked for.
  QVERIFY(!w.form.variablesPane().variablesGrid()->ColVisible(VariableTableModel::kMeasureColumn));
  QVERIFY(!w.form.variablesPane().variablesGrid()->ColVisible(VariableTableModel::kRoleColumn));
  QVERIFY(w.form.variablesPane().hideColumnItem(VariablesPane::HideMeasure)->isChecked() &&
          w.form.variablesPane().hideColumnItem(VariablesPane::HideRole)->isChecked());
}

void DictionaryViewTest::nothingRecordedLeavesTheColumnsEmpty() {
  ShownWindow w;
  const auto file = DictionaryFile(false);
  w.Open(file->path());
  const VariableTableModel* model = w.form.variablesPane().variablesGrid()->Model();
  QCOMPARE(model->CellText(0, VariableTableModel::kMeasureColumn), QString());
  QVERIFY(!model->index(0, VariableTableModel::kMeasureColumn).data(Qt::DecorationRole).isValid() ||
          model->index(0, VariableTableModel::kMeasureColumn)
              .data(Qt::DecorationRole)
              .value<QPixmap>()
              .isNull());
  QCOMPARE(model->CellText(1, VariableTableModel::kRoleColumn), QStringLiteral("target"));
}

void DictionaryViewTest::sortsByMeasure() {
  ShownWindow w;
  const auto file = DictionaryFile();
  w.Open(file->path());
  w.form.variablesPane().variablesGrid()->OnTitleClick(VariableTableModel::kMeasureColumn);
  // Nominal, ordinal, scale (nothing recorded would come first); the order
  // among equals is the sort's own.
  const auto sorted = [](QStringList names) {
    names.sort();
    return names;
  };
  const QStringList names = w.GridNames();
  QCOMPARE(sorted(names.mid(0, 3)), QStringList({"city", "comment", "sex"}));
  QCOMPARE(names[3], QStringLiteral("score"));
  QCOMPARE(sorted(names.mid(4)), QStringList({"age", "born", "id"}));
  w.form.variablesPane().variablesGrid()->OnTitleClick(VariableTableModel::kMeasureColumn);
  QCOMPARE(w.GridNames()[3], QStringLiteral("score"));
  QCOMPARE(sorted(w.GridNames().mid(0, 3)), QStringList({"age", "born", "id"}));
  w.form.variablesPane().variablesGrid()->OnTitleClick(VariableTableModel::kRoleColumn);
  QCOMPARE(w.GridNames().mid(5), QStringList({"sex", "score"}));
}

void DictionaryViewTest::hiddenColumnsAreSavedAndRestored() {
  {
    ShownWindow w;
    w.form.variablesPane().hideColumnItem(VariablesPane::HideMeasure)->trigger();
    QVERIFY(w.form.variablesPane().variablesGrid()->ColVisible(VariableTableModel::kMeasureColumn));
    QVERIFY(!w.form.variablesPane().variablesGrid()->ColVisible(VariableTableModel::kRoleColumn));
    QVERIFY(!w.form.variablesPane().hideColumnItem(VariablesPane::HideMeasure)->isChecked());
    w.form.variablesPane().variablesGrid()->SetColWidth(VariableTableModel::kMeasureColumn, 90);
    Action(w.form, "Saveoptions")->trigger();
  }
  RecordingUiService ui;
  MainWindow again(ui);
  QVERIFY(again.variablesPane().variablesGrid()->ColVisible(VariableTableModel::kMeasureColumn));
  QCOMPARE(again.variablesPane().variablesGrid()->ColWidth(VariableTableModel::kMeasureColumn), 90);
  QVERIFY(!again.variablesPane().hideColumnItem(VariablesPane::HideMeasure)->isChecked() &&
          again.variablesPane().hideColumnItem(VariablesPane::HideRole)->isChecked());
  Action(again, "RestoreDefaultOptions")->trigger();
  QVERIFY(!again.variablesPane().variablesGrid()->ColVisible(VariableTableModel::kMeasureColumn));
  QVERIFY(again.variablesPane().hideColumnItem(VariablesPane::HideMeasure)->isChecked());
}

// Options saved before the Measure and Role columns existed leave them hidden.
void DictionaryViewTest::olderOptionsKeepTheNewColumnsHidden() {
  {
    ShownWindow w;
    Action(w.form, "Saveoptions")->trigger();
  }
  OpenOptionsStore()->remove(QStringLiteral("Mea"));
  OpenOptionsStore()->remove(QStringLiteral("c8"));
  RecordingUiService ui;
  MainWindow again(ui);
  QVERIFY(!again.variablesPane().variablesGrid()->ColVisible(VariableTableModel::kMeasureColumn));
  QVERIFY(again.variablesPane().hideColumnItem(VariablesPane::HideMeasure)->isChecked());
  again.variablesPane().hideColumnItem(VariablesPane::HideMeasure)->trigger();
  QCOMPARE(again.variablesPane().variablesGrid()->ColWidth(VariableTableModel::kMeasureColumn),
           again.variablesPane().DefaultColumnWidth(VariableTableModel::kMeasureColumn));
}

void DictionaryViewTest::ctrlEnterShowsTheDetailsThatFollowTheCursor() {
  ShownWindow w;
  const auto file = DictionaryFile();
  w.Open(file->path());
  w.ClickRow(1);
  w.Key(Qt::Key_Return, Qt::ControlModifier);
  VariableDetailsBox* box = w.form.findChild<VariableDetailsBox*>();
  QVERIFY(box != nullptr && box->isVisible());
  QVERIFY(box->windowTitle().endsWith(QStringLiteral("sex")));
  QVERIFY(box->Text().contains(QStringLiteral("measurement level\tnominal\nrole\ttarget\n")));
  QVERIFY(box->Text().contains(QStringLiteral("\nattributes\nQuestion\tWhich sex?\n")));
  QVERIFY(box->Text().contains(QStringLiteral("\nmultiple-response sets\n$set\tBoth")));
  w.form.activateWindow();
  w.ClickRow(4);
  QVERIFY(box->Text().startsWith(QStringLiteral("name\tscore\n")));
  QVERIFY(box->Text().contains(QStringLiteral("Note\ta slash / here")));
  box->close();
  w.ClickRow(6);
  QVERIFY(box->Text().startsWith(QStringLiteral("name\tscore\n")));  // closed: not refreshed
}

void DictionaryViewTest::findInAttributesWrapsAndLeavesTheFindBoxes() {
  ShownWindow w;
  const auto file = DictionaryFile();
  w.Open(file->path());
  w.form.variablesPane().findNameEdit()->setText(QStringLiteral("ci"));
  w.ClickRow(5);
  AnswerFind(QStringLiteral("ASKED"));
  Action(w.form, "FindInAttributesItem")->trigger();
  QCOMPARE(CurrentName(w.form), QStringLiteral("age"));
  // From the last variable the search goes on from the first.
  AnswerFind(QStringLiteral("which"));
  Action(w.form, "FindInAttributesItem")->trigger();
  QCOMPARE(CurrentName(w.form), QStringLiteral("sex"));
  // Attribute names are not searched; nothing found moves nothing.
  AnswerFind(QStringLiteral("Question"));
  Action(w.form, "FindInAttributesItem")->trigger();
  QCOMPARE(CurrentName(w.form), QStringLiteral("sex"));
  QCOMPARE(w.Count("SystemMessageBox"), 1);
  AnswerFind(QStringLiteral("slash"), false);
  Action(w.form, "FindInAttributesItem")->trigger();
  QCOMPARE(CurrentName(w.form), QStringLiteral("sex"));
  QCOMPARE(w.form.variablesPane().findNameEdit()->text(), QStringLiteral("ci"));
}

QTEST_MAIN(DictionaryViewTest)
#include "DictionaryView_test.moc"
