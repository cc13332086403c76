// Options and the window placement across runs of the window, in a private
// settings folder.
#include <QAction>
#include <QTest>

#include <memory>

#include "app/MainWindow.h"
#include "app/Options.h"
#include "controls/BxDBGrid.h"
#include "controls/ValStringGrid.h"
#include "testing/WindowTestSupport.h"

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
};

namespace {

int Stored(const char* name) { return OpenOptionsStore()->value(QLatin1String(name), -1).toInt(); }

}  // namespace

void OptionsTest::firstStartHasTheDefaults() {
  RecordingUiService ui;
  TForm1 f(ui);
  QVERIFY(f.windowState() & Qt::WindowMaximized);
  QVERIFY(f.Variables.VarGrid->ColVisible(2) && f.Variables.VarGrid->ColVisible(3));
  QVERIFY(!f.HideMissingcolumn->isChecked() && !f.HideFormatcolumn->isChecked());
  QVERIFY(f.UsePrintFormat->isChecked());
  QVERIFY(!f.FrequenciesShown->isChecked() && !f.FrequenciesMode());
  QVERIFY(!f.ReleaseFileHandle->isChecked());
}

void OptionsTest::savedOptionsAndPlacementSurviveARestart() {
  const QRect bounds(40, 60, 700, 500);
  {
    RecordingUiService ui;
    TForm1 f(ui);
    f.HideMissingcolumn->trigger();
    f.FrequenciesShown->trigger();
    f.ReleaseFileHandle->setChecked(true);
    f.UsePrintFormat->setChecked(false);
    f.Variables.VarGrid->SetColWidth(0, 81);
    f.Variables.VarGrid->SetColWidth(3, 52);
    f.Values.StringGrid1->SavedValueWidth = 61;
    f.Values.StringGrid1->SetColWidth(4, 44);
    f.Saveoptions->trigger();
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
  TForm1 f(ui);
  QVERIFY(!(f.windowState() & Qt::WindowMaximized));
  QCOMPARE(f.geometry(), bounds);
  QVERIFY(f.HideMissingcolumn->isChecked() && !f.Variables.VarGrid->ColVisible(2));
  QVERIFY(!f.HideFormatcolumn->isChecked() && f.Variables.VarGrid->ColVisible(3));
  QVERIFY(f.FrequenciesShown->isChecked() && f.FrequenciesMode() && f.FrequenciesBtn->isChecked());
  QVERIFY(f.ReleaseFileHandle->isChecked());
  QVERIFY(!f.UsePrintFormat->isChecked());
  QCOMPARE(f.Variables.VarGrid->ColWidth(0), 81);
  QCOMPARE(f.Variables.VarGrid->ColWidth(3), 52);
  QCOMPARE(f.Values.StringGrid1->ColWidth(1), 61);
  QCOMPARE(f.Values.StringGrid1->ColWidth(4), 44);
}

void OptionsTest::maximisedLeavesNoBounds() {
  {
    RecordingUiService ui;
    TForm1 f(ui);
    f.setWindowState(Qt::WindowMaximized);
  }
  QCOMPARE(Stored("WindowState"), 2);
  QVERIFY(!OpenOptionsStore()->contains(QStringLiteral("Top")));
  RecordingUiService ui;
  TForm1 f(ui);
  QVERIFY(f.windowState() & Qt::WindowMaximized);
}

void OptionsTest::restoreDefaultsThenQuitLeavesNothing() {
  RecordingUiService ui;
  auto f = std::make_unique<TForm1>(ui);
  f->HideMissingcolumn->trigger();
  f->HideFormatcolumn->trigger();
  f->ReleaseFileHandle->setChecked(true);
  f->UsePrintFormat->setChecked(false);
  f->Saveoptions->trigger();
  f->RestoreDefaultOptions->trigger();
  QVERIFY(OpenOptionsStore()->allKeys().isEmpty());
  QVERIFY(f->OptionsReset);
  QVERIFY(!f->HideMissingcolumn->isChecked() && f->Variables.VarGrid->ColVisible(2));
  QVERIFY(!f->HideFormatcolumn->isChecked() && f->Variables.VarGrid->ColVisible(3));
  QVERIFY(!f->ReleaseFileHandle->isChecked() && f->UsePrintFormat->isChecked());
  // Saving again in the same run writes the options, never the placement.
  f->Saveoptions->trigger();
  f->setWindowState(Qt::WindowNoState);
  f.reset();
  QCOMPARE(Stored("Rel"), 0);
  QVERIFY(!OpenOptionsStore()->contains(QStringLiteral("WindowState")));
  // That key (options, no state) starts maximised.
  TForm1 again(ui);
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
  TForm1 f(ui);
  QVERIFY(!(f.windowState() & Qt::WindowMaximized));
  QCOMPARE(f.size(), QSize(766, 486));
  QVERIFY(f.Variables.VarGrid->ColWidth(0) >= 66);
  QCOMPARE(f.Variables.VarGrid->ColWidth(2), 0);
}

QTEST_MAIN(OptionsTest)
#include "Options_test.moc"
