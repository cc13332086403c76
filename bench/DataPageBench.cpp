// The data page on a long or wide file, offscreen (unless a platform is set):
//
//   bench-data-page FILE [SORT_VAR [FIND_VAR]]   (defaults q7 and id)
//
// Prints, in milliseconds: the first paint of the page (the grid drawn once,
// its cells still arriving) and the first screenful filled; go to the last
// case but one and draw it, before the case index exists and after; a page
// of 50 rows by 20 columns drawn from the cache; the slowest step of a
// scroll bar dragged end to end (and across, for a wide file), a step being
// the bar moved, the grid drawn and the blocks that arrived drawn, and the
// longest of those calls on the window's thread; sorts by
// SORT_VAR and FIND_VAR ascending; a find of the last case's FIND_VAR value
// from the first case; and the resident memory the page added (current and
// peak, in MB) over the open file's.
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "cases/CaseView.h"
#include "cases/ui/CasesModel.h"
#include "cases/ui/DataPage.h"
#include "datafile/DictionaryLoader.h"
#include "datafile/OpenFile.h"
#include "platform/UiService.h"
#include "spssio/ColumnPass.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "variables/VariableList.h"

using namespace brindle;

namespace {

long StatusMegabytes(const char* key) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kb = -1;
  const std::string format = std::string(key) + ": %ld kB";
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, format.c_str(), &kb) == 1) break;
  std::fclose(f);
  return kb < 0 ? -1 : kb / 1024;
}

double Ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// Handles events, sleeping until one comes (a millisecond's timer at the
// latest) rather than spinning: a spinning loop would take a core from the
// pool's threads and slow what is measured.
void Idle() {
  QTimer tick;
  tick.start(1);
  QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// Waits (handling events) until every cell of the visible rows is decoded.
bool VisibleFilled(DataPage& page) {
  CasesGrid* grid = page.grid();
  const int first = std::max(0, grid->rowAt(0));
  int last = grid->rowAt(grid->viewport()->height() - 1);
  if (last < 0) last = page.model()->rowCount() - 1;
  std::string text;
  for (int r = first; r <= last; ++r) {
    text.clear();
    if (page.view()->cell(r, std::size_t(std::max(0, grid->columnAt(0))), text) ==
        CellState::Pending)
      return false;
  }
  return true;
}

void WaitFilled(DataPage& page) {
  QElapsedTimer t;
  t.start();
  while (!VisibleFilled(page) && t.elapsed() < 60000) Idle();
}

void Draw(DataPage& page) { page.grid()->viewport()->repaint(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench-data-page FILE [SORT_VAR [FIND_VAR]]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string sortName = argc > 2 ? argv[2] : "q7";
  const std::string findName = argc > 3 ? argv[3] : "id";

  DataFileState state;
  if (OpenDataFileState(argv[1], state) != SPSS_OK) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  VariableList table;
  LoadDictionary(state, table, NumberSeparators{});
  SystemFile& file = *state.File;
  const long baseRss = StatusMegabytes("VmRSS");

  {
    QElapsedTimer made;
    made.start();
    CaseView view(file, argv[1], state.NumCases);
    std::printf("block cache made: %.1f ms\n", Ms(made));
  }
  RecordingUiService ui;
  DataPage page(ui);
  page.resize(1200, 900);
  page.show();
  QApplication::processEvents();
  // The window and its toolkit (fonts, the drawing buffer) before any file
  // is on the page: the viewer has them whichever page is shown.
  const long windowRss = StatusMegabytes("VmRSS");
  std::printf("memory of the empty window: %ld MB\n", windowRss - baseRss);

  QElapsedTimer t;
  t.start();
  page.openFile(state.File, argv[1], state.NumCases, state.CaseCountEstimated);
  Draw(page);
  const double firstPaint = Ms(t);
  WaitFilled(page);
  Draw(page);
  const double firstFilled = Ms(t);
  std::printf("first paint: %.1f ms (screenful filled %.1f ms)\n", firstPaint, firstFilled);
  std::printf("memory above the open file: %ld MB after the first paint\n",
              StatusMegabytes("VmRSS") - baseRss);

  const QString target = QString::number(std::max<std::int64_t>(1, state.NumCases - 1));
  const bool indexedBefore = page.view()->blocks().indexReady();
  t.restart();
  page.goToCase(target);
  WaitFilled(page);
  Draw(page);
  std::printf("go to case %s and draw, %s: %.1f ms\n", qPrintable(target),
              indexedBefore ? "index in place" : "before the index", Ms(t));
  QElapsedTimer wait;
  wait.start();
  while (!page.view()->blocks().indexReady() && wait.elapsed() < 60000)
    Idle();
  page.goToFirst();
  WaitFilled(page);
  t.restart();
  page.goToCase(target);
  WaitFilled(page);
  Draw(page);
  std::printf("go to case %s and draw, index in place: %.1f ms\n", qPrintable(target), Ms(t));

  // 50 rows by 20 columns from the cache, as the grid asks for them.
  {
    CasesModel& model = *page.model();
    const int top = std::max(0, model.rowCount() - 60);
    const int cols = std::min(20, model.columnCount());
    for (int r = top; r < top + 50 && r < model.rowCount(); ++r) model.data(model.index(r, 0), Qt::DisplayRole);
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
      t.restart();
      for (int r = top; r < top + 50 && r < model.rowCount(); ++r)
        for (int c = 0; c < cols; ++c) {
          model.data(model.index(r, c), Qt::DisplayRole);
          model.data(model.index(r, c), Qt::ForegroundRole);
        }
      best = std::min(best, Ms(t));
    }
    std::printf("page of 50 x %d cells from the cache: %.2f ms\n", cols, best);
  }

  // The bar dragged end to end: each step drawn as it comes, the blocks of
  // what is shown asked for; the slowest step on the window's thread.
  auto drag = [&](QScrollBar* bar, const char* what) {
    double slowest = 0, total = 0, longest = 0;
    const int steps = 200;
    for (int k = 0; k <= steps; ++k) {
      t.restart();
      bar->setValue(int(qint64(bar->maximum()) * k / steps));
      const double a = Ms(t);
      Draw(page);
      const double b = Ms(t);
      QApplication::processEvents();
      const double ms = Ms(t);
      longest = std::max({longest, a, b - a, ms - b});
      slowest = std::max(slowest, ms);
      total += ms;
    }
    std::printf("scroll bar dragged %s: slowest step %.1f ms, mean %.1f ms, longest call %.1f ms\n",
                what, slowest, total / (steps + 1), longest);
  };
  drag(page.grid()->verticalScrollBar(), "end to end");
  drag(page.grid()->horizontalScrollBar(), "across");
  std::printf("memory above the open file: %ld MB now (cache %zu MB)\n",
              StatusMegabytes("VmRSS") - baseRss, page.view()->blocks().cachedBytes() >> 20);
  // The worst case: the cache at its budget, however far the drag filled it.
  {
    CaseBlocks& blocks = page.view()->blocks();
    const std::size_t budget = CaseBlocks::Options().budgetBytes;
    for (std::int64_t n = 0; n < page.model()->rowCount() && blocks.cachedBytes() < budget - budget / 16;
         n += blocks.blockCases())
      blocks.fetch(n);
    std::printf("memory above the open file: %ld MB with the cache filled (cache %zu MB)\n",
                StatusMegabytes("VmRSS") - baseRss, blocks.cachedBytes() >> 20);
  }

  const auto sortBy = [&](const std::string& name) {
    const int var = file.findVariable(name);
    if (var < 0) return;
    page.setCurrentVariable(std::size_t(var));
    const int column = page.view()->columnOf(std::size_t(var));
    t.restart();
    page.sortByColumn(column);
    while (page.working()) Idle();
    WaitFilled(page);
    Draw(page);
    std::printf("sort by %s (ascending) and draw: %.1f ms\n", name.c_str(), Ms(t));
    page.sortByColumn(column);
    while (page.working()) Idle();
    page.sortByColumn(column);  // back to file order
  };
  sortBy(sortName);
  sortBy(findName);

  const int findVar = file.findVariable(findName);
  if (findVar >= 0) {
    page.setCurrentVariable(std::size_t(findVar));
    page.goToLast();
    WaitFilled(page);
    std::string last;
    page.view()->cellNow(page.model()->rowCount() - 1,
                         std::size_t(page.view()->columnOf(std::size_t(findVar))), last);
    page.goToFirst();
    t.restart();
    page.find(QString::fromStdString(last), true);
    while (page.working()) Idle();
    std::printf("find \"%s\" (the last case's %s) from the first case: %.1f ms, at case %lld\n",
                last.c_str(), findName.c_str(), Ms(t), (long long)page.currentCase());
  }
  std::printf("memory above the open file: %ld MB now, peak of the process %ld MB\n",
              StatusMegabytes("VmRSS") - baseRss, StatusMegabytes("VmHWM"));
  page.closeFile();

  // The viewer's first table reads the whole open file, which gives it a
  // case index; a page opened after that takes the index instead of
  // counting the cases again.
  if (file.compressed()) {
    ColumnPass(file, {}).indexCases();
    page.openFile(state.File, argv[1], state.NumCases, state.CaseCountEstimated);
    t.restart();
    page.goToCase(target);
    WaitFilled(page);
    Draw(page);
    std::printf("go to case %s and draw, the open file indexed by the program's pass: %.1f ms\n",
                qPrintable(target), Ms(t));
    page.closeFile();
  }
  return 0;
}
