#include "cases/CaseBlocks.h"

#include <algorithm>
#include <limits>

#include "spssio/CaseColumns.h"
#include "spssio/Spssio.h"
#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/detail/BlockFile.h"
#include "spssio/detail/SavReader.h"

namespace brindle {

namespace {
// Cases the count pass reads between two looks at whether it should stop.
constexpr std::size_t kIndexBatch = 4096;
}  // namespace

struct CaseBlocks::Loader {
  CaseColumns columns;
};

CaseBlocks::CaseBlocks(SystemFile& file, std::int64_t expectedCases)
    : CaseBlocks(file, expectedCases, Options()) {}

CaseBlocks::CaseBlocks(SystemFile& file, std::int64_t expectedCases, Options options)
    : m_options(options),
      m_pool(options.pool ? *options.pool : TaskPool::shared()),
      m_whole(std::make_unique<CaseColumns>()),
      m_expected(expectedCases) {
  std::vector<int> all(file.variableCount());
  for (std::size_t v = 0; v < all.size(); ++v) {
    all[v] = int(v);
    Kind kind;
    kind.text = file.variable(v).isString();
    kind.slot = kind.text ? m_textColumns++ : m_numericColumns++;
    m_kinds.push_back(kind);
  }
  const SavReader& reader = file.reader();
  m_reader = &reader;
  m_layout = reader.cases().layout();
  const std::size_t caseBytes = std::max<std::size_t>(8, 8 * m_layout.elementCount);
  m_blockCases = std::int64_t(std::max<std::size_t>(1, m_options.blockBytes / caseBytes));
  // The whole file's columns are laid out once; every loader reads through
  // them with a file of its own. Opening starts a pass on the file's own
  // stream, which goes straight back to the first case.
  const bool opened = m_whole->open(file, all);
  m_whole->close();

  std::unique_lock lock(m_mutex);
  if (!opened) {
    m_endFound = true;
    m_damageAt = 0;
    m_damage = "The case data cannot be read.";
    return;
  }
  std::int64_t stored = std::numeric_limits<std::int64_t>::max();
  if (m_layout.compression == 0) stored = reader.cases().uncompressedCaseCount();
  if (m_layout.caseLimit >= 0) stored = std::min(stored, m_layout.caseLimit);
  if (m_layout.compression == 0) {
    m_found = stored;
    m_endFound = true;
    // Fewer whole cases than the file promises: the last block's reading
    // tells why, early.
    if (m_expected > stored) m_wanted.push_back(blockOf(stored));
  } else if (const CaseIndex* index = reader.caseIndex(); index && index->complete) {
    m_index = *index;
    m_found = index->cases;
    m_endFound = true;
  } else {
    // The count pass gives the index; until it has passed a case, that
    // case is reached by it alone.
    m_index = CaseIndex{m_blockCases, {}, 0, false};
    m_indexing = true;
    m_tasks.push_back(m_pool.post([this] { buildIndex(); }));
  }
  lock.unlock();
  startLoaders();
}

CaseBlocks::~CaseBlocks() {
  m_stop = true;
  std::vector<TaskPool::TaskHandle> tasks;
  {
    std::lock_guard lock(m_mutex);
    tasks.swap(m_tasks);
    m_changed.notify_all();
  }
  for (const TaskPool::TaskHandle& task : tasks)
    if (!task->withdraw()) task->wait();
}

void CaseBlocks::setNotify(std::function<void()> notify) {
  std::lock_guard lock(m_mutex);
  m_notify = std::move(notify);
}

void CaseBlocks::notify() {
  std::function<void()> call;
  {
    std::lock_guard lock(m_mutex);
    call = m_notify;
  }
  if (call && !m_stop) call();
}

std::int64_t CaseBlocks::casesFound() const {
  std::lock_guard lock(m_mutex);
  return m_found;
}

bool CaseBlocks::endFound() const {
  std::lock_guard lock(m_mutex);
  return m_endFound;
}

std::int64_t CaseBlocks::damageAt() const {
  std::lock_guard lock(m_mutex);
  return m_damageAt;
}

std::string CaseBlocks::damageText() const {
  std::lock_guard lock(m_mutex);
  return m_damage;
}

std::size_t CaseBlocks::cachedBytes() const {
  std::lock_guard lock(m_mutex);
  return m_cachedBytes;
}

bool CaseBlocks::indexReady() const {
  std::lock_guard lock(m_mutex);
  return !m_indexing;
}

std::vector<CaseSegment> CaseBlocks::segments(std::size_t parts) const {
  std::lock_guard lock(m_mutex);
  std::vector<CaseSegment> out;
  if (m_indexing || !m_endFound) return out;
  parts = std::max<std::size_t>(1, parts);
  for (std::size_t k = 0; k < parts; ++k) {
    const std::int64_t target = m_found * std::int64_t(k) / std::int64_t(parts);
    CasePoint point;
    startOf(blockOf(target), point);
    if (!out.empty() && point.firstCase() <= out.back().from.firstCase()) continue;
    if (!out.empty()) out.back().end = point.firstCase();
    out.push_back({point, m_found});
  }
  if (!out.empty()) out.back().end = std::numeric_limits<std::int64_t>::max();
  return out;
}

bool CaseBlocks::startOf(std::int64_t b, CasePoint& point) const {
  const std::int64_t first = b * m_blockCases;
  if (m_layout.compression == 0) {
    point = CasePoint{0, first, 0};
    return true;
  }
  // The count pass must have passed the block's first case, so that a
  // point before it is known; a finished pass knows them all.
  if (m_indexing && m_passed <= first) return false;
  const auto& points = m_index.points;
  auto after = std::upper_bound(points.begin(), points.end(), first,
                                [](std::int64_t t, const CasePoint& p) { return t < p.firstCase(); });
  if (after == points.begin()) {
    point = CasePoint{};  // the first case: a pass from the start of the data
    return true;
  }
  point = *(after - 1);
  return true;
}

std::shared_ptr<const CaseBlock> CaseBlocks::peek(std::int64_t n) {
  if (n < 0) return nullptr;
  const std::int64_t b = blockOf(n);
  {
    std::lock_guard lock(m_mutex);
    if (auto it = m_cache.find(b); it != m_cache.end()) {
      m_recent.splice(m_recent.begin(), m_recent, it->second.second);
      return it->second.first;
    }
    if (m_endFound && n >= m_found) return nullptr;
    if (!m_loading.count(b)) {
      m_wanted.erase(std::remove(m_wanted.begin(), m_wanted.end(), b), m_wanted.end());
      m_wanted.push_back(b);
    }
  }
  startLoaders();
  return nullptr;
}

void CaseBlocks::readAhead(std::int64_t from, std::int64_t to) { readAhead({{from, to}}); }

void CaseBlocks::readAhead(const std::vector<std::pair<std::int64_t, std::int64_t>>& stretches) {
  {
    std::lock_guard lock(m_mutex);
    // Blocks asked for earlier and not begun yet are no longer wanted: the
    // view has moved on. The most wanted go last, as loaders take them from
    // the back.
    m_wanted.clear();
    for (auto s = stretches.rbegin(); s != stretches.rend(); ++s) {
      const auto [from, to] = *s;
      if (to <= from || from < 0) continue;
      for (std::int64_t b = blockOf(to - 1); b >= blockOf(from); --b) {
        if (m_endFound && b * m_blockCases >= m_found) continue;
        if (m_cache.count(b) || m_loading.count(b)) continue;
        m_wanted.erase(std::remove(m_wanted.begin(), m_wanted.end(), b), m_wanted.end());
        m_wanted.push_back(b);
      }
    }
  }
  startLoaders();
}

void CaseBlocks::startLoaders() {
  std::lock_guard lock(m_mutex);
  if (m_stop) return;
  const unsigned most = std::max(1u, m_pool.threadCount());
  while (m_loaders < most && m_loaders < m_wanted.size()) {
    ++m_loaders;
    m_tasks.push_back(m_pool.post([this] { serve(); }));
  }
  // Tasks that have finished need no handle any more.
  m_tasks.erase(std::remove_if(m_tasks.begin(), m_tasks.end(),
                               [](const TaskPool::TaskHandle& t) { return t->finished(); }),
                m_tasks.end());
}

void CaseBlocks::serve() {
  Loader loader;
  std::unique_lock lock(m_mutex);
  while (!m_stop) {
    // The most wanted block whose start is known.
    std::int64_t b = -1;
    CasePoint from;
    for (auto it = m_wanted.rbegin(); it != m_wanted.rend(); ++it) {
      if (startOf(*it, from)) {
        b = *it;
        m_wanted.erase(std::next(it).base());
        break;
      }
    }
    if (b < 0) break;
    if (m_cache.count(b) || m_loading.count(b)) continue;
    m_loading[b] = true;
    lock.unlock();
    std::shared_ptr<CaseBlock> block = decode(loader, b, from);
    keep(b, std::move(block));
    notify();
    lock.lock();
    m_loading.erase(b);
    m_changed.notify_all();
  }
  --m_loaders;
  m_changed.notify_all();
}

std::shared_ptr<CaseBlock> CaseBlocks::decode(Loader& loader, std::int64_t b,
                                              const CasePoint& from) {
  auto block = std::make_shared<CaseBlock>();
  const std::int64_t first = b * m_blockCases;
  const std::int64_t end = first + m_blockCases;
  block->first = first;
  CaseColumns& cols = loader.columns;
  if (!cols.openSegment(*m_whole, CaseSegment{from, end})) {
    const std::string why = cols.error();
    noteEnd(from.firstCase(), SPSS_FILE_RERROR,
            why.empty() ? "The file cannot be opened again to read its cases." : why);
    return block;
  }
  std::int64_t at = from.firstCase();
  block->numbers.reserve(std::size_t(m_blockCases) * m_numericColumns);
  block->texts.reserve(std::size_t(m_blockCases) * m_textColumns);
  while (at < end && !m_stop) {
    const std::size_t got = cols.read(std::size_t(end - at));
    if (got == 0) break;
    for (std::size_t i = 0; i < got; ++i) {
      const std::int64_t c = at + std::int64_t(i);
      if (c < first || c >= end) continue;
      for (std::size_t k = 0; k < m_kinds.size(); ++k) {
        if (m_kinds[k].text) {
          const std::string_view t = cols.text(i, k);
          block->texts.emplace_back(t);
          block->bytes += sizeof(std::string) + (t.size() > 15 ? t.size() + 1 : 0);
        } else {
          block->numbers.push_back(cols.number(i, k));
        }
      }
      ++block->count;
    }
    at += std::int64_t(got);
  }
  block->bytes += block->numbers.size() * sizeof(double) + sizeof(CaseBlock);
  if (!m_stop && at < end) {
    const int code = cols.status();
    noteEnd(std::max(at, first), code, code == SPSS_FILE_END ? std::string() : cols.error());
  } else if (!m_stop) {
    std::lock_guard lock(m_mutex);
    if (!m_endFound) m_found = std::max(m_found, end);
  }
  return block;
}

void CaseBlocks::noteEnd(std::int64_t cases, int code, const std::string& message) {
  std::lock_guard lock(m_mutex);
  const bool damage = code != SPSS_FILE_END && code != SPSS_OK;
  if (m_endFound && cases > m_found) return;
  if (m_endFound && cases == m_found && !(damage && m_damageAt < 0)) return;
  m_endFound = true;
  m_found = cases;
  if (damage) {
    m_damageAt = cases;
    m_damage = message;
  }
}

void CaseBlocks::keep(std::int64_t b, std::shared_ptr<CaseBlock> block) {
  std::lock_guard lock(m_mutex);
  if (m_cache.count(b)) return;
  m_recent.push_front(b);
  m_cachedBytes += block->bytes;
  m_cache.emplace(b, std::make_pair(std::shared_ptr<const CaseBlock>(std::move(block)),
                                    m_recent.begin()));
  // The least recently used blocks go first; the one just kept stays,
  // however small the budget.
  while (m_cachedBytes > m_options.budgetBytes && m_recent.size() > 1) {
    const std::int64_t old = m_recent.back();
    m_recent.pop_back();
    auto it = m_cache.find(old);
    m_cachedBytes -= it->second.first->bytes;
    m_cache.erase(it);
  }
}

std::shared_ptr<const CaseBlock> CaseBlocks::fetch(std::int64_t n) {
  if (n < 0) return nullptr;
  const std::int64_t b = blockOf(n);
  CasePoint from;
  {
    std::unique_lock lock(m_mutex);
    for (;;) {
      if (auto it = m_cache.find(b); it != m_cache.end()) {
        m_recent.splice(m_recent.begin(), m_recent, it->second.second);
        return it->second.first->count > std::size_t(n - b * m_blockCases) ? it->second.first
                                                                            : nullptr;
      }
      if (m_endFound && n >= m_found) return nullptr;
      if (m_stop) return nullptr;
      // A block under way or beyond the count pass: wait for it.
      if (!m_loading.count(b) && startOf(b, from)) break;
      m_changed.wait(lock);
    }
    m_loading[b] = true;
  }
  Loader loader;
  std::shared_ptr<CaseBlock> block = decode(loader, b, from);
  const bool holds = block->count > std::size_t(n - b * m_blockCases);
  std::shared_ptr<const CaseBlock> result = block;
  keep(b, std::move(block));
  {
    std::lock_guard lock(m_mutex);
    m_loading.erase(b);
    m_changed.notify_all();
  }
  return holds ? result : nullptr;
}

void CaseBlocks::buildIndex() {
  BlockFile file;
  ColumnScanner pass;
  std::int64_t passed = 0;
  int code = SPSS_FILE_RERROR;
  std::string message = "The file cannot be opened again to read its cases.";
  // ZSAV blocks are inflated ahead on the pool's other threads.
  if (file.openSame(m_reader->file()) &&
      pass.open(file, m_layout, {}, nullptr, m_pool.threadCount()) == SPSS_OK) {
    pass.buildIndexAlong(m_blockCases);
    while (!m_stop) {
      const std::size_t got = pass.read(kIndexBatch);
      passed += std::int64_t(got);
      {
        std::lock_guard lock(m_mutex);
        const CaseIndex& built = pass.indexSoFar();
        for (std::size_t p = m_index.points.size(); p < built.points.size(); ++p)
          if (built.points[p].firstCase() <= passed) m_index.points.push_back(built.points[p]);
        m_passed = passed;
        if (!m_endFound) m_found = std::max(m_found, passed);
        m_changed.notify_all();
      }
      startLoaders();
      notify();
      if (got == 0 || pass.status() != SPSS_OK) break;
    }
    code = pass.status();
    message = CodeText(code, pass.error());
  }
  if (m_stop) return;
  {
    std::lock_guard lock(m_mutex);
    m_index.cases = passed;
    m_index.complete = code == SPSS_FILE_END;
    m_indexing = false;
    m_passed = passed;
    m_changed.notify_all();
  }
  noteEnd(passed, code, message);
  startLoaders();
  notify();
}

}  // namespace brindle
