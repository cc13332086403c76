// ShowFrequencies without the window: the guard against re-entry (Counting),
// the cancel request Escape sets, the choice between the weighted and the
// unweighted pass, and the freezing of the variables table while the pass
// reads the cases. The first pass over a file counts every variable of the
// table at once (FrequencySet) and keeps the tables, so that a move to
// another variable shows its table without reading the cases again, until
// the file, its weighting or the display options change. The table of the
// variable shown last, asked for again, is counted again.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "values/CaseWeighting.h"
#include "values/Frequencies.h"
#include "variables/VariableList.h"

namespace brindle {

struct FrequencyDisplay {
  FrequencyResult result;
  // The current record changed during the pass (the user moved in the
  // grid): after showing `result`, run the after-scroll handler once, so
  // the pane ends up showing the new current variable.
  bool moved = false;
};

class FrequencyRunner {
 public:
  // True while a pass reads the cases; ShowValueLabels, ShowFrequencies,
  // closing and releasing the file leave everything alone then.
  bool Counting() const { return m_counting; }
  // Escape in the variables grid while counting: the pass stops at the next
  // multiple of 1000 cases.
  void RequestCancel() {
    if (m_counting) m_cancel = true;
  }

  // Runs the pass over the table's current record: weighted when the weight
  // button is down (with its ActiveWeightName), else unweighted. pump is
  // called every 1000 cases; it may process window messages, move the
  // table's cursor, request a cancel, or call ShowFrequencies again (which
  // then does nothing). The table's after-scroll handler is detached and its
  // controls disabled for the pass, both restored afterwards. Returns nothing
  // while a pass is running already or when the table has no current record.
  std::optional<FrequencyDisplay> ShowFrequencies(VariableList& table, const FrequencyPass& pass,
                                                  const CaseWeighting& weighting,
                                                  const std::function<void()>& pump = {});

  // Whether the first pass counts every variable and keeps the tables (on
  // by default); off, every display reads the cases for its variable.
  void SetKeepTables(bool keep) {
    m_keep = keep;
    if (!keep) ForgetTables();
  }
  // The first pass keeps every variable's table only while cases times
  // variables stays within this many cells (a fraction of a second's
  // decoding); larger files count each table alone, as they are shown.
  static constexpr std::int64_t kDefaultKeepCellLimit = 8'000'000;
  void SetKeepCellLimit(std::int64_t cells) { m_keepCellLimit = cells; }
  // Drops the tables kept (a file closed or released).
  void ForgetTables();
  // The number of tables kept.
  std::size_t KeptTables() const { return m_kept.size(); }

 private:
  // What the kept tables were counted with.
  struct Key {
    std::weak_ptr<SystemFile> file;
    std::int64_t numCases = -1;
    std::string weight;  // empty: unweighted
    bool usePrintFormat = true;
    std::string decimal, thousands;
  };
  bool Matches(const FrequencyPass& pass, const std::string& weight) const;

  bool m_counting = false;
  bool m_cancel = false;
  bool m_keep = true;
  std::int64_t m_keepCellLimit = kDefaultKeepCellLimit;
  Key m_key;
  std::unordered_map<std::string, FrequencyResult> m_kept;  // by variable name
  std::string m_lastShown;  // the variable of the last table shown
};

}  // namespace brindle
