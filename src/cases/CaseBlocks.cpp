#include "cases/CaseBlocks.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "spssio/ColumnPass.h"
#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"

namespace brindle {

namespace {
// Before the case index exists, a block this near the first case is read by
// a pass from the first case; a farther one waits for the index.
constexpr std::int64_t kNearCases = 65536;
}  // namespace

CaseBlocks::CaseBlocks(const SystemFile& file, const std::string& path, std::int64_t expectedCases)
    : CaseBlocks(file, path, expectedCases, Options()) {}

CaseBlocks::CaseBlocks(const SystemFile& file, const std::string& path, std::int64_t expectedCases,
                       Options options)
    : m_options(options),
      m_pool(options.pool ? *options.pool : TaskPool::shared()),
      m_expected(expectedCases),
      m_openFile(&file) {
  for (std::size_t v = 0; v < file.variableCount(); ++v) {
    Kind kind;
    kind.text = file.variable(v).isString();
    kind.slot = kind.text ? m_textColumns++ : m_numericColumns++;
    m_kinds.push_back(kind);
  }
  const std::int64_t caseBytes = std::max<std::int64_t>(8, file.caseSize());
  m_blockCases = std::max<std::int64_t>(1, std::int64_t(m_options.blockBytes) / caseBytes);
  m_compressed = file.compressed();
  m_indexed = !m_compressed;
  m_found = std::max<std::int64_t>(0, expectedCases);
  // A file of its own, so that reading blocks never disturbs the passes the
  // program runs over the open file.
  const std::shared_ptr<const FileKey> key = file.key();
  std::string error;
  const int code = SystemFile::open(path, m_own, &error, OpenKey{nullptr, key.get()});
  if (code != SPSS_OK || !m_own) {
    m_own.reset();
    m_endFound = true;
    m_found = 0;
    m_damageAt = 0;
    m_damage = "The file cannot be opened again to read its cases: " + CodeText(code, error);
  }
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
  return m_indexed;
}

bool CaseBlocks::withFile(const std::function<void(SystemFile&)>& work) {
  if (!m_own) return false;
  std::lock_guard file(m_fileMutex);
  adoptIndex();
  work(*m_own);
  return true;
}

bool CaseBlocks::adoptIndex() {
  {
    std::lock_guard lock(m_mutex);
    if (m_indexed) return true;
  }
  // The program's own passes over the open file index it too: the first of
  // them to finish spares the blocks' file a pass of its own.
  const std::int64_t cases = ColumnPass::ShareCaseIndex(*m_openFile, *m_own);
  if (cases < 0) return false;
  {
    std::lock_guard lock(m_mutex);
    m_indexed = true;
    m_changed.notify_all();
  }
  noteEnd(cases, false, std::string());
  notify();
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
    if (m_loading != b) {
      m_wanted.erase(std::remove(m_wanted.begin(), m_wanted.end(), b), m_wanted.end());
      m_wanted.push_back(b);
    }
  }
  startHelper();
  return nullptr;
}

void CaseBlocks::readAhead(std::int64_t from, std::int64_t to) { readAhead({{from, to}}); }

void CaseBlocks::readAhead(const std::vector<std::pair<std::int64_t, std::int64_t>>& stretches) {
  {
    std::lock_guard lock(m_mutex);
    // Blocks asked for earlier and not begun yet are no longer wanted: the
    // view has moved on. The most wanted go last, as the helper takes them
    // from the back.
    m_wanted.clear();
    for (auto s = stretches.rbegin(); s != stretches.rend(); ++s) {
      const auto [from, to] = *s;
      if (to <= from || from < 0) continue;
      for (std::int64_t b = blockOf(to - 1); b >= blockOf(from); --b) {
        if (m_endFound && b * m_blockCases >= m_found) continue;
        if (m_cache.count(b) || m_loading == b) continue;
        m_wanted.erase(std::remove(m_wanted.begin(), m_wanted.end(), b), m_wanted.end());
        m_wanted.push_back(b);
      }
    }
  }
  startHelper();
}

void CaseBlocks::startHelper() {
  std::lock_guard lock(m_mutex);
  if (m_stop || m_helper || !m_own) return;
  if (m_wanted.empty() && m_indexed) return;
  m_helper = true;
  m_tasks.erase(std::remove_if(m_tasks.begin(), m_tasks.end(),
                               [](const TaskPool::TaskHandle& t) { return t->finished(); }),
                m_tasks.end());
  m_tasks.push_back(m_pool.post([this] { serve(); }));
}

