// A uniquely named file in the temporary folder, removed when the object dies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brindle::testing {

class TempFile {
 public:
  // Reserves a fresh path ending in suffix; nothing is written yet.
  explicit TempFile(const std::string& suffix = ".sav");
  // Reserves a path and writes bytes to it. Throws std::runtime_error when
  // the file cannot be written.
  explicit TempFile(const std::vector<std::uint8_t>& bytes, const std::string& suffix = ".sav");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&& other) noexcept;

  const std::string& path() const { return m_path; }
  const char* c_str() const { return m_path.c_str(); }
  // Replaces the file's content.
  void write(const std::vector<std::uint8_t>& bytes) const;

 private:
  std::string m_path;
};

}  // namespace brindle::testing
