// Random-access reading of bytes at 64-bit offsets: the seam between a file's
// bytes and whatever interprets them, so a decrypting layer can sit between
// the disk and a reader without either knowing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace brindle {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // Fills out with the n bytes at offset. False, with out's content
  // unspecified, when any of [offset, offset + n) lies past size() or the
  // read fails. Not safe to call from several threads at once.
  virtual bool readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) = 0;
};

// Bytes in memory; the caller keeps them alive while the source is used.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
  std::uint64_t size() const override { return m_bytes.size(); }
  bool readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;

 private:
  std::span<const std::uint8_t> m_bytes;
};

// A file on disk, read unbuffered: callers ask for large ranges.
class FileByteSource final : public ByteSource {
 public:
  FileByteSource() = default;
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  // Opens the file for reading; false when it cannot be opened or sized.
  bool open(const std::string& path);
  std::uint64_t size() const override { return m_size; }
  bool readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;

 private:
  std::FILE* m_file = nullptr;
  std::uint64_t m_size = 0;
};

}  // namespace brindle
