// Sorting, restoring and copying the values grid in the real window, on the
// frequency table of a variable with millions of distinct values:
//
//   bench-values-sort FILE [VARIABLE]     (default variable: id)
//
// Opens FILE in the main window (offscreen unless a platform is set) with
// the frequency display on, moves to VARIABLE, and prints the wall time of
// each step in milliseconds, and the peak resident memory (Linux) after the
// table is shown and at the end.
#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <string>

#include "app/MainWindow.h"
#include "platform/UiService.h"
#include "values/ui/ValuesGrid.h"
#include "variables/VarRecord.h"

using namespace brindle;

namespace {

// VmHWM of /proc/self/status in MB; -1 where there is none.
long PeakMegabytes() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kb = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
  std::fclose(f);
  return kb < 0 ? -1 : kb / 1024;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench-values-sort FILE [VARIABLE]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string variable = argc > 2 ? argv[2] : "id";
  RecordingUiService ui;
  MainWindow form(ui);
  form.setWindowState(Qt::WindowNoState);
  form.resize(1280, 760);
  form.show();
  QApplication::processEvents();

  QElapsedTimer clock;
  auto report = [&clock](const char* step) {
    QApplication::processEvents();
    std::printf("%-34s %8lld ms\n", step, static_cast<long long>(clock.elapsed()));
    std::fflush(stdout);
    clock.restart();
  };
  clock.start();
  form.OpenDataFile(QString::fromLocal8Bit(argv[1]));
  report("open (first variable's labels)");
  // To the variable in the labels view (no pass on the way), then one
  // frequency table: the first pass over the file.
  if (form.FrequenciesMode()) form.FrequenciesShownClick();
  for (int rec = 1; rec <= form.variablesPane().variableList().RecordCount(); ++rec) {
    form.variablesPane().variableList().SetRecNo(rec);
    const VarRecord* r = form.variablesPane().variableList().Current();
    if (r && r->VarName == variable) break;
  }
  report("move to the variable (labels)");
  form.ToggleDisplayLabels();
  report("frequency table");
  std::printf("rows: %d\n", form.valuesPane().valueRowCount());
  std::printf("peak memory after the table: %ld MB\n", PeakMegabytes());
  const struct {
    int key;
    const char* step;
  } steps[] = {{1, "value key: reverse fill order"}, {1, "value key: fill order again"},
               {0, "label key ascending"},           {0, "label key descending"},
               {2, "count key ascending"},           {2, "count key descending"}};
  for (const auto& s : steps) {
    form.valuesPane().SortValuesGrid(s.key);
    report(s.step);
  }
  form.valuesPane().SelectAllValuesClick();
  form.valuesPane().CopySelectionToClip(form.valuesPane().valuesGrid());
  report("select all and copy");
  std::printf("copied: %lld characters\n", static_cast<long long>(ui.clipboard.size()));
  std::printf("peak memory at the end: %ld MB\n", PeakMegabytes());
  return 0;
}
