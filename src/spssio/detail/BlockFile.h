// Buffered sequential reading of a file in large blocks, with 64-bit offsets.
// Callers ask for n contiguous bytes (ensure) and consume them; the buffer
// grows only as far as the request and never past what the file still holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "spssio/ByteSource.h"

namespace brindle {

// Makes a fresh source over the same bytes each time it is called (null when
// it cannot): every opened copy gets one of its own, as sources are not
// shared between threads.
using ByteSourceOpener = std::function<std::unique_ptr<ByteSource>()>;

class BlockFile {
 public:
  static constexpr std::size_t kBlockSize = std::size_t(4) << 20;

  BlockFile() = default;
  ~BlockFile();
  BlockFile(const BlockFile&) = delete;
  BlockFile& operator=(const BlockFile&) = delete;

  // Opens the file for reading; false when it cannot be opened or sized, or
  // is not a regular file (a FIFO, device or directory).
  bool open(const char* path);
  // Reads size bytes in memory as a file; they must outlive the BlockFile.
  bool openMemory(const std::uint8_t* data, std::size_t size);
  // Reads the bytes of a source the opener makes (a decrypted file, say);
  // offsets are the source's. first, when given, is the opener's first
  // source, made already.
  bool openSource(std::shared_ptr<const ByteSourceOpener> opener,
                  std::unique_ptr<ByteSource> first = nullptr);
  // Opens what other has open (the same path, bytes or source) once more,
  // with a position and buffer of its own, for a pass on another thread.
  bool openSame(const BlockFile& other);
  void close();
  bool isOpen() const { return m_file != nullptr || m_source != nullptr; }

  std::int64_t size() const { return m_size; }
  // Logical position: the file offset of data()[0].
  std::int64_t tell() const { return m_bufferOffset + std::int64_t(m_pos); }
  std::int64_t remaining() const { return m_size - tell(); }
  // Positions at offset (0..size); false when out of range or the seek fails.
  bool seek(std::int64_t offset);

  // Makes at least n contiguous bytes available at data(). False when fewer
  // than n bytes remain in the file or a read fails (readFailed() tells).
  bool ensure(std::size_t n);
  // Makes at least one byte available if the file has any left; returns the
  // number of bytes available (0 at end of file or on a read failure).
  std::size_t fillSome();
  const std::uint8_t* data() const { return m_buffer.data() + m_pos; }
  std::size_t available() const { return m_end - m_pos; }
  void consume(std::size_t n) { m_pos += n; }
  bool readFailed() const { return m_readFailed; }
  // Reads the n bytes at offset straight into out, past the buffer (which it
  // empties). False when they are not all in the file or the read fails.
  bool readAt(std::int64_t offset, std::uint8_t* out, std::size_t n);

 private:
  bool adopt(std::FILE* f);

  std::FILE* m_file = nullptr;
  std::string m_path;                                // what was opened, or
  std::shared_ptr<const ByteSourceOpener> m_opener;  // the source of bytes or decryption
  std::unique_ptr<ByteSource> m_source;
  std::int64_t m_size = 0;
  std::vector<std::uint8_t> m_buffer;
  std::int64_t m_bufferOffset = 0;  // file offset of m_buffer[0]
  std::size_t m_pos = 0;
  std::size_t m_end = 0;
  bool m_readFailed = false;
};

}  // namespace brindle
