// The output of one export: a temporary file beside the target, renamed to
// the target only when everything was written; a device or FIFO, or a
// stream (standard output), written straight through. Writes are buffered;
// the first failure is kept and every later write is skipped.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <string>
#include <string_view>

namespace brindle {

class ExportFile {
 public:
  ExportFile() = default;
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;
  // An unfinished file is removed.
  ~ExportFile();

  // Opens the output for target, by what the name is:
  // - a regular file, or nothing: a new temporary file in its folder, which
  //   Commit renames to it; an existing file's mode (and owner, where the
  //   system permits) carries over to the temporary file at once;
  // - a symbolic link: the same for the file it points to (also when that
  //   does not exist yet); the link stays;
  // - a character device or FIFO: opened for writing and written straight
  //   into (a FIFO's open waits for a reader), nothing renamed; so is a file
  //   reached through a descriptor link (/dev/stdout, /dev/fd/N), appended to;
  // - anything else (a folder, a block device, a socket): refused.
  // false with Error() set when the output cannot be opened.
  bool Open(const std::string& target);
  // Writes to a stream the caller owns (no temporary file, no rename).
  void OpenStream(std::ostream& stream);

  void Write(std::string_view bytes) {
    m_buffer.append(bytes);
    if (m_buffer.size() >= kFlushBytes) Flush();
  }
  void Put(char c) {
    m_buffer.push_back(c);
    if (m_buffer.size() >= kFlushBytes) Flush();
  }
  // The buffer itself, for rows built in place; Written() after each row.
  std::string& Buffer() { return m_buffer; }
  void Written() {
    if (m_buffer.size() >= kFlushBytes) Flush();
  }
  // False once a write has failed.
  bool Ok() const { return m_error.empty(); }
  const std::string& Error() const { return m_error; }

  // Writes what is buffered, closes the temporary file and renames it to the
  // target (a device or FIFO is closed, a stream flushed). false with Error()
  // set on any failure; the temporary file is then removed.
  bool Commit();
  // Closes and removes the temporary file; nothing is left under any name
  // (what went into a device or FIFO is gone already).
  void Discard();

  const std::string& TemporaryName() const { return m_tempName; }

 private:
  static constexpr std::size_t kFlushBytes = std::size_t(1) << 20;
  void Flush();
  void Fail(const std::string& what, int err);
  bool OpenTemporary(const std::string& file);
  // A device or FIFO, or with openFile the file behind a descriptor link.
  bool OpenDevice(const std::string& device, bool openFile = false);

  std::FILE* m_file = nullptr;  // the temporary file, or the device or FIFO
  bool m_ownsFile = false;
  std::ostream* m_stream = nullptr;
  std::string m_target;     // the name given
  std::string m_renamedTo;  // the file the temporary file becomes (links followed)
  std::string m_tempName;   // empty when writing straight into the target
  std::string m_buffer;
  std::string m_error;
};

}  // namespace brindle
