#include "spssio/ColumnPass.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "spssio/AsciiText.h"
#include "spssio/DeliverInOrder.h"
#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/TaskPool.h"
#include "spssio/detail/CaseSplit.h"
#include "spssio/detail/ColumnLayout.h"
#include "spssio/detail/ColumnReader.h"
#include "spssio/detail/FileAccess.h"
#include "spssio/detail/SavReader.h"
#include "spssio/detail/ZsavInflater.h"

namespace brindle {

bool PassEnd::sound() const { return code == SPSS_FILE_END; }

std::string PassEnd::message() const {
  if (code == SPSS_OK || code == SPSS_FILE_END) return {};
  return CodeText(code, detail);
}

struct ColumnPass::Impl {
  SystemFile* file = nullptr;
  SavReader* reader = nullptr;
  ColumnLayout layout;
  bool valid = false;
  unsigned threads = 0;
  std::int64_t indexEvery = 0;
  std::size_t batchCases = 4096;
  bool alongside = false;

  CaseBatch makeBatch() const {
    CaseBatch batch;
    batch.setColumns(layout.variables(), layout.widths(), reader->encoding());
    return batch;
  }
  std::int64_t spacing() const {
    if (indexEvery > 0) return indexEvery;
    // Points close enough for segments of wide cases to stay small.
    const std::int64_t caseBytes = std::max<std::int64_t>(8, reader->caseSize());
    return std::clamp<std::int64_t>((std::int64_t(4) << 20) / caseBytes, 64, 4096);
  }
  PassEnd endOf(const ColumnReader& r, std::int64_t cases, bool stopped) const {
    PassEnd end;
    end.cases = cases;
    end.stopped = stopped;
    end.code = r.status();
    if (end.code != SPSS_OK && end.code != SPSS_FILE_END) end.detail = r.error();
    return end;
  }
  PassEnd readAlone(ColumnReader& r, const Handler& handler);
  PassEnd readOverlapped(ColumnReader& r, const Handler& handler, bool& ran);
};

ColumnPass::ColumnPass(SystemFile& file, std::vector<int> variables)
    : m_impl(std::make_unique<Impl>()) {
  m_impl->file = &file;
  m_impl->reader = &FileAccess::reader(file);
  m_impl->valid = m_impl->layout.build(*m_impl->reader, variables);
}

ColumnPass::~ColumnPass() = default;

std::vector<int> ColumnPass::AllVariables(const SystemFile& file) {
  std::vector<int> all(file.variableCount());
  for (std::size_t v = 0; v < all.size(); ++v) all[v] = int(v);
  return all;
}

bool ColumnPass::valid() const { return m_impl->valid; }
SystemFile& ColumnPass::file() const { return *m_impl->file; }
std::size_t ColumnPass::columnWidth(std::size_t c) const { return m_impl->layout.widths()[c]; }
void ColumnPass::setThreads(unsigned threads) { m_impl->threads = threads; }
void ColumnPass::setIndexSpacing(std::int64_t cases) { m_impl->indexEvery = cases; }
void ColumnPass::setBatchCases(std::size_t cases) {
  m_impl->batchCases = std::max<std::size_t>(1, cases);
}
void ColumnPass::setAlongside(bool alongside) { m_impl->alongside = alongside; }
bool ColumnPass::splits(CaseRange range) const {
  const std::size_t parts = std::max<std::size_t>(2, std::size_t(workers()) * 4);
  return m_impl->valid && SplitCases(*m_impl->reader, range, parts).size() >= 2;
}

bool ColumnPass::indexed() const {
  return m_impl->reader->compression() == 0 || m_impl->reader->caseIndex() != nullptr;
}

bool ColumnPass::SplitsZsav() { return ZsavBlockInflater::available(); }

unsigned ColumnPass::workers() const { return PassThreads(m_impl->threads); }

std::string ColumnPass::keyText(std::string_view stored) const {
  std::string text = m_impl->reader->textToUtf8(std::string(stored));
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  text.resize(TrimTrailingControls(text).size());
  return text;
}

PassEnd ColumnPass::Impl::readAlone(ColumnReader& r, const Handler& handler) {
  CaseBatch batch = makeBatch();
  std::int64_t cases = 0;
  while (const std::size_t n = r.next(batch, batchCases)) {
    cases += std::int64_t(n);
    if (!handler(batch)) return endOf(r, cases, true);
  }
  return endOf(r, cases, false);
}

// Decoding on a pool thread, a few batches ahead of the handler on the
// calling thread. ran is false, with nothing read, when no pool thread takes
// the decoding before the first batch is needed.
PassEnd ColumnPass::Impl::readOverlapped(ColumnReader& r, const Handler& handler, bool& ran) {
  constexpr std::size_t kSlots = 3;
  struct Slot {
    CaseBatch batch;
    std::size_t count = 0;
  };
  std::array<Slot, kSlots> slots;
  for (Slot& s : slots) s.batch = makeBatch();
  std::mutex lock;
  std::condition_variable changed;
  std::size_t filled = 0, emptied = 0;  // slots handed over and given back, in turn
  bool stop = false, ended = false;
  std::exception_ptr failure;

  const TaskPool::TaskHandle producer = TaskPool::shared().post([&] {
    try {
      for (;;) {
        {
          std::unique_lock hold(lock);
          changed.wait(hold, [&] { return stop || filled - emptied < kSlots; });
          if (stop) return;
        }
        Slot& slot = slots[filled % kSlots];
        slot.count = r.next(slot.batch, batchCases);
        std::lock_guard hold(lock);
        if (slot.count == 0) {
          ended = true;
        } else {
          ++filled;
        }
        changed.notify_all();
        if (slot.count == 0) return;
      }
    } catch (...) {
      std::lock_guard hold(lock);
      failure = std::current_exception();
      stop = true;
      changed.notify_all();
    }
  });

  ran = true;
  std::int64_t cases = 0;
  bool stopped = false;
  for (bool first = true;; first = false) {
    {
      std::unique_lock hold(lock);
      const auto ready = [&] { return stop || ended || filled > emptied; };
      if (first && !changed.wait_for(hold, std::chrono::milliseconds(250), ready) &&
          producer->withdraw()) {
        // No pool thread has been free for the decoding: the caller reads alone.
        ran = false;
        return {};
      }
      changed.wait(hold, ready);
      if (filled == emptied) break;  // the decoding ended or failed
    }
    Slot& slot = slots[emptied % kSlots];
    cases += std::int64_t(slot.count);
    bool more = false;
    try {
      more = handler(slot.batch);
    } catch (...) {
      // The decoding uses what is on this stack: it ends before the throw goes on.
      {
        std::lock_guard hold(lock);
        stop = true;
        changed.notify_all();
      }
      producer->wait();
      throw;
    }
    std::lock_guard hold(lock);
    ++emptied;
    changed.notify_all();
    if (!more) {
      stopped = true;
      stop = true;
      break;
    }
  }
  producer->wait();
  if (failure) std::rethrow_exception(failure);
  return endOf(r, cases, stopped);
}

PassEnd ColumnPass::read(CaseRange range, const Handler& handler) {
  Impl& m = *m_impl;
  if (!m.valid) return {0, SPSS_INVALID_ARGUMENT, "a column outside the dictionary", false};
  if (m.alongside) return {0, SPSS_FILE_RERROR, "the file's own stream is in use", false};
  ColumnReader r;
  struct Finish {
    ColumnReader& r;
    ~Finish() { r.finish(); }
  } finish{r};
  r.startWhole(*m.reader, m.layout, range, m.spacing());
  if (PassThreads(m.threads) > 1) {
    bool ran = false;
    PassEnd end = m.readOverlapped(r, handler, ran);
    if (ran) return end;
  }
  return m.readAlone(r, handler);
}

std::optional<PassEnd> ColumnPass::readSplit(CaseRange range, const SplitHandler& handler,
                                             const Progress& progress) {
  Impl& m = *m_impl;
  unsigned threads = PassThreads(m.threads);
  if (!m.valid || threads < 2) return std::nullopt;
  // More segments than threads even out segments that decode at different speeds.
  const std::vector<CaseSegment> segments = SplitCases(*m.reader, range, std::size_t(threads) * 4);
  if (segments.size() < 2) return std::nullopt;
  threads = unsigned(std::min<std::size_t>(threads, segments.size()));

  std::atomic<std::size_t> nextSegment{0};
  std::atomic<std::int64_t> counted{0};
  std::atomic<bool> stop{false}, failed{false}, cancel{false};
  std::atomic<unsigned> running{threads};
  PassEnd end;
  end.code = SPSS_FILE_END;

  // On the calling thread.
  const auto report = [&] {
    if (progress && !cancel.load() && !progress(counted.load(std::memory_order_relaxed))) {
      cancel = true;
      stop = true;
    }
  };
  const auto fail = [&] {
    failed = true;
    stop = true;
  };
  const auto work = [&](unsigned t) {
    try {
      ColumnReader r;
      CaseBatch batch = m.makeBatch();
      for (std::size_t s;
           !stop.load(std::memory_order_relaxed) && (s = nextSegment++) < segments.size();) {
        const CaseSegment& segment = segments[s];
        const bool last = s + 1 == segments.size();
        if (r.startSegment(*m.reader, m.layout, segment, range.first) != SPSS_OK) {
          fail();
          break;
        }
        while (!stop.load(std::memory_order_relaxed)) {
          const std::size_t n = r.next(batch, m.batchCases);
          if (n == 0) break;
          if (!handler(t, batch)) {
            cancel = true;
            stop = true;
          }
          counted.fetch_add(std::int64_t(n), std::memory_order_relaxed);
          if (t == 0) report();
        }
        if (stop.load()) break;
        const std::int64_t from = std::max(segment.from.firstCase(), range.first);
        const int code = r.status();
        if (last && segment.end == CaseRange::kToEnd) {
          end.code = code;
          if (code != SPSS_FILE_END) end.detail = r.error();
        } else if (code != SPSS_FILE_END || r.delivered() != segment.end - from) {
          // The data does not hold what the index promised.
          fail();
          break;
        }
      }
    } catch (...) {
      // Out of memory on one thread: the caller's own pass decides.
      fail();
    }
    --running;
  };
  std::vector<TaskPool::TaskHandle> helpers;
  for (unsigned t = 1; t < threads; ++t)
    helpers.push_back(TaskPool::shared().post([&work, t] { work(t); }));
  work(0);
  // Helpers no pool thread has taken yet find no segment left and end at once.
  for (const TaskPool::TaskHandle& helper : helpers) helper->runHere();
  // The caller's progress gets its turn at least once, however fast the others were.
  report();
  while (running.load() > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    report();
  }
  for (const TaskPool::TaskHandle& helper : helpers) helper->wait();
  end.cases = counted.load();
  if (cancel) {
    end.stopped = true;
    end.code = SPSS_OK;
    end.detail.clear();
    return end;
  }
  if (failed) return std::nullopt;
  return end;
}

namespace {

// How a segment of an ordered pass ended: whether the data ended before its
// end, and the damage that stopped the reading, if any.
struct SegmentEnd {
  bool shortEnd = false;
  int code = SPSS_FILE_END;
  std::string detail;
};

// Rendered cases of one segment; its last piece says how the segment ended.
struct Piece {
  std::string text;
  std::int64_t cases = 0;
  std::optional<SegmentEnd> end;
};

// A segment's text is held back, at most this many pieces, while the
// consumer is on earlier segments; segments are cut to about kSegmentBytes
// of stored cases and started only while fewer than kSegmentsAhead per thread
// are ahead of the consumer: what waits is bounded whatever the file's size.
constexpr std::size_t kHeldPieces = 8;
constexpr std::int64_t kSegmentBytes = std::int64_t(4) << 20;
constexpr std::size_t kSegmentsAhead = 3;

}  // namespace

PassEnd ColumnPass::readInOrder(CaseRange range,
                                const std::function<void(CaseBatch&, std::string&)>& render,
                                const std::function<bool(std::string&&, std::int64_t)>& consume,
                                std::size_t pieceBytes) {
  Impl& m = *m_impl;
  const unsigned threads = PassThreads(m.threads);
  // More segments than threads even out segments that render at different speeds.
  std::size_t parts = std::size_t(threads) * 8;
  const std::int64_t rowBytes = std::max<std::int64_t>(8, std::int64_t(m.layout.rowBytes()));
  const std::int64_t known = KnownCases(*m.reader);
  parts = std::max<std::size_t>(
      parts, std::size_t(std::min<std::int64_t>(known * rowBytes / kSegmentBytes, 1 << 20)));
  std::vector<CaseSegment> segments;
  if (m.valid && threads > 1) segments = SplitCases(*m.reader, range, parts);
  // A file that cannot be read again beside the open one is read by one pass.
  if (segments.size() >= 2) {
    BlockFile again;
    if (!again.openSame(m.reader->file())) segments.clear();
  }
  if (segments.size() < 2) {
    std::string text;
    std::int64_t pending = 0;  // cases in text
    bool stopped = false;
    PassEnd end = read(range, [&](CaseBatch& batch) {
      render(batch, text);
      pending += std::int64_t(batch.size());
      if (text.size() < pieceBytes) return true;
      stopped = !consume(std::move(text), pending);
      text.clear();
      pending = 0;
      return !stopped;
    });
    if (!stopped && pending > 0) end.stopped = !consume(std::move(text), pending);
    return end;
  }

  std::mutex idleMutex;
  std::vector<std::unique_ptr<ColumnReader>> idle;  // reused from segment to segment
  const auto produce = [&](std::size_t s, auto& deliver) {
    std::unique_ptr<ColumnReader> r;
    {
      std::lock_guard hold(idleMutex);
      if (!idle.empty()) {
        r = std::move(idle.back());
        idle.pop_back();
      }
    }
    Piece piece;
    try {
      if (!r) r = std::make_unique<ColumnReader>();
      const CaseSegment& segment = segments[s];
      const bool last = s + 1 == segments.size();
      if (r->startSegment(*m.reader, m.layout, segment, range.first) != SPSS_OK) {
        piece.end = SegmentEnd{false, r->status(), r->error()};
        deliver(std::move(piece));
        return;
      }
      CaseBatch batch = m.makeBatch();
      bool stopped = false;
      piece.text.reserve(pieceBytes + pieceBytes / 4);
      while (const std::size_t n = r->next(batch, 1024)) {
        render(batch, piece.text);
        piece.cases += std::int64_t(n);
        if (piece.text.size() >= pieceBytes) {
          if ((stopped = !deliver(std::move(piece)))) break;
          piece = Piece();
          piece.text.reserve(pieceBytes + pieceBytes / 4);
        }
      }
      if (!stopped) {
        const std::int64_t want = segment.end - std::max(segment.from.firstCase(), range.first);
        const int code = r->status();
        piece.end = SegmentEnd{code == SPSS_FILE_END && r->delivered() < want && !last, code,
                               code == SPSS_FILE_END ? std::string() : r->error()};
        deliver(std::move(piece));
      }
    } catch (const std::exception& e) {
      // Out of memory on one thread: the pass ends there, the program goes on.
      Piece failed;
      failed.end = SegmentEnd{false, SPSS_FILE_RERROR, e.what()};
      deliver(std::move(failed));
    }
    if (r) {
      std::lock_guard hold(idleMutex);
      idle.push_back(std::move(r));
    }
  };

  PassEnd end;
  end.code = SPSS_FILE_END;
  const auto take = [&](std::size_t, Piece&& piece) {
    if (piece.cases || !piece.text.empty()) {
      end.cases += piece.cases;
      if (!consume(std::move(piece.text), piece.cases)) {
        end.stopped = true;
        end.code = SPSS_OK;
        return false;
      }
    }
    if (!piece.end) return true;
    if (piece.end->code != SPSS_FILE_END) {
      end.code = piece.end->code;
      end.detail = piece.end->detail;
      return false;
    }
    // Cases past a short segment would not follow the last case handed over.
    return !piece.end->shortEnd;
  };
  DeliverInOrder<Piece>(TaskPool::shared(), segments.size(), kSegmentsAhead * threads, kHeldPieces,
                        produce, take);
  return end;
}

PassEnd ColumnPass::indexCases(const Progress& progress) {
  Impl& m = *m_impl;
  ColumnLayout none;
  none.build(*m.reader, {});
  ColumnReader r;
  r.startWhole(*m.reader, none, CaseRange{}, m.spacing());
  CaseBatch batch;
  std::int64_t cases = 0;
  bool stopped = false;
  while (const std::size_t n = r.next(batch, std::size_t(1) << 16)) {
    cases += std::int64_t(n);
    if (progress && r.status() == SPSS_OK && !progress(cases)) {
      stopped = true;
      break;
    }
  }
  PassEnd end = m.endOf(r, cases, stopped);
  r.finish();
  return end;
}

}  // namespace brindle
