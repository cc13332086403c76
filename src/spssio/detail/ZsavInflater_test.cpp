#include "spssio/detail/ZsavInflater.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

namespace {

using brindle::ZsavInflater;
using Bytes = std::vector<std::uint8_t>;

Bytes deflateBytes(const Bytes& in) {
  uLongf size = compressBound(uLong(in.size()));
  Bytes out(size);
  compress(out.data(), &size, in.data(), uLong(in.size()));
  out.resize(size);
  return out;
}

Bytes pattern(std::size_t n, int seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t((i * 7 + std::size_t(seed)) % 251);
  return b;
}

// Inflates all of in, fed inPiece bytes at a time into outPiece-byte windows.
ZsavInflater::Result inflateAll(const Bytes& in, std::size_t inPiece, std::size_t outPiece,
                                Bytes& out, bool& boundary, std::uint64_t streamLimit = 0) {
  ZsavInflater z;
  z.setStreamLimit(streamLimit);
  out.assign(1 << 20, 0);
  std::uint8_t* o = out.data();
  std::size_t pos = 0;
  ZsavInflater::Result r = ZsavInflater::Result::NeedInput;
  while (pos < in.size()) {
    const std::uint8_t* p = in.data() + pos;
    const std::uint8_t* start = p;
    std::uint8_t* outEnd = std::min(o + outPiece, out.data() + out.size());
    r = z.inflate(p, start + std::min(inPiece, in.size() - pos), o, outEnd);
    pos += std::size_t(p - start);
    if (r == ZsavInflater::Result::Error) break;
  }
  out.resize(std::size_t(o - out.data()));
  boundary = z.atStreamBoundary();
  return r;
}

class ZsavPieces : public ::testing::TestWithParam<std::pair<std::size_t, std::size_t>> {};

TEST_P(ZsavPieces, CrossesFromBlockToBlock) {
  Bytes a = pattern(5000, 1), b = pattern(3000, 2), c = pattern(10, 3);
  Bytes stream = deflateBytes(a);
  for (const Bytes* block : {&b, &c}) {
    Bytes d = deflateBytes(*block);
    stream.insert(stream.end(), d.begin(), d.end());
  }
  Bytes out;
  bool boundary = false;
  EXPECT_NE(inflateAll(stream, GetParam().first, GetParam().second, out, boundary),
            ZsavInflater::Result::Error);
  Bytes expected = a;
  expected.insert(expected.end(), b.begin(), b.end());
  expected.insert(expected.end(), c.begin(), c.end());
  EXPECT_EQ(out, expected);
  EXPECT_TRUE(boundary);
}

INSTANTIATE_TEST_SUITE_P(Pieces, ZsavPieces,
                         ::testing::Values(std::make_pair(1u << 20, 1u << 20),
                                           std::make_pair(1u, 1u << 20),
                                           std::make_pair(1u << 20, 1u), std::make_pair(13u, 7u)));

TEST(ZsavInflater, DamagedStreamIsAnError) {
  Bytes stream = deflateBytes(pattern(4000, 5));
  stream[stream.size() / 2] ^= 0xff;
  stream[2] ^= 0x55;
  Bytes out;
  bool boundary;
  EXPECT_EQ(inflateAll(stream, 64, 1 << 20, out, boundary), ZsavInflater::Result::Error);
  Bytes notZlib{0x9c, 0xff, 0xff, 0xff, 0, 0, 0, 0};
  EXPECT_EQ(inflateAll(notZlib, 64, 1 << 20, out, boundary), ZsavInflater::Result::Error);
}

TEST(ZsavInflater, CutStreamIsNotAtABoundary) {
  Bytes stream = deflateBytes(pattern(4000, 6));
  stream.resize(stream.size() - 5);
  Bytes out;
  bool boundary = true;
  EXPECT_NE(inflateAll(stream, 64, 1 << 20, out, boundary), ZsavInflater::Result::Error);
  EXPECT_FALSE(boundary);
}

// Each stream may give at most the limit: one that gives a byte more is an
// error, however the input and output come in pieces.
TEST(ZsavInflater, StreamLimit) {
  struct Case {
    std::vector<std::size_t> streams;
    bool error;
  } cases[] = {
      {{100, 100, 7}, false},
      {{100, 101}, true},
      {{101}, true},
      {{100000}, true},
  };
  for (const Case& c : cases) {
    Bytes stream;
    for (std::size_t n : c.streams) {
      const Bytes d = deflateBytes(pattern(n, int(n)));
      stream.insert(stream.end(), d.begin(), d.end());
    }
    for (const std::size_t piece : {std::size_t(1), std::size_t(13), std::size_t(1) << 20}) {
      SCOPED_TRACE(::testing::Message() << c.streams.back() << " in pieces of " << piece);
      Bytes out;
      bool boundary = false;
      const ZsavInflater::Result r = inflateAll(stream, piece, piece, out, boundary, 100);
      EXPECT_EQ(r == ZsavInflater::Result::Error, c.error);
      // Never more than one byte past the limit.
      EXPECT_LE(out.size(), 100 * c.streams.size() + 1);
    }
  }
}

}  // namespace
