#include "spssio/detail/CaseBytes.h"

#include <algorithm>
#include <cstring>

#include "spssio/SpssioCodes.h"
#include "spssio/detail/BlockFile.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/ZsavInflater.h"
#include "spssio/detail/ZsavTrailer.h"

namespace brindle {
namespace {
constexpr std::size_t kInflateBlock = std::size_t(4) << 20;
}

CaseBytes::CaseBytes() = default;
CaseBytes::~CaseBytes() = default;

bool CaseBytes::fail(int code, std::string message) {
  m_code = code;
  m_error = std::move(message);
  return false;
}

int CaseBytes::open(BlockFile& file, const CaseLayout& layout, unsigned threads) {
  m_file = &file;
  m_layout = layout;
  m_threads = threads;
  m_code = SPSS_OK;
  m_error.clear();
  m_pendingCode = 0;
  m_pendingText.clear();
  m_warnings.clear();
  m_in = m_inEnd = nullptr;
  m_last = false;
  m_blocks.clear();
  m_nextBlock = 0;
  m_blockInflater.reset();
  m_inflater.reset();
  m_inflatedPos = m_inflatedEnd = m_heldEnd = 0;
  m_inflatedAt = 0;
  m_cutBeforeTrailer = false;
  m_regionStart = layout.dataStart;
  m_regionEnd = file.size();
  if (!file.seek(layout.dataStart)) {
    fail(SPSS_FILE_RERROR,
         "cannot position at the case data (offset " + std::to_string(layout.dataStart) + ")");
    return m_code;
  }
  if (layout.compression != 2) return SPSS_OK;

  // The data header: its own offset, the trailer's offset and length.
  const std::string where = "ZLIB data header at offset " + std::to_string(layout.dataStart);
  if (!file.ensure(24)) {
    fail(SPSS_FILE_TRUNCATED, where + ": the file ends inside it");
    return m_code;
  }
  ByteCursor c(file.data(), 24, layout.swap, layout.dataStart);
  std::int64_t headerOffset = 0, trailerOffset = 0, trailerLength = 0;
  c.readI64(headerOffset);
  c.readI64(trailerOffset);
  c.readI64(trailerLength);
  // The trailer offset bounds the compressed blocks; without it the end of
  // the last block cannot be told from the trailer's bytes.
  if (trailerOffset < layout.dataStart + 24) {
    fail(SPSS_BAD_DATA,
         where + ": trailer offset " + std::to_string(trailerOffset) + " lies outside the file");
    return m_code;
  }
  m_regionStart = layout.dataStart + 24;
  // A file cut off before its trailer: the whole blocks before the cut are
  // read, then the cut is reported.
  m_cutBeforeTrailer = trailerOffset > file.size();
  m_regionEnd = m_cutBeforeTrailer ? file.size() : trailerOffset;
  ZsavTrailer trailer;
  if (!m_cutBeforeTrailer) {
    trailer =
        ReadZsavTrailer(file, layout.swap, layout.bias,
                        ZsavHeader{layout.dataStart, headerOffset, trailerOffset, trailerLength});
    if (trailer.disagreements > 0)
      m_warnings.push_back({0, 0, trailer.disagreementOffset, trailer.disagreement});
  }
  m_blockLimit = trailer.blockLimit;
  m_blockLimitDeclared = trailer.blockLimitDeclared;
  std::size_t largest = kInflateBlock;
  if (ZsavBlockInflater::available() && layout.wholeBlocks && !trailer.blocks.empty()) {
    std::int64_t at = 0;
    for (const ZsavTrailer::Block& b : trailer.blocks) {
      m_blocks.push_back({b.offset, b.compressed, b.inflated, at});
      at += std::int64_t(b.inflated);
      largest = std::max(largest, b.inflated + std::size_t(kGroupMax));
    }
  } else {
    m_inflater = std::make_unique<ZsavInflater>();
    m_inflater->setStreamLimit(m_blockLimit, m_blockLimitDeclared);
  }
  if (m_inflated.size() != largest) m_inflated.assign(largest, 0);
  if (!file.seek(m_regionStart)) fail(SPSS_FILE_RERROR, "cannot position at the ZLIB data");
  return m_code;
}

int CaseBytes::seek(std::int64_t offset) {
  const std::string where = "offset " + std::to_string(offset) + " in the case data";
  m_in = m_inEnd = nullptr;
  m_last = false;
  if (m_layout.compression != 2) {
    if (offset < 0 || !m_file->seek(m_regionStart + offset))
      fail(SPSS_INVALID_ARGUMENT, where + ": outside the data");
    return m_code;
  }
  // The block that holds the offset, inflated whole; the window starts inside it.
  auto after = std::upper_bound(m_blocks.begin(), m_blocks.end(), offset,
                                [](std::int64_t at, const Block& b) { return at < b.at; });
  if (m_blocks.empty() || after == m_blocks.begin()) {
    fail(SPSS_INVALID_ARGUMENT, where + ": no block holds it");
    return m_code;
  }
  const Block& b = *(after - 1);
  m_nextBlock = std::size_t(after - 1 - m_blocks.begin());
  m_blockInflater.reset();
  m_inflatedPos = m_inflatedEnd = m_heldEnd = 0;
  m_inflatedAt = 0;
  if (!m_file->seek(b.offset)) {
    fail(SPSS_FILE_RERROR, "cannot position at offset " + std::to_string(b.offset));
    return m_code;
  }
  if (!fillFromBlocks()) return m_code;
  const std::size_t skip = std::size_t(offset - b.at);
  if (m_inflatedPos + skip > m_inflatedEnd) {
    fail(SPSS_INVALID_ARGUMENT, where + ": past its block");
    return m_code;
  }
  m_in += skip;
  m_inflatedPos += skip;
  return m_code;
}

std::int64_t CaseBytes::offsetOf(const std::uint8_t* p) const {
  return m_layout.compression == 2 ? m_inflatedAt + (p - m_inflated.data())
                                   : m_file->tell() + (p - m_in) - m_regionStart;
}

std::int64_t CaseBytes::fileOffset() const { return m_file->tell(); }

bool CaseBytes::seekable() const { return m_layout.compression != 2 || !m_blocks.empty(); }

void CaseBytes::consume(const std::uint8_t* p) {
  const std::size_t used = std::size_t(p - m_in);
  if (m_layout.compression == 2)
    m_inflatedPos += used;
  else
    m_file->consume(used);
  m_in = p;
}

bool CaseBytes::fill(std::size_t need) {
  if (m_layout.compression != 2) return fillRaw(need);
  return m_blocks.empty() ? fillInflated() : fillFromBlocks();
}

bool CaseBytes::fillRaw(std::size_t need) {
  BlockFile& f = *m_file;
  const std::int64_t left = m_regionEnd - f.tell();
  if (left <= 0) {
    m_in = m_inEnd = f.data();
    m_last = true;
    return true;
  }
  need = std::size_t(std::min<std::int64_t>(left, std::int64_t(need)));
  if (f.available() < need && !f.ensure(need))
    return fail(SPSS_FILE_RERROR, "read failed at offset " + std::to_string(f.tell()));
  const std::int64_t avail = std::min<std::int64_t>(std::int64_t(f.available()), left);
  m_in = f.data();
  m_inEnd = m_in + avail;
  m_last = avail == left;
  return true;
}

bool CaseBytes::fillFromBlocks() {
  const std::size_t tail = m_inflatedEnd - m_inflatedPos;  // less than a group
  if (tail) std::memmove(m_inflated.data(), m_inflated.data() + m_inflatedPos, tail);
  m_inflatedAt += std::int64_t(m_inflatedPos);
  m_inflatedPos = 0;
  m_inflatedEnd = tail;
  if (m_nextBlock < m_blocks.size()) {
    const Block b = m_blocks[m_nextBlock];
    if (!m_blockInflater) {
      std::vector<ZsavBlockInflater::Block> blocks;
      for (const Block& z : m_blocks) blocks.push_back({z.offset, z.compressed, z.inflated});
      m_blockInflater = std::make_unique<ZsavBlockInflater>(*m_file, std::move(blocks), m_nextBlock,
                                                            std::size_t(kGroupMax), m_threads);
    }
    if (!m_blockInflater->take(m_nextBlock, m_spare)) {
      // The block table may lie while the blocks themselves are sound: read
      // on from this block as a stream, which finds the real damage, if any.
      m_blockInflater.reset();
      m_heldEnd = m_inflatedEnd;
      m_blocks.clear();
      m_inflater = std::make_unique<ZsavInflater>();
      m_inflater->setStreamLimit(m_blockLimit, m_blockLimitDeclared);
      if (m_inflated.size() < kInflateBlock) m_inflated.resize(kInflateBlock);
      if (!m_file->seek(b.offset))
        return fail(SPSS_FILE_RERROR, "cannot position at offset " + std::to_string(b.offset));
      return fillInflated();
    }
    // The unused tail goes into the headroom just before the block.
    std::memcpy(m_spare.data() + kGroupMax - tail, m_inflated.data(), tail);
    std::swap(m_inflated, m_spare);
    m_inflatedAt = b.at - kGroupMax;
    m_inflatedPos = std::size_t(kGroupMax) - tail;
    m_inflatedEnd = std::size_t(kGroupMax) + b.inflated;
    ++m_nextBlock;
  }
  m_heldEnd = m_inflatedEnd;
  m_in = m_inflated.data() + m_inflatedPos;
  m_inEnd = m_inflated.data() + m_inflatedEnd;
  m_last = m_nextBlock == m_blocks.size();
  return true;
}

bool CaseBytes::fillInflated() {
  // The unused tail of the last window (less than a group) and what an
  // unfinished block gave move to the front.
  const std::size_t kept = m_heldEnd - m_inflatedPos;
  if (kept) std::memmove(m_inflated.data(), m_inflated.data() + m_inflatedPos, kept);
  const std::size_t tail = m_inflatedEnd - m_inflatedPos;
  m_inflatedAt += std::int64_t(m_inflatedPos);
  m_inflatedPos = 0;
  // Enough for a command group, or all there is.
  const ZsavStretch st = InflateStretch(*m_inflater, *m_file, m_regionEnd, m_cutBeforeTrailer,
                                        m_inflated, kept, tail + std::size_t(kGroupMax));
  if (st.code == SPSS_FILE_RERROR) return fail(st.code, st.message);
  if (st.code) {
    m_pendingCode = st.code;
    m_pendingText = st.message;
  }
  m_inflatedEnd = st.sound;
  m_heldEnd = st.end;
  m_in = m_inflated.data();
  m_inEnd = m_in + m_inflatedEnd;
  m_last = st.inputDone;
  return true;
}

}  // namespace brindle
