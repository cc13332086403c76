// File names as the program carries them: UTF-8 text. On Windows the system
// takes names as UTF-16, so every file the core opens goes through these;
// elsewhere the bytes are the name.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace brindle {

// The path a UTF-8 file name stands for. Invalid UTF-8 is kept byte for byte
// on POSIX systems; on Windows each invalid sequence becomes U+FFFD.
std::filesystem::path PathFromUtf8(const std::string& name);

// The path's name as UTF-8 (for messages and for handing it on).
std::string Utf8FromPath(const std::filesystem::path& path);

// std::fopen of a UTF-8 file name; null with errno set when it fails.
std::FILE* OpenFileUtf8(const std::string& name, const char* mode);

}  // namespace brindle
