// libFuzzer target over the bytecode decompressor alone. The first bytes
// choose the row width, bias, byte order and how the input is cut into
// pieces; the rest is the compressed stream. Beyond memory safety it checks
// that decoding in pieces gives exactly the rows decoding in one piece gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "spssio/detail/BytecodeDecoder.h"

namespace {

struct Decoded {
  std::vector<std::uint8_t> rows;
  bool ended = false;
  bool midRow = false;
};

// Decodes data fed in pieces of the given sizes (cycled; 0 means the rest).
Decoded decodeAll(const std::uint8_t* data, std::size_t size, std::size_t elements, double bias,
                  bool swap, const std::vector<std::size_t>& pieces) {
  brindle::BytecodeDecoder decoder(bias, swap);
  std::vector<std::uint8_t> row(elements * 8);
  Decoded out;
  const std::uint8_t* at = data;
  const std::uint8_t* const end = data + size;
  std::size_t piece = 0;
  while (at < end && !out.ended) {
    const std::size_t want = pieces[piece++ % pieces.size()];
    const std::uint8_t* pieceEnd = want == 0 || want > std::size_t(end - at) ? end : at + want;
    for (;;) {
      const auto r = decoder.decode(at, pieceEnd, row.data(), elements);
      if (r == brindle::BytecodeDecoder::Result::RowDone) {
        out.rows.insert(out.rows.end(), row.begin(), row.end());
        continue;
      }
      if (r == brindle::BytecodeDecoder::Result::End) out.ended = true;
      break;
    }
  }
  out.midRow = decoder.midRow();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::size_t elements = 1 + data[0] % 64;
  const double bias = data[1] == 0 ? 100.0 : static_cast<double>(data[1]) - 128.0;
  const bool swap = data[2] & 1;
  std::vector<std::size_t> pieces = {1 + std::size_t(data[3] % 17), std::size_t(data[3] / 17), 8,
                                     3};
  data += 4;
  size -= 4;

  const Decoded whole = decodeAll(data, size, elements, bias, swap, {0});
  const Decoded split = decodeAll(data, size, elements, bias, swap, pieces);
  if (whole.rows != split.rows || whole.ended != split.ended) std::abort();
  return 0;
}
