// MainWindow's options: reading them once at creation, "&Save options",
// "Restore default options", and the window placement written at the end.
#include "app/Options.h"

#include <QAction>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include <algorithm>

#include "app/MainWindow.h"
#include "variables/ui/VariablesGrid.h"
#include "values/ui/ValuesGrid.h"
#include "platform/UiService.h"

namespace brindle {

namespace {

constexpr int kStateNormal = 0;
constexpr int kStateMinimised = 1;
constexpr int kStateMaximised = 2;

// Smaller stored bounds are not a window a user left behind.
constexpr int kMinimumSide = 100;
// Narrower columns than this, or wider ones than the screen, are damage (or
// a hand-edited file), not a choice: such a column takes its default width.
constexpr int kMinimumColumnWidth = 8;

// A stored integer, or the fallback when the value is missing or no number.
int IntValue(const QSettings& s, const char* name, int fallback) {
  bool ok = false;
  const int value = s.value(QLatin1String(name)).toInt(&ok);
  return ok ? value : fallback;
}

bool BoolValue(const QSettings& s, const char* name) { return IntValue(s, name, 0) != 0; }

// A stored column width, or the default when it is missing, no number or
// outside kMinimumColumnWidth..widest.
int WidthValue(const QSettings& s, const char* name, int fallback, int widest) {
  const int width = IntValue(s, name, fallback);
  return width >= kMinimumColumnWidth && width <= widest ? width : fallback;
}

// The widest a column may be: the width of the widest screen.
int WidestColumn() {
  int widest = 0;
  for (const QScreen* screen : QGuiApplication::screens())
    widest = std::max(widest, screen->availableGeometry().width());
  return widest > 0 ? widest : kDesignWidth;
}

// Whether enough of the bounds lies on one of the screens to grab the window.
bool OnSomeScreen(const QRect& bounds) {
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect shared = screen->availableGeometry().intersected(bounds);
    if (shared.width() >= kMinimumSide / 2 && shared.height() >= kMinimumSide / 4) return true;
  }
  return false;
}

}  // namespace

std::unique_ptr<QSettings> OpenOptionsStore() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QStringLiteral("Brindle"), QStringLiteral("Brindle"));
}

bool MainWindow::readSettings() {
  const auto store = OpenOptionsStore();
  const QSettings& s = *store;
  if (s.allKeys().isEmpty()) return false;
  m_recentFiles.Read(s);

  // A missing or unknown state is the default: maximised.
  const int state = IntValue(s, "WindowState", kStateMaximised);
  if (state == kStateNormal || state == kStateMinimised) {
    const QRect bounds(IntValue(s, "Left", kDesignLeft), IntValue(s, "Top", kDesignTop),
                       IntValue(s, "Width", kDesignWidth), IntValue(s, "Height", kDesignHeight));
    if (bounds.width() >= kMinimumSide && bounds.height() >= kMinimumSide && OnSomeScreen(bounds)) {
      setGeometry(bounds);
      m_keepPosition = true;
    } else {
      // A monitor that held the window is gone: the design size, centred.
      resize(kDesignWidth, kDesignHeight);
    }
    if (state == kStateMinimised) setWindowState(Qt::WindowMinimized);
  } else {
    setWindowState(windowState() | Qt::WindowMaximized);
  }

  if (s.contains(QStringLiteral("Rel"))) {
    ReleaseFileHandle->setChecked(BoolValue(s, "Rel"));
    // The hide-column command inverts the mark and shows or hides to match.
    HideMissingcolumn->setChecked(!BoolValue(s, "Mis"));
    HideFormatcolumn->setChecked(!BoolValue(s, "For"));
    HideFormatcolumnClick(HideMissingcolumn);
    HideFormatcolumnClick(HideFormatcolumn);
    // Options saved before these columns leave them hidden.
    HideMeasurecolumn->setChecked(IntValue(s, "Mea", 1) == 0);
    HideRolecolumn->setChecked(IntValue(s, "Rol", 1) == 0);
    HideFormatcolumnClick(HideMeasurecolumn);
    HideFormatcolumnClick(HideRolecolumn);
    UsePrintFormat->setChecked(BoolValue(s, "Fix"));
    FrequenciesShown->setChecked(!BoolValue(s, "Freq"));
    FrequenciesShownClick();
    // Options saved before the chart leave it hidden.
    ChartItem->setChecked(IntValue(s, "Chart", 0) == 1);
  }

  if (s.contains(QStringLiteral("c1"))) {
    const int widest = WidestColumn();
    const auto varWidth = [&](const char* name, int column) {
      Variables.variablesGrid->SetColWidth(
          column, WidthValue(s, name, Variables.DefaultColumnWidth(column), widest));
    };
    const auto valueWidth = [&](const char* name, int column) {
      Values.valuesGrid->SetColWidth(
          column, WidthValue(s, name, Values.DefaultColumnWidth(column), widest));
    };
    varWidth("c1", 0);
    varWidth("c2", 2);
    varWidth("c3", 3);
    // Measure and Role: options saved before these columns fall back to
    // the default widths.
    varWidth("c8", 5);
    varWidth("c9", 6);
    valueWidth("c4", 1);
    Values.valuesGrid->SavedValueWidth = Values.valuesGrid->ColWidth(1);
    valueWidth("c5", 2);
    valueWidth("c6", 3);
    valueWidth("c7", 4);
  }
  return true;
}

