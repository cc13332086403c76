#include "spssio/testing/TempFile.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace brindle::testing {

namespace {

std::string freshPath(const std::string& suffix) {
  // A random salt per process keeps parallel test processes apart; the
  // counter keeps the files of one process apart.
  static std::atomic<unsigned> counter{0};
  static const std::uint64_t salt =
      (std::uint64_t{std::random_device{}()} << 32) | std::random_device{}();
  const auto dir = std::filesystem::temp_directory_path();
  return (dir / ("brindle-" + std::to_string(salt) + "-" + std::to_string(counter++) + suffix))
      .string();
}

}  // namespace

TempFile::TempFile(const std::string& suffix) : m_path(freshPath(suffix)) {}

TempFile::TempFile(const std::vector<std::uint8_t>& bytes, const std::string& suffix)
    : m_path(freshPath(suffix)) {
  write(bytes);
}

TempFile::~TempFile() {
  if (!m_path.empty()) std::remove(m_path.c_str());
}

TempFile::TempFile(TempFile&& other) noexcept : m_path(std::move(other.m_path)) {
  other.m_path.clear();
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    if (!m_path.empty()) std::remove(m_path.c_str());
    m_path = std::move(other.m_path);
    other.m_path.clear();
  }
  return *this;
}

void TempFile::write(const std::vector<std::uint8_t>& bytes) const {
  std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + m_path);
}

}  // namespace brindle::testing