void CaseBlocks::serve() {
  std::unique_lock lock(m_mutex);
  while (!m_stop) {
    if (m_wanted.empty()) {
      // Nothing is shown that is not read: time to index the file, so that
      // any case can be reached at once and sort and find can split.
      if (m_indexed || m_indexing) break;
      lock.unlock();
      buildIndex();
      lock.lock();
      continue;
    }
    const std::int64_t b = m_wanted.back();
    m_wanted.pop_back();
    if (m_cache.count(b) || (m_endFound && b * m_blockCases >= m_found)) continue;
    if (!m_indexed && b * m_blockCases >= kNearCases) {
      // A far block: the index first, then the block.
      m_wanted.push_back(b);
      lock.unlock();
      buildIndex();
      lock.lock();
      if (!m_indexed) break;  // stopped
      continue;
    }
    m_loading = b;
    lock.unlock();
    std::shared_ptr<CaseBlock> block = decode(b);
    if (block) keep(b, std::move(block));
    notify();
    lock.lock();
    m_loading = -1;
    m_changed.notify_all();
  }
  m_helper = false;
  m_changed.notify_all();
}

void CaseBlocks::buildIndex() {
  PassEnd end;
  {
    std::lock_guard file(m_fileMutex);
    {
      std::lock_guard lock(m_mutex);
      if (m_indexed) return;
    }
    if (adoptIndex()) return;
    {
      std::lock_guard lock(m_mutex);
      m_indexing = true;
    }
    ColumnPass pass(*m_own, {});
    end = pass.indexCases([this](std::int64_t cases) {
      {
        std::lock_guard lock(m_mutex);
        if (!m_endFound) m_found = std::max(m_found, cases);
      }
      notify();
      return !m_stop;
    });
  }
  {
    std::lock_guard lock(m_mutex);
    m_indexing = false;
    if (end.stopped || m_stop) return;
    m_indexed = true;
    m_changed.notify_all();
  }
  noteEnd(end.cases, !end.sound(), end.message());
  notify();
}

std::shared_ptr<CaseBlock> CaseBlocks::decode(std::int64_t b) {
  auto block = std::make_shared<CaseBlock>();
  const std::int64_t first = b * m_blockCases;
  block->first = first;
  block->numbers.reserve(std::size_t(m_blockCases) * m_numericColumns);
  block->texts.reserve(std::size_t(m_blockCases) * m_textColumns);
  PassEnd end;
  {
    std::lock_guard file(m_fileMutex);
    // A near block needs no index, but one from the open file saves
    // decoding every case before it.
    adoptIndex();
    ColumnPass pass(*m_own, ColumnPass::AllVariables(*m_own));
    end = pass.read({first, first + m_blockCases}, [&](CaseBatch& batch) {
      for (std::size_t i = 0; i < batch.size(); ++i) {
        for (std::size_t k = 0; k < m_kinds.size(); ++k) {
          if (m_kinds[k].text) {
            const std::string_view t = batch.text(k, i);
            block->texts.emplace_back(t);
            block->bytes += sizeof(std::string) + (t.size() > 15 ? t.size() + 1 : 0);
          } else {
            block->numbers.push_back(batch.number(k, i));
          }
        }
        ++block->count;
      }
      return !m_stop.load();
    });
  }
  block->bytes += block->numbers.size() * sizeof(double) + sizeof(CaseBlock);
  if (m_stop) return nullptr;
  if (!end.sound())
    noteEnd(first + std::int64_t(block->count), true, end.message());
  else if (std::int64_t(block->count) < m_blockCases)
    noteEnd(first + std::int64_t(block->count), false, std::string());
  return block;
}

void CaseBlocks::noteEnd(std::int64_t cases, bool damage, const std::string& message) {
  std::lock_guard lock(m_mutex);
  if (m_endFound && cases > m_found) return;
  if (m_endFound && cases == m_found && !(damage && m_damageAt < 0)) return;
  m_endFound = true;
  m_found = cases;
  if (damage) {
    m_damageAt = cases;
    m_damage = message;
  }
  m_changed.notify_all();
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
  m_changed.notify_all();
}

std::shared_ptr<const CaseBlock> CaseBlocks::fetch(std::int64_t n) {
  if (n < 0) return nullptr;
  const std::int64_t b = blockOf(n);
  std::unique_lock lock(m_mutex);
  for (;;) {
    if (auto it = m_cache.find(b); it != m_cache.end()) {
      m_recent.splice(m_recent.begin(), m_recent, it->second.second);
      const std::shared_ptr<const CaseBlock> block = it->second.first;
      return block->count > std::size_t(n - b * m_blockCases) ? block : nullptr;
    }
    if ((m_endFound && n >= m_found) || m_stop || !m_own) return nullptr;
    // The helper reads this block or the index: wait for it.
    if (m_loading == b || m_indexing) {
      m_changed.wait_for(lock, std::chrono::milliseconds(50));
      continue;
    }
    // Otherwise the work is done here: a caller on a pool thread must not
    // wait for a task queued behind it.
    lock.unlock();
    if (!indexReady() && b * m_blockCases >= kNearCases) {
      buildIndex();
    } else {
      std::shared_ptr<CaseBlock> block = decode(b);
      if (block) keep(b, std::move(block));
      notify();
    }
    lock.lock();
  }
}

}  // namespace brindle
