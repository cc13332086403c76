// The dictionary and the case stream of one open system file. open() reads
// the whole dictionary; the cases are then read one at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "spssio/DictionaryParts.h"
#include "spssio/EncryptedFile.h"
#include "spssio/FileWarning.h"
#include "spssio/TextConverter.h"
#include "spssio/detail/BlockFile.h"
#include "spssio/detail/ByteCursor.h"
#include "spssio/detail/ColumnScanner.h"

namespace brindle {

struct SavFormat {
  int type = 0;
  int width = 0;
  int decimals = 0;
};

// One value label; value holds the 8 stored bytes (a number in the file's
// byte order, or a blank-padded string).
struct SavValueLabel {
  std::uint8_t value[8];
  std::string label;  // UTF-8
};

struct SavSegment {
  std::size_t element;  // first 8-byte element of the segment in a case
  std::size_t bytes;    // bytes of the value stored there
};

struct SavVariable {
  std::string name;   // whole, UTF-8
  std::string label;  // whole, UTF-8; empty when none
  int width = 0;      // 0 numeric, else the string width in bytes
  SavFormat print;
  SavFormat write;
  int missingFormat = 0;  // 0 none, 1..3 discrete, -2 range, -3 range plus one
  double missing[3] = {0, 0, 0};
  std::string stringMissing[3];      // stored bytes, at most 8 each
  std::size_t element = 0;           // first element of the value in a case
  std::vector<SavSegment> segments;  // string variables: where the bytes lie
  std::vector<int> labelSets;        // indexes into SavReader::labelSets()
  // Labels of strings wider than 8 (stored value bytes, UTF-8 label).
  std::vector<std::pair<std::string, std::string>> longStringLabels;
  int measure = 0;  // 1 nominal, 2 ordinal, 3 scale; 0 when the file does not say
  int role = -1;    // 0 input .. 5 split from the $@Role attribute; -1 when not recorded
  int displayWidth = -1;              // columns in the data editor; -1 when not recorded
  int alignment = -1;                 // 0 left, 1 right, 2 centre; -1 when not recorded
  std::vector<Attribute> attributes;  // in file order, $@Role among them
};

// What opens an encrypted file: the password as the user gave it, or the
// key an earlier open of the file found (then the password is not used).
struct FileUnlock {
  std::string_view password;
  const FileKey* key = nullptr;
};

class SavReader {
 public:
  SavReader() = default;
  SavReader(const SavReader&) = delete;
  SavReader& operator=(const SavReader&) = delete;

  // Opens path and reads its dictionary. Returns an SPSS code; on failure
  // error() names the record and byte offset.
  // An encrypted file is read through its decryption when unlock is given
  // (SPSS_WRONG_PASSWORD when it does not fit), else it is SPSS_ENCRYPTED_FILE.
  int open(const char* path, const FileUnlock* unlock = nullptr);
  // The same for a file held in memory; the bytes must outlive the reader.
  int openMemory(const std::uint8_t* data, std::size_t size, const FileUnlock* unlock = nullptr);
  // The key of an encrypted file; null for a plain one.
  const std::shared_ptr<const FileKey>& key() const { return m_key; }
  const std::string& error() const { return m_error; }
  // What was wrong with a file that opened, in the order met.
  const std::vector<FileWarning>& warnings() const { return m_warnings; }
  // The warning that compressed data goes on past the promised cases, once
  // a pass has found it (passes stop at the count); false until then. Safe
  // to ask while passes run on other threads.
  bool beyondCountWarning(FileWarning& w) const;

  const std::vector<SavVariable>& variables() const { return m_vars; }
  // Index of the variable with this name (exact, else ignoring ASCII case),
  // -1 when none.
  int findVariable(std::string_view name) const;
  const std::vector<std::vector<SavValueLabel>>& labelSets() const { return m_labelSets; }
  double labelNumber(const SavValueLabel& l) const;

