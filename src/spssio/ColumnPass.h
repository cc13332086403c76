// The one way the program reads case data: a pass over chosen variables
// (columns) of an open file and a range of its cases, handed to the caller
// in batches (CaseBatch) of decoded values, column by column. Only the
// elements of the chosen variables are decoded; the rest of each case is
// skipped in the stored bytes.
//
// Three ways to take the batches:
// - read(): in case order on the calling thread (decoding runs ahead on the
//   task pool while the handler works);
// - readSplit(): on every core, each worker its own batches, segments in any
//   order; for counts and searches whose results merge;
// - readInOrder(): rendered on every core, consumed in case order on the
//   calling thread; for output that must come out as one pass writes it.
// Passes split at the file's case index: where a compressed file's cases
// lie, found by the first pass from case 0 (or by indexCases()) and kept with
// the open file. Every pass ends where the case-by-case reading would: the
// same case count, the same damage codes.
//
// A pass reads through the open file's own stream while it runs and hands it
// back at its first case: one pass at a time per SystemFile, and nothing else
// may read the file's cases meanwhile. Handlers must not use the SystemFile.
//
// Example: the mean of variable 3 over cases 1000..1999.
//   ColumnPass pass(file, {3});
//   double sum = 0;
//   pass.read({1000, 2000}, [&](CaseBatch& b) {
//     for (std::size_t i = 0; i < b.size(); ++i) sum += b.number(0, i);
//     return true;
//   });
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "spssio/CaseBatch.h"

namespace brindle {

class SystemFile;

// Cases [first, end), 0-based; the default end reads on to the end of the data.
struct CaseRange {
  static constexpr std::int64_t kToEnd = std::numeric_limits<std::int64_t>::max();
  std::int64_t first = 0;
  std::int64_t end = kToEnd;
};

// How a pass ended.
struct PassEnd {
  std::int64_t cases = 0;  // cases handed over (in order: those before the stop)
  // SPSS_FILE_END when the range or the data ended soundly (fewer cases than
  // the range holds means the data ended first); otherwise the damage code
  // the case-by-case reading gives at the same case.
  int code = 0;
  std::string detail;    // where the damage is, as the decoder words it
  bool stopped = false;  // a handler (or progress) returned false
  bool sound() const;    // code is SPSS_FILE_END
  // The damage as the module's last-error text gives it (CodeText); empty
  // when sound.
  std::string message() const;
};

class ColumnPass {
 public:
  using Handler = std::function<bool(CaseBatch&)>;  // false stops the pass
  // Worker w (below workers()) handles a batch; false stops every worker.
  // Different workers call it at the same time, each with its own batch: a
  // handler keeps what it gathers per worker (a table each, merged after).
  using SplitHandler = std::function<bool(unsigned worker, CaseBatch&)>;
  // Called on the calling thread now and then with the cases handled so far;
  // false stops the pass.
  using Progress = std::function<bool(std::int64_t cases)>;

  // The columns are the variables at these 0-based dictionary positions, in
  // this order (repeats allowed; none for a pass that only counts cases).
  ColumnPass(SystemFile& file, std::vector<int> variables);
  ~ColumnPass();
  ColumnPass(const ColumnPass&) = delete;
  ColumnPass& operator=(const ColumnPass&) = delete;

  // Every variable of the file, in dictionary order.
  static std::vector<int> AllVariables(const SystemFile& file);

  // False when a position is out of range: every pass then hands over no
  // case and ends with SPSS_INVALID_ARGUMENT.
  bool valid() const;
  SystemFile& file() const;
  // The width of column c as its batches hold it: 0 numeric, else the bytes
  // of a stored value.
  std::size_t columnWidth(std::size_t c) const;

  // Threads of the split passes: 0 (the default) as many as the shared task
  // pool has, 1 the calling thread alone.
  void setThreads(unsigned threads);
  // Cases between the points of a case index this pass builds (the default
  // suits every pass; tests make it small). The first complete index a file
  // gets is the one it keeps.
  void setIndexSpacing(std::int64_t cases);
  // At most this many cases per batch (default 4096; batches of wide cases
  // are kept to a few megabytes).
  void setBatchCases(std::size_t cases);
  // A pass beside others over the same file (a count in the background):
  // it never reads through the open file's own stream, only through files
  // of its own. read(), and readInOrder() where it cannot split, then hand
  // over no case and end with SPSS_FILE_RERROR; readSplit() is unchanged.
  void setAlongside(bool alongside);

  // Batches of range in case order on the calling thread. A range that
  // starts past the first case starts at the nearest case index point (or,
  // uncompressed, at the case itself). A pass from the first case of a
  // compressed file without a complete case index builds one on the way.
  PassEnd read(CaseRange range, const Handler& handler);

  // True when readSplit() can split range now (given two threads or more):
  // the file is uncompressed, or its case index reaches that far.
  bool splits(CaseRange range) const;
  // The distinct worker numbers readSplit() may pass: its threads.
  unsigned workers() const;
  // The range split at the case index into segments read on every thread;
  // each worker's batches come in case order within a segment. nullopt when
  // the range cannot be split (a compressed file not yet indexed that far,
  // one thread, too few cases) or a segment does not read as the index
  // promised: whatever the handler gathered must then be dropped and the
  // range read with read(), which also indexes the file.
  std::optional<PassEnd> readSplit(CaseRange range, const SplitHandler& handler,
                                   const Progress& progress = {});

  // Output in case order, made on every thread: the range split as for
  // readSplit() (read() when it cannot be split).
  // render(batch, out) appends what a batch makes to out on any thread;
  // consume(text, cases) gets the texts on the calling thread in case order,
  // about pieceBytes at a time, with the cases they hold; false stops. The
  // pass ends as read() would end (a segment that ends short ends it).
  PassEnd readInOrder(CaseRange range, const std::function<void(CaseBatch&, std::string&)>& render,
                      const std::function<bool(std::string&&, std::int64_t)>& consume,
                      std::size_t pieceBytes = std::size_t(1) << 20);

  // True when passes can split the whole file: it is uncompressed, or has a
  // case index (indexCases() gives it one).
  bool indexed() const;
  // True when this build splits passes over ZSAV files too (it inflates
  // their blocks one at a time).
  static bool SplitsZsav();

  // Reads every case without decoding a value: counts them, and gives a
  // compressed file its case index when it has none. progress as above.
  PassEnd indexCases(const Progress& progress = {});

  // The key a frequency table counts a string value by: the stored value in
  // UTF-8, up to its first zero byte, without trailing blanks and control
  // characters.
  std::string keyText(std::string_view stored) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace brindle
