// libFuzzer target over the frequency pass: opens the input, loads its
// dictionary, and counts the frequencies of the first variables four times:
// decoded on one thread and counted on another (the first variable's pass
// also builds the case index, a point every few cases), on one thread, split
// at the index on three threads, and case by case as spssReadCaseRecord
// reads. Weighted by the first numeric variable, one thread and two threads
// are compared too. All must agree on every row, the statistics and the
// point at which damaged data stops the pass; any difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "datafile/DictionaryLoader.h"
#include "datafile/OpenFile.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "values/Frequencies.h"
#include "values/testing/ModuleFrequencies.h"
#include "variables/VariableList.h"

namespace {

constexpr int kMaxVariables = 8;

void Print(const char* what, const brindle::FrequencyResult& r) {
  std::fprintf(stderr, "%s: %lld cases read, warning '%s', memo %d\n", what,
               static_cast<long long>(r.casesRead), r.warning.c_str(), static_cast<int>(r.memo));
  for (int i = 0; i < r.ValueRowCount(); ++i)
    std::fprintf(stderr, "  %s | %s | %s | %s | %s\n", r.Cell(0, i).c_str(), r.Cell(1, i).c_str(),
                 r.Cell(2, i).c_str(), r.Cell(3, i).c_str(), r.Cell(4, i).c_str());
  for (const auto& line : r.memoLines) std::fprintf(stderr, "  memo: %s\n", line.c_str());
}

std::vector<std::string> Cells(const brindle::FrequencyResult& r) {
  std::vector<std::string> cells;
  for (int i = 0; i < r.ValueRowCount(); ++i)
    for (int c = 0; c < 5; ++c) cells.push_back(r.Cell(c, i));
  return cells;
}

bool Same(const brindle::FrequencyResult& a, const brindle::FrequencyResult& b) {
  return Cells(a) == Cells(b) && a.memoLines == b.memoLines && a.memo == b.memo &&
         a.casesRead == b.casesRead && a.warning.empty() == b.warning.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  brindle::DataFileState state;
  if (brindle::SystemFile::openMemory(data, size, state.File) != SPSS_OK) return 0;
  brindle::VariableList table;
  const brindle::NumberSeparators seps{".", ","};
  const auto loaded = brindle::LoadDictionary(state, table, seps);
  if (loaded.error.empty() && state.NumCases != 0) {
    // An unknown count still gets a pass; the data ends where it ends.
    brindle::FrequencyPass pass =
        brindle::MakeFrequencyPass(state.File, state.NumCases > 0 ? state.NumCases : 1, true, seps);
    pass.indexEvery = 3;
    std::string weight;
    for (int row = 0; row < table.RecordCount() && weight.empty(); ++row)
      if (table.ViewRecord(row)->VarType == 0) weight = table.ViewRecord(row)->VarName;
    for (int row = 0; row < table.RecordCount() && row < kMaxVariables; ++row) {
      const brindle::VarRecord& var = *table.ViewRecord(row);
      pass.threads = 2;
      const auto overlapped = brindle::CountFrequencies(pass, var);
      const auto weighted2 =
          weight.empty() ? overlapped : brindle::CountWeightedFrequencies(pass, var, weight);
      pass.threads = 1;
      const auto weighted1 =
          weight.empty() ? overlapped : brindle::CountWeightedFrequencies(pass, var, weight);
      const auto fast = brindle::CountFrequencies(pass, var);
      pass.threads = 3;
      const auto parallel = brindle::CountFrequencies(pass, var);
      const auto module = brindle::CountFrequenciesThroughModule(pass, var);
      if (!Same(fast, module) || !Same(fast, parallel) || !Same(fast, overlapped) ||
          !Same(weighted1, weighted2)) {
        std::fprintf(stderr, "variable %s (type %d) differs\n", var.VarName.c_str(), var.VarType);
        Print("fast path", fast);
        Print("overlapped path", overlapped);
        Print("weighted, one thread", weighted1);
        Print("weighted, two threads", weighted2);
        Print("parallel path", parallel);
        Print("module path", module);
        std::abort();
      }
    }
  }
  return 0;
}
