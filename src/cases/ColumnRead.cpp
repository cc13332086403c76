#include "cases/ColumnRead.h"

#include <optional>

#include "cases/CaseBlocks.h"
#include "spssio/ColumnPass.h"
#include "spssio/SystemFile.h"

namespace brindle {

bool ReadColumn(CaseBlocks& blocks, std::size_t var, std::int64_t cases,
                const std::function<void(CaseBatch&)>& visit, const std::atomic<bool>* stop,
                std::atomic<std::int64_t>* done, std::string& error) {
  const auto going = [stop] { return !(stop && stop->load(std::memory_order_relaxed)); };
  bool ok = false;
  const bool opened = blocks.withFile([&](SystemFile& file) {
    ColumnPass pass(file, {int(var)});
    const CaseRange range{0, cases};
    std::optional<PassEnd> end = pass.readSplit(
        range,
        [&](unsigned, CaseBatch& batch) {
          visit(batch);
          return going();
        },
        [&](std::int64_t read) {
          if (done) done->store(read);
          return going();
        });
    if (!end) {
      std::int64_t read = 0;
      end = pass.read(range, [&](CaseBatch& batch) {
        visit(batch);
        read += std::int64_t(batch.size());
        if (done) done->store(read);
        return going();
      });
    }
    ok = end->sound() && !end->stopped && going();
    if (!end->sound()) error = end->message();
  });
  if (!opened) error = "The case data cannot be read.";
  return ok;
}

}  // namespace brindle
