// Compares the frequency counts of every variable of every real data file
// with PSPP's counts of the same file, recorded in conformance/<file>.freq by
// scripts/record-pspp-frequencies.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "datafile/DictionaryLoader.h"
#include "datafile/OpenFile.h"
#include "spssio/Spssio.h"
#include "values/Frequencies.h"
#include "values/testing/ConformanceFiles.h"

namespace brindle {
namespace {

namespace fs = std::filesystem;

struct PsppTable {
  std::string title;
  std::vector<long long> valid, missing;
};

std::vector<long long> Numbers(const std::string& text) {
  std::vector<long long> out;
  std::istringstream in(text);
  for (long long n; in >> n;) out.push_back(n);
  return out;
}

std::vector<PsppTable> ReadExpectations(const fs::path& path) {
  std::vector<PsppTable> tables;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const auto a = line.find('\t'), b = line.find('\t', a + 1);
    if (a == std::string::npos || b == std::string::npos) continue;
    tables.push_back(
        {line.substr(0, a), Numbers(line.substr(a + 1, b - a - 1)), Numbers(line.substr(b + 1))});
  }
  return tables;
}

class FreqConformance : public ::testing::TestWithParam<fs::path> {};

TEST_P(FreqConformance, CountsAsPspp) {
  const fs::path data = fs::path(BRINDLE_TESTDATA_DIR) / GetParam().stem();
  if (!fs::exists(data)) GTEST_SKIP() << "no " << data;
  const auto expected = ReadExpectations(GetParam());
  DataFileState state;
  ASSERT_EQ(OpenDataFileState(data.string(), state), SPSS_OK);
  VariableList table;
  LoadDictionary(state, table, NumberSeparators{});
  ASSERT_EQ(static_cast<std::size_t>(table.RecordCount()), expected.size());
  FrequencyPass pass;
  pass.file = state.File;
  pass.numCases = state.NumCases;
  for (int row = 0; row < table.RecordCount(); ++row) {
    const VarRecord& var = *table.ViewRecord(row);
    const PsppTable& pspp = expected[static_cast<std::size_t>(row)];
    SCOPED_TRACE(var.VarName + " / " + pspp.title);
    const FrequencyResult r = CountFrequencies(pass, var);
    std::vector<long long> ours, theirs = pspp.valid;
    long long ourValid = 0, theirValid = 0;
    for (int i = 0; i < r.ValueRowCount(); ++i) {
      const long long n = std::stoll(r.Cell(2, i));
      ours.push_back(n);
      const std::string v = r.Cell(4, i);
      if (!v.empty() && v != "MISS") ourValid += n;
    }
    for (long long n : pspp.valid) theirValid += n;
    theirs.insert(theirs.end(), pspp.missing.begin(), pspp.missing.end());
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(ours, theirs);
    EXPECT_EQ(ourValid, theirValid);
  }
}

INSTANTIATE_TEST_SUITE_P(RealFiles, FreqConformance, ::testing::ValuesIn(testing::ConformanceFiles(".freq")),
                         [](const auto& info) {
                           std::string name = info.param.stem().string();
                           for (auto& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace brindle
