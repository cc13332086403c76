#include "spssio/ByteSource.h"

#include <cstring>

#include "spssio/FileNames.h"
#ifndef _WIN32
#include <sys/types.h>
#endif

namespace brindle {
namespace {

bool inRange(std::uint64_t size, std::uint64_t offset, std::size_t n) {
  return offset <= size && n <= size - offset;
}

bool seekTo(std::FILE* f, std::uint64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<__int64>(offset), whence) == 0;
#else
  return fseeko(f, off_t(offset), whence) == 0;
#endif
}

}  // namespace

bool MemoryByteSource::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  if (!inRange(m_bytes.size(), offset, n)) return false;
  if (n > 0) std::memcpy(out, m_bytes.data() + offset, n);
  return true;
}

FileByteSource::~FileByteSource() {
  if (m_file) std::fclose(m_file);
}

bool FileByteSource::open(const std::string& path) {
  if (m_file) std::fclose(m_file);
  m_size = 0;
  m_file = OpenFileUtf8(path, "rb");
  if (!m_file) return false;
  std::setvbuf(m_file, nullptr, _IONBF, 0);
#ifdef _WIN32
  const __int64 end = seekTo(m_file, 0, SEEK_END) ? _ftelli64(m_file) : -1;
#else
  const off_t end = seekTo(m_file, 0, SEEK_END) ? ftello(m_file) : -1;
#endif
  if (end < 0) {
    std::fclose(m_file);
    m_file = nullptr;
    return false;
  }
  m_size = std::uint64_t(end);
  return true;
}

bool FileByteSource::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  if (!m_file || !inRange(m_size, offset, n)) return false;
  if (n == 0) return true;
  return seekTo(m_file, offset, SEEK_SET) && std::fread(out, 1, n, m_file) == n;
}

}  // namespace brindle
