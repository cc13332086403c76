// Options and the window placement across runs of the window, in a private
// settings folder.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/MainWindow.h"
#include "app/Options.h"
#include "app/RecentFiles.h"
#include "testing/WindowTestSupport.h"
#include "values/ui/ValuesGrid.h"
#include "variables/ui/VariablesGrid.h"

using namespace brindle;
using namespace brindle::testing;

class OptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { OpenOptionsStore()->clear(); }
  void firstStartHasTheDefaults();
  void savedOptionsAndPlacementSurviveARestart();
  void maximisedLeavesNoBounds();
  void restoreDefaultsThenQuitLeavesNothing();
  void damagedValuesFallBack();
  void columnWidthsOutOfRangeTakeTheirDefaults_data();
  void columnWidthsOutOfRangeTakeTheirDefaults();
  void restoreDefaultsRestoresTheWidths();
  void recentFilesKeepTheNewestEight();
  void recentFilesSurviveARestart();
  void chosenRecentFileThatIsGoneIsTakenOff();
  void openDialogStartsInTheFilesFolder();
};

namespace {

int Stored(const char* name) { return OpenOptionsStore()->value(QLatin1String(name), -1).toInt(); }

}  // namespace

void OptionsTest::firstStartHasTheDefaults() {
  RecordingUiService ui;
  MainWindow f(ui);
  QVERIFY(f.windowState() & Qt::WindowMaximized);
  QVERIFY(f.variablesPane().variablesGrid()->ColVisible(2) &&
          f.variablesPane().variablesGrid()->ColVisible(3));
  QVERIFY(!f.variablesPane().hideColumnItem(VariablesPane::HideMissing)->isChecked() &&
          !f.variablesPane().hideColumnItem(VariablesPane::HideFormat)->isChecked());
  QVERIFY(Action(f, "UsePrintFormat")->isChecked());
  QVERIFY(!Action(f, "FrequenciesShown")->isChecked() && !f.FrequenciesMode());
  QVERIFY(!Action(f, "ReleaseFileHandle")->isChecked());
}

void OptionsTest::savedOptionsAndPlacementSurviveARestart() {
  const QRect bounds(40, 60, 700, 500);
  {
    RecordingUiService ui;
    MainWindow f(ui);
    f.variablesPane().hideColumnItem(VariablesPane::HideMissing)->trigger();
    Action(f, "FrequenciesShown")->trigger();
    Action(f, "ReleaseFileHandle")->setChecked(true);
    Action(f, "UsePrintFormat")->setChecked(false);
    f.variablesPane().variablesGrid()->SetColWidth(0, 81);
    f.variablesPane().variablesGrid()->SetColWidth(3, 52);
    f.valuesPane().valuesGrid()->SavedValueWidth = 61;
    f.valuesPane().valuesGrid()->SetColWidth(4, 44);
    Action(f, "Saveoptions")->trigger();
    // Only "&Save options" writes options; the placement waits for the end.
    QCOMPARE(Stored("Mis"), 1);
    QCOMPARE(Stored("For"), 0);
    QCOMPARE(Stored("Freq"), 1);
    QCOMPARE(Stored("Fix"), 0);
    QCOMPARE(Stored("c4"), 61);
    QCOMPARE(Stored("WindowState"), -1);
    f.setWindowState(Qt::WindowNoState);
    f.setGeometry(bounds);
  }
  QCOMPARE(Stored("WindowState"), 0);
  QCOMPARE(Stored("Left"), bounds.left());
  QCOMPARE(Stored("Height"), bounds.height());

  RecordingUiService ui;
  MainWindow f(ui);
  QVERIFY(!(f.windowState() & Qt::WindowMaximized));
  QCOMPARE(f.geometry(), bounds);
  QVERIFY(f.variablesPane().hideColumnItem(VariablesPane::HideMissing)->isChecked() &&
          !f.variablesPane().variablesGrid()->ColVisible(2));
  QVERIFY(!f.variablesPane().hideColumnItem(VariablesPane::HideFormat)->isChecked() &&
          f.variablesPane().variablesGrid()->ColVisible(3));
  QVERIFY(Action(f, "FrequenciesShown")->isChecked() && f.FrequenciesMode() &&
          Action(f, "FrequenciesBtn")->isChecked());
  QVERIFY(Action(f, "ReleaseFileHandle")->isChecked());
  QVERIFY(!Action(f, "UsePrintFormat")->isChecked());
  QCOMPARE(f.variablesPane().variablesGrid()->ColWidth(0), 81);
  QCOMPARE(f.variablesPane().variablesGrid()->ColWidth(3), 52);
  QCOMPARE(f.valuesPane().valuesGrid()->ColWidth(1), 61);
  QCOMPARE(f.valuesPane().valuesGrid()->ColWidth(4), 44);
}

