// The output of one export: a temporary file beside the target, renamed to
// the target only when everything was written, or a stream (standard
// output) written straight through. Writes are buffered; the first failure
// is kept and every later write is skipped.
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

  // Creates a new temporary file in target's folder. false with Error() set
  // when the folder cannot take it.
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
  // target (a stream is flushed). false with Error() set on any failure; the
  // temporary file is then removed.
  bool Commit();
  // Closes and removes the temporary file; nothing is left under any name.
  void Discard();

  const std::string& TemporaryName() const { return m_tempName; }

 private:
  static constexpr std::size_t kFlushBytes = std::size_t(1) << 20;
  void Flush();
  void Fail(const std::string& what, int err);

  std::FILE* m_file = nullptr;  // the temporary file
  bool m_ownsFile = false;
  std::ostream* m_stream = nullptr;
  std::string m_target, m_tempName;
  std::string m_buffer;
  std::string m_error;
};

}  // namespace brindle
