#include "spssio/detail/ZsavTrailer.h"

#include <algorithm>
#include <cstdio>

#include "spssio/detail/BlockFile.h"
#include "spssio/detail/ByteCursor.h"

namespace brindle {
namespace {

constexpr std::int64_t kFixedPart = 24;  // bias, zero, block size, block count
constexpr std::int64_t kEntrySize = 24;
// The reader does not take in a trailer longer than this in one piece.
constexpr std::int64_t kMaxTrailer = std::int64_t(1) << 30;

const char* const kAsStored = "; the blocks are read as they are stored";

std::string number(std::int64_t n) { return std::to_string(n); }

std::string blockName(std::int32_t i, std::int32_t count) {
  return "block " + number(i + 1) + " of " + number(count);
}

std::string biasText(double bias) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", bias);
  return text;
}

}  // namespace

ZsavTrailer ReadZsavTrailer(BlockFile& file, bool swap, double bias, const ZsavHeader& header) {
  ZsavTrailer t;
  const auto disagree = [&t](std::int64_t at, std::string what) {
    if (t.disagreements++ > 0) return;
    t.disagreement = std::move(what);
    t.disagreementOffset = at;
  };
  if (header.ownOffset != header.at)
    disagree(header.at, "the ZSAV data header gives its own offset as " + number(header.ownOffset) +
                            ", but it lies at " + number(header.at) + "; ignored");
  const std::int64_t trailerOffset = header.trailerOffset;
  const std::int64_t length = header.trailerLength;
  const std::int64_t room = file.size() - trailerOffset;
  if (length < kFixedPart || length > room || length > kMaxTrailer) {
    disagree(header.at + 16, "the ZSAV data header gives the trailer at offset " +
                                 number(trailerOffset) + " a length of " + number(length) +
                                 " bytes, where the file holds " + number(room) + kAsStored);
    return t;
  }
  if (length < room)
    disagree(trailerOffset + length, "the ZSAV trailer ends at offset " +
                                         number(trailerOffset + length) +
                                         ", before the end of the file at " + number(file.size()) +
                                         "; the bytes after it are ignored");
  if (!file.seek(trailerOffset) || !file.ensure(std::size_t(length))) return t;
  ByteCursor c(file.data(), std::size_t(length), swap, trailerOffset);
  std::int64_t intBias = 0, zero = 0;
  std::int32_t blockSize = 0, count = 0;
  c.readI64(intBias);
  c.readI64(zero);
  c.readI32(blockSize);
  c.readI32(count);
  if (double(intBias) != -bias)
    disagree(trailerOffset, "the ZSAV trailer's bias field holds " + number(intBias) +
                                ", where the file header's bias of " + biasText(bias) +
                                " calls for " + biasText(-bias) + "; the file header's is used");
  if (zero != 0)
    disagree(trailerOffset + 8,
             "the ZSAV trailer's zero field holds " + number(zero) + "; ignored");
  if (blockSize <= 0)
    disagree(trailerOffset + 16,
             "the ZSAV trailer gives the block size as " + number(blockSize) + kAsStored);
  else
    t.blockLimit = std::uint64_t(blockSize);
  t.blockLimitDeclared = blockSize > 0;
  const std::int64_t listed = (length - kFixedPart) / kEntrySize;
  if (count < 0 || count > listed || length != kFixedPart + kEntrySize * count) {
    disagree(trailerOffset + 20, "the ZSAV trailer lists " + number(count) +
                                     " blocks, but its length of " + number(length) +
                                     " bytes has room for " + number(listed) + kAsStored);
    if (count < 0 || count > listed) return t;
  }

  const std::int64_t regionStart = header.at + 24;
  std::int64_t nextOffset = regionStart;
  std::int64_t nextInflated = header.at;
  bool exact = count > 0;  // the table describes the blocks exactly
  std::uint64_t largest = 0;
  std::vector<ZsavTrailer::Block> blocks;
  for (std::int32_t i = 0; i < count; ++i) {
    const std::int64_t at = c.fileOffset();
    std::int64_t inflatedOffset = 0, offset = 0;
    std::int32_t inflated = 0, compressed = 0;
    c.readI64(inflatedOffset);
    c.readI64(offset);
    c.readI32(inflated);
    c.readI32(compressed);
    if (inflated > 0) largest = std::max(largest, std::uint64_t(inflated));
    // Past the first entry that breaks the chain the rest cannot be checked.
    if (!exact) continue;
    const std::string name = blockName(i, count);
    if (offset != nextOffset) {
      disagree(at + 8, "the ZSAV trailer gives " + name + " the offset " + number(offset) +
                           " (expected " + number(nextOffset) + ")" + kAsStored);
      exact = false;
      continue;
    }
    if (compressed <= 0 || compressed > trailerOffset - offset) {
      disagree(at + 20, "the ZSAV trailer gives " + name + " a stored size of " +
                            number(compressed) + " bytes, where " + number(trailerOffset - offset) +
                            " lie before the trailer" + kAsStored);
      exact = false;
      continue;
    }
    if (inflated <= 0 || inflatedOffset != nextInflated || inflatedOffset > INT64_MAX - inflated) {
      // The first entry's inflated offset should be the data header's;
      // the table is no less usable when it is not.
      const bool chainBroken = inflated <= 0 || i > 0 || inflatedOffset > INT64_MAX - inflated;
      disagree(at, "the ZSAV trailer gives " + name + " the inflated offset " +
                       number(inflatedOffset) + " (expected " + number(nextInflated) +
                       ") and size " + number(inflated) + kAsStored);
      if (chainBroken) {
        exact = false;
        continue;
      }
    }
    if (blockSize > 0 && (i + 1 < count ? inflated != blockSize : inflated > blockSize))
      disagree(at + 16, "the ZSAV trailer gives " + name + " an inflated size of " +
                            number(inflated) + " bytes, where the block size is " +
                            number(blockSize) + kAsStored);
    if (std::uint64_t(inflated) > ZsavTrailer::kMaxBlock) exact = false;
    nextOffset = offset + compressed;
    nextInflated = inflatedOffset + inflated;
    blocks.push_back({offset, std::size_t(compressed), std::size_t(inflated)});
  }
  if (exact && nextOffset != trailerOffset) {
    disagree(trailerOffset, "the blocks the ZSAV trailer lists end at offset " +
                                number(nextOffset) + ", but the trailer begins at " +
                                number(trailerOffset) + kAsStored);
    exact = false;
  }
  // A block may inflate to the block size, or to what a sound table gives it.
  if (blockSize <= 0 && largest > 0) {
    t.blockLimit = largest;
    t.blockLimitDeclared = true;
  }
  if (exact) {
    for (const ZsavTrailer::Block& b : blocks)
      t.blockLimit = std::max<std::uint64_t>(t.blockLimit, b.inflated);
    t.blocks = std::move(blocks);
  }
  return t;
}

}  // namespace brindle
