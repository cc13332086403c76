// ShowFrequencies without the window: the guard against re-entry (Counting),
// the cancel request Escape sets, the choice between the weighted and the
// unweighted pass, and the freezing of the variables table while the pass
// reads the cases. The first pass over a file counts every variable of the
// table at once (FrequencySet) and keeps the tables, so that a move to
// another variable shows its table without reading the cases again, until
// the file, its weighting or the display options change. The table of the
// variable shown last, asked for again, is counted again.
//
// On a large file the first table counts its own variable alone, as fast as
// ever; the other variables are then counted in the background, in one pass
// on the shared pool beside the window (FrequencySet alongside), and kept
// as that pass ends. A move to a variable kept shows its table at once; to
// one not yet kept it waits for the background when that is about to end,
// else it stops the background, counts the variable alone and starts the
// background again for the rest. A change of weighting or display options
// starts over the same way. Closing the file stops the background first
// (ForgetTables).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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
  FrequencyRunner() = default;
  // Stops the background count and waits for it.
  ~FrequencyRunner();
  FrequencyRunner(const FrequencyRunner&) = delete;
  FrequencyRunner& operator=(const FrequencyRunner&) = delete;

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
  // The first pass counts every variable only while cases times variables
  // stays within this many cells (a fraction of a second's decoding); on
  // larger files the first table counts its variable alone and the others
  // are counted in the background.
  static constexpr std::int64_t kDefaultKeepCellLimit = 8'000'000;
  void SetKeepCellLimit(std::int64_t cells) { m_keepCellLimit = cells; }
  // Stops the background count (waiting the few milliseconds it takes to
  // end) and drops the tables kept: before the file is closed or released.
  void ForgetTables();
  // The number of tables kept, with those of a background count that ended.
  std::size_t KeptTables();
  // Whether a background count runs (or waits for a thread of the pool).
  bool BackgroundRunning() const { return m_background != nullptr; }
  // Waits until the background count has ended and keeps its tables (for
  // tests and benchmarks; the window never waits for it).
  void WaitForBackground();

 private:
  // What the kept tables were counted with.
  struct Key {
    std::weak_ptr<SystemFile> file;
    std::int64_t numCases = -1;
    std::string weight;  // empty: unweighted
    bool usePrintFormat = true;
    std::string decimal, thousands;
  };
  struct Background;
  bool Matches(const FrequencyPass& pass, const std::string& weight) const;
  // The key stands for this file, weighting and display options.
  bool SameKey(const FrequencyPass& pass, const std::string& weight) const;
  // Keeps the tables of a background count that has ended.
  void Collect();
  void StopBackground();
  // Counts the variables of the table not kept yet in the background.
  void StartBackground(const VariableList& table, const FrequencyPass& pass,
                       const std::string& weight);
  // Waits (handling the window's events) for the background count when it
  // counts var and should end before var alone could be counted; true when
  // it ended.
  bool AwaitBackground(const std::string& var, const std::function<void()>& pump);

  bool m_counting = false;
  bool m_cancel = false;
  bool m_keep = true;
  std::int64_t m_keepCellLimit = kDefaultKeepCellLimit;
  Key m_key;
  bool m_keyed = false;  // m_key holds what the tables kept were counted with
  std::unordered_map<std::string, FrequencyResult> m_kept;  // by variable name
  // Variables a background count left out (over the budget): counted alone.
  std::unordered_set<std::string> m_leftOut;
  // A background count could not read the file beside the window.
  bool m_backgroundFailed = false;
  std::shared_ptr<Background> m_background;
  double m_aloneSeconds = 0;  // what the last table counted alone took
  std::string m_lastShown;    // the variable of the last table shown
};

}  // namespace brindle
