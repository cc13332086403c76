// The cases of one frequency pass: the value of the counted variable and,
// for a weighted pass, the weight, for batches of consecutive cases. Read
// either straight from the file's blocks (ColumnScanner, only the elements
// the pass needs) or case by case through the I/O module's calls; both give
// the same values, the same texts and stop at the same case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "spssio/ColumnScanner.h"

namespace brindle {

class SavReader;

class PassCases {
 public:
  enum class Start { Ok, NoVariable, NoWeight };

  // Starts at the first case of the open file `handle`. weightName null: no
  // weight. A weight variable that does not exist or is not numeric gives
  // NoWeight. viaModule: read through spssReadCaseRecord and the value calls.
  Start Open(int handle, const std::string& varName, const std::string* weightName, bool viaModule);

  // Reads up to about `want` further cases; returns how many are at hand
  // (indexes 0..n-1 below). Batches of wide values are kept to a few
  // megabytes, so fewer than want may come while Status() is SPSS_OK; none
  // or fewer otherwise: Status() says why.
  std::size_t Read(std::size_t want);
  // SPSS_OK, SPSS_FILE_END, or the code of the damage that stopped reading.
  int Status() const;
  std::string Error() const;

  double Number(std::size_t i) const;
  double Weight(std::size_t i) const;
  // A string value's stored form, StoredWidth() bytes; false when it could
  // not be read.
  const std::uint8_t* Stored(std::size_t i);
  bool StoredOk(std::size_t i) const { return m_viaModule ? m_ok[i] != 0 : true; }
  std::size_t StoredWidth() const { return m_viaModule ? m_moduleBuffer : m_storedWidth; }
  // The table key of a stored form: the whole value in UTF-8, up to the first
  // NUL, without trailing blanks and control characters.
  std::string Text(std::string_view stored) const;

  // Back to the first case (the I/O module's stream included).
  void Close();

 private:
  // The cases of one batch take at most about this many bytes.
  static constexpr std::size_t kBatchBytes = std::size_t(8) << 20;
  double Element(std::size_t i, std::size_t slot) const;

  int m_handle = -1;
  SavReader* m_reader = nullptr;
  bool m_viaModule = false;
  int m_width = 0;  // 0 numeric
  std::size_t m_storedWidth = 0;
  std::size_t m_caseBytes = 8;     // what one case of a batch takes
  std::size_t m_moduleBuffer = 0;  // a string value's UTF-8 text with its NUL
  bool m_weighted = false;
  bool m_swap = false;

  // Straight from the file.
  ColumnScanner m_scanner;
  std::size_t m_valueSlot = 0, m_weightSlot = 0;
  struct Piece {
    std::size_t slot, bytes;
  };
  std::vector<Piece> m_pieces;  // where a string's bytes lie in a row
  std::vector<std::uint8_t> m_gather;

  // Through the module.
  double m_varHandle = 0, m_weightHandle = 0;
  double m_lastValue = 0, m_lastWeight = 0;
  std::vector<double> m_values, m_weights;
  std::vector<std::uint8_t> m_texts, m_ok;
  int m_moduleStatus = 0;
  std::string m_moduleError;
};

}  // namespace brindle
