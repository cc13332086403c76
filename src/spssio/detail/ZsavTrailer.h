// The ZSAV data trailer: the table of zlib blocks and what each inflates to,
// checked against the data header, the file header's bias and the file. What
// disagrees is named for a warning; the table is used only when it describes
// the stored blocks exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brindle {

class BlockFile;

// Where a ZSAV data header lies and what it says.
struct ZsavHeader {
  std::int64_t at = 0;             // file offset of the data header
  std::int64_t ownOffset = 0;      // the offset it gives for itself
  std::int64_t trailerOffset = 0;  // as it gives them
  std::int64_t trailerLength = 0;
};

struct ZsavTrailer {
  // The most a block may inflate to when nothing declares a size, and the
  // most a block table entry may give for the table to be used.
  static constexpr std::uint64_t kMaxBlock = std::uint64_t(64) << 20;

  struct Block {
    std::int64_t offset;  // of the compressed bytes in the file
    std::size_t compressed;
    std::size_t inflated;
  };
  // The block table when it describes the blocks exactly: back to back from
  // the data header to the trailer, each at most kMaxBlock inflated. Empty
  // otherwise; the blocks are then inflated as one stream of streams.
  std::vector<Block> blocks;
  // The most bytes one block may inflate to: the trailer's block size, else
  // the largest size its table gives a block, or kMaxBlock when it declares
  // none; a sound table's blocks may each inflate to what it gives them.
  std::uint64_t blockLimit = kMaxBlock;
  bool blockLimitDeclared = false;  // false: kMaxBlock, as nothing declares one
  // The first thing that disagrees, with its file offset, and how many did;
  // empty and 0 when everything agrees.
  std::string disagreement;
  std::int64_t disagreementOffset = -1;
  int disagreements = 0;
};

// Reads and checks the trailer that header points at, for data whose file
// header gives bias. The trailer must begin within the file (a file cut off
// before it has nothing to check). Leaves the file's position anywhere.
ZsavTrailer ReadZsavTrailer(BlockFile& file, bool swap, double bias, const ZsavHeader& header);

}  // namespace brindle
