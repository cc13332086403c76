// Compares the quartiles of every numeric variable of every real data file
// with PSPP's FREQUENCIES /PERCENTILES=25 50 75 of the same file, recorded in
// conformance/<file>.ptiles by scripts/record-pspp-percentiles.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "datafile/DictionaryLoader.h"
#include "datafile/OpenFile.h"
#include "spssio/Spssio.h"
#include "values/Frequencies.h"
#include "values/testing/ConformanceFiles.h"
#include "values/Percentiles.h"

namespace brindle {
namespace {

namespace fs = std::filesystem;

class PercentileConformance : public ::testing::TestWithParam<fs::path> {};

TEST_P(PercentileConformance, QuartilesAsPspp) {
  const fs::path data = fs::path(BRINDLE_TESTDATA_DIR) / GetParam().stem();
  if (!fs::exists(data)) GTEST_SKIP() << "no " << data;
  DataFileState state;
  ASSERT_EQ(OpenDataFileState(data.string(), state), SPSS_OK);
  VariableList table;
  LoadDictionary(state, table, NumberSeparators{});
  const FrequencyPass pass =
      MakeFrequencyPass(state.File, state.NumCases, true, NumberSeparators{});
  std::ifstream in(GetParam());
  int compared = 0;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    for (std::size_t at = 0;;) {
      const std::size_t tab = line.find('\t', at);
      fields.push_back(line.substr(at, tab == std::string::npos ? tab : tab - at));
      if (tab == std::string::npos) break;
      at = tab + 1;
    }
    ASSERT_EQ(fields.size(), 4u) << line;
    const VarRecord* var = nullptr;
    for (int row = 0; row < table.RecordCount(); ++row)
      if (table.ViewRecord(row)->VarName == fields[0]) var = table.ViewRecord(row);
    ASSERT_NE(var, nullptr) << fields[0];
    SCOPED_TRACE(fields[0]);
    const FrequencyResult r = CountFrequencies(pass, *var);
    const std::vector<double> ours = TablePercentiles(*r.table, {0.25, 0.5, 0.75});
    for (std::size_t i = 0; i < 3; ++i) {
      if (fields[i + 1].empty()) {
        EXPECT_TRUE(std::isnan(ours[i]));
        continue;
      }
      const double theirs = std::stod(fields[i + 1]);
      // PSPP's figures are printed with ten decimals.
      EXPECT_NEAR(ours[i], theirs, std::max(1e-9, std::fabs(theirs) * 1e-12)) << i;
    }
    ++compared;
  }
  RecordProperty("compared", compared);
}

INSTANTIATE_TEST_SUITE_P(RealFiles, PercentileConformance,
                         ::testing::ValuesIn(testing::ConformanceFiles(".ptiles")), [](const auto& info) {
                           std::string name = info.param.stem().string();
                           for (auto& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace brindle
