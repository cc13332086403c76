#include "spssio/detail/SavCaseStream.h"

#include <algorithm>
#include <cstring>

#include "spssio/SpssioCodes.h"
#include "spssio/detail/BlockFile.h"
#include "spssio/detail/ByteCursor.h"

namespace brindle {
namespace {
constexpr std::size_t kInflateBlock = std::size_t(4) << 20;
}

int SavCaseStream::fail(int code, std::string message) {
  m_damage = code;
  m_error = std::move(message);
  m_hasRow = false;
  return code;
}

int SavCaseStream::start(BlockFile* file, const Layout& layout) {
  m_file = file;
  m_layout = layout;
  m_row.assign(layout.elementCount * 8, 0);
  m_regionStart = layout.dataStart;
  m_regionEnd = file->size();
  if (layout.compression == 1 || layout.compression == 2)
    m_decoder = std::make_unique<BytecodeDecoder>(layout.bias, layout.swap);
  if (layout.compression == 2) {
    // The data header: its own offset, the trailer's offset and length.
    std::uint8_t header[24];
    if (!file->seek(layout.dataStart) || !file->ensure(24))
      return fail(SPSS_FILE_TRUNCATED, "ZLIB data header at offset " +
                                           std::to_string(layout.dataStart) +
                                           ": the file ends inside it");
    std::memcpy(header, file->data(), 24);
    ByteCursor c(header, 24, layout.swap, layout.dataStart);
    std::int64_t headerOffset = 0, trailerOffset = 0, trailerLength = 0;
    c.readI64(headerOffset);
    c.readI64(trailerOffset);
    c.readI64(trailerLength);
    // The trailer offset bounds the compressed blocks; without it the end of
    // the last block cannot be told from the trailer's bytes.
    if (trailerOffset < layout.dataStart + 24)
      return fail(SPSS_BAD_DATA, "ZLIB data header at offset " + std::to_string(layout.dataStart) +
                                     ": trailer offset " + std::to_string(trailerOffset) +
                                     " lies outside the file");
    m_regionStart = layout.dataStart + 24;
    m_regionEnd = trailerOffset;
    // A file cut off before its trailer: the whole blocks before the cut are
    // read, then the cut is reported.
    m_cutBeforeTrailer = trailerOffset > file->size();
    if (m_cutBeforeTrailer) m_regionEnd = file->size();
    m_inflater = std::make_unique<ZsavInflater>();
    m_inflated.resize(kInflateBlock);
  }
  return rewind();
}

int SavCaseStream::rewind() {
  m_index = 0;
  m_hasRow = false;
  m_ended = false;
  m_damage = 0;
  m_pendingCode = 0;
  m_pendingText.clear();
  m_error.clear();
  if (m_decoder) m_decoder->reset();
  if (m_inflater) m_inflater->reset();
  m_inflatedPos = m_inflatedEnd = m_heldEnd = 0;
  if (!m_file->seek(m_regionStart))
    return fail(SPSS_FILE_RERROR,
                "cannot position at the case data (offset " + std::to_string(m_regionStart) + ")");
  return SPSS_OK;
}

std::int64_t SavCaseStream::uncompressedCaseCount() const {
  if (m_layout.compression != 0 || m_layout.elementCount == 0) return -1;
  std::int64_t bytes = m_file->size() - m_layout.dataStart;
  if (bytes <= 0) return 0;
  return bytes / std::int64_t(m_layout.elementCount * 8);
}

int SavCaseStream::next() {
  if (m_damage) return m_damage;
  m_hasRow = false;
  if (m_ended || m_layout.elementCount == 0) return SPSS_FILE_END;
  if (m_layout.caseLimit >= 0 && m_index >= m_layout.caseLimit) return SPSS_FILE_END;
  int rc = m_layout.compression == 0 ? nextUncompressed() : nextCompressed();
  if (rc == SPSS_OK) {
    ++m_index;
    m_hasRow = true;
  } else if (rc == SPSS_FILE_END) {
    m_ended = true;
  }
  return rc;
}

int SavCaseStream::nextUncompressed() {
  std::size_t bytes = m_row.size();
  std::int64_t left = m_regionEnd - m_file->tell();
  if (left <= 0) return SPSS_FILE_END;
  if (left < std::int64_t(bytes))
    return fail(SPSS_FILE_TRUNCATED, "case " + std::to_string(m_index + 1) + " at offset " +
                                         std::to_string(m_file->tell()) +
                                         ": the file ends inside it");
  if (!m_file->ensure(bytes))
    return fail(SPSS_FILE_RERROR, "case " + std::to_string(m_index + 1) + ": read failed");
  std::memcpy(m_row.data(), m_file->data(), bytes);
  m_file->consume(bytes);
  return SPSS_OK;
}

std::size_t SavCaseStream::regionBytesAvailable() {
  std::int64_t left = m_regionEnd - m_file->tell();
  if (left <= 0) return 0;
  std::size_t have = m_file->fillSome();
  return std::int64_t(have) > left ? std::size_t(left) : have;
}

int SavCaseStream::nextCompressed() {
  const std::size_t elements = m_layout.elementCount;
  for (;;) {
    const std::uint8_t* p;
    const std::uint8_t* end;
    bool inputExhausted = false;
    if (!m_inflater) {
      std::size_t n = regionBytesAvailable();
      if (n == 0 && m_file->readFailed())
        return fail(SPSS_FILE_RERROR, "read failed at offset " + std::to_string(m_file->tell()));
      p = m_file->data();
      end = p + n;
      inputExhausted = n == 0;
    } else {
      if (m_inflatedPos == m_inflatedEnd) {
        if (m_pendingCode) return fail(m_pendingCode, m_pendingText);
        if (!refillInflated()) return m_damage;
        if (m_inflatedEnd == 0 && m_pendingCode) return fail(m_pendingCode, m_pendingText);
      }
      p = m_inflated.data() + m_inflatedPos;
      end = m_inflated.data() + m_inflatedEnd;
      inputExhausted = p == end;
    }
    const std::uint8_t* start = p;
    BytecodeDecoder::Result r = m_decoder->decode(p, end, m_row.data(), elements);
    if (m_inflater)
      m_inflatedPos += std::size_t(p - start);
    else
      m_file->consume(std::size_t(p - start));
    switch (r) {
      case BytecodeDecoder::Result::RowDone:
        return SPSS_OK;
      case BytecodeDecoder::Result::End:
        if (m_decoder->midRow())
          return fail(SPSS_BAD_DATA, "case " + std::to_string(m_index + 1) +
                                         ": the end-of-data code comes inside the case");
        return SPSS_FILE_END;
      case BytecodeDecoder::Result::NeedInput:
        if (inputExhausted) {
          if (!m_decoder->atGroupBoundary())
            return fail(SPSS_FILE_TRUNCATED, "case " + std::to_string(m_index + 1) +
                                                 ": the compressed data ends inside it");
          return SPSS_FILE_END;
        }
        break;
    }
  }
}

bool SavCaseStream::refillInflated() {
  // What an unfinished block gave last time comes first.
  const std::size_t held = m_heldEnd - m_inflatedEnd;
  if (held) std::memmove(m_inflated.data(), m_inflated.data() + m_inflatedEnd, held);
  const ZsavStretch st =
      InflateStretch(*m_inflater, *m_file, m_regionEnd, m_cutBeforeTrailer, m_inflated, held, 1);
  if (st.code == SPSS_FILE_RERROR) {
    fail(st.code, st.message);
    return false;
  }
  if (st.code) {
    m_pendingCode = st.code;
    m_pendingText = st.message;
  }
  m_inflatedPos = 0;
  m_inflatedEnd = st.sound;
  m_heldEnd = st.end;
  return true;
}

int SavCaseStream::seek(std::int64_t caseNumber) {
  if (caseNumber < 0) return SPSS_INVALID_CASE;
  if (m_layout.caseLimit >= 0 && caseNumber > m_layout.caseLimit) return SPSS_INVALID_CASE;
  if (m_layout.compression == 0) {
    std::int64_t count = uncompressedCaseCount();
    if (count >= 0 && caseNumber > count) return SPSS_INVALID_CASE;
    int rc = rewind();
    if (rc != SPSS_OK) return rc;
    std::int64_t offset = m_regionStart + caseNumber * std::int64_t(m_row.size());
    if (!m_file->seek(offset))
      return fail(SPSS_FILE_RERROR, "cannot position at case " + std::to_string(caseNumber + 1));
    m_index = caseNumber;
    return SPSS_OK;
  }
  if (caseNumber < m_index || m_damage) {
    int rc = rewind();
    if (rc != SPSS_OK) return rc;
  }
  while (m_index < caseNumber) {
    int rc = next();
    if (rc == SPSS_FILE_END) return SPSS_INVALID_CASE;
    if (rc != SPSS_OK) return rc;
  }
  m_hasRow = false;
  return SPSS_OK;
}

}  // namespace brindle
