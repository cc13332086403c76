// The decompressor of bytecode-compressed case data: groups of eight command
// bytes, each followed by the 8-byte literals its code-253 commands announce.
// It is resumable: decode() may be called with input in pieces of any size
// (as blocks arrive from the file or the zlib inflater) and picks up exactly
// where the previous piece ended, so it can be tested and fuzzed alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brindle {

// The command codes of bytecode compression; codes 1..251 stand for the
// number code - bias.
inline constexpr std::uint8_t kCodePad = 0;
inline constexpr std::uint8_t kCodeEnd = 252;
inline constexpr std::uint8_t kCodeLiteral = 253;
inline constexpr std::uint8_t kCodeSpaces = 254;
inline constexpr std::uint8_t kCodeSysmis = 255;

// The 8 element bytes each command code stands for, in the file's byte order
// when swap is set: numbers for 1..251, blanks for 254, system-missing for
// 255; zero bytes for the codes that stand for no element.
void FillBytecodePatterns(std::uint8_t (&patterns)[256][8], double bias, bool swap);

class BytecodeDecoder {
 public:
  enum class Result {
    RowDone,    // the row is complete
    NeedInput,  // the input piece is used up; call again with more
    End,        // an end-of-data command (252) was met
  };

  // bias: the header's compression bias; swap: elements are produced in the
  // file's byte order (numbers the decoder makes up are swapped to match).
  BytecodeDecoder(double bias, bool swap);

  // Forgets all state, for a rewind to the first case.
  void reset();

  // Continues filling row (elementCount 8-byte elements) from [in, end) and
  // advances in past what it used. After RowDone the next call starts a new
  // row. After End every further call returns End.
  Result decode(const std::uint8_t*& in, const std::uint8_t* end, std::uint8_t* row,
                std::size_t elementCount);

  // True when part of a row has been produced (or a literal is half read):
  // input ending now means the data is cut off inside a case.
  bool midRow() const { return m_filled > 0 || m_literalHave > 0; }
  // True between whole command groups and their literals, where sound data
  // may end. Input ending elsewhere (a partial group, a literal announced but
  // missing) was cut off, even at a case boundary.
  bool atGroupBoundary() const { return !midRow() && m_codesHave == 0 && m_codeIndex == 8; }

 private:
  Result decodeSlow(const std::uint8_t*& in, const std::uint8_t* end, std::uint8_t* row,
                    std::size_t elementCount);

  std::uint8_t m_patterns[256][8];  // element bytes of codes 1..251, 254, 255
  std::uint8_t m_codes[8];
  int m_codeIndex = 8;  // next command in m_codes; 8: a new group is due
  int m_codesHave = 0;  // command bytes of a group that arrived in pieces
  std::size_t m_filled = 0;
  int m_literalHave = 0;  // bytes of a code-253 literal copied so far
  bool m_ended = false;
};

}  // namespace brindle
