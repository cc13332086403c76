#include "spssio/detail/BytecodeDecoder.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <vector>

#include "spssio/detail/ByteCursor.h"

namespace {

using brindle::BytecodeDecoder;
using Bytes = std::vector<std::uint8_t>;

double asDouble(const std::uint8_t* p, bool swap = false) {
  std::uint64_t bits;
  std::memcpy(&bits, p, 8);
  if (swap) bits = brindle::byteSwap64(bits);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

Bytes literal(double d) {
  Bytes b(8);
  std::memcpy(b.data(), &d, 8);
  return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Decodes all rows of stream, feeding it in pieces of piece bytes; returns the
// rows and the last result.
struct Decoded {
  std::vector<Bytes> rows;
  BytecodeDecoder::Result last;
  bool midRow;
};

Decoded decodeAll(const Bytes& stream, std::size_t elements, std::size_t piece, double bias = 100,
                  bool swap = false) {
  BytecodeDecoder d(bias, swap);
  Decoded out;
  Bytes row(elements * 8);
  std::size_t pos = 0;
  for (;;) {
    std::size_t n = std::min(piece, stream.size() - pos);
    const std::uint8_t* in = stream.data() + pos;
    const std::uint8_t* start = in;
    out.last = d.decode(in, start + n, row.data(), elements);
    pos += std::size_t(in - start);
    if (out.last == BytecodeDecoder::Result::RowDone) {
      out.rows.push_back(row);
      continue;
    }
    if (out.last == BytecodeDecoder::Result::End || pos == stream.size()) break;
  }
  out.midRow = d.midRow();
  return out;
}

// Two rows of three elements: numbers, a literal, spaces, system-missing and
// padding codes.
const Bytes kTwoRows =
    concat({Bytes{101, 253, 254, 255, 0, 100, 253, 0}, literal(3.25), literal(-7.5)});

TEST(BytecodeDecoder, DecodesEveryKindOfCode) {
  Decoded d = decodeAll(kTwoRows, 3, kTwoRows.size());
  ASSERT_EQ(d.rows.size(), 2u);
  EXPECT_EQ(asDouble(&d.rows[0][0]), 1.0);
  EXPECT_EQ(asDouble(&d.rows[0][8]), 3.25);
  EXPECT_EQ(std::memcmp(&d.rows[0][16], "        ", 8), 0);
  EXPECT_EQ(asDouble(&d.rows[1][0]), -DBL_MAX);
  EXPECT_EQ(asDouble(&d.rows[1][8]), 0.0);
  EXPECT_EQ(asDouble(&d.rows[1][16]), -7.5);
  EXPECT_FALSE(d.midRow);
}

// Every way of cutting the input into pieces gives the same rows.
class BytecodePieces : public ::testing::TestWithParam<std::size_t> {};

TEST_P(BytecodePieces, ResumesAcrossPieces) {
  Bytes big;
  for (int i = 0; i < 20; ++i) big.insert(big.end(), kTwoRows.begin(), kTwoRows.end());
  Decoded whole = decodeAll(big, 3, big.size());
  Decoded pieces = decodeAll(big, 3, GetParam());
  ASSERT_EQ(whole.rows.size(), 40u);
  EXPECT_EQ(pieces.rows, whole.rows);
  EXPECT_FALSE(pieces.midRow);
}

INSTANTIATE_TEST_SUITE_P(PieceSizes, BytecodePieces,
                         ::testing::Values(1, 2, 3, 7, 8, 9, 15, 71, 72, 73, 100));

TEST(BytecodeDecoder, BiasOtherThan100AndSwappedOrder) {
  Bytes stream{1, 251, 0, 0, 0, 0, 0, 0};
  Decoded d = decodeAll(stream, 2, stream.size(), 0.0, true);
  ASSERT_EQ(d.rows.size(), 1u);
  EXPECT_EQ(asDouble(&d.rows[0][0], true), 1.0);
  EXPECT_EQ(asDouble(&d.rows[0][8], true), 251.0);
  Decoded neg = decodeAll(stream, 1, stream.size(), -50.0);
  EXPECT_EQ(asDouble(&neg.rows[0][0]), 51.0);
}

TEST(BytecodeDecoder, EndCodeStopsForGood) {
  Bytes stream{101, 102, 252, 103, 0, 0, 0, 0};
  BytecodeDecoder d(100, false);
  Bytes row(8);
  const std::uint8_t* in = stream.data();
  EXPECT_EQ(d.decode(in, stream.data() + stream.size(), row.data(), 1),
            BytecodeDecoder::Result::RowDone);
  EXPECT_EQ(d.decode(in, stream.data() + stream.size(), row.data(), 1),
            BytecodeDecoder::Result::RowDone);
  EXPECT_EQ(d.decode(in, stream.data() + stream.size(), row.data(), 1),
            BytecodeDecoder::Result::End);
  EXPECT_EQ(d.decode(in, stream.data() + stream.size(), row.data(), 1),
            BytecodeDecoder::Result::End);
  EXPECT_FALSE(d.midRow());
}

// Cut-off data: the decoder reports it is inside a row.
struct CutCase {
  const char* name;
  Bytes stream;
  std::size_t elements;
  BytecodeDecoder::Result last;
  bool midRow;
};

class BytecodeCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(BytecodeCut, ReportsWhereTheDataStops) {
  const CutCase& c = GetParam();
  Decoded d = decodeAll(c.stream, c.elements, 5);
  EXPECT_EQ(d.last, c.last);
  EXPECT_EQ(d.midRow, c.midRow);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, BytecodeCut,
    ::testing::Values(CutCase{"EndInsideRow", Bytes{101, 252, 0, 0, 0, 0, 0, 0}, 2,
                              BytecodeDecoder::Result::End, true},
                      CutCase{"LiteralCut", Bytes{253, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3}, 1,
                              BytecodeDecoder::Result::NeedInput, true},
                      CutCase{"GroupCut", Bytes{101, 101, 101}, 2,
                              BytecodeDecoder::Result::NeedInput, false},
                      CutCase{"CodesForHalfARow", Bytes{101, 101, 101, 0, 0, 0, 0, 0}, 2,
                              BytecodeDecoder::Result::NeedInput, true},
                      CutCase{"CleanEnd", Bytes{101, 101, 0, 0, 0, 0, 0, 0}, 2,
                              BytecodeDecoder::Result::NeedInput, false},
                      CutCase{"Empty", Bytes{}, 2, BytecodeDecoder::Result::NeedInput, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