void OptionsTest::maximisedLeavesNoBounds() {
  {
    RecordingUiService ui;
    MainWindow f(ui);
    f.setWindowState(Qt::WindowMaximized);
  }
  QCOMPARE(Stored("WindowState"), 2);
  QVERIFY(!OpenOptionsStore()->contains(QStringLiteral("Top")));
  RecordingUiService ui;
  MainWindow f(ui);
  QVERIFY(f.windowState() & Qt::WindowMaximized);
}

void OptionsTest::restoreDefaultsThenQuitLeavesNothing() {
  RecordingUiService ui;
  auto f = std::make_unique<MainWindow>(ui);
  f->variablesPane().hideColumnItem(VariablesPane::HideMissing)->trigger();
  f->variablesPane().hideColumnItem(VariablesPane::HideFormat)->trigger();
  Action(*f, "ReleaseFileHandle")->setChecked(true);
  Action(*f, "UsePrintFormat")->setChecked(false);
  Action(*f, "Saveoptions")->trigger();
  Action(*f, "RestoreDefaultOptions")->trigger();
  QVERIFY(OpenOptionsStore()->allKeys().isEmpty());
  QVERIFY(f->optionsReset());
  QVERIFY(!f->variablesPane().hideColumnItem(VariablesPane::HideMissing)->isChecked() &&
          f->variablesPane().variablesGrid()->ColVisible(2));
  QVERIFY(!f->variablesPane().hideColumnItem(VariablesPane::HideFormat)->isChecked() &&
          f->variablesPane().variablesGrid()->ColVisible(3));
  QVERIFY(!Action(*f, "ReleaseFileHandle")->isChecked() &&
          Action(*f, "UsePrintFormat")->isChecked());
  // Saving again in the same run writes the options, never the placement.
  Action(*f, "Saveoptions")->trigger();
  f->setWindowState(Qt::WindowNoState);
  f.reset();
  QCOMPARE(Stored("Rel"), 0);
  QVERIFY(!OpenOptionsStore()->contains(QStringLiteral("WindowState")));
  // That key (options, no state) starts maximised.
  MainWindow again(ui);
  QVERIFY(again.windowState() & Qt::WindowMaximized);
  QVERIFY(ui.calls.isEmpty());
}

void OptionsTest::damagedValuesFallBack() {
  const auto s = OpenOptionsStore();
  // Bounds on no screen (a monitor removed), a width that is no number.
  s->setValue(QStringLiteral("WindowState"), 0);
  s->setValue(QStringLiteral("Left"), 50000);
  s->setValue(QStringLiteral("Top"), 50000);
  s->setValue(QStringLiteral("Width"), 900);
  s->setValue(QStringLiteral("Height"), 600);
  s->setValue(QStringLiteral("c1"), QStringLiteral("wide"));
  s->setValue(QStringLiteral("c2"), -30);
  s->sync();
  RecordingUiService ui;
  MainWindow f(ui);
  QVERIFY(!(f.windowState() & Qt::WindowMaximized));
  QCOMPARE(f.size(), QSize(766, 486));
  QVERIFY(f.variablesPane().variablesGrid()->ColWidth(0) >= 66);
  // A negative width is damage: the column keeps its default.
  QCOMPARE(f.variablesPane().variablesGrid()->ColWidth(2), f.variablesPane().DefaultColumnWidth(2));
}

void OptionsTest::columnWidthsOutOfRangeTakeTheirDefaults_data() {
  QTest::addColumn<QVariant>("stored");
  QTest::addColumn<bool>("kept");
  const int screenWidth = QGuiApplication::primaryScreen()->availableGeometry().width();
  QTest::newRow("negative") << QVariant(-30) << false;
  QTest::newRow("minus one") << QVariant(-1) << false;
  QTest::newRow("zero") << QVariant(0) << false;
  QTest::newRow("seven") << QVariant(7) << false;
  QTest::newRow("eight") << QVariant(8) << true;
  QTest::newRow("screen width") << QVariant(screenWidth) << true;
  QTest::newRow("wider than the screen") << QVariant(screenWidth + 1) << false;
  QTest::newRow("999999") << QVariant(999999) << false;
  QTest::newRow("no number") << QVariant(QStringLiteral("wide")) << false;
}

