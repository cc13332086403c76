#include "spssio/testing/SavBytes.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace brindle::testing {

namespace {

void putRaw(Bytes& out, std::uint64_t v, int size, ByteOrder order) {
  for (int i = 0; i < size; ++i) {
    const int shift = order == ByteOrder::Little ? 8 * i : 8 * (size - 1 - i);
    out.push_back(static_cast<std::uint8_t>(v >> shift));
  }
}

}  // namespace

void putInt32(Bytes& out, std::int32_t v, ByteOrder order) {
  putRaw(out, static_cast<std::uint32_t>(v), 4, order);
}

void putInt64(Bytes& out, std::int64_t v, ByteOrder order) {
  putRaw(out, static_cast<std::uint64_t>(v), 8, order);
}

void putDouble(Bytes& out, double v, ByteOrder order) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  putRaw(out, bits, 8, order);
}

void putText(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

void putPadded(Bytes& out, std::string_view text, std::size_t width, char pad) {
  const std::size_t n = text.size() < width ? text.size() : width;
  out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
  out.insert(out.end(), width - n, static_cast<std::uint8_t>(pad));
}

Bytes int32Bytes(std::int32_t v, ByteOrder order) {
  Bytes b;
  putInt32(b, v, order);
  return b;
}

Bytes doubleBytes(double v, ByteOrder order) {
  Bytes b;
  putDouble(b, v, order);
  return b;
}

Bytes textBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes extensionRecord(int subtype, int size, int count, const Bytes& data, ByteOrder order) {
  Bytes b;
  putInt32(b, 7, order);
  putInt32(b, subtype, order);
  putInt32(b, size, order);
  putInt32(b, count, order);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes truncated(const Bytes& bytes, std::size_t n) {
  return Bytes(bytes.begin(),
               bytes.begin() + static_cast<std::ptrdiff_t>(n < bytes.size() ? n : bytes.size()));
}

void patchBytes(Bytes& bytes, std::size_t offset, const Bytes& patch) {
  if (bytes.size() < offset + patch.size()) bytes.resize(offset + patch.size());
  std::copy(patch.begin(), patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void patchInt32(Bytes& bytes, std::size_t offset, std::int32_t v, ByteOrder order) {
  patchBytes(bytes, offset, int32Bytes(v, order));
}

void patchInt64(Bytes& bytes, std::size_t offset, std::int64_t v, ByteOrder order) {
  Bytes b;
  putInt64(b, v, order);
  patchBytes(bytes, offset, b);
}

Bytes readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace brindle::testing
