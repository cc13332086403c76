// File > Codebook... and View > Chart in the real window: the save dialog,
// the written file and its opening, Cancel and failures; the chart that
// follows the table on screen, its sorting, and the option that keeps it.
#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/MainWindow.h"
#include "app/Options.h"
#include "codebook/ui/CodebookHandlers.h"
#include "testing/WindowTestSupport.h"
#include "values/ui/FrequencyChartView.h"
#include "values/ui/ValuesGrid.h"

using namespace brindle;
using namespace brindle::testing;

namespace {

SavFile Answers() {
  SavFile f;
  Variable q = Variable::numeric("q", "Question <1> & more");
  q.print = Format{5, 2, 0};
  q.numericLabels = {{1, "Low"}, {3, "High"}};
  Variable x = Variable::numeric("x", "Many values");
  f.variables = {q, x};
  for (int i = 0; i < 300; ++i) f.cases.push_back({double(1 + i % 3 + (i % 7 == 0)), i * 0.5});
  return f;
}

QString ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

}  // namespace

class CodebookWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    m_w = std::make_unique<ShownWindow>();
    m_file = WriteTemp(Answers());
    m_w->Open(m_file->path());
  }
  void cleanup() {
    m_w.reset();
    m_file.reset();
  }

  void writesAndOpensTheCodebook() {
    MainWindow& f = m_w->form;
    QVERIFY(f.CodebookItem->isEnabled());
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("book.html"));
    m_w->ui.saveFileAnswers << target;
    m_w->ui.saveFilterAnswer = 1;  // open after saving
    f.CodebookItem->trigger();
    const auto save = m_w->ui.calls.at(m_w->ui.calls.size() - 2);
    QCOMPARE(save.kind, QStringLiteral("GetSaveFileName"));
    QVERIFY(save.text.endsWith(QStringLiteral("_codebook.html")));
    QCOMPARE(save.caption, QStringLiteral("Codebook\n") + CodebookFilters().join('\n'));
    QCOMPARE(m_w->ui.Last().kind, QStringLiteral("OpenDocument"));
    QCOMPARE(m_w->ui.Last().text, target);
    const QString html = ReadAll(target);
    QVERIFY(html.startsWith(QStringLiteral("<!DOCTYPE html>")));
    QVERIFY(html.contains(QStringLiteral("Question &lt;1&gt; &amp; more")));
    QVERIFY(html.contains(QStringLiteral("Counts are not weighted.")));
    QVERIFY(!f.Counting());
  }

  void cancelledDialogAndFailure() {
    MainWindow& f = m_w->form;
    f.CodebookItem->trigger();  // the dialog answers nothing
    QCOMPARE(m_w->Count("SystemMessageBox"), 0);
    QTemporaryDir dir;
    m_w->ui.saveFileAnswers << dir.path();  // a folder
    f.CodebookItem->trigger();
    QCOMPARE(m_w->ui.Last().kind, QStringLiteral("SystemMessageBox"));
    QCOMPARE(m_w->ui.Last().caption, QStringLiteral("Codebook error"));
    QCOMPARE(m_w->Count("OpenDocument"), 0);
  }

  void chartFollowsTheTable() {
    MainWindow& f = m_w->form;
    QVERIFY(!f.ChartItem->isChecked());
    QVERIFY(!f.Values.chartView->isVisible());
    f.ChartItem->trigger();
    QVERIFY(f.Values.chartView->isVisible());
    QVERIFY(f.Values.chartView->Svg().empty());  // value labels: no chart
    f.FrequenciesShown->trigger();
    f.Variables.variableList.SetRecNo(2);
    f.Variables.variableList.SetRecNo(1);
    QVERIFY(f.Values.FrequencyTableShown);
    const std::string bars = f.Values.chartView->Svg();
    QVERIFY(bars.find("<svg") == 0);
    QVERIFY(bars.find("Low") < bars.find("High"));
    // Sorted by count, descending twice over: the bars follow the grid.
    f.Values.SortValuesGrid(2);
    f.Values.SortValuesGrid(2);
    const std::string sorted = f.Values.chartView->Svg();
    QVERIFY(sorted != bars);
    const auto bar = [&](int row) {
      const ValuesGrid* g = f.Values.valuesGrid;
      const QString label = g->Cell(0, row).isEmpty() ? g->Cell(1, row).trimmed() : g->Cell(0, row);
      return sorted.find(">" + label.toStdString() + "<");
    };
    QVERIFY2(bar(1) != std::string::npos, sorted.c_str());
    QVERIFY(bar(1) < bar(2));
    QVERIFY(bar(2) < bar(3));
    // Many values: a histogram, its table kept from the first pass.
    f.Variables.variableList.SetRecNo(2);
    QCOMPARE(f.Values.ValueRowCount, 300);
    const std::string histogram = f.Values.chartView->Svg();
    QVERIFY(histogram.find("most per bin") != std::string::npos);
    // Kept with the options.
    f.SaveoptionsClick();
    QCOMPARE(OpenOptionsStore()->value(QStringLiteral("Chart")).toInt(), 1);
    f.ChartItem->trigger();
    QVERIFY(!f.Values.chartView->isVisible());
  }

 private:
  std::unique_ptr<ShownWindow> m_w;
  std::unique_ptr<TempFile> m_file;
};

QTEST_MAIN(CodebookWindowTest)
#include "CodebookHandlers_test.moc"
