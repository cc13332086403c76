#include "spssio/detail/BlockFile.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "spssio/FileNames.h"

namespace brindle {
namespace {

bool seekTo(std::FILE* f, std::int64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(f, offset, whence) == 0;
#else
  return fseeko(f, off_t(offset), whence) == 0;
#endif
}

std::int64_t position(std::FILE* f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return std::int64_t(ftello(f));
#endif
}

// Opens a regular file only. A FIFO, device or directory under a data file's
// name is refused without waiting: opening a FIFO for reading would block
// until a writer comes.
std::FILE* openRegularFile(const char* path) {
#ifdef _WIN32
  // Names are UTF-8; the wide functions take any name the system can hold.
  struct _stat64 st;
  if (_wstat64(PathFromUtf8(path).c_str(), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)
    return nullptr;
  return OpenFileUtf8(path, "rb");
#else
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  const int flags = ::fcntl(fd, F_GETFL);
  std::FILE* f = nullptr;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flags >= 0 &&
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
    f = ::fdopen(fd, "rb");
  if (!f) ::close(fd);
  return f;
#endif
}

}  // namespace

BlockFile::~BlockFile() { close(); }

bool BlockFile::open(const char* path) {
  close();
  if (!adopt(openRegularFile(path))) return false;
  m_path = path;
  return true;
}

bool BlockFile::openMemory(const std::uint8_t* data, std::size_t size) {
  // Read as a source over the bytes: no file is opened, so an empty buffer
  // is an empty file on every system.
  const std::span<const std::uint8_t> bytes(data, size);
  return openSource(std::make_shared<const ByteSourceOpener>(
      [bytes] { return std::make_unique<MemoryByteSource>(bytes); }));
}

bool BlockFile::openSource(std::shared_ptr<const ByteSourceOpener> opener,
                           std::unique_ptr<ByteSource> first) {
  close();
  if (!opener || !*opener) return false;
  m_source = first ? std::move(first) : (*opener)();
  if (!m_source) return false;
  m_opener = std::move(opener);
  m_size = std::int64_t(m_source->size());
  m_readFailed = false;
  return m_size >= 0;
}

bool BlockFile::openSame(const BlockFile& other) {
  if (other.m_opener) return openSource(other.m_opener);
  return !other.m_path.empty() && open(other.m_path.c_str());
}

bool BlockFile::adopt(std::FILE* f) {
  m_file = f;
  if (!m_file) return false;
  // The buffer does the buffering; stdio's own would only add a copy.
  std::setvbuf(m_file, nullptr, _IONBF, 0);
  if (!seekTo(m_file, 0, SEEK_END) || (m_size = position(m_file)) < 0 ||
      !seekTo(m_file, 0, SEEK_SET)) {
    close();
    return false;
  }
  m_bufferOffset = 0;
  m_pos = m_end = 0;
  m_readFailed = false;
  return true;
}

void BlockFile::close() {
  if (m_file) std::fclose(m_file);
  m_file = nullptr;
  m_path.clear();
  m_source.reset();
  m_opener.reset();
  m_size = 0;
  m_pos = m_end = 0;
  m_bufferOffset = 0;
  std::vector<std::uint8_t>().swap(m_buffer);
}

bool BlockFile::seek(std::int64_t offset) {
  if (!isOpen() || offset < 0 || offset > m_size) return false;
  // A seek inside the buffered bytes costs nothing; rewinding a small file
  // therefore never touches the disk again.
  if (offset >= m_bufferOffset && offset <= m_bufferOffset + std::int64_t(m_end)) {
    m_pos = std::size_t(offset - m_bufferOffset);
    return true;
  }
  if (m_file && !seekTo(m_file, offset, SEEK_SET)) {
    m_readFailed = true;
    return false;
  }
  m_bufferOffset = offset;
  m_pos = m_end = 0;
  return true;
}

bool BlockFile::ensure(std::size_t n) {
  if (available() >= n) return true;
  if (!isOpen() || std::int64_t(n) > remaining()) return false;
  // Move the unread tail to the front, then read a block (or as much as the
  // request needs) behind it.
  std::size_t tail = available();
  if (m_pos > 0) {
    if (tail) std::memmove(m_buffer.data(), m_buffer.data() + m_pos, tail);
    m_bufferOffset += std::int64_t(m_pos);
    m_pos = 0;
    m_end = tail;
  }
  std::int64_t fileLeft = m_size - (m_bufferOffset + std::int64_t(m_end));
  std::size_t want = std::max(n, kBlockSize);
  if (std::int64_t(want - tail) > fileLeft) want = tail + std::size_t(fileLeft);
  if (m_buffer.size() < want) m_buffer.resize(want);
  if (m_source) {
    // A source reads the whole range or nothing.
    if (!m_source->readAt(std::uint64_t(m_bufferOffset) + m_end, m_buffer.data() + m_end,
                          want - m_end)) {
      m_readFailed = true;
      return false;
    }
    m_end = want;
  }
  while (m_end < n) {
    std::size_t got = std::fread(m_buffer.data() + m_end, 1, want - m_end, m_file);
    if (got == 0) {
      m_readFailed = true;
      return false;
    }
    m_end += got;
  }
  return true;
}

bool BlockFile::readAt(std::int64_t offset, std::uint8_t* out, std::size_t n) {
  if (!isOpen() || offset < 0 || offset > m_size || std::int64_t(n) > m_size - offset) return false;
  m_bufferOffset = offset + std::int64_t(n);
  m_pos = m_end = 0;
  if (m_source) return m_source->readAt(std::uint64_t(offset), out, n);
  if (!seekTo(m_file, offset, SEEK_SET)) return false;
  for (std::size_t done = 0; done < n;) {
    const std::size_t got = std::fread(out + done, 1, n - done, m_file);
    if (got == 0) return false;
    done += got;
  }
  return true;
}

std::size_t BlockFile::fillSome() {
  if (available() > 0) return available();
  if (remaining() <= 0) return 0;
  return ensure(1) ? available() : 0;
}

}  // namespace brindle
