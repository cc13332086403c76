#include "values/FrequencyRunner.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "spssio/TaskPool.h"
#include "values/FrequencySet.h"
#include "variables/BulkScan.h"

namespace brindle {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

// A count of many variables on a thread of the pool. The task reads only
// what it was given; the runner takes its results once it has finished.
struct FrequencyRunner::Background {
  std::vector<VarRecord> vars;
  std::atomic<bool> cancel{false};
  std::atomic<std::int64_t> counted{0};
  std::int64_t total = 0;
  Clock::time_point started;
  FrequencySet set;
  bool failed = false;  // out of memory
  TaskPool::TaskHandle task;

  bool Counts(const std::string& name) const {
    for (const VarRecord& v : vars)
      if (v.VarName == name) return true;
    return false;
  }
};

FrequencyRunner::~FrequencyRunner() { StopBackground(); }

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
  const auto cancelled = [&](std::int64_t casesRead) {
    display.result.ran = true;
    display.result.cancelled = true;
    display.result.casesRead = casesRead;
    display.result.hideLabelColumn = var.VarType > 8;
    display.result.memo = var.VarType > 0 ? MemoDisplay::Hidden : MemoDisplay::Unchanged;
    display.moved = table.RecNo() != recNo;
    return display;
  };
  // Tables of another file, weighting or display options are of no use.
  if (SameKey(pass, weight))
    Collect();
  else
    ForgetTables();
  // The table on screen asked for again is counted again.
  const bool again = var.VarName == m_lastShown && Matches(pass, weight);
  m_lastShown = var.VarName;
  // Counting every variable costs about as many value decodes as the file
  // has cells; above the limit the first table would keep the user waiting
  // many times longer than its own pass, so it counts its variable alone
  // and the others are counted in the background.
  const bool affordable =
      pass.numCases >= 1 &&
      static_cast<double>(pass.numCases) * static_cast<double>(table.RecordCount()) <=
          static_cast<double>(m_keepCellLimit);
  const bool keep = m_keep && !again && pass.file && pass.numCases >= 1;
  if (keep && affordable && !Matches(pass, weight)) {
    ForgetTables();
    // Every variable of the table in one pass; the one asked for among them.
    std::vector<VarRecord> vars;
    for (int row = 0; row < table.RecordCount(); ++row) vars.push_back(*table.ViewRecord(row));
    FrequencySet set =
        CountFrequencySet(pass, vars, weighting.ButtonDown() ? &weight : nullptr, progress);
    if (set.cancelled) return cancelled(set.casesRead);
    if (set.ran && set.message.empty()) {
      m_key = {pass.file, pass.numCases, weight, pass.usePrintFormat, pass.seps.decimal,
               pass.seps.thousands};
      m_keyed = true;
      for (std::size_t v = 0; v < vars.size(); ++v)
        if (set.results[v].ran) m_kept.emplace(vars[v].VarName, std::move(set.results[v]));
    }
  }
  if (keep) {
    if (const auto kept = m_kept.find(var.VarName); kept != m_kept.end()) {
      display.result = kept->second;
      display.moved = table.RecNo() != recNo;
      return display;
    }
    if (m_background && AwaitBackground(var.VarName, pump)) {
      if (m_cancel) return cancelled(0);
      if (const auto kept = m_kept.find(var.VarName); kept != m_kept.end()) {
        display.result = kept->second;
        display.moved = table.RecNo() != recNo;
        return display;
      }
    }
  }
  // The background count would take the cores from this one: it starts
  // again afterwards, for what is still to count.
  StopBackground();
  const Clock::time_point start = Clock::now();
  display.result = weighting.ButtonDown() ? CountWeightedFrequencies(pass, var, weight, progress)
                                          : CountFrequencies(pass, var, progress);
  display.moved = table.RecNo() != recNo;
  const FrequencyResult& res = display.result;
  if (m_keep && !affordable && pass.file && res.ran && !res.cancelled && res.message.empty()) {
    m_aloneSeconds = SecondsSince(start);
    if (!m_keyed) {
      m_key = {pass.file, pass.numCases, weight, pass.usePrintFormat, pass.seps.decimal,
               pass.seps.thousands};
      m_keyed = true;
    }
    m_kept.insert_or_assign(var.VarName, res);
    // A whole pass from the first case has indexed a compressed file: the
    // background can split it.
    StartBackground(table, pass, weight);
  }
  return display;
}

