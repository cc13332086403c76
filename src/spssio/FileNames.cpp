#include "spssio/FileNames.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <climits>
#endif

namespace brindle {

#ifdef _WIN32

// The system's own conversions, which replace what does not convert instead
// of throwing as the standard library's do.
std::filesystem::path PathFromUtf8(const std::string& name) {
  if (name.empty() || name.size() > std::size_t(INT_MAX)) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, name.data(), int(name.size()), nullptr, 0);
  std::wstring wide(std::size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, name.data(), int(name.size()), wide.data(), n);
  return std::filesystem::path(wide);
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  if (wide.empty() || wide.size() > std::size_t(INT_MAX)) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(std::size_t(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), text.data(), n, nullptr,
                        nullptr);
  return text;
}

std::FILE* OpenFileUtf8(const std::string& name, const char* mode) {
  std::wstring wideMode;
  for (const char* c = mode; *c; ++c) wideMode.push_back(wchar_t(static_cast<unsigned char>(*c)));
  return _wfopen(PathFromUtf8(name).c_str(), wideMode.c_str());
}

#else

std::filesystem::path PathFromUtf8(const std::string& name) { return std::filesystem::path(name); }

std::string Utf8FromPath(const std::filesystem::path& path) { return path.string(); }

std::FILE* OpenFileUtf8(const std::string& name, const char* mode) {
  return std::fopen(name.c_str(), mode);
}

#endif

}  // namespace brindle
