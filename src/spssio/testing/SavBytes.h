// Byte-level helpers for building and damaging system files in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::testing {

enum class ByteOrder { Little, Big };

using Bytes = std::vector<std::uint8_t>;

// Appends v in the given byte order.
void putInt32(Bytes& out, std::int32_t v, ByteOrder order);
void putInt64(Bytes& out, std::int64_t v, ByteOrder order);
void putDouble(Bytes& out, double v, ByteOrder order);
// Appends the bytes of text as they are.
void putText(Bytes& out, std::string_view text);
// Appends text cut or blank padded to exactly width bytes.
void putPadded(Bytes& out, std::string_view text, std::size_t width, char pad = ' ');

Bytes int32Bytes(std::int32_t v, ByteOrder order);
Bytes doubleBytes(double v, ByteOrder order);
Bytes textBytes(std::string_view text);

// A whole type-7 record: 7, subtype, size, count, then data as given.
Bytes extensionRecord(int subtype, int size, int count, const Bytes& data,
                      ByteOrder order = ByteOrder::Little);

// A copy of bytes cut to its first n bytes (all of it when n is larger).
Bytes truncated(const Bytes& bytes, std::size_t n);
// Overwrites bytes at offset with patch, growing the vector when the patch
// reaches past its end.
void patchBytes(Bytes& bytes, std::size_t offset, const Bytes& patch);
void patchInt32(Bytes& bytes, std::size_t offset, std::int32_t v,
                ByteOrder order = ByteOrder::Little);
void patchInt64(Bytes& bytes, std::size_t offset, std::int64_t v,
                ByteOrder order = ByteOrder::Little);

// Reads a whole file into memory; empty when it cannot be read.
Bytes readFileBytes(const std::string& path);

}  // namespace brindle::testing