bool FrequencyRunner::SameKey(const FrequencyPass& pass, const std::string& weight) const {
  if (!m_keyed) return false;
  const std::shared_ptr<SystemFile> file = m_key.file.lock();
  return file && file == pass.file && m_key.numCases == pass.numCases && m_key.weight == weight &&
         m_key.usePrintFormat == pass.usePrintFormat && m_key.decimal == pass.seps.decimal &&
         m_key.thousands == pass.seps.thousands;
}

bool FrequencyRunner::Matches(const FrequencyPass& pass, const std::string& weight) const {
  return !m_kept.empty() && SameKey(pass, weight);
}

void FrequencyRunner::StartBackground(const VariableList& table, const FrequencyPass& pass,
                                      const std::string& weight) {
  if (m_background || m_backgroundFailed || !m_keep) return;
  auto bg = std::make_shared<Background>();
  for (int row = 0; row < table.RecordCount(); ++row) {
    const VarRecord* rec = table.ViewRecord(row);
    if (rec && !m_kept.count(rec->VarName) && !m_leftOut.count(rec->VarName))
      bg->vars.push_back(*rec);
  }
  if (bg->vars.empty()) return;
  bg->total = pass.numCases;
  bg->started = Clock::now();
  // The task holds what it reads: its own pass (with the file), records and
  // weight name, and the shared state.
  bg->task = TaskPool::shared().post([bg, pass, weight, weighted = !weight.empty()] {
    try {
      bg->set = CountFrequencySet(
          pass, bg->vars, weighted ? &weight : nullptr,
          [&bg](std::int64_t counted) {
            bg->counted.store(counted, std::memory_order_relaxed);
            return bg->cancel.load(std::memory_order_relaxed);
          },
          kFrequencySetBudget, /*alongside=*/true);
    } catch (const std::exception&) {
      bg->failed = true;
    }
  });
  m_background = std::move(bg);
}

void FrequencyRunner::Collect() {
  if (!m_background || !m_background->task->finished()) return;
  const std::shared_ptr<Background> bg = std::move(m_background);
  bg->task->wait();
  FrequencySet& set = bg->set;
  if (bg->failed || set.unread || !set.ran || !set.message.empty()) {
    // Each table is counted alone, as it is shown.
    m_backgroundFailed = true;
    return;
  }
  if (set.cancelled) return;
  for (std::size_t v = 0; v < bg->vars.size(); ++v) {
    if (set.results[v].ran)
      m_kept.emplace(bg->vars[v].VarName, std::move(set.results[v]));
    else
      m_leftOut.insert(bg->vars[v].VarName);
  }
}

void FrequencyRunner::StopBackground() {
  if (!m_background) return;
  const std::shared_ptr<Background> bg = std::move(m_background);
  bg->cancel = true;
  // A task no thread has taken never runs; one running ends at its next batch.
  if (!bg->task->withdraw()) bg->task->wait();
}

bool FrequencyRunner::AwaitBackground(const std::string& var, const std::function<void()>& pump) {
  Background& bg = *m_background;
  if (!bg.Counts(var)) return false;
  for (;;) {
    if (bg.task->finished()) {
      Collect();
      return true;
    }
    // The time left, from the pace so far (with a margin for turning the
    // counts into tables), against what counting the variable alone took.
    const std::int64_t counted = bg.counted.load(std::memory_order_relaxed);
    const double elapsed = SecondsSince(bg.started);
    if (counted <= 0 || m_aloneSeconds <= 0) return false;
    const double left = 1.25 * elapsed * double(bg.total - counted) / double(counted) + 0.02;
    if (left > m_aloneSeconds) return false;
    if (pump) pump();
    if (m_cancel) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void FrequencyRunner::WaitForBackground() {
  if (!m_background) return;
  m_background->task->wait();
  Collect();
}

std::size_t FrequencyRunner::KeptTables() {
  Collect();
  return m_kept.size();
}

void FrequencyRunner::ForgetTables() {
  StopBackground();
  m_kept.clear();
  m_leftOut.clear();
  m_backgroundFailed = false;
  m_keyed = false;
  m_key = Key();
}

}  // namespace brindle
