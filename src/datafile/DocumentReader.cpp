#include "datafile/DocumentReader.h"

#include <memory>

#include "spssio/SpssioCodes.h"
#include "spssio/SystemFile.h"
#include "spssio/TextConverter.h"

namespace brindle {

DocumentReadResult DocumentOf(const SystemFile& file) {
  DocumentReadResult result;
  if (!file.hasDocumentRecord()) {
    result.message = "cannot find document";
    return result;
  }
  result.found = true;
  result.lines = file.documentLines();
  result.lineCount = static_cast<std::int32_t>(result.lines.size());
  return result;
}

DocumentReadResult ReadDocumentRecord(const std::string& fileName, const FileKey* key) {
  std::shared_ptr<SystemFile> file;
  OpenKey unlock;
  unlock.key = key;
  const int rc = SystemFile::open(fileName, file, nullptr, unlock);
  if (rc != SPSS_OK) {
    DocumentReadResult result;
    result.message =
        rc == SPSS_FILE_OERROR || rc == SPSS_ENCRYPTED_FILE || rc == SPSS_WRONG_PASSWORD
            ? "file open error"
            : "file corrupt or larger than 2 Gb";
    return result;
  }
  return DocumentOf(*file);
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
