// The case data of an open system file as a stream of rows: one row is one
// case, elementCount 8-byte elements in the file's byte order. Uncompressed,
// bytecode and ZSAV data all end up in the same row buffer, decoded straight
// from large blocks of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "spssio/detail/BytecodeDecoder.h"
#include "spssio/detail/ZsavInflater.h"

namespace brindle {

class BlockFile;

class SavCaseStream {
 public:
  struct Layout {
    int compression = 0;  // 0 none, 1 bytecode, 2 ZSAV
    double bias = 100.0;
    bool swap = false;
    std::int64_t dataStart = 0;    // file offset just past the dictionary
    std::size_t elementCount = 0;  // 8-byte elements per case
    std::int64_t caseLimit = -1;   // cases the header promises; -1 unknown
  };

  // file must stay open as long as the stream is used. Returns an SPSS code;
  // for ZSAV the data header is checked here (SPSS_BAD_DATA when damaged).
  int start(BlockFile* file, const Layout& layout);

  // Back to the first case. Clears a damage condition.
  int rewind();
  // Reads the next case into row(): SPSS_OK, SPSS_FILE_END when the data ends
  // at a case boundary (or the promised count is reached), another code when
  // the data is damaged or cut off inside a case; that code repeats until a
  // rewind.
  int next();
  // Positions before the 0-based case number: SPSS_INVALID_CASE when the data
  // has fewer cases.
  int seek(std::int64_t caseNumber);

  const std::uint8_t* row() const { return m_row.data(); }
  // Where and how the case data is stored, for passes that decode it themselves.
  const Layout& layout() const { return m_layout; }
  bool hasRow() const { return m_hasRow; }
  // Number of complete cases in an uncompressed data area (-1 otherwise).
  std::int64_t uncompressedCaseCount() const;
  // Bytes left over after the last complete uncompressed case.
  const std::string& error() const { return m_error; }

 private:
  int nextUncompressed();
  int nextCompressed();
  int fail(int code, std::string message);
  // The bytes of the compressed region at hand in the file's buffer.
  std::size_t regionBytesAvailable();
  // Inflates the next stretch of ZSAV data; false on a read failure.
  bool refillInflated();

  BlockFile* m_file = nullptr;
  Layout m_layout;
  std::int64_t m_regionStart = 0;  // first byte of bytecode or zlib data
  std::int64_t m_regionEnd = 0;    // one past the last byte
  std::vector<std::uint8_t> m_row;
  std::unique_ptr<BytecodeDecoder> m_decoder;
  std::unique_ptr<ZsavInflater> m_inflater;
  // Inflated bytecode: [pos, end) is ready to decode, [end, heldEnd) came
  // from a block that has not ended yet and is held back until it has.
  std::vector<std::uint8_t> m_inflated;
  std::size_t m_inflatedPos = 0;
  std::size_t m_inflatedEnd = 0;
  std::size_t m_heldEnd = 0;
  bool m_cutBeforeTrailer = false;  // the file ends before the ZSAV trailer
  std::int64_t m_index = 0;         // cases read since the start
  bool m_hasRow = false;
  bool m_ended = false;
  int m_damage = 0;
  // A damaged zlib block met while refilling: reported once the cases
  // inflated from the sound blocks before it have been read.
  int m_pendingCode = 0;
  std::string m_pendingText;
  std::string m_error;
};

}  // namespace brindle
