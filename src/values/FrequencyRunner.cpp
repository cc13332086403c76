#include "values/FrequencyRunner.h"

namespace brindle {

std::optional<FrequencyDisplay> FrequencyRunner::ShowFrequencies(TdxMemData& table, const FrequencyPass& pass,
                                                                 const CaseWeighting& weighting,
                                                                 const std::function<void()>& pump) {
  if (m_counting || !table.Current()) return std::nullopt;
  // The record is copied: the cursor may move while the pass runs.
  const VarRecord var = *table.Current();
  const int recNo = table.RecNo();
  m_counting = true;
  m_cancel = false;
  // Restores the table and the flags however the pass ends.
  struct Thaw {
    FrequencyRunner& runner;
    TdxMemData& table;
    TdxMemData::ScrollHandler handler;
    ~Thaw() {
      runner.m_cancel = false;
      runner.m_counting = false;
      table.SetAfterScroll(std::move(handler));
      table.EnableControls();
    }
  } thaw{*this, table, table.AfterScroll()};
  table.DetachAfterScroll();
  table.DisableControls();

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