void OptionsTest::columnWidthsOutOfRangeTakeTheirDefaults() {
  QFETCH(QVariant, stored);
  QFETCH(bool, kept);
  const auto s = OpenOptionsStore();
  for (const char* name : {"c1", "c2", "c3", "c4", "c5", "c6", "c7"})
    s->setValue(QLatin1String(name), stored);
  s->sync();
  RecordingUiService ui;
  MainWindow f(ui);
  const struct {
    int width;
    int fallback;
  } columns[] = {
      {f.variablesPane().variablesGrid()->ColWidth(0), f.variablesPane().DefaultColumnWidth(0)},
      {f.variablesPane().variablesGrid()->ColWidth(2), f.variablesPane().DefaultColumnWidth(2)},
      {f.variablesPane().variablesGrid()->ColWidth(3), f.variablesPane().DefaultColumnWidth(3)},
      {f.valuesPane().valuesGrid()->ColWidth(1), f.valuesPane().DefaultColumnWidth(1)},
      {f.valuesPane().valuesGrid()->SavedValueWidth, f.valuesPane().DefaultColumnWidth(1)},
      {f.valuesPane().valuesGrid()->ColWidth(2), f.valuesPane().DefaultColumnWidth(2)},
      {f.valuesPane().valuesGrid()->ColWidth(3), f.valuesPane().DefaultColumnWidth(3)},
      {f.valuesPane().valuesGrid()->ColWidth(4), f.valuesPane().DefaultColumnWidth(4)},
  };
  for (const auto& c : columns) QCOMPARE(c.width, kept ? stored.toInt() : c.fallback);
  QVERIFY(f.variablesPane().DefaultColumnWidth(0) >= 66);
  QVERIFY(f.valuesPane().DefaultColumnWidth(1) >= 55);
}

void OptionsTest::restoreDefaultsRestoresTheWidths() {
  ShownWindow w;
  MainWindow& f = w.form;
  auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  f.variablesPane().variablesGrid()->SetColWidth(0, 300);
  f.variablesPane().variablesGrid()->SetColWidth(3, 9);
  f.valuesPane().valuesGrid()->SetColWidth(1, 150);
  f.valuesPane().valuesGrid()->SetColWidth(2, 9);
  f.valuesPane().valuesGrid()->SetColWidth(4, 200);
  Action(f, "Saveoptions")->trigger();
  Action(f, "RestoreDefaultOptions")->trigger();
  // At once, not at the next start.
  for (int c : {0, 2, 3})
    QCOMPARE(f.variablesPane().variablesGrid()->ColWidth(c),
             f.variablesPane().DefaultColumnWidth(c));
  for (int c : {1, 2, 3, 4})
    QCOMPARE(f.valuesPane().valuesGrid()->ColWidth(c), f.valuesPane().DefaultColumnWidth(c));
  QCOMPARE(f.valuesPane().valuesGrid()->SavedValueWidth, f.valuesPane().DefaultColumnWidth(1));
  // The label columns fill the room the others leave.
  int sum = 0;
  for (int c = 0; c < ValuesGrid::kColumns; ++c) sum += f.valuesPane().valuesGrid()->ColWidth(c);
  QCOMPARE(sum, f.valuesPane().valuesGrid()->viewport()->width());
  QVERIFY(f.variablesPane().variablesGrid()->ColWidth(1) > 0);
  // The next start has them too: nothing is stored any more.
  RecordingUiService ui;
  MainWindow again(ui);
  QCOMPARE(again.variablesPane().variablesGrid()->ColWidth(0),
           again.variablesPane().DefaultColumnWidth(0));
  QCOMPARE(again.valuesPane().valuesGrid()->ColWidth(4), again.valuesPane().DefaultColumnWidth(4));
}

void OptionsTest::recentFilesKeepTheNewestEight() {
  RecentFiles recent;
  for (int i = 1; i <= 10; ++i) recent.Add(QStringLiteral("/data/f%1.sav").arg(i));
  QCOMPARE(recent.Files().size(), RecentFiles::kMaximum);
  QCOMPARE(recent.Files().first(), QString("/data/f10.sav"));
  QCOMPARE(recent.Files().last(), QString("/data/f3.sav"));
  // Opened again: to the top, not twice.
  recent.Add(QStringLiteral("/data/f5.sav"));
  QCOMPARE(recent.Files().size(), RecentFiles::kMaximum);
  QCOMPARE(recent.Files().mid(0, 3),
           QStringList({"/data/f5.sav", "/data/f10.sav", "/data/f9.sav"}));
  QCOMPARE(recent.LastFolder(), QString("/data"));

  // What a hand-edited store holds: relative paths, empties and doubles go.
  QSettings store(QDir(PrivateOptionsFolder()).filePath("recent.ini"), QSettings::IniFormat);
  QStringList stored{"relative.sav", "", "/a/1.sav", "/a/1.sav"};
  for (int i = 2; i <= 12; ++i) stored << QStringLiteral("/a/%1.sav").arg(i);
  store.setValue("RecentFiles", stored);
  store.setValue("LastFolder", "somewhere");
  recent.Read(store);
  QCOMPARE(recent.Files().size(), RecentFiles::kMaximum);
  QCOMPARE(recent.Files().first(), QString("/a/1.sav"));
  QCOMPARE(recent.Files().last(), QString("/a/8.sav"));
  QVERIFY(recent.LastFolder().isEmpty());
}

