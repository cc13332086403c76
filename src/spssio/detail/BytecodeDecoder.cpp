#include "spssio/detail/BytecodeDecoder.h"

#include <cfloat>
#include <cstring>

#include "spssio/detail/ByteCursor.h"

namespace brindle {
namespace {

void storeDouble(std::uint8_t* dst, double value, bool swap) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, 8);
  if (swap) bits = byteSwap64(bits);
  std::memcpy(dst, &bits, 8);
}

}  // namespace

void FillBytecodePatterns(std::uint8_t (&patterns)[256][8], double bias, bool swap) {
  std::memset(patterns, 0, sizeof patterns);
  for (int code = 1; code <= 251; ++code) storeDouble(patterns[code], double(code) - bias, swap);
  std::memset(patterns[kCodeSpaces], ' ', 8);
  storeDouble(patterns[kCodeSysmis], -DBL_MAX, swap);
}

BytecodeDecoder::BytecodeDecoder(double bias, bool swap) {
  FillBytecodePatterns(m_patterns, bias, swap);
}

void BytecodeDecoder::reset() {
  m_codeIndex = 8;
  m_codesHave = 0;
  m_filled = 0;
  m_literalHave = 0;
  m_ended = false;
}

BytecodeDecoder::Result BytecodeDecoder::decode(const std::uint8_t*& in, const std::uint8_t* end,
                                                std::uint8_t* row, std::size_t elementCount) {
  if (m_ended) return Result::End;
  // Fast path: while a whole group and all literals it may announce (8 + 64
  // bytes) are at hand, no partial state can arise and no bounds need
  // checking per byte.
  if (m_literalHave == 0 && m_codesHave == 0) {
    const std::uint8_t* p = in;
    std::size_t filled = m_filled;
    int index = m_codeIndex;
    if (index == 8 || end - p >= 64) {
      while (filled < elementCount) {
        if (index == 8) {
          if (end - p < 72) break;
          std::memcpy(m_codes, p, 8);
          p += 8;
          index = 0;
          // A whole group of plain values and literals, the common case, is
          // copied without a branch per code: literal or table entry.
          if (filled + 8 <= elementCount) {
            bool plain = true;
            for (int k = 0; k < 8; ++k) plain &= m_codes[k] != kCodePad && m_codes[k] != kCodeEnd;
            if (plain) {
              std::uint8_t* dst = row + filled * 8;
              for (int k = 0; k < 8; ++k) {
                bool literal = m_codes[k] == kCodeLiteral;
                const std::uint8_t* src = literal ? p : m_patterns[m_codes[k]];
                std::memcpy(dst + k * 8, src, 8);
                p += literal ? 8 : 0;
              }
              filled += 8;
              index = 8;
              continue;
            }
          }
        }
        std::uint8_t code = m_codes[index++];
        if (code == kCodeLiteral) {
          std::memcpy(row + filled * 8, p, 8);
          p += 8;
          ++filled;
        } else if (code == kCodePad) {
        } else if (code == kCodeEnd) {
          in = p;
          m_codeIndex = index;
          m_filled = filled;
          m_ended = true;
          return Result::End;
        } else {
          std::memcpy(row + filled * 8, m_patterns[code], 8);
          ++filled;
        }
      }
    }
    in = p;
    m_codeIndex = index;
    m_filled = filled;
    if (filled == elementCount) {
      m_filled = 0;
      return Result::RowDone;
    }
  }
  return decodeSlow(in, end, row, elementCount);
}

BytecodeDecoder::Result BytecodeDecoder::decodeSlow(const std::uint8_t*& in,
                                                    const std::uint8_t* end, std::uint8_t* row,
                                                    std::size_t elementCount) {
  while (m_filled < elementCount) {
    if (m_literalHave > 0) {
      std::size_t take = std::size_t(8 - m_literalHave);
      if (std::size_t(end - in) < take) take = std::size_t(end - in);
      if (take) std::memcpy(row + m_filled * 8 + m_literalHave, in, take);
      in += take;
      m_literalHave += int(take);
      if (m_literalHave < 8) return Result::NeedInput;
      m_literalHave = 0;
      ++m_filled;
      continue;
    }
    if (m_codeIndex == 8) {
      std::size_t take = std::size_t(8 - m_codesHave);
      if (std::size_t(end - in) < take) take = std::size_t(end - in);
      if (take) std::memcpy(m_codes + m_codesHave, in, take);
      in += take;
      m_codesHave += int(take);
      if (m_codesHave < 8) return Result::NeedInput;
      m_codesHave = 0;
      m_codeIndex = 0;
    }
    std::uint8_t code = m_codes[m_codeIndex++];
    switch (code) {
      case kCodePad:
        break;
      case kCodeEnd:
        m_ended = true;
        return Result::End;
      case kCodeLiteral:
        m_literalHave = 0;
        if (in == end) {
          // The literal is read when more input comes.
          --m_codeIndex;
          return Result::NeedInput;
        }
        {
          std::size_t take = std::size_t(end - in) < 8 ? std::size_t(end - in) : 8;
          std::memcpy(row + m_filled * 8, in, take);
          in += take;
          if (take < 8) {
            m_literalHave = int(take);
            return Result::NeedInput;
          }
          ++m_filled;
        }
        break;
      default:
        std::memcpy(row + m_filled * 8, m_patterns[code], 8);
        ++m_filled;
        break;
    }
  }
  m_filled = 0;
  return Result::RowDone;
}

}  // namespace brindle