void MainWindow::SaveoptionsClick() {
  const auto s = OpenOptionsStore();
  s->setValue(QStringLiteral("Rel"), int(ReleaseFileHandle->isChecked()));
  s->setValue(QStringLiteral("Fix"), int(UsePrintFormat->isChecked()));
  s->setValue(QStringLiteral("Mis"), int(HideMissingcolumn->isChecked()));
  s->setValue(QStringLiteral("For"), int(HideFormatcolumn->isChecked()));
  s->setValue(QStringLiteral("Mea"), int(HideMeasurecolumn->isChecked()));
  s->setValue(QStringLiteral("Rol"), int(HideRolecolumn->isChecked()));
  s->setValue(QStringLiteral("Freq"), int(FrequenciesShown->isChecked()));
  s->setValue(QStringLiteral("Chart"), int(ChartItem->isChecked()));
  s->setValue(QStringLiteral("c1"), Variables.variablesGrid->ColWidth(0));
  s->setValue(QStringLiteral("c2"), Variables.variablesGrid->ColWidth(2));
  s->setValue(QStringLiteral("c3"), Variables.variablesGrid->ColWidth(3));
  s->setValue(QStringLiteral("c4"), Values.valuesGrid->SavedValueWidth);
  s->setValue(QStringLiteral("c5"), Values.valuesGrid->ColWidth(2));
  s->setValue(QStringLiteral("c6"), Values.valuesGrid->ColWidth(3));
  s->setValue(QStringLiteral("c7"), Values.valuesGrid->ColWidth(4));
  s->setValue(QStringLiteral("c8"), Variables.variablesGrid->ColWidth(5));
  s->setValue(QStringLiteral("c9"), Variables.variablesGrid->ColWidth(6));
  m_recentFiles.Write(*s);
  s->sync();
  if (s->status() != QSettings::NoError)
    m_ui.ShowMessage(QStringLiteral("The options could not be saved in %1.").arg(s->fileName()));
}

void MainWindow::RestoreDefaultOptionsClick() {
  {
    const auto s = OpenOptionsStore();
    s->clear();
    s->sync();
  }
  OptionsReset = true;
  ReleaseFileHandle->setChecked(false);
  UsePrintFormat->setChecked(true);
  HideMissingcolumn->setChecked(true);
  HideFormatcolumn->setChecked(true);
  HideFormatcolumnClick(HideMissingcolumn);
  HideFormatcolumnClick(HideFormatcolumn);
  HideMeasurecolumn->setChecked(false);
  HideRolecolumn->setChecked(false);
  HideFormatcolumnClick(HideMeasurecolumn);
  HideFormatcolumnClick(HideRolecolumn);
  ChartItem->setChecked(false);
  Variables.RestoreDefaultColumnWidths();
  Values.RestoreDefaultColumnWidths();
  // They are kept with the options, so they go with them.
  m_recentFiles.Clear();
  updateRecentFilesMenu();
}

void MainWindow::saveWindowPlacement() {
  const auto s = OpenOptionsStore();
  const int state = (isMaximized() || isFullScreen()) ? kStateMaximised
                    : isMinimized()                   ? kStateMinimised
                                                      : kStateNormal;
  s->setValue(QStringLiteral("WindowState"), state);
  if (state != kStateMaximised) {
    const QRect bounds = state == kStateMinimised ? normalGeometry() : geometry();
    s->setValue(QStringLiteral("Top"), bounds.top());
    s->setValue(QStringLiteral("Left"), bounds.left());
    s->setValue(QStringLiteral("Width"), bounds.width());
    s->setValue(QStringLiteral("Height"), bounds.height());
  }
  m_recentFiles.Write(*s);
  s->sync();
}

}  // namespace brindle
