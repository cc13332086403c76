// ZSAV files with a damaged zlib block, or one that inflates to more than
// the trailer declares: the cases of the sound blocks before it are read,
// then the pass stops with a damage code.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "spssio/ColumnPass.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/detail/FileAccess.h"
#include "spssio/detail/ColumnScanner.h"
#include "spssio/detail/SavReader.h"
#include "spssio/testing/SavWriter.h"
#include "spssio/testing/TempFile.h"

namespace brindle {
namespace {

// A header that promises fewer cases than the sound blocks hold ends the
// data before the damage, which is then no concern of the cases.
TEST(ZsavDamage, CasesBeforeADamagedBlockAreRead) {
  for (const int promised : {-1, 12}) {
    SCOPED_TRACE(promised);
    testing::SavFile f;
    f.compression = testing::Compression::Zsav;
    // Values that bytecode cannot shorten: every 8 cases take a control block
    // of 8 bytes and 64 bytes of values, so 64-byte zlib blocks end inside cases.
    f.zlibBlockSize = 64;
    f.variables = {testing::Variable::numeric("x")};
    for (int i = 0; i < 40; ++i) f.cases.push_back({i + 0.5});
    if (promised > 0) f.headerCases = f.extendedCases = promised;
    testing::SavLayout layout;
    auto bytes = testing::writeSav(f, &layout);
    ASSERT_GE(layout.zlibBlockOffsets.size(), 4u);
    // Flip a byte in the middle of the third block's deflate data.
    const auto third = layout.zlibBlockOffsets[2];
    bytes[third + (layout.zlibBlockOffsets[3] - third) / 2] ^= 0x55;
    testing::TempFile file(bytes);

    int handle = -1;
    std::shared_ptr<SystemFile> sav;
    ASSERT_EQ(SystemFile::open(file.path(), sav), SPSS_OK);
    ASSERT_EQ(RegisterHandle(sav, &handle), SPSS_OK);
    double var = 0;
    ASSERT_EQ(spssGetVarHandle(handle, "x", &var), SPSS_OK);
    int rc = SPSS_OK;
    int read = 0;
    while ((rc = spssReadCaseRecord(handle)) == SPSS_OK) {
      double v = -1;
      ASSERT_EQ(spssGetValueNumeric(handle, var, &v), SPSS_OK);
      EXPECT_EQ(v, read + 0.5);
      ++read;
    }
    // The two sound blocks hold 128 bytes: the first 8 cases (72 bytes) and 6
    // of the next group (8 + 6 * 8 bytes); nothing of the damaged block.
    EXPECT_EQ(read, promised > 0 ? promised : 14);
    const int end = promised > 0 ? SPSS_FILE_END : SPSS_BAD_DATA;
    EXPECT_EQ(rc, end);
    EXPECT_EQ(spssReadCaseRecord(handle), end);  // stays stopped until a rewind
    // A pass over the column stops where the cases do.
    ColumnScanner pass;
    ASSERT_EQ(pass.start(FileAccess::reader(*sav), {0}), SPSS_OK);
    EXPECT_EQ(pass.read(100), std::size_t(read));
    EXPECT_EQ(pass.status(), end);
    pass.finish();
    spssCloseRead(handle);
  }
}

// Large blocks, the damaged one straddling what one read of inflated data
// takes in: counting case by case and a pass over the columns both stop
// after the cases of the sound blocks, none of the damaged block's.
TEST(ZsavDamage, CountingAndPassStopAtTheSameCase) {
  testing::SavFile f;
  f.compression = testing::Compression::Zsav;
  f.zlibBlockSize = 600000;
  f.headerCases = -1;
  f.extendedCaseCount = false;
  for (int k = 0; k < 10; ++k)
    f.variables.push_back(testing::Variable::numeric("v" + std::to_string(k)));
  // Ten literals a case: four cases take five groups, 360 bytes, so the six
  // sound blocks hold 40,000 cases exactly.
  for (int i = 0; i < 60000; ++i) {
    testing::Case row;
    for (int k = 0; k < 10; ++k) row.push_back(i + k * 0.125 + 0.3);
    f.cases.push_back(row);
  }
  testing::SavLayout layout;
  auto bytes = testing::writeSav(f, &layout);
  ASSERT_GE(layout.zlibBlockOffsets.size(), 8u);
  // The seventh block's check sum: the damage shows only after all of its
  // data has been inflated.
  bytes[layout.zlibBlockOffsets[7] - 1] ^= 0x55;
  testing::TempFile file(bytes);

  int handle = -1;
  std::shared_ptr<SystemFile> sav;
  ASSERT_EQ(SystemFile::open(file.path(), sav), SPSS_OK);
  ASSERT_EQ(RegisterHandle(sav, &handle), SPSS_OK);
  std::int64_t counted = 0;
  int rc;
  while ((rc = spssReadCaseRecord(handle)) == SPSS_OK) ++counted;
  EXPECT_EQ(rc, SPSS_BAD_DATA);
  EXPECT_EQ(counted, 40000);

  SavReader& reader = FileAccess::reader(*sav);
  ColumnScanner scanner;
  ASSERT_EQ(scanner.start(reader, {0, 9}), SPSS_OK);
  std::int64_t scanned = 0;
  while (std::size_t got = scanner.read(1000)) scanned += std::int64_t(got);
  EXPECT_EQ(scanner.status(), SPSS_BAD_DATA);
  EXPECT_EQ(scanned, 40000);
  scanner.finish();
  spssCloseRead(handle);
}

// Blocks that inflate to more than the trailer declares are damage, found
// after one byte more than declared: no such block is inflated to its end,
// however far it goes. Each stored byte below is a bytecode command for one
// case of the single variable (101: the number 1).
struct OversizeCase {
  const char* name;
  std::vector<std::size_t> inflated;  // what each block really inflates to
  std::int32_t declared;              // the block size and each block's size in the trailer
  std::int32_t headerCases;           // -1: not given
  std::int64_t cases;                 // read before the pass stops
  int status;
};

class ZsavOversizeBlock
    : public ::testing::TestWithParam<std::tuple<OversizeCase, testing::ByteOrder>> {};

TEST_P(ZsavOversizeBlock, IsDamageWithWholeBlocksAndAsAStream) {
  const auto& [c, order] = GetParam();
  testing::SavFile f;
  f.byteOrder = order;
  f.variables = {testing::Variable::numeric("x")};
  f.headerCases = c.headerCases;
  f.extendedCaseCount = false;
  std::vector<testing::Bytes> blocks;
  for (std::size_t n : c.inflated) blocks.emplace_back(n, std::uint8_t(101));
  testing::SavLayout layout;
  testing::Bytes bytes = testing::writeZsavBlocks(f, blocks, &layout);
  blocks.clear();
  testing::patchInt32(bytes, layout.zlibTrailerStart + 16, c.declared, order);
  for (std::size_t i = 0; i < c.inflated.size(); ++i)
    testing::patchInt32(bytes, layout.zlibTrailerStart + 24 + 24 * i + 16,
                        std::int32_t(std::min<std::size_t>(c.inflated[i], std::size_t(c.declared))),
                        order);
  testing::TempFile file(bytes);
  std::shared_ptr<SystemFile> sav;
  ASSERT_EQ(SystemFile::open(file.path(), sav), SPSS_OK);
  SavReader& reader = FileAccess::reader(*sav);

  for (const bool wholeBlocks : {true, false}) {
    SCOPED_TRACE(wholeBlocks ? "whole blocks" : "stream");
    CaseLayout data = reader.cases().layout();
    data.wholeBlocks = wholeBlocks;
    BlockFile own;
    ASSERT_TRUE(own.openSame(reader.file()));
    ColumnScanner pass;
    ASSERT_EQ(pass.open(own, data, {0}), SPSS_OK) << pass.error();
    std::int64_t read = 0;
    while (std::size_t got = pass.read(std::size_t(1) << 20)) read += std::int64_t(got);
    EXPECT_EQ(read, c.cases);
    EXPECT_EQ(pass.status(), c.status) << pass.error();
    if (c.status == SPSS_BAD_DATA) {
      EXPECT_NE(pass.error().find("inflates to more than the " + std::to_string(c.declared) +
                                  " bytes the trailer declares"),
                std::string::npos)
          << pass.error();
    }
  }
  // Counting at open stops at the same case.
  const PassEnd counted = ColumnPass(*sav, {}).indexCases();
  EXPECT_EQ(counted.cases, c.cases);
  EXPECT_EQ(counted.code, c.status);
}

constexpr std::size_t kMB = std::size_t(1) << 20;

const OversizeCase kOversize[] = {
    {"Bomb", {64 * kMB}, std::int32_t(kMB), -1, 0, SPSS_BAD_DATA},
    // A count in the header does not make the block's cases sound.
    {"BombWithACount", {8 * kMB}, std::int32_t(kMB), 1000, 0, SPSS_BAD_DATA},
    {"BombAfterASoundBlock",
     {kMB, 8 * kMB},
     std::int32_t(kMB),
     -1,
     std::int64_t(kMB),
     SPSS_BAD_DATA},
    {"OneGroupMore", {4096, 4096 + 8, 4096}, 4096, -1, 4096, SPSS_BAD_DATA},
    {"ExactlyTheBlockSize", {4096, 4096, 4096}, 4096, -1, 3 * 4096, SPSS_FILE_END},
    {"LastBlockShorter", {4096, 4096, 8}, 4096, -1, 2 * 4096 + 8, SPSS_FILE_END},
    // Cases the header counts in the sound blocks before the damage are read.
    {"CountEndsBeforeTheBomb", {kMB, 8 * kMB}, std::int32_t(kMB), 1000, 1000, SPSS_FILE_END},
};

INSTANTIATE_TEST_SUITE_P(All, ZsavOversizeBlock,
                         ::testing::Combine(::testing::ValuesIn(kOversize),
                                            ::testing::Values(testing::ByteOrder::Little,
                                                              testing::ByteOrder::Big)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) == testing::ByteOrder::Big ? "Big"
                                                                                      : "Little");
                         });

}  // namespace
}  // namespace brindle
