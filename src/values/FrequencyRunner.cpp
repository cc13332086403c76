#include "values/FrequencyRunner.h"

#include "variables/BulkScan.h"

namespace brindle {

std::optional<FrequencyDisplay> FrequencyRunner::ShowFrequencies(
    VariableList& table, const FrequencyPass& pass, const CaseWeighting& weighting,
    const std::function<void()>& pump) {
  if (m_counting || !table.Current()) return std::nullopt;
  // The record is copied: the cursor may move while the pass runs.
  const VarRecord var = *table.Current();
  const int recNo = table.RecNo();
  // The table is frozen for the pass, the cursor left where the user moves it.
  const BulkScan scan(table, BulkScan::Cursor::Keep);
  m_counting = true;
  m_cancel = false;
  // Clears the flags however the pass ends, before the table thaws.
  struct Done {
    FrequencyRunner& runner;
    ~Done() {
      runner.m_cancel = false;
      runner.m_counting = false;
    }
  } done{*this};

  const FrequencyProgress progress = [&](std::int64_t) {
    if (pump) pump();
    return m_cancel;
  };
  FrequencyDisplay display;
  display.result = weighting.ButtonDown()
                       ? CountWeightedFrequencies(pass, var, weighting.ActiveWeightName(), progress)
                       : CountFrequencies(pass, var, progress);
  display.moved = table.RecNo() != recNo;
  return display;
}

}  // namespace brindle