  std::int64_t caseCount() const { return m_caseCount; }
  std::int64_t caseSize() const { return std::int64_t(m_elementCount) * 8; }
  int weightVariable() const { return m_weightVar; }
  int compression() const { return m_compression; }
  bool bigEndian() const { return m_bigEndian; }
  const std::string& productText() const { return m_product; }
  const std::string& creationDate() const { return m_date; }
  const std::string& creationTime() const { return m_time; }
  const std::string& fileLabel() const { return m_fileLabel; }
  // The document lines in UTF-8 without their padding, every document
  // record's in file order.
  const std::vector<std::string>& documents() const { return m_documents; }
  // The same lines as stored: 80 bytes each in the file's encoding.
  const std::vector<std::string>& storedDocuments() const { return m_rawDocuments; }
  bool hasDocumentRecord() const { return m_hasDocument; }
  bool hasExtension(int subtype) const { return m_subtypes.count(subtype) != 0; }
  // The data file's custom attributes (subtype 17), in file order.
  const std::vector<Attribute>& fileAttributes() const { return m_fileAttributes; }
  // Multiple-response sets of both records (7 and 19), in file order.
  const std::vector<MultipleResponseSet>& multipleResponseSets() const { return m_mrSets; }
  // Variable sets (subtype 5), in file order.
  const std::vector<VariableSet>& variableSets() const { return m_variableSets; }
  // The extra product information (subtype 10), UTF-8; empty when none.
  const std::string& productInfo() const { return m_productInfo; }
  const std::string& encoding() const { return m_text.encoding(); }
  // The encoding as the file declares it: the encoding record's name (empty
  // without one) and the integer-info record's character code (0 without).
  const std::string& declaredEncoding() const { return m_encodingName; }
  int characterCode() const { return m_characterCode; }
  std::string textToUtf8(const std::string& bytes) const { return m_text.toUtf8(bytes); }

  // Cases.
  CaseCursor& cases() { return m_cases; }
  const CaseCursor& cases() const { return m_cases; }
  // The open file, for passes that decode the case data themselves; they
  // leave its position anywhere and rewind cases() when done.
  BlockFile& file() { return m_file; }
  const BlockFile& file() const { return m_file; }
  // Where passes may start in a compressed file's data, once a full pass has
  // found out (ColumnScanner builds it); null before. A later index replaces
  // the one kept only when it covers more cases.
  const CaseIndex* caseIndex() const { return m_index.points.empty() ? nullptr : &m_index; }
  void keepCaseIndex(CaseIndex index) {
    std::lock_guard lock(m_indexMutex);
    if (index.cases > m_index.cases || (index.complete && !m_index.complete))
      m_index = std::move(index);
  }
  // A copy of the index kept, for another reader of the same file; any
  // thread, also while a pass over this reader may keep a new one.
  CaseIndex copyCaseIndex() const {
    std::lock_guard lock(m_indexMutex);
    return m_index;
  }
  bool hasCompleteCaseIndex() const {
    std::lock_guard lock(m_indexMutex);
    return m_index.complete;
  }
  // The current case's value of a numeric variable (system-missing as -DBL_MAX).
  double numericValue(const SavVariable& v) const;
  // The current case's value of a string variable in UTF-8, blank padding kept.
  std::string stringValue(const SavVariable& v) const;

 private:
  struct RawVariable {
    int type = 0;  // 0 numeric, 1..255 string width, -1 continuation
    std::string shortName;
    std::string label;
    int nMissing = 0;
    std::uint8_t missing[3][8] = {};
    std::int32_t print = 0;
    std::int32_t write = 0;
    std::vector<int> labelSets;
    int owner = -1;         // final variable index, -1 for continuations/segments
    bool absorbed = false;  // a later segment of a very long string
    std::string longName;
    int veryLongWidth = 0;
    std::vector<int> segmentHeads;  // very long strings: the segments in order
    int measure = 0;
    int displayWidth = -1;
    int alignment = -1;
    std::int64_t at = -1;  // where the variable record starts
  };
  // An extension record kept as stored until the variables are known.
  struct StoredRecord {
    std::int64_t at = -1;
    std::string bytes;
  };

