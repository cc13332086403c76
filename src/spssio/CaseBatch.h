// A batch of consecutive cases of a column pass (ColumnPass), column by
// column: a numeric column is an array of numbers, a string column the stored
// bytes of each case side by side. A batch belongs to one thread at a time;
// the pass refills it, so what it hands out stays valid until the handler
// returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

class TextConverter;

class CaseBatch {
 public:
  CaseBatch();
  ~CaseBatch();
  CaseBatch(CaseBatch&&) noexcept;
  CaseBatch& operator=(CaseBatch&&) noexcept;

  // The 0-based number of the batch's first case, and how many cases follow.
  std::int64_t firstCase() const { return m_first; }
  std::size_t size() const { return m_size; }

  // The columns, in the order the pass named the variables.
  std::size_t columnCount() const { return m_columns.size(); }
  // The column's variable (0-based dictionary position).
  int variable(std::size_t c) const { return m_columns[c].variable; }
  // 0 for a numeric column, else the string width in bytes.
  std::size_t width(std::size_t c) const { return m_columns[c].width; }

  // A numeric column's size() values, system-missing as the lowest double.
  const double* numbers(std::size_t c) const { return m_columns[c].numbers.data(); }
  double number(std::size_t c, std::size_t i) const { return m_columns[c].numbers[i]; }
  // A string column's value of case i as stored: width(c) bytes in the
  // file's encoding, blank padding kept.
  std::string_view stored(std::size_t c, std::size_t i) const {
    const Column& col = m_columns[c];
    return {reinterpret_cast<const char*>(col.bytes.data()) + i * col.width, col.width};
  }
  // The same value in UTF-8 without trailing blanks (zero bytes kept), as
  // the export writes it; valid until the next call.
  std::string_view text(std::size_t c, std::size_t i);

  // For the pass that fills the batch: the columns' layout, then the room
  // for `cases` cases starting at case `first`.
  void setColumns(const std::vector<int>& variables, const std::vector<std::size_t>& widths,
                  const std::string& encoding);
  void reset(std::int64_t first, std::size_t cases);
  double* numbersToFill(std::size_t c) { return m_columns[c].numbers.data(); }
  std::uint8_t* bytesToFill(std::size_t c) { return m_columns[c].bytes.data(); }
  // Drops the first n cases (a pass that starts inside a batch).
  void dropFront(std::size_t n);
  // Keeps the first n cases (a pass that ends inside a batch).
  void keepFront(std::size_t n) {
    if (n < m_size) m_size = n;
  }

 private:
  struct Column {
    int variable = 0;
    std::size_t width = 0;
    std::vector<double> numbers;
    std::vector<std::uint8_t> bytes;
  };
  std::int64_t m_first = 0;
  std::size_t m_size = 0;
  std::vector<Column> m_columns;
  std::string m_encoding;
  std::unique_ptr<TextConverter> m_converter;  // made when first needed
  std::string m_text;
};

}  // namespace brindle
