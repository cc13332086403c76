// Thrift's compact protocol, the few parts a Parquet footer and page header
// need: structs of fields by id, integers, booleans, binaries and lists.
// Written by hand: the Parquet structures are a handful of fields, and the
// generated code of the Thrift compiler would bring a runtime library and
// Boost for what is a few varints.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::thrift {

enum Type : std::uint8_t {
  kTrue = 1,
  kFalse = 2,
  kI32 = 5,
  kI64 = 6,
  kBinary = 8,
  kList = 9,
  kStruct = 12,
};

class CompactWriter {
 public:
  std::string& bytes() { return m_out; }

  void BeginStruct() { m_lastIds.push_back(m_lastId), m_lastId = 0; }
  void EndStruct() {
    m_out.push_back(0);  // stop
    m_lastId = m_lastIds.back();
    m_lastIds.pop_back();
  }
  void FieldI32(int id, std::int32_t v) { Field(id, kI32), Varint(ZigZag(v)); }
  void FieldI64(int id, std::int64_t v) { Field(id, kI64), Varint(ZigZag(v)); }
  void FieldBool(int id, bool v) { Field(id, v ? kTrue : kFalse); }
  void FieldBinary(int id, std::string_view v) { Field(id, kBinary), Binary(v); }
  // A struct field: BeginStruct follows at once.
  void FieldStruct(int id) { Field(id, kStruct); }
  // A list field of n elements of type t; for structs each element is
  // BeginStruct ... EndStruct.
  void FieldList(int id, Type t, std::size_t n) {
    Field(id, kList);
    if (n < 15) {
      m_out.push_back(char((n << 4) | t));
    } else {
      m_out.push_back(char(0xF0 | t));
      Varint(n);
    }
  }
  // List elements.
  void I32(std::int32_t v) { Varint(ZigZag(v)); }
  void Binary(std::string_view v) {
    Varint(v.size());
    m_out.append(v);
  }

 private:
  static std::uint64_t ZigZag(std::int64_t v) {
    return (std::uint64_t(v) << 1) ^ std::uint64_t(v >> 63);
  }
  void Varint(std::uint64_t v) {
    while (v >= 0x80) {
      m_out.push_back(char(v | 0x80));
      v >>= 7;
    }
    m_out.push_back(char(v));
  }
  void Field(int id, Type t) {
    if (id > m_lastId && id - m_lastId <= 15) {
      m_out.push_back(char(((id - m_lastId) << 4) | t));
    } else {
      m_out.push_back(char(t));
      Varint(ZigZag(std::int16_t(id)));
    }
    m_lastId = id;
  }

  std::string m_out;
  int m_lastId = 0;
  std::vector<int> m_lastIds;
};

}  // namespace brindle::thrift
