// Where the values of a pass's columns lie in a case: the 8-byte elements to
// decode, and how the decoder's rows (ColumnScanner) turn into a CaseBatch's
// columns.
#pragma once

#include <cstddef>
#include <vector>

namespace brindle {

class CaseBatch;
class ColumnScanner;
class SavReader;

class ColumnLayout {
 public:
  // The columns of the variables at these positions. False when one is out
  // of range (the layout is then empty).
  bool build(const SavReader& reader, const std::vector<int>& variables);

  const std::vector<int>& variables() const { return m_variables; }
  const std::vector<std::size_t>& widths() const { return m_widths; }
  // The elements the decoder is asked for.
  const std::vector<std::size_t>& elements() const { return m_elements; }
  // Bytes of one decoded row.
  std::size_t rowBytes() const { return m_rowBytes; }

  // Moves rows [0, n) of the decoder's last read into batch, at its cases
  // [at, at + n) (the batch has room for them).
  void fill(const ColumnScanner& rows, std::size_t n, CaseBatch& batch, std::size_t at) const;

 private:
  struct Piece {
    std::size_t slot, bytes;
  };
  struct Column {
    std::size_t slot = 0;  // a number's
    std::size_t firstPiece = 0, pieces = 0;
  };
  std::vector<int> m_variables;
  std::vector<std::size_t> m_widths;
  std::vector<std::size_t> m_elements;
  std::vector<Column> m_columns;
  std::vector<Piece> m_pieces;
  std::size_t m_rowBytes = 0;
  bool m_swap = false;
};

}  // namespace brindle
