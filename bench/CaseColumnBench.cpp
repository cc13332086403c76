// The data page's column work without the window: the keys of a sort read
// by one column pass, the order computed from them, and a find, each timed
// apart, before the case index exists and once it does.
//
//   bench-case-column FILE VAR [FIND_TEXT]
//
// FIND_TEXT defaults to the last case's value of VAR as the page shows it.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

#include "cases/CaseBlocks.h"
#include "cases/CaseFind.h"
#include "cases/CaseOrder.h"
#include "cases/CellText.h"
#include "datafile/DictionaryLoader.h"
#include "datafile/OpenFile.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "variables/VariableList.h"

using namespace brindle;

namespace {

struct Clock {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
  void print(const char* what) const {
    const double w =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count();
    const double c = double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC;
    std::printf("%-34s %8.1f ms wall %8.1f ms cpu\n", what, w, c);
  }
};

void Run(CaseBlocks& blocks, const SystemFile& file, std::size_t var, std::int64_t cases,
         const std::string& text, const char* when) {
  std::printf("-- %s\n", when);
  std::string error;
  SortKeys keys;
  {
    Clock c;
    keys.read(blocks, var, file.variable(var).isString(), cases, nullptr, nullptr, error);
    c.print("sort keys read");
  }
  for (SortDirection d : {SortDirection::Ascending, SortDirection::Descending}) {
    Clock c;
    const auto order = keys.order(d);
    c.print(d == SortDirection::Ascending ? "order ascending" : "order descending");
  }
  {
    CaseMatches matches;
    const CellFormat format(file, var, CellOptions{});
    Clock c;
    matches.find(blocks, var, format, text, cases, nullptr, nullptr, error);
    c.print(("find \"" + text + "\"").c_str());
    std::int64_t first = matches.nextRow(-1, true, cases, {});
    std::printf("%-34s %lld\n", "first match at case", (long long)(first + 1));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench-case-column FILE VAR [FIND_TEXT]\n");
    return 2;
  }
  DataFileState state;
  if (OpenDataFileState(argv[1], state) != SPSS_OK) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  VariableList table;
  LoadDictionary(state, table, NumberSeparators{});
  const SystemFile& file = *state.File;
  const int var = file.findVariable(argv[2]);
  if (var < 0) {
    std::fprintf(stderr, "no variable %s\n", argv[2]);
    return 1;
  }
  const std::int64_t cases = state.NumCases;
  CaseBlocks blocks(file, argv[1], cases);
  std::string text;
  if (argc > 3) {
    text = argv[3];
  } else {
    auto last = blocks.fetch(cases - 1);
    const CellFormat format(file, std::size_t(var), CellOptions{});
    if (last) {
      const std::size_t row = std::size_t(cases - 1 - last->first);
      if (format.isString())
        format.appendText(blocks.text(*last, row, std::size_t(var)), text);
      else
        format.appendNumber(blocks.number(*last, row, std::size_t(var)), text);
    }
  }
  if (!blocks.indexReady()) Run(blocks, file, std::size_t(var), cases, text, "before the index");
  while (!blocks.indexReady()) {
    blocks.peek(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Run(blocks, file, std::size_t(var), cases, text, "index in place");
  return 0;
}
