// The viewer's move to another variable after the first pass over a file: the
// first frequency pass (one thread, which indexes a compressed file) is timed
// once, then the pass over another variable, as a move starts it, on 1, 2 and
// all cores (medians). Usage: bench-next-pass FILE FIRSTVAR NEXTVAR [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "datafile/DictionaryLoader.h"
#include "datafile/OpenFile.h"
#include "spssio/Spssio.h"
#include "spssio/TaskPool.h"
#include "values/Frequencies.h"
#include "variables/VariableList.h"

namespace {

double Seconds(const std::chrono::steady_clock::time_point& since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

const brindle::VarRecord* Find(const brindle::VariableList& table, const char* name) {
  for (int r = 0; r < table.RecordCount(); ++r)
    if (table.ViewRecord(r)->VarName == name) return table.ViewRecord(r);
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s FILE FIRSTVAR NEXTVAR [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
  brindle::DataFileState state;
  if (brindle::OpenDataFileState(argv[1], state) != SPSS_OK) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  brindle::VariableList table;
  brindle::LoadDictionary(state, table, brindle::NumberSeparators{".", ","});
  const brindle::VarRecord* first = Find(table, argv[2]);
  const brindle::VarRecord* next = Find(table, argv[3]);
  if (!first || !next) {
    std::fprintf(stderr, "no such variable\n");
    return 2;
  }
  brindle::FrequencyPass pass = brindle::MakeFrequencyPass(state.File, state.NumCases, true,
                                                           brindle::NumberSeparators{".", ","});
  // The viewer's progress: a call every 1000 cases.
  const brindle::FrequencyProgress progress = [](std::int64_t) { return false; };
  pass.threads = 1;
  auto start = std::chrono::steady_clock::now();
  const auto firstResult = brindle::CountFrequencies(pass, *first, progress);
  std::printf("first pass (%s, 1 thread): %.3f s, %lld cases\n", argv[2], Seconds(start),
              static_cast<long long>(firstResult.casesRead));
  const unsigned cores = brindle::TaskPool::shared().threadCount();
  std::vector<unsigned> counts = {1, 2};
  if (cores > 2) counts.push_back(cores);
  for (unsigned threads : counts) {
    pass.threads = threads;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
      start = std::chrono::steady_clock::now();
      const auto r = brindle::CountFrequencies(pass, *next, progress);
      times.push_back(Seconds(start));
      if (r.casesRead != firstResult.casesRead) std::fprintf(stderr, "case counts differ\n");
    }
    std::sort(times.begin(), times.end());
    std::printf("next pass (%s, %u thread%s): %.3f s median of %d\n", argv[3], threads,
                threads > 1 ? "s" : "", times[times.size() / 2], runs);
  }
  return 0;
}
