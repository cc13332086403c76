// The C-style functions of the I/O module over SavReader: a small table maps
// integer handles to open readers.
#include "spssio/Spssio.h"

#include <array>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "spssio/detail/Handles.h"
#include "spssio/detail/SavReader.h"

using brindle::SavReader;
using brindle::SavVariable;

namespace {

constexpr int kMaxHandles = 256;

// Lookups on the case loop must be cheap, so readers are found through
// atomic slots; only opening and closing take the lock.
std::array<std::atomic<SavReader*>, kMaxHandles> g_readers{};
std::mutex g_openClose;

std::string& lastError() {
  thread_local std::string text;
  return text;
}

int succeed() {
  std::string& e = lastError();
  if (!e.empty()) e.clear();
  return SPSS_OK;
}

int failWith(int code, const std::string& detail = std::string()) {
  std::string& e = lastError();
  e = spssCodeText(code);
  if (!detail.empty()) e += ": " + detail;
  return code;
}

SavReader* readerOf(int handle) {
  if (handle < 0 || handle >= kMaxHandles) return nullptr;
  return g_readers[std::size_t(handle)].load(std::memory_order_acquire);
}

// Finds the reader and the named variable, or reports which one is missing.
int lookup(int handle, const char* varName, SavReader*& reader, const SavVariable*& var) {
  reader = readerOf(handle);
  if (!reader) return failWith(SPSS_INVALID_HANDLE);
  if (!varName) return failWith(SPSS_INVALID_VARNAME);
  int index = reader->findVariable(varName);
  if (index < 0) return failWith(SPSS_VAR_NOTFOUND, varName);
  var = &reader->variables()[std::size_t(index)];
  return SPSS_OK;
}

int variableOfHandle(SavReader* reader, double varHandle, const SavVariable*& var) {
  const auto& vars = reader->variables();
  if (!(varHandle >= 0) || varHandle >= double(vars.size()) || varHandle != std::floor(varHandle))
    return SPSS_INVALID_VARHANDLE;
  var = &vars[std::size_t(varHandle)];
  return SPSS_OK;
}

char* copyText(const std::string& s) {
  char* p = static_cast<char*>(std::malloc(s.size() + 1));
  if (p) std::memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

void freeTexts(char** texts, int n) {
  if (!texts) return;
  for (int i = 0; i < n; ++i) std::free(texts[i]);
  std::free(texts);
}

}  // namespace

namespace {

// Opens a reader with open(reader) and gives it a handle.
template <class Open>
int openHandle(int* handle, const char* what, Open&& open) {
  auto reader = std::unique_ptr<SavReader>(new (std::nothrow) SavReader);
  if (!reader) return failWith(SPSS_NO_MEMORY);
  int rc;
  try {
    rc = open(*reader);
  } catch (const std::bad_alloc&) {
    return failWith(SPSS_NO_MEMORY, what);
  }
  if (rc != SPSS_OK) return failWith(rc, reader->error());
  std::lock_guard<std::mutex> lock(g_openClose);
  for (int i = 0; i < kMaxHandles; ++i) {
    if (!g_readers[std::size_t(i)].load(std::memory_order_relaxed)) {
      g_readers[std::size_t(i)].store(reader.release(), std::memory_order_release);
      *handle = i;
      return succeed();
    }
  }
  return failWith(SPSS_TOO_MANY_FILES);
}

}  // namespace

int spssOpenRead(const char* fileName, int* handle) {
  if (!fileName || !handle) return failWith(SPSS_INVALID_ARGUMENT);
  return openHandle(handle, fileName, [&](SavReader& r) { return r.open(fileName); });
}

int spssOpenReadEncrypted(const char* fileName, const char* password, int* handle) {
  if (!fileName || !password || !handle) return failWith(SPSS_INVALID_ARGUMENT);
  const brindle::FileUnlock unlock{password, nullptr};
  return openHandle(handle, fileName, [&](SavReader& r) { return r.open(fileName, &unlock); });
}

int brindle::OpenReadWithKey(const char* fileName, const FileKey& key, int* handle) {
  if (!fileName || !handle) return failWith(SPSS_INVALID_ARGUMENT);
  const FileUnlock unlock{{}, &key};
  return openHandle(handle, fileName, [&](SavReader& r) { return r.open(fileName, &unlock); });
}

std::shared_ptr<const brindle::FileKey> brindle::FileKeyOf(int handle) {
  const SavReader* r = readerOf(handle);
  return r ? r->key() : nullptr;
}

int brindle::OpenMemoryRead(const std::uint8_t* data, std::size_t size, int* handle,
                            const char* password) {
  if (!handle || (!data && size)) return failWith(SPSS_INVALID_ARGUMENT);
  const FileUnlock unlock{password ? password : "", nullptr};
  return openHandle(handle, "the bytes in memory", [&](SavReader& r) {
    return r.openMemory(data, size, password ? &unlock : nullptr);
  });
}

int spssCloseRead(int handle) {
  SavReader* reader = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_openClose);
    if (handle < 0 || handle >= kMaxHandles) return failWith(SPSS_INVALID_HANDLE);
    reader = g_readers[std::size_t(handle)].exchange(nullptr, std::memory_order_acq_rel);
  }
  if (!reader) return failWith(SPSS_INVALID_HANDLE);
  delete reader;
  return succeed();
}

