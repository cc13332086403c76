// ZSAV data headers and trailers that disagree with the file or the stored
// blocks: the reader warns once, naming what disagreed, and still reads
// every case, with whole blocks and as a stream, in either byte order.
#include "spssio/detail/ZsavTrailer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "spssio/SpssioCodes.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/ColumnScanner.h"
#include "spssio/detail/SavReader.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

using testing::ByteOrder;
using testing::Bytes;
using testing::SavLayout;

constexpr int kCases = 40;

// 40 cases of literals in 64-byte blocks: six blocks, the last one shorter.
testing::SavFile fortyCases(ByteOrder order) {
  testing::SavFile f;
  f.compression = testing::Compression::Zsav;
  f.byteOrder = order;
  f.zlibBlockSize = 64;
  f.variables = {testing::Variable::numeric("x")};
  for (int i = 0; i < kCases; ++i) f.cases.push_back({i + 0.5});
  return f;
}

// Where the fields lie: the data header's, the trailer's fixed part's, and
// those of the trailer's entry for block i.
std::size_t header(const SavLayout& l, std::size_t field) { return l.dataStart + field; }
std::size_t fixed(const SavLayout& l, std::size_t field) { return l.zlibTrailerStart + field; }
std::size_t entry(const SavLayout& l, std::size_t i, std::size_t field) {
  return l.zlibTrailerStart + 24 + 24 * i + field;
}

using Lie = std::function<void(Bytes&, const SavLayout&, ByteOrder)>;

Lie int64At(std::function<std::size_t(const SavLayout&)> where, std::int64_t value) {
  return [=](Bytes& b, const SavLayout& l, ByteOrder o) {
    testing::patchInt64(b, where(l), value, o);
  };
}
Lie int32At(std::function<std::size_t(const SavLayout&)> where, std::int32_t value) {
  return [=](Bytes& b, const SavLayout& l, ByteOrder o) {
    testing::patchInt32(b, where(l), value, o);
  };
}

struct TrailerLie {
  const char* name;
  Lie lie;
  const char* warning;  // a fragment of the one warning; "" for none
};

class ZsavTrailerLies : public ::testing::TestWithParam<std::tuple<TrailerLie, ByteOrder>> {};

TEST_P(ZsavTrailerLies, WarnsOnceAndReadsEveryCase) {
  const auto& [c, order] = GetParam();
  SavLayout layout;
  Bytes bytes = testing::writeSav(fortyCases(order), &layout);
  ASSERT_EQ(layout.zlibBlockOffsets.size(), 6u);
  if (c.lie) c.lie(bytes, layout, order);
  testing::TempFile file(bytes);
  SavReader reader;
  ASSERT_EQ(reader.open(file.c_str()), SPSS_OK) << reader.error();

  const auto& warnings = reader.warnings();
  if (*c.warning == 0) {
    EXPECT_TRUE(warnings.empty()) << WarningLine(warnings.front());
  } else {
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].record, 0);
    EXPECT_GE(warnings[0].offset, std::int64_t(layout.dataStart));
    EXPECT_NE(warnings[0].text.find(c.warning), std::string::npos) << warnings[0].text;
  }

  for (const bool wholeBlocks : {true, false}) {
    SCOPED_TRACE(wholeBlocks ? "whole blocks" : "stream");
    CaseLayout data = reader.cases().layout();
    data.wholeBlocks = wholeBlocks;
    BlockFile own;
    ASSERT_TRUE(own.openSame(reader.file()));
    ColumnScanner pass;
    ASSERT_EQ(pass.open(own, data, {0}), SPSS_OK) << pass.error();
    ASSERT_EQ(pass.read(100), std::size_t(kCases)) << pass.error();
    for (int i = 0; i < kCases; ++i) {
      double v;
      std::memcpy(&v, pass.row(std::size_t(i)), 8);
      if (order == ByteOrder::Big) {
        std::uint64_t u;
        std::memcpy(&u, &v, 8);
        u = byteSwap64(u);
        std::memcpy(&v, &u, 8);
      }
      EXPECT_EQ(v, i + 0.5);
    }
    EXPECT_EQ(pass.status(), SPSS_FILE_END) << pass.error();
  }
}

