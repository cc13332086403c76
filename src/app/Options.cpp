// MainWindow's options: reading them once at creation, "&Save options",
// "Restore default options", and the window placement written at the end.
#include "app/Options.h"

#include <QAction>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include <algorithm>

#include "app/MainWindow.h"
#include "platform/UiService.h"
#include "values/ui/ValuesGrid.h"
#include "variables/ui/VariablesGrid.h"

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
    m_variables.SetColumnHidden(VariablesPane::HideMissing, BoolValue(s, "Mis"));
    m_variables.SetColumnHidden(VariablesPane::HideFormat, BoolValue(s, "For"));
    // Options saved before these columns leave them hidden.
    m_variables.SetColumnHidden(VariablesPane::HideMeasure, IntValue(s, "Mea", 1) != 0);
    m_variables.SetColumnHidden(VariablesPane::HideRole, IntValue(s, "Rol", 1) != 0);
    UsePrintFormat->setChecked(BoolValue(s, "Fix"));
    FrequenciesShown->setChecked(!BoolValue(s, "Freq"));
    FrequenciesShownClick();
    // Options saved before the chart leave it hidden.
    ChartItem->setChecked(IntValue(s, "Chart", 0) == 1);
  }

  // The page shown last, kept with the placement.
  ShowPage(IntValue(s, "Page", 0) == 1 ? 1 : 0);
  ValueLabelsItem->setChecked(IntValue(s, "Labels", 0) == 1);

  if (s.contains(QStringLiteral("c1"))) {
    const int widest = WidestColumn();
    const auto varWidth = [&](const char* name, int column) {
      m_variables.variablesGrid()->SetColWidth(
          column, WidthValue(s, name, m_variables.DefaultColumnWidth(column), widest));
    };
    const auto valueWidth = [&](const char* name, int column) {
      m_values.valuesGrid()->SetColWidth(
          column, WidthValue(s, name, m_values.DefaultColumnWidth(column), widest));
    };
    varWidth("c1", 0);
    varWidth("c2", 2);
    varWidth("c3", 3);
    // Measure and Role: options saved before these columns fall back to
    // the default widths.
    varWidth("c8", 5);
    varWidth("c9", 6);
    valueWidth("c4", 1);
    m_values.valuesGrid()->SavedValueWidth = m_values.valuesGrid()->ColWidth(1);
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
  s->setValue(QStringLiteral("Mis"), int(m_variables.columnHidden(VariablesPane::HideMissing)));
  s->setValue(QStringLiteral("For"), int(m_variables.columnHidden(VariablesPane::HideFormat)));
  s->setValue(QStringLiteral("Mea"), int(m_variables.columnHidden(VariablesPane::HideMeasure)));
  s->setValue(QStringLiteral("Rol"), int(m_variables.columnHidden(VariablesPane::HideRole)));
  s->setValue(QStringLiteral("Freq"), int(FrequenciesShown->isChecked()));
  s->setValue(QStringLiteral("Chart"), int(ChartItem->isChecked()));
  s->setValue(QStringLiteral("c1"), m_variables.variablesGrid()->ColWidth(0));
  s->setValue(QStringLiteral("c2"), m_variables.variablesGrid()->ColWidth(2));
  s->setValue(QStringLiteral("c3"), m_variables.variablesGrid()->ColWidth(3));
  s->setValue(QStringLiteral("c4"), m_values.valuesGrid()->SavedValueWidth);
  s->setValue(QStringLiteral("c5"), m_values.valuesGrid()->ColWidth(2));
  s->setValue(QStringLiteral("c6"), m_values.valuesGrid()->ColWidth(3));
  s->setValue(QStringLiteral("c7"), m_values.valuesGrid()->ColWidth(4));
  s->setValue(QStringLiteral("c8"), m_variables.variablesGrid()->ColWidth(5));
  s->setValue(QStringLiteral("c9"), m_variables.variablesGrid()->ColWidth(6));
  s->setValue(QStringLiteral("Page"), DataPageShown() ? 1 : 0);
  s->setValue(QStringLiteral("Labels"), int(ValueLabelsItem->isChecked()));
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
  m_optionsReset = true;
  ReleaseFileHandle->setChecked(false);
  UsePrintFormat->setChecked(true);
  ValueLabelsItem->setChecked(false);
  m_variables.SetColumnHidden(VariablesPane::HideMissing, false);
  m_variables.SetColumnHidden(VariablesPane::HideFormat, false);
  m_variables.SetColumnHidden(VariablesPane::HideMeasure, true);
  m_variables.SetColumnHidden(VariablesPane::HideRole, true);
  ChartItem->setChecked(false);
  m_variables.RestoreDefaultColumnWidths();
  m_values.RestoreDefaultColumnWidths();
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
  s->setValue(QStringLiteral("Page"), DataPageShown() ? 1 : 0);
  s->setValue(QStringLiteral("Labels"), int(ValueLabelsItem->isChecked()));
  m_recentFiles.Write(*s);
  s->sync();
}

}  // namespace brindle