int spssGetVarNames(int handle, int* numVars, char*** varNames, int** varTypes) {
  SavReader* reader = readerOf(handle);
  if (!reader) return failWith(SPSS_INVALID_HANDLE);
  if (!numVars || !varNames || !varTypes) return failWith(SPSS_INVALID_ARGUMENT);
  const auto& vars = reader->variables();
  int n = int(vars.size());
  char** names = nullptr;
  int* types = nullptr;
  if (n > 0) {
    names = static_cast<char**>(std::calloc(std::size_t(n), sizeof(char*)));
    types = static_cast<int*>(std::malloc(std::size_t(n) * sizeof(int)));
    if (!names || !types) {
      std::free(names);
      std::free(types);
      return failWith(SPSS_NO_MEMORY);
    }
    for (int i = 0; i < n; ++i) {
      names[i] = copyText(vars[std::size_t(i)].name);
      types[i] = vars[std::size_t(i)].width;
      if (!names[i]) {
        spssFreeVarNames(names, types, n);
        return failWith(SPSS_NO_MEMORY);
      }
    }
  }
  *numVars = n;
  *varNames = names;
  *varTypes = types;
  return succeed();
}

int spssFreeVarNames(char** varNames, int* varTypes, int numVars) {
  freeTexts(varNames, numVars);
  std::free(varTypes);
  return succeed();
}

int spssGetVarLabel(int handle, const char* varName, std::string& varLabel) {
  SavReader* r = nullptr;
  const SavVariable* v = nullptr;
  if (int rc = lookup(handle, varName, r, v)) return rc;
  varLabel = v->label;
  return succeed();
}

int spssGetVarMeasureLevel(int handle, const char* varName, int* measureLevel) {
  SavReader* r = nullptr;
  const SavVariable* v = nullptr;
  if (int rc = lookup(handle, varName, r, v)) return rc;
  if (!measureLevel) return failWith(SPSS_INVALID_ARGUMENT);
  *measureLevel = v->measure;
  return succeed();
}

int spssGetVarRole(int handle, const char* varName, int* varRole) {
  SavReader* r = nullptr;
  const SavVariable* v = nullptr;
  if (int rc = lookup(handle, varName, r, v)) return rc;
  if (!varRole) return failWith(SPSS_INVALID_ARGUMENT);
  *varRole = v->role;
  return succeed();
}

int spssGetVarNMissingValues(int handle, const char* varName, int* missingFormat, double* missVal1,
                             double* missVal2, double* missVal3) {
  SavReader* r = nullptr;
  const SavVariable* v = nullptr;
  if (int rc = lookup(handle, varName, r, v)) return rc;
  if (v->width != 0) return failWith(SPSS_NUME_EXP, varName);
  if (!missingFormat || !missVal1 || !missVal2 || !missVal3) return failWith(SPSS_INVALID_ARGUMENT);
  *missingFormat = v->missingFormat;
  *missVal1 = v->missing[0];
  *missVal2 = v->missing[1];
  *missVal3 = v->missing[2];
  return succeed();
}

int spssGetVarCMissingValues(int handle, const char* varName, int* missingFormat,
                             std::string& missVal1, std::string& missVal2, std::string& missVal3) {
  SavReader* r = nullptr;
  const SavVariable* v = nullptr;
  if (int rc = lookup(handle, varName, r, v)) return rc;
  if (v->width == 0) return failWith(SPSS_STR_EXP, varName);
  if (!missingFormat) return failWith(SPSS_INVALID_ARGUMENT);
  *missingFormat = v->missingFormat;
  missVal1 = r->textToUtf8(v->stringMissing[0]);
  missVal2 = r->textToUtf8(v->stringMissing[1]);
  missVal3 = r->textToUtf8(v->stringMissing[2]);
  return succeed();
}

