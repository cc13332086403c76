// The viewer's first frequency table of a file and the moves after it, which
// show kept tables: the first table is timed once (on a large file it counts
// its own variable alone), then the count of the other variables in the
// background until it ends, then a move to each of the other variables named
// (medians over RUNS moves). --all counts every variable on the first table,
// whatever the file's size (as small files do); --early moves to the second
// variable at once, while the background still counts. Usage:
//   bench-kept-tables FILE FIRSTVAR NEXTVAR... [--runs N] [--all] [--early]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "datafile/DictionaryLoader.h"
#include "datafile/OpenFile.h"
#include "spssio/Spssio.h"
#include "values/FrequencyRunner.h"
#include "variables/VariableList.h"

namespace {

double Seconds(const std::chrono::steady_clock::time_point& since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool MoveTo(brindle::VariableList& table, const char* name) {
  for (int r = 0; r < table.RecordCount(); ++r)
    if (table.ViewRecord(r)->VarName == name) {
      table.SetRecNo(r + 1);
      return true;
    }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<const char*> names;
  int runs = 3;
  bool all = false, early = false;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--all") == 0)
      all = true;
    else if (std::strcmp(argv[i], "--early") == 0)
      early = true;
    else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else
      names.push_back(argv[i]);
  }
  if (argc < 3 || names.size() < 2) {
    std::fprintf(stderr, "usage: %s FILE FIRSTVAR NEXTVAR... [--runs N] [--all] [--early]\n", argv[0]);
    return 2;
  }
  brindle::DataFileState state;
  if (brindle::OpenDataFileState(argv[1], state) != SPSS_OK) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  brindle::VariableList table;
  brindle::LoadDictionary(state, table, brindle::NumberSeparators{".", ","});
  const brindle::FrequencyPass pass = brindle::MakeFrequencyPass(
      state.File, state.NumCases, true, brindle::NumberSeparators{".", ","});
  brindle::FrequencyRunner runner;
  if (all) runner.SetKeepCellLimit(std::numeric_limits<std::int64_t>::max());
  brindle::CaseWeighting weighting;
  if (!MoveTo(table, names[0])) return 2;
  auto start = std::chrono::steady_clock::now();
  runner.ShowFrequencies(table, pass, weighting, [] {});
  const double first = Seconds(start);
  const bool background = runner.BackgroundRunning();
  std::printf("first table (%s): %.3f s, %zu tables kept\n", names[0], first,
              runner.KeptTables());
  if (background && early) {
    // A move at once, while the background still counts: it waits for the
    // background or counts the variable alone, whichever the runner expects
    // to be sooner.
    if (!MoveTo(table, names[1])) return 2;
    const auto moved = std::chrono::steady_clock::now();
    runner.ShowFrequencies(table, pass, weighting, [] {});
    std::printf("move to %s during the background count: %.3f s\n", names[1], Seconds(moved));
  }
  runner.WaitForBackground();
  if (background)
    std::printf("the others in the background: done %.3f s after the start, %zu tables kept\n",
                Seconds(start), runner.KeptTables());
  for (std::size_t n = 1; n < names.size(); ++n) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
      // From a variable whose table is on screen, as a user moves.
      if (!MoveTo(table, names[n - 1])) return 2;
      runner.ShowFrequencies(table, pass, weighting, [] {});
      if (!MoveTo(table, names[n])) return 2;
      start = std::chrono::steady_clock::now();
      runner.ShowFrequencies(table, pass, weighting, [] {});
      times.push_back(Seconds(start));
    }
    std::sort(times.begin(), times.end());
    std::printf("move to %s: %.6f s\n", names[n], times[times.size() / 2]);
  }
  return 0;
}