void OptionsTest::recentFilesSurviveARestart() {
  auto first = WriteTemp(SampleDictionary());
  auto second = WriteTemp(ManyVariables(2));
  const QString firstPath = QString::fromStdString(first->path());
  const QString secondPath = QString::fromStdString(second->path());
  {
    ShownWindow w;
    QVERIFY(!w.form.recentFilesMenu()->isEnabled());
    w.Open(first->path());
    w.Open(second->path());
    w.Open(first->path());
    const QList<QAction*> items = w.form.recentFilesMenu()->actions();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0]->text(), "&1 " + firstPath);
    QCOMPARE(items[1]->text(), "&2 " + secondPath);
    QVERIFY(w.form.recentFilesMenu()->isEnabled());
  }
  RecordingUiService ui;
  MainWindow again(ui);
  QCOMPARE(again.recentFiles().Files(), QStringList({firstPath, secondPath}));
  QCOMPARE(again.recentFilesMenu()->actions().size(), 2);
  QCOMPARE(again.openDialogFolder(), QFileInfo(firstPath).absolutePath());
  // Restoring the default options forgets them too.
  Action(again, "RestoreDefaultOptions")->trigger();
  QVERIFY(again.recentFiles().Files().isEmpty());
  QVERIFY(!again.recentFilesMenu()->isEnabled());
}

void OptionsTest::chosenRecentFileThatIsGoneIsTakenOff() {
  ShownWindow w;
  MainWindow& f = w.form;
  auto kept = WriteTemp(SampleDictionary());
  auto gone = std::make_unique<TempFile>(writeSav(ManyVariables(2)));
  const QString gonePath = QString::fromStdString(gone->path());
  w.Open(gone->path());
  w.Open(kept->path());
  gone.reset();
  w.ui.calls.clear();
  f.recentFilesMenu()->actions().at(1)->trigger();
  QCOMPARE(w.ui.calls.size(), 1);
  QCOMPARE(w.ui.Last().kind, QString("ShowMessage"));
  QCOMPARE(w.ui.Last().text,
           gonePath + "\nno longer exists; it is taken off the list of recent files.");
  QCOMPARE(f.recentFiles().Files(), QStringList({QString::fromStdString(kept->path())}));
  QCOMPARE(f.recentFilesMenu()->actions().size(), 1);
  // The open file stays.
  QCOMPARE(f.fileState().FileName, kept->path());
  // A file that is there opens from the list.
  auto other = WriteTemp(ManyVariables(3));
  w.Open(other->path());
  f.recentFilesMenu()->actions().at(1)->trigger();
  QCOMPARE(f.fileState().FileName, kept->path());
  QCOMPARE(w.GridNames().size(), 7);
}

void OptionsTest::openDialogStartsInTheFilesFolder() {
  QTemporaryDir one, two;
  QVERIFY(one.isValid() && two.isValid());
  const std::string inOne = one.filePath("a.sav").toStdString();
  const std::string inTwo = two.filePath("b.sav").toStdString();
  writeSavFile(SampleDictionary(), inOne);
  writeSavFile(ManyVariables(2), inTwo);
  {
    ShownWindow w;
    MainWindow& f = w.form;
    w.Open(inOne);
    // The first dialog had no folder to start in.
    QCOMPARE(w.ui.Last().kind, QString("GetOpenFileName"));
    QVERIFY(w.ui.calls.first().text.isEmpty());
    Action(f, "openAction")->trigger();
    QCOMPARE(w.ui.Last().text, QFileInfo(one.path()).absoluteFilePath());
    w.Open(inTwo);
    Action(f, "CloseItem")->trigger();
    // No file open: the folder of the file opened last.
    Action(f, "openAction")->trigger();
    QCOMPARE(w.ui.Last().text, QFileInfo(two.path()).absoluteFilePath());
  }
  RecordingUiService ui;
  MainWindow again(ui);
  QCOMPARE(again.openDialogFolder(), QFileInfo(two.path()).absoluteFilePath());
}

QTEST_MAIN(OptionsTest)
#include "Options_test.moc"
