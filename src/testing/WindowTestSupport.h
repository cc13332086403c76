// For the window's tests: a shown main window at a fixed size whose messages
// are recorded, and small data files written for them.
#pragma once

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "app/Options.h"
#include "platform/UiService.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"
#include "variables/ui/VariablesGrid.h"

namespace brindle::testing {

// The windows of a test process keep their options in a private folder,
// never in the user's settings; each ShownWindow starts with none stored.
inline QString PrivateOptionsFolder() {
  static QTemporaryDir folder;
  return folder.path();
}
inline const bool kPrivateOptions = [] {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, PrivateOptionsFolder());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, PrivateOptionsFolder());
  return true;
}();
struct NoStoredOptions {
  NoStoredOptions() { OpenOptionsStore()->clear(); }
};

// An action or menu of the window by its object name; a missing one ends
// the test run, since every later step would dereference it.
inline QAction* Action(const MainWindow& form, const char* name) {
  auto* action = form.findChild<QAction*>(QString::fromLatin1(name));
  if (action == nullptr) qFatal("no action %s", name);
  return action;
}
inline QMenu* Menu(const MainWindow& form, const char* name) {
  auto* menu = form.findChild<QMenu*>(QString::fromLatin1(name));
  if (menu == nullptr) qFatal("no menu %s", name);
  return menu;
}

// The splitter between the variables pane and the values pane.
inline QSplitter* Splitter(const MainWindow& form) {
  auto* splitter = form.findChild<QSplitter*>(QStringLiteral("splitter"));
  if (splitter == nullptr) qFatal("no splitter");
  return splitter;
}

// The main window, shown normal (not maximised) at 1000 x 700.
struct ShownWindow {
  NoStoredOptions noOptions;
  RecordingUiService ui;
  MainWindow form{ui};

  ShownWindow() {
    form.setWindowState(Qt::WindowNoState);
    form.resize(1000, 700);
    form.show();
    QApplication::setActiveWindow(&form);
    (void)QTest::qWaitForWindowExposed(&form);
  }

  // Opens a file as the Open dialog would give it.
  void Open(const std::string& path) {
    ui.openFileAnswers << QString::fromStdString(path);
    Action(form, "openAction")->trigger();
  }

  // Centre of a data row (0-based view row among the visible rows) in the
  // grid's viewport.
  QPoint RowPoint(int row, int column = 0) const {
    const QAbstractItemModel* model = form.variablesPane().variablesGrid()->model();
    return form.variablesPane().variablesGrid()->visualRect(model->index(row, column)).center();
  }

  // Clicks a data row of the variables grid.
  void ClickRow(int row, Qt::KeyboardModifiers mods = Qt::NoModifier,
                Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(form.variablesPane().variablesGrid()->viewport(), button, mods,
                      RowPoint(row));
  }

  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(form.variablesPane().variablesGrid(), static_cast<Qt::Key>(key), mods);
  }

  // The names in the grid, top to bottom.
  QStringList GridNames() const {
    QStringList names;
    const QAbstractItemModel* model = form.variablesPane().variablesGrid()->model();
    for (int r = 0; r < model->rowCount(); ++r) names << model->index(r, 0).data().toString();
    return names;
  }

  // Recorded calls of one kind.
  int Count(const char* kind) const { return ui.Count(QString::fromLatin1(kind)); }
};

// A small dictionary with every kind of variable the panes treat apart:
//   1 id       numeric F8.0, no labels
//   2 sex      numeric F1.0, labels 1 Male, 2 Female; missing 9
//   3 city     string A8, labels AMS Amsterdam, BER Berlin
//   4 comment  string A20, labels none Nothing to say
//   5 score    numeric F8.2, labels 1.5 Low, 10.25 High
//   6 born     DATE11, one label
//   7 age      numeric F3.0, label "Age in years", no value labels
inline SavFile SampleDictionary() {
  SavFile f;
  Variable id = Variable::numeric("id", "Respondent id");
  id.print = Format{5, 8, 0};
  Variable sex = Variable::numeric("sex", "Sex");
  sex.print = Format{5, 1, 0};
  sex.numericLabels = {{1, "Male"}, {2, "Female"}};
  sex.missingCode = 1;
  sex.missing[0] = 9;
  Variable city = Variable::string("city", 8, "City");
  city.stringLabels = {{"AMS", "Amsterdam"}, {"BER", "Berlin"}};
  Variable comment = Variable::string("comment", 20, "Comment");
  comment.stringLabels = {{"none", "Nothing to say"}};
  Variable score = Variable::numeric("score", "Score");
  score.numericLabels = {{1.5, "Low"}, {10.25, "High"}};
  Variable born = Variable::numeric("born", "Date of birth");
  born.print = Format{20, 11, 0};
  born.numericLabels = {{13254624000.0, "New year 2003"}};
  Variable age = Variable::numeric("age", "Age in years");
  age.print = Format{5, 3, 0};
  f.variables = {id, sex, city, comment, score, born, age};
  f.cases = {{1.0, 1.0, std::string("AMS"), std::string("fine"), 1.5, 13254624000.0, 30.0},
             {2.0, 2.0, std::string("BER"), std::string("none"), 10.25, 13254624000.0, 40.0}};
  return f;
}

// Numeric variables v1 .. vN, labelled "Label k".
inline SavFile ManyVariables(int count) {
  SavFile f;
  for (int k = 1; k <= count; ++k) {
    const std::string n = std::to_string(k);
    f.variables.push_back(Variable::numeric("v" + n, "Label " + n));
  }
  Case row;
  for (int k = 1; k <= count; ++k) row.push_back(double(k));
  f.cases = {row};
  return f;
}

inline std::unique_ptr<TempFile> WriteTemp(const SavFile& f, const std::string& suffix = ".sav") {
  return std::make_unique<TempFile>(writeSav(f), suffix);
}

// 200,000 cases of two numeric variables: long enough for a frequency pass
// to let the window handle its events on the way.
inline const TempFile& LongFile() {
  static const auto file = [] {
    auto temp = std::make_unique<TempFile>();
    SavFile f;
    f.variables = {Variable::numeric("a"), Variable::numeric("b")};
    SavStreamWriter writer(f, temp->path());
    for (int i = 0; i < 200000; ++i) writer.appendCase({double(i % 7), double(i % 3)});
    writer.finish();
    return temp;
  }();
  return *file;
}

// Runs start (a frequency pass) and, once the pass lets the window handle its
// events, during.
inline void DuringPass(const std::function<void()>& during, const std::function<void()>& start) {
  bool ran = false;
  QTimer::singleShot(0, [&] {
    ran = true;
    during();
  });
  start();
  QVERIFY(ran);
}

inline void PressInVarGrid(MainWindow& f, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(f.variablesPane().variablesGrid(), &press);
}

}  // namespace brindle::testing