int spssGetVarPrintFormat(int handle, const char* varName, int* printType, int* printDec,
                          int* printWid) {
  SavReader* r = nullptr;
  const SavVariable* v = nullptr;
  if (int rc = lookup(handle, varName, r, v)) return rc;
  if (!printType || !printDec || !printWid) return failWith(SPSS_INVALID_ARGUMENT);
  *printType = v->print.type;
  *printDec = v->print.decimals;
  *printWid = v->print.width;
  return succeed();
}

int spssGetVarNValueLabels(int handle, const char* varName, double** values, char*** labels,
                           int* numLabels) {
  SavReader* r = nullptr;
  const SavVariable* v = nullptr;
  if (int rc = lookup(handle, varName, r, v)) return rc;
  if (v->width != 0) return failWith(SPSS_NUME_EXP, varName);
  if (!values || !labels || !numLabels) return failWith(SPSS_INVALID_ARGUMENT);
  std::size_t n = 0;
  for (int set : v->labelSets) n += r->labelSets()[std::size_t(set)].size();
  double* vals = nullptr;
  char** texts = nullptr;
  if (n > 0) {
    vals = static_cast<double*>(std::malloc(n * sizeof(double)));
    texts = static_cast<char**>(std::calloc(n, sizeof(char*)));
    if (!vals || !texts) {
      std::free(vals);
      std::free(texts);
      return failWith(SPSS_NO_MEMORY);
    }
    std::size_t i = 0;
    for (int set : v->labelSets)
      for (const auto& l : r->labelSets()[std::size_t(set)]) {
        vals[i] = r->labelNumber(l);
        texts[i] = copyText(l.label);
        if (!texts[i]) {
          spssFreeVarNValueLabels(vals, texts, int(n));
          return failWith(SPSS_NO_MEMORY);
        }
        ++i;
      }
  }
  *values = vals;
  *labels = texts;
  *numLabels = int(n);
  return succeed();
}

int spssFreeVarNValueLabels(double* values, char** labels, int numLabels) {
  std::free(values);
  freeTexts(labels, numLabels);
  return succeed();
}

int spssGetVarCValueLabels(int handle, const char* varName, char*** values, char*** labels,
                           int* numLabels) {
  SavReader* r = nullptr;
  const SavVariable* v = nullptr;
  if (int rc = lookup(handle, varName, r, v)) return rc;
  if (v->width == 0) return failWith(SPSS_STR_EXP, varName);
  if (!values || !labels || !numLabels) return failWith(SPSS_INVALID_ARGUMENT);
  std::size_t n = v->longStringLabels.size();
  for (int set : v->labelSets) n += r->labelSets()[std::size_t(set)].size();
  char** vals = nullptr;
  char** texts = nullptr;
  if (n > 0) {
    vals = static_cast<char**>(std::calloc(n, sizeof(char*)));
    texts = static_cast<char**>(std::calloc(n, sizeof(char*)));
    if (!vals || !texts) {
      std::free(vals);
      std::free(texts);
      return failWith(SPSS_NO_MEMORY);
    }
    std::size_t i = 0;
    for (int set : v->labelSets)
      for (const auto& l : r->labelSets()[std::size_t(set)]) {
        vals[i] = copyText(r->textToUtf8(
            std::string(reinterpret_cast<const char*>(l.value), std::size_t(v->width))));
        texts[i] = copyText(l.label);
        if (!vals[i] || !texts[i]) {
          spssFreeVarCValueLabels(vals, texts, int(n));
          return failWith(SPSS_NO_MEMORY);
        }
        ++i;
      }
    for (const auto& [stored, label] : v->longStringLabels) {
      std::string value = stored;
      if (value.size() < std::size_t(v->width)) value.resize(std::size_t(v->width), ' ');
      vals[i] = copyText(r->textToUtf8(value));
      texts[i] = copyText(label);
      if (!vals[i] || !texts[i]) {
        spssFreeVarCValueLabels(vals, texts, int(n));
        return failWith(SPSS_NO_MEMORY);
      }
      ++i;
    }
  }
  *values = vals;
  *labels = texts;
  *numLabels = int(n);
  return succeed();
}

int spssFreeVarCValueLabels(char** values, char** labels, int numLabels) {
  freeTexts(values, numLabels);
  freeTexts(labels, numLabels);
  return succeed();
}

