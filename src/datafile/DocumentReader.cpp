#include "datafile/DocumentReader.h"

#include "spssio/EncryptedFile.h"
#include "spssio/TextConverter.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace brindle {
namespace {

constexpr std::int64_t kHeaderSize = 176;
constexpr std::int64_t kSmallestFile = 184;  // a header and a termination record
constexpr std::size_t kChunk = 1 << 20;
constexpr int kLineWidth = 80;

constexpr std::int64_t kLayoutCodeAt = 64;

// The integer at p in the file's byte order, whatever the host's is.
std::int32_t IntAt(std::span<const unsigned char> b, std::int64_t p, bool bigEndian) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) {
    const int shift = bigEndian ? 24 - 8 * i : 8 * i;
    u |= static_cast<std::uint32_t>(b[static_cast<std::size_t>(p + i)]) << shift;
  }
  return static_cast<std::int32_t>(u);
}

std::int64_t ScanDictionaryEnd(std::span<const unsigned char> b, std::int64_t from,
                               bool bigEndian) {
  const auto size = static_cast<std::int64_t>(b.size());
  for (std::int64_t p = from; p + 8 <= size; ++p)
    if (IntAt(b, p, bigEndian) == 999 && IntAt(b, p + 4, bigEndian) == 0) return p;
  return 0;
}

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

bool IsBigEndianFile(std::span<const unsigned char> header) {
  if (static_cast<std::int64_t>(header.size()) < kLayoutCodeAt + 4) return false;
  const std::int32_t little = IntAt(header, kLayoutCodeAt, false);
  if (little == 2 || little == 3) return false;
  const std::int32_t big = IntAt(header, kLayoutCodeAt, true);
  return big == 2 || big == 3;
}

std::int64_t FindDictionaryEnd(std::span<const unsigned char> bytes, bool bigEndian) {
  return ScanDictionaryEnd(bytes, kHeaderSize, bigEndian);
}

std::int64_t FindDocumentEnd(std::span<const unsigned char> bytes, std::int64_t dictEnd,
                             bool bigEndian) {
  const auto size = static_cast<std::int64_t>(bytes.size());
  for (std::int64_t p = dictEnd - 12; p >= 177; --p) {
    if (p + 12 > size) continue;
    if (IntAt(bytes, p, bigEndian) == 7 && IntAt(bytes, p + 4, bigEndian) == 3 &&
        IntAt(bytes, p + 8, bigEndian) == 4)
      return p;
  }
  return dictEnd;
}

std::int64_t FindDocumentStart(std::span<const unsigned char> bytes, std::int64_t docEnd,
                               std::int32_t& lineCount, bool bigEndian) {
  const auto Int = [&](std::int64_t p) { return IntAt(bytes, p, bigEndian); };
  const auto size = static_cast<std::int64_t>(bytes.size());
  for (std::int64_t p = docEnd - 4; p >= 177; --p) {
    if (p + 4 > size || Int(p) != 6) continue;
    // Scanning backwards meets the line count before the record type, so a
    // 6 just before this one makes this 6 the count of a six-line document.
    // Unless this 6 is itself the record type and its count fills the region
    // exactly: then the 6 before it belongs to the record ahead (a value-label
    // record naming variable 6, say).
    const bool recordTypeFits =
        p + 8 <= size && docEnd >= p + 8 && docEnd - (p + 8) == std::int64_t{80} * Int(p + 4);
    if (Int(p - 4) == 6 && !recordTypeFits) {
      lineCount = 6;
      return p + 4;
    }
    if (p + 8 > size) return 0;
    lineCount = Int(p + 4);
    return p + 8;
  }
  return 0;
}

DocumentReadResult ReadDocumentRecord(const std::string& fileName, const FileKey* key) {
  DocumentReadResult result;
  std::ifstream in;
  std::unique_ptr<EncryptedFile> plain;
  std::uint64_t size = 0;
  if (key) {
    auto source = std::make_unique<FileByteSource>();
    if (source->open(fileName)) plain = UnlockedWithKey(std::move(source), key->bytes);
    if (!plain) {
      result.message = "file open error";
      return result;
    }
    size = plain->size();
  } else {
    in.open(PathOf(fileName), std::ios::binary);
    std::error_code ec;
    if (in) size = std::filesystem::file_size(PathOf(fileName), ec);
    if (!in || ec) {
      result.message = "file open error";
      return result;
    }
  }
  // The next up to n bytes; 0 at the end, with bad set when a read failed.
  std::uint64_t offset = 0;
  const auto read = [&](unsigned char* out, std::size_t n, bool& bad) -> std::size_t {
    if (!plain) {
      in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
      bad = in.bad();
      return static_cast<std::size_t>(in.gcount());
    }
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size - offset));
    if (!plain->readAt(offset, out, n)) {
      bad = true;
      return 0;
    }
    offset += n;
    return n;
  };
  if (static_cast<std::int64_t>(size) < kSmallestFile) {
    result.message = "file corrupt or larger than 2 Gb";
    return result;
  }

  // Read only as far as the termination record: the document lives in the
  // dictionary, and the data behind it may be many gigabytes.
  std::vector<unsigned char> bytes;
  std::int64_t dictEnd = 0;
  std::int64_t scanFrom = kHeaderSize;
  bool bigEndian = false;
  while (dictEnd == 0) {
    const std::size_t old = bytes.size();
    bytes.resize(old + kChunk);
    bool bad = false;
    const std::size_t got = read(bytes.data() + old, kChunk, bad);
    bytes.resize(old + got);
    if (got == 0) {
      if (bad) result.message = "unable to map file";
      return result;  // no termination record: nothing to show
    }
    if (old == 0) bigEndian = IsBigEndianFile(bytes);
    dictEnd = ScanDictionaryEnd(bytes, scanFrom, bigEndian);
    // A pair may straddle the chunk boundary: rescan its last 7 bytes.
    scanFrom = std::max<std::int64_t>(kHeaderSize, static_cast<std::int64_t>(bytes.size()) - 7);
  }

  const std::span<const unsigned char> dict(bytes.data(), static_cast<std::size_t>(dictEnd + 8));
  const std::int64_t docEnd = FindDocumentEnd(dict, dictEnd, bigEndian);
  std::int32_t lineCount = 0;
  const std::int64_t docStart = FindDocumentStart(dict, docEnd, lineCount, bigEndian);
  if (docStart == 0) {
    result.message = "cannot find document";
    return result;
  }
  if (docEnd < docStart || lineCount < 0 ||
      docEnd - docStart != static_cast<std::int64_t>(kLineWidth) * lineCount) {
    result.message = "unable to find number of document lines";
    return result;
  }
  result.found = true;
  result.lineCount = lineCount;
  result.lines.reserve(static_cast<std::size_t>(lineCount));
  for (std::int32_t i = 0; i < lineCount; ++i) {
    const auto* line =
        reinterpret_cast<const char*>(dict.data() + docStart + std::int64_t{kLineWidth} * i);
    result.lines.emplace_back(line, kLineWidth);
  }
  return result;
}

std::vector<std::string> DocumentWindowLines(const DocumentReadResult& doc,
                                             const std::string& encoding) {
  TextConverter text;
  if (!encoding.empty()) text.setEncoding(encoding);
  std::vector<std::string> out;
  out.reserve(doc.lines.size() + 2);
  out.push_back("File contains " + std::to_string(doc.lineCount) + " lines of documents");
  out.emplace_back();
  for (const auto& line : doc.lines) out.push_back(text.toUtf8(line));
  return out;
}

}  // namespace brindle
