// For the panes' own tests: a pane shown alone in a host widget of its own,
// over a data file opened without the main window, its messages recorded.
#pragma once

#include <QAbstractItemModel>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <string>

#include "datafile/DataFileState.h"
#include "datafile/DictionaryLoader.h"
#include "datafile/ui/OpenFileGuard.h"
#include "datafile/ui/OpenFileHandlers.h"
#include "platform/UiService.h"
#include "spssio/testing/SavWriter.h"
#include "values/CaseWeighting.h"
#include "values/Frequencies.h"
#include "values/ui/ValuesGrid.h"
#include "values/ui/ValuesPane.h"
#include "variables/ui/VariablesGrid.h"
#include "variables/ui/VariablesPane.h"

namespace brindle::testing {

// v: values 1..4 labelled apple, Zebra, (none), Zebra, counted 9, 10, 1, 10.
// s: one long string. n: a plain number.
inline SavFile PaneSortSample() {
  SavFile f;
  Variable v = Variable::numeric("v", "Sorted");
  v.print = Format{5, 2, 0};
  v.numericLabels = {{1, "apple"}, {2, "Zebra"}, {4, "Zebra"}};
  Variable s = Variable::string("s", 20, "Long");
  Variable n = Variable::numeric("n", "Number");
  f.variables = {v, s, n};
  const int counts[] = {9, 10, 1, 10};
  for (int value = 1; value <= 4; ++value)
    for (int k = 0; k < counts[value - 1]; ++k)
      f.cases.push_back({double(value), std::string("text"), double(k % 3 + 1)});
  return f;
}

// Six variables; three labels mention income in different cases, one label
// has accented capitals.
inline SavFile PaneFindSample() {
  SavFile f;
  const char* const vars[][2] = {{"id", "Respondent id"},
                                 {"Q27b", "Household INCOME"},
                                 {"q27c", "Income of partner"},
                                 {"age", "ÂGE en années"},
                                 {"sex", "Sex"},
                                 {"inc_t", "Total income"}};
  Case row;
  for (const auto& v : vars) {
    f.variables.push_back(Variable::numeric(v[0], std::string(v[1])));
    row.push_back(1.0);
  }
  f.variables[4].numericLabels = {{1, "Male"}, {2, "Female"}};
  f.cases = {row};
  return f;
}

// The variables pane, its find bar above its grid, in a shown and active
// host of 500 x 600.
struct ShownVariablesPane {
  RecordingUiService ui;
  QWidget host;
  VariablesPane pane{ui, &host};
  DataFileState file;
  OpenFileGuard openFile{file};

  ShownVariablesPane() {
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pane.findBar());
    layout->addWidget(pane.variablesGrid(), 1);
    host.resize(500, 600);
    host.show();
    QApplication::setActiveWindow(&host);
    (void)QTest::qWaitForWindowActive(&host);
  }

  // Opens a data file and fills the pane's table from it, as the window does.
  bool Open(const std::string& path) {
    if (!OpenDataFileReported(ui, &host, QString::fromStdString(path), file)) return false;
    pane.variablesGrid()->SetDataSourceEnabled(false);
    const DictionaryLoadResult result =
        LoadDictionary(file, pane.variableList(), NumberSeparators{});
    pane.variablesGrid()->SetDataSourceEnabled(true);
    pane.SetEnabled(true);
    return result.errorCode == 0;
  }

  // Clicks a data row (0-based among the visible rows) of the grid.
  void ClickRow(int row, Qt::KeyboardModifiers mods = Qt::NoModifier,
                Qt::MouseButton button = Qt::LeftButton) {
    const QAbstractItemModel* model = pane.variablesGrid()->model();
    const QPoint point = pane.variablesGrid()->visualRect(model->index(row, 0)).center();
    QTest::mouseClick(pane.variablesGrid()->viewport(), button, mods, point);
  }

  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(pane.variablesGrid(), static_cast<Qt::Key>(key), mods);
  }

  // The names in the grid, top to bottom.
  QStringList GridNames() const {
    QStringList names;
    const QAbstractItemModel* model = pane.variablesGrid()->model();
    for (int r = 0; r < model->rowCount(); ++r) names << model->index(r, 0).data().toString();
    return names;
  }

  int Count(const char* kind) const { return ui.Count(QString::fromLatin1(kind)); }
};

// The values pane, its caption above its grid and statistics box, in a
// shown and active host of 600 x 500, over a variables table of its own. It
// stands in for the window where the pane asks for something: a move in the
// table shows the new variable's labels (or table, in frequencies mode).
struct ShownValuesPane {
  RecordingUiService ui;
  QWidget host;
  VariableList table;
  CaseWeighting weighting;
  ValuesPane pane{ui, &host, table, weighting};
  DataFileState file;
  OpenFileGuard openFile{file};

  ShownValuesPane() {
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pane.captionLabel());
    layout->addWidget(pane.valuesPanel(), 1);
    host.resize(600, 500);
    host.show();
    QApplication::setActiveWindow(&host);
    (void)QTest::qWaitForWindowActive(&host);
    pane.FirstShown();
    pane.FitRows();
    table.SetAfterScroll([this](VariableList&) {
      pane.StartVariable();
      Show(pane.frequenciesMode());
    });
    QObject::connect(&pane, &ValuesPane::countChanged,
                     [this](const QString& text) { countText = text; });
  }

  ~ShownValuesPane() { table.DetachAfterScroll(); }

  // Opens a data file and shows its first variable's labels.
  bool Open(const std::string& path) {
    if (!OpenDataFileReported(ui, &host, QString::fromStdString(path), file)) return false;
    pane.StartFile();
    const DictionaryLoadResult result = LoadDictionary(file, table, NumberSeparators{});
    pane.SetEnabled(true);
    table.First();
    return result.errorCode == 0;
  }

  // Closes the file, as the window's Close command does for the pane.
  void Close() {
    openFile.Close();
    file = DataFileState();
    table.Close();
    pane.Clear();
  }

  // The current variable's frequency table, or its value labels.
  void Show(bool frequencies) {
    if (frequencies)
      pane.ShowFrequencies(MakeFrequencyPass(file.File, file.NumCases, true, NumberSeparators{}));
    else
      pane.ShowValueLabels(file.File.get(), NumberSeparators{});
  }
  // What the window does when the pane asks for the other display.
  void Toggle() { Show(!pane.frequencyTableShown()); }

  // A new size for the pane, its rows and columns fitted to it as the window
  // fits them when it or its splitter changes.
  void Resize(int width, int height) {
    host.resize(width, height);
    pane.FitRows();
    pane.ValuesGridColumnWidthChanged();
  }

  // The row count's text the pane announced last (the window's status bar).
  QString countText;

  int Count(const char* kind) const { return ui.Count(QString::fromLatin1(kind)); }
};

}  // namespace brindle::testing
