#include "export/ExportFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "spssio/FileNames.h"

namespace brindle {
namespace {

std::string ErrorText(int err) {
  return err == 0 ? std::string("the write failed") : std::generic_category().message(err);
}

}  // namespace

ExportFile::~ExportFile() { Discard(); }

bool ExportFile::Open(const std::string& target) {
  Discard();
  m_error.clear();
  m_target = target;
  const std::filesystem::path path = PathFromUtf8(target);
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  // A name of our own in the target's folder, so that the rename at the end
  // stays on one file system; "x" refuses a name that is already taken.
  static std::atomic<unsigned> counter{0};
  const auto stamp =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "." + Utf8FromPath(path.filename()) + ".part-" +
                             std::to_string(stamp % 1000000007ULL) + "-" +
                             std::to_string(counter++);
    m_tempName = Utf8FromPath(folder / PathFromUtf8(name));
    errno = 0;
    m_file = OpenFileUtf8(m_tempName, "wbx");
    if (m_file) {
      m_ownsFile = true;
      return true;
    }
    if (errno != EEXIST) break;
  }
  const int err = errno;
  m_tempName.clear();
  m_error = "Cannot write to the folder " + Utf8FromPath(folder) + ": " + ErrorText(err);
  return false;
}

void ExportFile::OpenStream(std::ostream& stream) {
  Discard();
  m_error.clear();
  m_stream = &stream;
}

void ExportFile::Fail(const std::string& what, int err) {
  if (m_error.empty())
    m_error =
        what + " " + (m_ownsFile ? m_target : std::string("the output")) + ": " + ErrorText(err);
}

void ExportFile::Flush() {
  if (m_buffer.empty()) return;
  if (m_stream && Ok()) {
    if (!m_stream->write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size())))
      Fail("Cannot write", 0);
  } else if (m_file && Ok()) {
    errno = 0;
    if (std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size())
      Fail("Cannot write", errno);
  }
  m_buffer.clear();
}

bool ExportFile::Commit() {
  Flush();
  if (m_file && Ok()) {
    errno = 0;
    if (std::fflush(m_file) != 0) Fail("Cannot write", errno);
  }
  if (m_stream) {
    if (Ok() && !m_stream->flush()) Fail("Cannot write", 0);
    m_stream = nullptr;
    return Ok();
  }
  if (m_file) {
    errno = 0;
    const int closed = std::fclose(m_file);
    m_file = nullptr;
    if (closed != 0) Fail("Cannot write", errno);
  }
  if (Ok()) {
    std::error_code ec;
    std::filesystem::rename(PathFromUtf8(m_tempName), PathFromUtf8(m_target), ec);
    if (ec) {
      Fail("Cannot create", ec.value());
    } else {
      m_tempName.clear();
      return true;
    }
  }
  Discard();
  return false;
}

void ExportFile::Discard() {
  m_buffer.clear();
  if (m_file && m_ownsFile) std::fclose(m_file);
  if (m_stream) m_stream->flush();
  m_stream = nullptr;
  m_file = nullptr;
  m_ownsFile = false;
  if (!m_tempName.empty()) {
    std::error_code ec;
    std::filesystem::remove(PathFromUtf8(m_tempName), ec);
    m_tempName.clear();
  }
}

}  // namespace brindle
