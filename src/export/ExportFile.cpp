#include "export/ExportFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <system_error>
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: the C runtime's descriptor functions take its HANDLE.
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "spssio/FileNames.h"

namespace brindle {
namespace {

std::string ErrorText(int err) {
  return err == 0 ? std::string("the write failed") : std::generic_category().message(err);
}

}  // namespace

ExportFile::~ExportFile() { Discard(); }

#ifdef _WIN32
namespace {

std::string SystemErrorText() {
  const DWORD code = GetLastError();
  return code == 0 ? std::string("the write failed")
                   : std::system_category().message(static_cast<int>(code));
}

enum class TargetKind { FileOrNothing, Folder, Device };

// What a name stands for. One that cannot be opened to look (it does not
// exist, or may not be read) is a file to create: the temporary file and the
// rename then give the message.
TargetKind KindOf(const std::string& target) {
  const HANDLE handle = CreateFileW(PathFromUtf8(target).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return TargetKind::FileOrNothing;
  const DWORD type = GetFileType(handle);
  BY_HANDLE_FILE_INFORMATION info;
  const bool folder = type == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
                      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  CloseHandle(handle);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) return TargetKind::Device;
  return folder ? TargetKind::Folder : TargetKind::FileOrNothing;
}

// A C stream over a handle it takes; null (the handle closed) on failure.
std::FILE* StreamOf(HANDLE handle) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
}

// A new file that must not exist yet (the C library's "x" mode is not in
// every Windows C runtime); errno EEXIST when the name is taken.
std::FILE* CreateNewFile(const std::string& name) {
  const HANDLE handle = CreateFileW(PathFromUtf8(name).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    errno = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ? EEXIST
            : code == ERROR_ACCESS_DENIED                             ? EACCES
            : code == ERROR_PATH_NOT_FOUND                            ? ENOENT
                                                                      : EIO;
    return nullptr;
  }
  return StreamOf(handle);
}

}  // namespace
#endif

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
#else
  // As on POSIX systems, what the name stands for decides: a device (NUL,
  // CON, a serial port) or a pipe is written straight into and never
  // replaced, a folder is refused, a file is replaced whole.
  switch (KindOf(target)) {
    case TargetKind::Device:
      return OpenDevice(target);
    case TargetKind::Folder:
      m_error = "Cannot write to " + target + ": " + ErrorText(EISDIR);
      return false;
    case TargetKind::FileOrNothing:
      break;
  }
#endif
  return OpenTemporary(m_renamedTo);
}

bool ExportFile::OpenTemporary(const std::string& file) {
  const std::filesystem::path path = PathFromUtf8(file);
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  // A name of our own in the file's folder, so that the rename at the end
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
#ifdef _WIN32
    m_file = CreateNewFile(m_tempName);
#else
    m_file = OpenFileUtf8(m_tempName, "wbx");
#endif
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
  // OPEN_EXISTING: should the device go before the open, nothing takes its name.
  (void)openFile;
  const HANDLE handle =
      CreateFileW(PathFromUtf8(device).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
      m_file = StreamOf(handle);
      if (m_file) {
        m_ownsFile = true;
        return true;
      }
    } else {
      CloseHandle(handle);
      m_error = "Cannot write to " + device + ": it is no longer a device";
      return false;
    }
  }
  m_error = "Cannot write to " + device + ": " + SystemErrorText();
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
#ifdef _WIN32
    // Replaces an existing file in one step; the target is no device here
    // (Open sent those to OpenDevice).
    if (!MoveFileExW(PathFromUtf8(m_tempName).c_str(), PathFromUtf8(m_renamedTo).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      if (m_error.empty()) m_error = "Cannot create " + m_target + ": " + SystemErrorText();
    } else {
#else
    std::error_code ec;
    std::filesystem::rename(m_tempName, m_renamedTo, ec);
    if (ec) {
      Fail("Cannot create", ec.value());
    } else {
#endif
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
