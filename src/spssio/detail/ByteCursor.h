// A bounded, byte-order-aware reader over a block of bytes held in memory.
// Every read checks the bytes that remain; a read that does not fit fails
// (returns false) and leaves the cursor where it was, so callers never read
// out of bounds and never think about byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace brindle {

inline std::uint32_t byteSwap32(std::uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
}

inline std::uint64_t byteSwap64(std::uint64_t v) {
  return (std::uint64_t(byteSwap32(std::uint32_t(v))) << 32) | byteSwap32(std::uint32_t(v >> 32));
}

class ByteCursor {
 public:
  // data must outlive the cursor. swap: the bytes are in the other byte order
  // than this machine's. base: the file offset of data[0], for messages.
  ByteCursor(const std::uint8_t* data, std::size_t size, bool swap, std::int64_t base = 0)
      : m_data(data), m_size(size), m_swap(swap), m_base(base) {}

  std::size_t remaining() const { return m_size - m_pos; }
  std::size_t position() const { return m_pos; }
  std::int64_t fileOffset() const { return m_base + std::int64_t(m_pos); }
  bool atEnd() const { return m_pos == m_size; }
  const std::uint8_t* current() const { return m_data + m_pos; }

  bool readI32(std::int32_t& out) {
    std::uint32_t v;
    if (!copy(&v, 4)) return false;
    out = std::int32_t(m_swap ? byteSwap32(v) : v);
    return true;
  }
  bool readI64(std::int64_t& out) {
    std::uint64_t v;
    if (!copy(&v, 8)) return false;
    out = std::int64_t(m_swap ? byteSwap64(v) : v);
    return true;
  }
  bool readF64(double& out) {
    std::uint64_t v;
    if (!copy(&v, 8)) return false;
    if (m_swap) v = byteSwap64(v);
    std::memcpy(&out, &v, 8);
    return true;
  }
  bool readU8(std::uint8_t& out) { return copy(&out, 1); }
  // Points bytes at the next n bytes and moves past them.
  bool readBytes(std::size_t n, const std::uint8_t*& bytes) {
    if (n > remaining()) return false;
    bytes = m_data + m_pos;
    m_pos += n;
    return true;
  }
  bool skip(std::size_t n) {
    if (n > remaining()) return false;
    m_pos += n;
    return true;
  }

 private:
  bool copy(void* dst, std::size_t n) {
    if (n > remaining()) return false;
    std::memcpy(dst, m_data + m_pos, n);
    m_pos += n;
    return true;
  }

  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
  bool m_swap;
  std::int64_t m_base;
};

}  // namespace brindle
