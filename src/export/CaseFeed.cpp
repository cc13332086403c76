#include "export/CaseFeed.h"

#include "spssio/CaseBatch.h"

namespace brindle {
namespace {

class BatchCase : public CaseValues {
 public:
  CaseBatch* batch = nullptr;
  std::size_t at = 0;
  double Number(std::size_t c) const override { return batch->number(c, at); }
  std::string_view Text(std::size_t c) override { return batch->text(c, at); }
};

}  // namespace

PassEnd FeedFromPass(ColumnPass& pass, const CaseTaker& take) {
  BatchCase row;
  return pass.read({}, [&](CaseBatch& batch) {
    row.batch = &batch;
    for (row.at = 0; row.at < batch.size(); ++row.at)
      if (!take(row)) return false;
    return true;
  });
}

}  // namespace brindle