  // Puts the decrypted bytes in place of the file's when it is an encrypted
  // wrapper and unlock is given; raw makes a source over the file's bytes.
  int unwrap(const FileUnlock* unlock, const ByteSourceOpener& raw);
  int readDictionary();
  int fail(int code, std::int64_t offset, const std::string& record, const std::string& what);
  // Keeps a warning about the record of this type (and subtype) at offset.
  void warn(int record, int subtype, std::int64_t offset, std::string text);
  bool take(std::size_t n, const std::uint8_t*& bytes);
  int readHeader();
  int readRecords();
  int readVariableRecord(std::int64_t at);
  int readValueLabels(std::int64_t at, int& pendingType, bool& pending);
  int readLabelVariables(std::int64_t at, std::vector<std::int32_t>& indexes);
  int readDocument(std::int64_t at);
  int readExtension(std::int64_t at);
  void readIntegerInfo(ByteCursor& c, std::int32_t size, std::int32_t count);
  void readExtendedCaseCount(ByteCursor& c, std::int32_t size, std::int32_t count);
  // The case count from the header's and the extension record's, checked
  // against what a data area of dataBytes can hold; -1 when unknown.
  std::int64_t chooseCaseCount(std::int64_t dataBytes) const;
  // Warns when the data holds more than the count the file gives.
  void warnAboutCaseCount(std::int64_t dataStart);
  std::string caseCountSource() const;
  void applyVeryLongStrings();
  void applyLongNames();
  void buildVariables();
  void makeNamesUnique();
  void applyLongStringLabels();
  void applyLongStringMissing();
  void applyDisplayParameters();
  void applyVariableAttributes();
  void applyFileAttributes();
  void applyMultipleResponseSets();
  void applyVariableSets();
  // Reads one attribute set ("Name('value'\n...)...") of text from p, up to
  // the end or a '/' at the top level; false (p at the fault) when it is
  // malformed, keeping in out what came before. names holds the names in
  // out; a name met again keeps the first and goes to duplicates.
  static bool readAttributeSet(const std::string& text, std::size_t& p, std::vector<Attribute>& out,
                               std::unordered_set<std::string>& names,
                               std::vector<std::string>& duplicates);
  // Reads the sets of one subtype-7 or 19 record into m_mrSets.
  void readMultipleResponseSets(const StoredRecord& record, int subtype);
  // Replaces formats that do not fit their variable by the default one.
  void checkFormats(SavVariable& v, const RawVariable& r);
  // Keeps the value labels of set for the variables named by indexes (as
  // the value label variables record at `at` gives them) when they can
  // carry them.
  void attachLabelSet(int set, const std::vector<std::int32_t>& indexes, std::int64_t at);
  // Reads one long-string missing-values record in the layout whose size
  // fits it; false when neither reads it to its end.
  bool readLongStringMissing(const StoredRecord& record, bool lengthBeforeEach);
  SavVariable* longStringVariable(std::string_view name, int subtype, std::int64_t at);

  BlockFile m_file;
  std::shared_ptr<const FileKey> m_key;
  bool m_swap = false;
  bool m_bigEndian = false;
  int m_compression = 0;
  double m_bias = 100.0;
  std::int32_t m_weightIndex = 0;
  std::int64_t m_headerCases = -1;
  std::int64_t m_extendedCases = -1;
  std::int64_t m_caseCount = -1;
  std::size_t m_elementCount = 0;
  int m_characterCode = 0;
  std::string m_encodingName;
  std::string m_product, m_date, m_time, m_fileLabel;
  bool m_hasDocument = false;
  std::vector<std::string> m_rawDocuments;
  std::vector<std::string> m_documents;
  std::set<int> m_subtypes;
  std::string m_longNames, m_veryLongStrings;
  std::vector<StoredRecord> m_longStringLabels, m_longStringMissing;
  std::vector<std::int32_t> m_displayParameters;  // subtype 11 as stored
  std::string m_variableAttributes;               // subtype 18, records joined by '/'
  std::vector<StoredRecord> m_fileAttributeRecords, m_mrSetRecords, m_countedSetRecords,
      m_variableSetRecords;  // subtypes 17, 7, 19 and 5 as stored
  std::vector<Attribute> m_fileAttributes;
  std::vector<MultipleResponseSet> m_mrSets;
  std::vector<VariableSet> m_variableSets;
  std::string m_productInfo;
  // Where the first record of each joined or stored kind starts, for warnings.
  std::int64_t m_longNamesAt = -1, m_veryLongAt = -1, m_displayAt = -1, m_attributesAt = -1,
               m_encodingAt = -1;

  std::vector<RawVariable> m_raw;
  std::vector<std::vector<SavValueLabel>> m_labelSets;
  std::vector<SavVariable> m_vars;
  std::unordered_map<std::string, int> m_byName;
  std::unordered_map<std::string, int> m_byUpperName;
  int m_weightVar = -1;
  TextConverter m_text;
  CaseCursor m_cases;
  CaseIndex m_index;
  mutable std::mutex m_indexMutex;  // keepCaseIndex() against copyCaseIndex()
  DataBeyondCount m_beyond;
  std::string m_error;
  std::vector<FileWarning> m_warnings;
  mutable std::string m_scratch;
};

}  // namespace brindle
