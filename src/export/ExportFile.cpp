#include "export/ExportFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <system_error>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace brindle {
namespace {

std::string ErrorText(int err) {
  return err == 0 ? std::string("the write failed") : std::generic_category().message(err);
}

}  // namespace

ExportFile::~ExportFile() { Discard(); }

#ifndef _WIN32
namespace {

// Follows the symbolic links from path, hop by hop, to the name they end at,
// which need not exist (a dangling link names the file to create). false
// with err set for a loop or a link that cannot be read.
bool FollowLinks(std::string& path, int& err) {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::error_code ec;
    std::filesystem::path to = std::filesystem::read_symlink(path, ec);
    if (ec) {
      err = ec.value();
      return false;
    }
    if (to.is_relative()) to = std::filesystem::path(path).parent_path() / to;
    path = to.string();
  }
  err = ELOOP;
  return false;
}

// Whether the name leads through a process's descriptor links (/dev/stdout,
// /dev/fd/N, /proc/self/fd/N): it then stands for a descriptor that is open
// already (a shell's redirection, perhaps for appending), whose file is to be
// written into, not replaced.
bool ThroughOpenDescriptor(const std::string& target) {
  std::string path = target;
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    folder = std::filesystem::canonical(folder, ec);
    if (!ec && folder.string().rfind("/proc/", 0) == 0) return true;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
    std::filesystem::path to = std::filesystem::read_symlink(path, ec);
    if (ec) return false;
    if (to.is_relative()) to = std::filesystem::path(path).parent_path() / to;
    path = to.string();
  }
  return false;
}

// Gives the new file fd what the file it replaces had: its owner and group
// where the system lets this process give them (else the group alone, else
// neither), then its permission bits (after the owner: a change of owner
// clears the set-id bits).
bool CopyModeAndOwner(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, uid_t(-1), old.st_gid) != 0) {
    // Not permitted: the new file keeps this process's owner and group.
  }
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

}  // namespace
#endif

bool ExportFile::Open(const std::string& target) {
  Discard();
  m_error.clear();
  m_target = target;
  m_renamedTo = target;
#ifndef _WIN32
  // Only a regular file is ever replaced: what the name leads to decides.
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) return OpenDevice(target);
    if (S_ISREG(st.st_mode) && ThroughOpenDescriptor(target)) return OpenDevice(target, true);
    if (!S_ISREG(st.st_mode)) {
      m_error = "Cannot write to " + target + ": " +
                (S_ISDIR(st.st_mode) ? ErrorText(EISDIR)
                                     : std::string("it is no file, character device or FIFO"));
      return false;
    }
    // The file itself, wherever links put it, is replaced in its own folder.
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(target, ec);
    if (ec) {
      m_error = "Cannot write to " + target + ": " + ErrorText(ec.value());
      return false;
    }
    m_renamedTo = real.string();
    if (!OpenTemporary(m_renamedTo)) return false;
    if (!CopyModeAndOwner(fileno(m_file), st)) {
      const int err = errno;
      Discard();
      m_error = "Cannot keep the permissions of " + target + ": " + ErrorText(err);
      return false;
    }
    return true;
  }
  if (errno != ENOENT) {
    m_error = "Cannot write to " + target + ": " + ErrorText(errno);
    return false;
  }
  int err = 0;
  if (!FollowLinks(m_renamedTo, err)) {
    m_error = "Cannot write to " + target + ": " + ErrorText(err);
    return false;
  }
#endif
  return OpenTemporary(m_renamedTo);
}

bool ExportFile::OpenTemporary(const std::string& file) {
  const std::filesystem::path path(file);
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  // A name of our own in the file's folder, so that the rename at the end
  // stays on one file system; "x" refuses a name that is already taken.
  static std::atomic<unsigned> counter{0};
  const auto stamp =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "." + path.filename().string() + ".part-" +
                             std::to_string(stamp % 1000000007ULL) + "-" +
                             std::to_string(counter++);
    m_tempName = (folder / name).string();
    errno = 0;
    m_file = std::fopen(m_tempName.c_str(), "wbx");
    if (m_file) {
      m_ownsFile = true;
      return true;
    }
    if (errno != EEXIST) break;
  }
  const int err = errno;
  m_tempName.clear();
  m_error = "Cannot write to the folder " + folder.string() + ": " + ErrorText(err);
  return false;
}

bool ExportFile::OpenDevice(const std::string& device, bool openFile) {
#ifndef _WIN32
  // No O_CREAT: should the device go before the open, nothing takes its name.
  // A file behind a descriptor link is appended to: the redirection that
  // opened it has emptied it already, or asked for appending.
  errno = 0;
  const int fd = ::open(device.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_APPEND);
  struct stat st;
  if (fd >= 0 && ::fstat(fd, &st) == 0 &&
      (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || (openFile && S_ISREG(st.st_mode)))) {
    m_file = ::fdopen(fd, "wb");
    if (m_file) {
      m_ownsFile = true;
      return true;
    }
  }
  const int err = errno;
  if (fd >= 0) ::close(fd);
  m_error = "Cannot write to " + device + ": " +
            (err ? ErrorText(err) : std::string("it is no longer a device"));
  return false;
#else
  m_error = "Cannot write to " + device;
  return false;
#endif
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
  if (Ok() && m_tempName.empty()) return true;  // straight into a device or FIFO
  if (Ok()) {
    std::error_code ec;
    std::filesystem::rename(m_tempName, m_renamedTo, ec);
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
    std::filesystem::remove(m_tempName, ec);
    m_tempName.clear();
  }
}

}  // namespace brindle
