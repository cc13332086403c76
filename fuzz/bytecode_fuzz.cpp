// libFuzzer target over the case decoder alone. The first bytes choose the
// case width, bias, byte order, storage (bytecode or uncompressed), a case
// limit, the wanted elements and the batch sizes; the rest is the case data
// of a file that has nothing else. Beyond memory safety it checks that a pass
// over some elements gives exactly those elements of the every-element pass,
// in the same number of cases and with the same ending, and that the
// case-by-case cursor agrees with both.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "spssio/SpssioCodes.h"
#include "spssio/detail/BlockFile.h"
#include "spssio/detail/ColumnScanner.h"

namespace {

struct Pass {
  std::vector<std::uint8_t> rows;  // the wanted elements of each case, in slot order
  std::size_t cases = 0;
  int status = 0;
};

Pass decode(brindle::BlockFile& file, const brindle::CaseLayout& layout,
            const std::vector<std::size_t>& elements, std::size_t batch) {
  brindle::ColumnScanner scanner;
  Pass out;
  scanner.open(file, layout, elements);
  std::vector<std::size_t> slots;
  for (std::size_t e : elements) slots.push_back(scanner.slotOf(e));
  while (const std::size_t got = scanner.read(batch)) {
    for (std::size_t i = 0; i < got; ++i)
      for (std::size_t s : slots)
        out.rows.insert(out.rows.end(), scanner.row(i) + 8 * s, scanner.row(i) + 8 * s + 8);
    out.cases += got;
  }
  out.status = scanner.status();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 7) return 0;  // some case data: an empty file in memory opens /dev/null
  brindle::CaseLayout layout;
  layout.elementCount = 1 + data[0] % 64;
  layout.bias = data[1] == 0 ? 100.0 : static_cast<double>(data[1]) - 128.0;
  layout.swap = data[2] & 1;
  layout.compression = data[2] & 2 ? 0 : 1;
  layout.caseLimit = data[2] & 4 ? data[3] % 32 : -1;
  const std::size_t batch = 1 + data[4] % 13;
  std::vector<std::size_t> subset;
  for (std::size_t e = 0; e < layout.elementCount; ++e)
    if ((data[5] >> (e % 8)) & 1) subset.push_back(e);
  data += 6;
  size -= 6;
  std::vector<std::size_t> all(layout.elementCount);
  for (std::size_t e = 0; e < all.size(); ++e) all[e] = e;

  brindle::BlockFile file;
  if (!file.openMemory(data, size)) return 0;
  const Pass whole = decode(file, layout, all, 1 << 10);
  const Pass some = decode(file, layout, subset, batch);
  if (some.cases != whole.cases || some.status != whole.status) std::abort();
  for (std::size_t c = 0; c < whole.cases; ++c)
    for (std::size_t k = 0; k < subset.size(); ++k)
      if (std::memcmp(&some.rows[(c * subset.size() + k) * 8],
                      &whole.rows[(c * all.size() + subset[k]) * 8], 8) != 0)
        std::abort();

  brindle::CaseCursor cursor;
  if (cursor.start(&file, layout) != SPSS_OK) std::abort();
  std::size_t cases = 0;
  int rc;
  while ((rc = cursor.next()) == SPSS_OK) {
    if (cases >= whole.cases ||
        std::memcmp(cursor.row(), &whole.rows[cases * all.size() * 8], all.size() * 8) != 0)
      std::abort();
    ++cases;
  }
  if (cases != whole.cases || rc != whole.status) std::abort();
  return 0;
}
