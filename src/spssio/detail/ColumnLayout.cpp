#include "spssio/detail/ColumnLayout.h"

#include <algorithm>
#include <cstring>

#include "spssio/CaseBatch.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/ColumnScanner.h"
#include "spssio/detail/SavReader.h"

namespace brindle {

bool ColumnLayout::build(const SavReader& reader, const std::vector<int>& variables) {
  *this = ColumnLayout();
  const std::vector<SavVariable>& all = reader.variables();
  for (int v : variables)
    if (v < 0 || std::size_t(v) >= all.size()) return false;
  m_variables = variables;
  m_swap = reader.cases().layout().swap;
  for (int v : variables) {
    const SavVariable& var = all[std::size_t(v)];
    std::size_t width = 0;
    if (var.width == 0) {
      m_elements.push_back(var.element);
    } else {
      for (const SavSegment& s : var.segments) {
        for (std::size_t e = 0; e < (s.bytes + 7) / 8; ++e) m_elements.push_back(s.element + e);
        width += s.bytes;
      }
    }
    m_widths.push_back(width);
  }
  // The decoder's slots are the ranks of the distinct elements, so a
  // segment's elements lie side by side in a row.
  std::vector<std::size_t> distinct = m_elements;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  const auto slotOf = [&](std::size_t element) {
    return std::size_t(std::lower_bound(distinct.begin(), distinct.end(), element) -
                       distinct.begin());
  };
  for (int v : variables) {
    const SavVariable& var = all[std::size_t(v)];
    Column col;
    if (var.width == 0) {
      col.slot = slotOf(var.element);
    } else {
      col.firstPiece = m_pieces.size();
      for (const SavSegment& s : var.segments) m_pieces.push_back({slotOf(s.element), s.bytes});
      col.pieces = m_pieces.size() - col.firstPiece;
    }
    m_columns.push_back(col);
  }
  m_rowBytes = 8 * distinct.size();
  return true;
}

void ColumnLayout::fill(const ColumnScanner& rows, std::size_t n, CaseBatch& batch,
                        std::size_t at) const {
  for (std::size_t c = 0; c < m_columns.size(); ++c) {
    const Column& col = m_columns[c];
    if (m_widths[c] == 0) {
      double* out = batch.numbersToFill(c) + at;
      const std::size_t offset = 8 * col.slot;
      for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t bits;
        std::memcpy(&bits, rows.row(i) + offset, 8);
        if (m_swap) bits = byteSwap64(bits);
        std::memcpy(out + i, &bits, 8);
      }
      continue;
    }
    // A very long string's segments lie apart, each padded to whole elements.
    const std::size_t width = m_widths[c];
    std::uint8_t* out = batch.bytesToFill(c) + at * width;
    if (col.pieces == 1) {
      // Most strings are one piece; one of eight bytes is copied as a word.
      const std::size_t offset = 8 * m_pieces[col.firstPiece].slot;
      if (width == 8) {
        for (std::size_t i = 0; i < n; ++i, out += 8) std::memcpy(out, rows.row(i) + offset, 8);
      } else {
        for (std::size_t i = 0; i < n; ++i, out += width)
          std::memcpy(out, rows.row(i) + offset, width);
      }
      continue;
    }
    for (std::size_t i = 0; i < n; ++i, out += width) {
      const std::uint8_t* row = rows.row(i);
      std::size_t put = 0;
      for (std::size_t p = col.firstPiece; p < col.firstPiece + col.pieces; ++p) {
        std::memcpy(out + put, row + 8 * m_pieces[p].slot, m_pieces[p].bytes);
        put += m_pieces[p].bytes;
      }
    }
  }
}

}  // namespace brindle
