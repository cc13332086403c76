#include "values/FrequencyRunner.h"

#include "values/FrequencySet.h"
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
  const std::string weight = weighting.ButtonDown() ? weighting.ActiveWeightName() : std::string();
  // The table on screen asked for again is counted again.
  const bool again = var.VarName == m_lastShown && Matches(pass, weight);
  m_lastShown = var.VarName;
  // Counting every variable costs about as many value decodes as the file
  // has cells; above the limit the first table would keep the user waiting
  // many times longer than its own pass, so each table is counted alone.
  const bool affordable =
      pass.numCases >= 1 &&
      static_cast<double>(pass.numCases) * static_cast<double>(table.RecordCount()) <=
          static_cast<double>(m_keepCellLimit);
  if (m_keep && !again && pass.file && (affordable || Matches(pass, weight))) {
    if (!Matches(pass, weight)) {
      ForgetTables();
      // Every variable of the table in one pass; the one asked for among them.
      std::vector<VarRecord> vars;
      for (int row = 0; row < table.RecordCount(); ++row) vars.push_back(*table.ViewRecord(row));
      FrequencySet set =
          CountFrequencySet(pass, vars, weighting.ButtonDown() ? &weight : nullptr, progress);
      if (set.cancelled) {
        display.result.ran = true;
        display.result.cancelled = true;
        display.result.casesRead = set.casesRead;
        display.result.hideLabelColumn = var.VarType > 8;
        display.result.memo = var.VarType > 0 ? MemoDisplay::Hidden : MemoDisplay::Unchanged;
        display.moved = table.RecNo() != recNo;
        return display;
      }
      if (set.ran && set.message.empty()) {
        m_key = {pass.file, pass.numCases, weight, pass.usePrintFormat, pass.seps.decimal,
                 pass.seps.thousands};
        for (std::size_t v = 0; v < vars.size(); ++v)
          if (set.results[v].ran) m_kept.emplace(vars[v].VarName, std::move(set.results[v]));
      }
    }
    if (const auto kept = m_kept.find(var.VarName); kept != m_kept.end()) {
      display.result = kept->second;
      display.moved = table.RecNo() != recNo;
      return display;
    }
  }
  display.result = weighting.ButtonDown() ? CountWeightedFrequencies(pass, var, weight, progress)
                                          : CountFrequencies(pass, var, progress);
  display.moved = table.RecNo() != recNo;
  return display;
}

bool FrequencyRunner::Matches(const FrequencyPass& pass, const std::string& weight) const {
  if (m_kept.empty()) return false;
  const std::shared_ptr<SystemFile> file = m_key.file.lock();
  return file && file == pass.file && m_key.numCases == pass.numCases && m_key.weight == weight &&
         m_key.usePrintFormat == pass.usePrintFormat && m_key.decimal == pass.seps.decimal &&
         m_key.thousands == pass.seps.thousands;
}

void FrequencyRunner::ForgetTables() {
  m_kept.clear();
  m_key = Key();
}

}  // namespace brindle
