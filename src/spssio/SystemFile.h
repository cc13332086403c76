// An open system file as value types: the dictionary by variable index, the
// value labels and missing values of each variable, the file's facts, and
// its cases one at a time. The rest of the program holds files as this
// class and reads their cases with ColumnPass; the I/O module's integer
// handles and C-style calls are a thin layer over it, for that layer alone.
//
// Texts are UTF-8, converted from the file's declared encoding. One SystemFile
// must not be used from two threads at once; passes on several threads read
// through files of their own (ColumnPass).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "spssio/DictionaryParts.h"
#include "spssio/FileWarning.h"
#include "spssio/MissingValues.h"

namespace brindle {

struct FileKey;
class SavReader;

struct VariableFormat {
  int type = 0;  // the module's format code (5 = F)
  int width = 0;
  int decimals = 0;
};

struct Variable {
  std::string name;   // whole, UTF-8
  std::string label;  // whole; empty when none
  int width = 0;      // 0 numeric, else the string width in bytes
  VariableFormat print;
  VariableFormat write;
  MissingValues missing;
  int measure = 0;  // SPSS_MLVL_*: 0 when the file does not say
  int role = -1;    // SPSS_ROLE_*: -1 when the file does not say
  int displayWidth = -1;              // columns in the data editor; -1 when the file does not say
  int alignment = -1;                 // 0 left, 1 right, 2 centre; -1 when the file does not say
  std::vector<Attribute> attributes;  // custom attributes in file order, $@Role among them
  bool isString() const { return width != 0; }
};

struct NumericLabel {
  double value = 0;
  std::string label;
};

struct StringLabel {
  std::string value;  // blank padded to the variable's width
  std::string label;
};

// What opens an encrypted file: its password, or the key an earlier open of
// the same file gave (then the password is not needed).
struct OpenKey {
  const char* password = nullptr;
  const FileKey* key = nullptr;
};

class SystemFile {
 public:
  // Opens path and reads its dictionary. Returns an SPSS code; on failure
  // *error (when given) names the record and byte offset. An encrypted file
  // needs a password or key: SPSS_ENCRYPTED_FILE without, SPSS_WRONG_PASSWORD
  // when it does not fit.
  static int open(const std::string& path, std::shared_ptr<SystemFile>& file,
                  std::string* error = nullptr, OpenKey unlock = {});
  // The same for a file held in memory; the bytes must outlive the file.
  static int openMemory(const std::uint8_t* data, std::size_t size,
                        std::shared_ptr<SystemFile>& file, std::string* error = nullptr,
                        OpenKey unlock = {});
  ~SystemFile();
  SystemFile(const SystemFile&) = delete;
  SystemFile& operator=(const SystemFile&) = delete;

  // Dictionary.
  std::size_t variableCount() const { return m_vars.size(); }
  const Variable& variable(std::size_t i) const { return m_vars[i]; }
  const std::vector<Variable>& variables() const { return m_vars; }
  // The variable with this name (exact, else ignoring ASCII case); -1 when none.
  int findVariable(std::string_view name) const;
  // Value labels in file order; empty for a variable of the other type.
  std::vector<NumericLabel> numericLabels(std::size_t i) const;
  std::vector<StringLabel> stringLabels(std::size_t i) const;

  // The file's facts.
  // The header's count, else the extended count; -1 when not known (see
  // spssGetNumberofCases for which counts are taken).
  std::int64_t caseCount() const;
  std::int64_t caseSize() const;  // bytes per case stored uncompressed
  int weightVariable() const;     // index; -1 when the file has none
  bool compressed() const;        // bytecode or ZSAV
  const std::string& productText() const;
  const std::string& creationDate() const;  // "dd mmm yy"
  const std::string& creationTime() const;  // "hh:mm:ss"
  const std::string& encoding() const;      // an iconv name
  // The encoding as the file declares it: the encoding record's name (empty
  // when the file has none) and the integer-info record's code page (0 when
  // it gives none); encoding() is what the texts were read as.
  const std::string& declaredEncoding() const;
  int characterCode() const;
  bool hasDocumentRecord() const;
  // The document lines as stored (80 bytes each, in the file's encoding,
  // padding kept), the lines of every document record in file order.
  const std::vector<std::string>& documentLines() const;
  // The same lines in UTF-8 without their padding.
  const std::vector<std::string>& documents() const;
  bool hasExtension(int subtype) const;
  // The data file's custom attributes, in file order.
  const std::vector<Attribute>& fileAttributes() const;
  // Multiple-response sets of both kinds of record, in file order.
  const std::vector<MultipleResponseSet>& multipleResponseSets() const;
  // The data editor's variable sets, in file order.
  const std::vector<VariableSet>& variableSets() const;
  // The extra product information; empty when the file has none.
  const std::string& productInfo() const;
  // What was wrong with the file though it opened (damaged records and what
  // the reader did about them), in the order met; empty for a sound file.
  // A pass over compressed data that stops at the promised case count and
  // finds further cases adds one at the end (once; it may come from a pass
  // on another thread, so ask again after a pass).
  std::vector<FileWarning> warnings() const;
  // The key of an encrypted file, to open it again; null for a plain one.
  std::shared_ptr<const FileKey> key() const;

  // Cases one at a time. rewind() goes back to the first case, seek() before
  // the 0-based case (SPSS_INVALID_CASE past the end). readCase() gives
  // SPSS_OK, SPSS_FILE_END, or the damage code, repeated until a rewind;
  // caseError() then describes it.
  int rewind();
  int seek(std::int64_t caseNumber);
  int readCase();
  const std::string& caseError() const;
  bool hasCase() const;
  // The current case's value: a number (system-missing as -DBL_MAX), or a
  // string in UTF-8 with its blank padding.
  double number(std::size_t var) const;
  std::string text(std::size_t var) const;

 private:
  // The I/O module's own classes reach the reader through detail/FileAccess.h.
  friend struct FileAccess;

  explicit SystemFile(std::unique_ptr<SavReader> reader);
  template <class Open>
  static int make(std::shared_ptr<SystemFile>& file, std::string* error, Open&& open);

  std::unique_ptr<SavReader> m_reader;
  std::vector<Variable> m_vars;
};

}  // namespace brindle
