#include "spssio/SystemFile.h"

#include <new>

#include "spssio/SpssioCodes.h"
#include "spssio/detail/SavReader.h"

namespace brindle {

namespace {

Variable MakeVariable(const SavReader& reader, const SavVariable& v) {
  Variable out;
  out.name = v.name;
  out.label = v.label;
  out.width = v.width;
  out.print = {v.print.type, v.print.width, v.print.decimals};
  out.write = {v.write.type, v.write.width, v.write.decimals};
  out.missing.format = v.missingFormat;
  for (int i = 0; i < 3; ++i) {
    if (v.width == 0)
      out.missing.numbers[i] = v.missing[i];
    else
      out.missing.strings[i] = reader.textToUtf8(v.stringMissing[i]);
  }
  out.measure = v.measure;
  out.role = v.role;
  out.displayWidth = v.displayWidth;
  out.alignment = v.alignment;
  out.attributes = v.attributes;
  return out;
}

}  // namespace

SystemFile::SystemFile(std::unique_ptr<SavReader> reader) : m_reader(std::move(reader)) {
  m_vars.reserve(m_reader->variables().size());
  for (const SavVariable& v : m_reader->variables()) m_vars.push_back(MakeVariable(*m_reader, v));
}

SystemFile::~SystemFile() = default;

template <class Open>
int SystemFile::make(std::shared_ptr<SystemFile>& file, std::string* error, Open&& open) {
  try {
    auto reader = std::make_unique<SavReader>();
    const int rc = open(*reader);
    if (rc != SPSS_OK) {
      if (error) *error = reader->error();
      return rc;
    }
    file.reset(new SystemFile(std::move(reader)));
    return SPSS_OK;
  } catch (const std::bad_alloc&) {
    if (error) error->clear();
    return SPSS_NO_MEMORY;
  }
}

int SystemFile::open(const std::string& path, std::shared_ptr<SystemFile>& file, std::string* error,
                     OpenKey unlock) {
  const FileUnlock u{unlock.password ? unlock.password : "", unlock.key};
  const bool locked = unlock.password || unlock.key;
  return make(file, error,
              [&](SavReader& r) { return r.open(path.c_str(), locked ? &u : nullptr); });
}

int SystemFile::openMemory(const std::uint8_t* data, std::size_t size,
                           std::shared_ptr<SystemFile>& file, std::string* error, OpenKey unlock) {
  const FileUnlock u{unlock.password ? unlock.password : "", unlock.key};
  const bool locked = unlock.password || unlock.key;
  return make(file, error,
              [&](SavReader& r) { return r.openMemory(data, size, locked ? &u : nullptr); });
}

int SystemFile::findVariable(std::string_view name) const { return m_reader->findVariable(name); }

std::vector<NumericLabel> SystemFile::numericLabels(std::size_t i) const {
  std::vector<NumericLabel> out;
  const SavVariable& v = m_reader->variables()[i];
  if (v.width != 0) return out;
  for (int set : v.labelSets)
    for (const SavValueLabel& l : m_reader->labelSets()[std::size_t(set)])
      out.push_back({m_reader->labelNumber(l), l.label});
  return out;
}

std::vector<StringLabel> SystemFile::stringLabels(std::size_t i) const {
  std::vector<StringLabel> out;
  const SavVariable& v = m_reader->variables()[i];
  if (v.width == 0) return out;
  const std::size_t width = std::size_t(v.width);
  for (int set : v.labelSets)
    for (const SavValueLabel& l : m_reader->labelSets()[std::size_t(set)])
      out.push_back({m_reader->textToUtf8(std::string(reinterpret_cast<const char*>(l.value),
                                                      width < 8 ? width : 8)),
                     l.label});
  // Strings wider than 8 have theirs in the long-string value-labels record.
  for (const auto& [stored, label] : v.longStringLabels) {
    std::string value = stored;
    if (value.size() < width) value.resize(width, ' ');
    out.push_back({m_reader->textToUtf8(value), label});
  }
  return out;
}

std::int64_t SystemFile::caseCount() const { return m_reader->caseCount(); }
std::int64_t SystemFile::caseSize() const { return m_reader->caseSize(); }
int SystemFile::weightVariable() const { return m_reader->weightVariable(); }
bool SystemFile::compressed() const { return m_reader->compression() != 0; }
const std::string& SystemFile::productText() const { return m_reader->productText(); }
const std::string& SystemFile::creationDate() const { return m_reader->creationDate(); }
const std::string& SystemFile::creationTime() const { return m_reader->creationTime(); }
const std::string& SystemFile::encoding() const { return m_reader->encoding(); }
const std::string& SystemFile::declaredEncoding() const { return m_reader->declaredEncoding(); }
int SystemFile::characterCode() const { return m_reader->characterCode(); }
bool SystemFile::hasDocumentRecord() const { return m_reader->hasDocumentRecord(); }
const std::vector<std::string>& SystemFile::documentLines() const {
  return m_reader->storedDocuments();
}
bool SystemFile::hasExtension(int subtype) const { return m_reader->hasExtension(subtype); }
const std::vector<Attribute>& SystemFile::fileAttributes() const {
  return m_reader->fileAttributes();
}
const std::vector<MultipleResponseSet>& SystemFile::multipleResponseSets() const {
  return m_reader->multipleResponseSets();
}
const std::vector<VariableSet>& SystemFile::variableSets() const {
  return m_reader->variableSets();
}
const std::vector<std::string>& SystemFile::documents() const { return m_reader->documents(); }
const std::string& SystemFile::productInfo() const { return m_reader->productInfo(); }
std::vector<FileWarning> SystemFile::warnings() const {
  std::vector<FileWarning> out = m_reader->warnings();
  FileWarning beyond;
  if (m_reader->beyondCountWarning(beyond)) out.push_back(std::move(beyond));
  return out;
}
std::shared_ptr<const FileKey> SystemFile::key() const { return m_reader->key(); }

int SystemFile::rewind() { return m_reader->cases().rewind(); }
int SystemFile::seek(std::int64_t caseNumber) {
  return caseNumber == 0 ? m_reader->cases().rewind() : m_reader->cases().seek(caseNumber);
}
int SystemFile::readCase() { return m_reader->cases().next(); }
const std::string& SystemFile::caseError() const { return m_reader->cases().error(); }
bool SystemFile::hasCase() const { return m_reader->cases().hasRow(); }

double SystemFile::number(std::size_t var) const {
  return m_reader->numericValue(m_reader->variables()[var]);
}

std::string SystemFile::text(std::size_t var) const {
  return m_reader->stringValue(m_reader->variables()[var]);
}

}  // namespace brindle