int spssGetNumberofCases(int handle, std::int64_t* numofCases) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  if (!numofCases) return failWith(SPSS_INVALID_ARGUMENT);
  *numofCases = r->caseCount();
  return succeed();
}

int spssGetCaseSize(int handle, std::int64_t* caseSize) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  if (!caseSize) return failWith(SPSS_INVALID_ARGUMENT);
  *caseSize = r->caseSize();
  return succeed();
}

int spssGetCaseWeightVar(int handle, std::string& varName) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  if (r->weightVariable() < 0) return failWith(SPSS_NO_CASEWGT);
  varName = r->variables()[std::size_t(r->weightVariable())].name;
  return succeed();
}

int spssGetCompression(int handle, int* compSwitch) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  if (!compSwitch) return failWith(SPSS_INVALID_ARGUMENT);
  *compSwitch = r->compression() != 0 ? 1 : 0;
  return succeed();
}

int spssGetSystemString(int handle, std::string& sysName) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  sysName = r->productText();
  return succeed();
}

int spssGetTimeStamp(int handle, std::string& fileDate, std::string& fileTime) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  fileDate = r->creationDate();
  fileTime = r->creationTime();
  return succeed();
}

int spssQueryType7(int handle, int subType, int* found) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  if (!found) return failWith(SPSS_INVALID_ARGUMENT);
  *found = subType == 0 ? (r->hasDocumentRecord() ? 1 : 0) : (r->hasExtension(subType) ? 1 : 0);
  return succeed();
}

int spssGetFileEncoding(int handle, std::string& encoding) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  encoding = r->encoding();
  return succeed();
}

int spssGetVarHandle(int handle, const char* varName, double* varHandle) {
  SavReader* r = nullptr;
  const SavVariable* v = nullptr;
  if (int rc = lookup(handle, varName, r, v)) return rc;
  if (!varHandle) return failWith(SPSS_INVALID_ARGUMENT);
  *varHandle = double(v - r->variables().data());
  return succeed();
}

int spssSeekNextCase(int handle, std::int64_t caseNumber) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  int rc = caseNumber == 0 ? r->cases().rewind() : r->cases().seek(caseNumber);
  if (rc != SPSS_OK) return failWith(rc, r->cases().error());
  return succeed();
}

int spssReadCaseRecord(int handle) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  int rc = r->cases().next();
  if (rc == SPSS_OK) return succeed();
  return failWith(rc, rc == SPSS_FILE_END ? std::string() : r->cases().error());
}

int spssGetValueNumeric(int handle, double varHandle, double* value) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  const SavVariable* v = nullptr;
  if (variableOfHandle(r, varHandle, v) != SPSS_OK) return failWith(SPSS_INVALID_VARHANDLE);
  if (v->width != 0) return failWith(SPSS_NUME_EXP);
  if (!value) return failWith(SPSS_INVALID_ARGUMENT);
  if (!r->cases().hasRow()) return failWith(SPSS_NO_CASE);
  *value = r->numericValue(*v);
  return succeed();
}

int spssGetValueChar(int handle, double varHandle, char* value, int valueSize) {
  SavReader* r = readerOf(handle);
  if (!r) return failWith(SPSS_INVALID_HANDLE);
  const SavVariable* v = nullptr;
  if (variableOfHandle(r, varHandle, v) != SPSS_OK) return failWith(SPSS_INVALID_VARHANDLE);
  if (v->width == 0) return failWith(SPSS_STR_EXP);
  if (!value || valueSize < 1) return failWith(SPSS_INVALID_ARGUMENT);
  if (!r->cases().hasRow()) return failWith(SPSS_NO_CASE);
  std::string text = r->stringValue(*v);
  std::size_t n = brindle::utf8PrefixLength(text.data(), text.size(), std::size_t(valueSize) - 1);
  std::memcpy(value, text.data(), n);
  value[n] = '\0';
  return succeed();
}

int spssHostSysmisVal(double* missVal) {
  if (!missVal) return failWith(SPSS_INVALID_ARGUMENT);
  *missVal = -DBL_MAX;
  return succeed();
}

int spssLowHighVal(double* lowest, double* highest) {
  if (!lowest || !highest) return failWith(SPSS_INVALID_ARGUMENT);
  *lowest = std::nextafter(-DBL_MAX, 0.0);
  *highest = DBL_MAX;
  return succeed();
}

const char* spssLastErrorText() { return lastError().c_str(); }

brindle::SavReader* brindle::detail::ReaderOfHandle(int handle) { return readerOf(handle); }