const TrailerLie kLies[] = {
    {"Sound", nullptr, ""},
    {"OwnOffset", int64At([](const SavLayout& l) { return header(l, 0); }, 3),
     "the ZSAV data header gives its own offset as 3, but it lies at"},
    {"TrailerLength", int64At([](const SavLayout& l) { return header(l, 16); }, 1000),
     "a length of 1000 bytes, where the file holds 168"},
    {"BytesAfterTheTrailer", [](Bytes& b, const SavLayout&, ByteOrder) { b.insert(b.end(), 8, 0); },
     "before the end of the file"},
    {"Bias", int64At([](const SavLayout& l) { return fixed(l, 0); }, -50),
     "the ZSAV trailer's bias field holds -50, where the file header's bias of 100 calls for "
     "-100; the file header's is used"},
    {"Zero", int64At([](const SavLayout& l) { return fixed(l, 8); }, 7),
     "the ZSAV trailer's zero field holds 7; ignored"},
    {"BlockSize", int32At([](const SavLayout& l) { return fixed(l, 16); }, 128),
     "gives block 1 of 6 an inflated size of 64 bytes, where the block size is 128"},
    {"NoBlockSize", int32At([](const SavLayout& l) { return fixed(l, 16); }, 0),
     "gives the block size as 0"},
    {"BlockCount", int32At([](const SavLayout& l) { return fixed(l, 20); }, 5),
     "lists 5 blocks, but its length of 168 bytes has room for 6"},
    {"BlockCountBeyondTheTrailer", int32At([](const SavLayout& l) { return fixed(l, 20); }, 9),
     "lists 9 blocks"},
    {"BlockOffset", int64At([](const SavLayout& l) { return entry(l, 1, 8); }, 12345),
     "gives block 2 of 6 the offset 12345"},
    {"StoredSizesDoNotAddUp", int32At([](const SavLayout& l) { return entry(l, 1, 20); }, 1),
     "gives block 3 of 6 the offset"},
    {"LastStoredSizeShort",
     [](Bytes& b, const SavLayout& l, ByteOrder o) {
       const auto size = std::int32_t(l.zlibTrailerStart - l.zlibBlockOffsets[5]);
       testing::patchInt32(b, entry(l, 5, 20), size - 1, o);
     },
     "the blocks the ZSAV trailer lists end at offset"},
    {"LastStoredSizePastTheTrailer",
     [](Bytes& b, const SavLayout& l, ByteOrder o) {
       const auto size = std::int32_t(l.zlibTrailerStart - l.zlibBlockOffsets[5]);
       testing::patchInt32(b, entry(l, 5, 20), size + 1, o);
     },
     "gives block 6 of 6 a stored size of"},
    {"InflatedOffset", int64At([](const SavLayout& l) { return entry(l, 1, 0); }, 12345),
     "gives block 2 of 6 the inflated offset 12345"},
    {"FirstInflatedOffset", int64At([](const SavLayout& l) { return entry(l, 0, 0); }, 0),
     "gives block 1 of 6 the inflated offset 0"},
    {"InflatedSizeSmaller", int32At([](const SavLayout& l) { return entry(l, 1, 16); }, 56),
     "gives block 2 of 6 an inflated size of 56 bytes"},
    {"InflatedSizeLarger", int32At([](const SavLayout& l) { return entry(l, 1, 16); }, 72),
     "gives block 2 of 6 an inflated size of 72 bytes"},
    // Only inflating tells that the last block is shorter than the table says.
    {"LastInflatedSizeOnlyTheDataTells",
     int32At([](const SavLayout& l) { return entry(l, 5, 16); }, 64), ""},
};

INSTANTIATE_TEST_SUITE_P(All, ZsavTrailerLies,
                         ::testing::Combine(::testing::ValuesIn(kLies),
                                            ::testing::Values(ByteOrder::Little, ByteOrder::Big)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) == ByteOrder::Big ? "Big" : "Little");
                         });

}  // namespace
}  // namespace brindle
