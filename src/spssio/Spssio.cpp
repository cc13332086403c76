// The C-style functions of the I/O module over SystemFile: a small table maps
// integer handles to open files.
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

#include "spssio/SystemFile.h"
#include "spssio/TextConverter.h"

using brindle::SystemFile;
using brindle::Variable;

namespace {

constexpr int kMaxHandles = 256;

// Lookups on the case loop must be cheap, so files are found through atomic
// slots; only opening and closing take the lock, which also guards the
// owners.
std::array<std::atomic<SystemFile*>, kMaxHandles> g_files{};
std::array<std::shared_ptr<SystemFile>, kMaxHandles> g_owners;
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
  lastError() = brindle::CodeText(code, detail);
  return code;
}

SystemFile* fileOf(int handle) {
  if (handle < 0 || handle >= kMaxHandles) return nullptr;
  return g_files[std::size_t(handle)].load(std::memory_order_acquire);
}

// Finds the file and the named variable, or reports which one is missing.
int lookup(int handle, const char* varName, SystemFile*& file, const Variable*& var) {
  file = fileOf(handle);
  if (!file) return failWith(SPSS_INVALID_HANDLE);
  if (!varName) return failWith(SPSS_INVALID_VARNAME);
  const int index = file->findVariable(varName);
  if (index < 0) return failWith(SPSS_VAR_NOTFOUND, varName);
  var = &file->variable(std::size_t(index));
  return SPSS_OK;
}

std::size_t indexOf(const SystemFile& file, const Variable* var) {
  return std::size_t(var - file.variables().data());
}

int variableOfHandle(const SystemFile& file, double varHandle, std::size_t& index) {
  if (!(varHandle >= 0) || varHandle >= double(file.variableCount()) ||
      varHandle != std::floor(varHandle))
    return SPSS_INVALID_VARHANDLE;
  index = std::size_t(varHandle);
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

// Opens a file with open(file, error) and gives it a handle.
template <class Open>
int openHandle(int* handle, const char* what, Open&& open) {
  std::shared_ptr<SystemFile> file;
  std::string error;
  const int rc = open(file, error);
  if (rc == SPSS_NO_MEMORY) return failWith(rc, what);
  if (rc != SPSS_OK) return failWith(rc, error);
  const int code = brindle::RegisterHandle(std::move(file), handle);
  return code == SPSS_OK ? succeed() : failWith(code);
}

}  // namespace

int brindle::RegisterHandle(std::shared_ptr<SystemFile> file, int* handle) {
  if (!file || !handle) return failWith(SPSS_INVALID_ARGUMENT);
  std::lock_guard<std::mutex> lock(g_openClose);
  for (std::size_t i = 0; i < std::size_t(kMaxHandles); ++i) {
    if (!g_owners[i]) {
      g_files[i].store(file.get(), std::memory_order_release);
      g_owners[i] = std::move(file);
      *handle = int(i);
      return succeed();
    }
  }
  return failWith(SPSS_TOO_MANY_FILES);
}

int spssOpenRead(const char* fileName, int* handle) {
  if (!fileName || !handle) return failWith(SPSS_INVALID_ARGUMENT);
  return openHandle(handle, fileName, [&](std::shared_ptr<SystemFile>& f, std::string& e) {
    return SystemFile::open(fileName, f, &e);
  });
}

int spssOpenReadEncrypted(const char* fileName, const char* password, int* handle) {
  if (!fileName || !password || !handle) return failWith(SPSS_INVALID_ARGUMENT);
  return openHandle(handle, fileName, [&](std::shared_ptr<SystemFile>& f, std::string& e) {
    return SystemFile::open(fileName, f, &e, {password, nullptr});
  });
}

int brindle::OpenMemoryRead(const std::uint8_t* data, std::size_t size, int* handle,
                            const char* password) {
  if (!handle || (!data && size)) return failWith(SPSS_INVALID_ARGUMENT);
  return openHandle(handle, "the bytes in memory",
                    [&](std::shared_ptr<SystemFile>& f, std::string& e) {
                      return SystemFile::openMemory(data, size, f, &e, {password, nullptr});
                    });
}

int spssCloseRead(int handle) {
  std::shared_ptr<SystemFile> file;
  {
    std::lock_guard<std::mutex> lock(g_openClose);
    if (handle < 0 || handle >= kMaxHandles) return failWith(SPSS_INVALID_HANDLE);
    g_files[std::size_t(handle)].store(nullptr, std::memory_order_release);
    file = std::move(g_owners[std::size_t(handle)]);
  }
  if (!file) return failWith(SPSS_INVALID_HANDLE);
  file.reset();
  return succeed();
}

int brindle::OpenReadWithKey(const char* fileName, const FileKey& key, int* handle) {
  if (!fileName || !handle) return failWith(SPSS_INVALID_ARGUMENT);
  return openHandle(handle, fileName, [&](std::shared_ptr<SystemFile>& f, std::string& e) {
    return SystemFile::open(fileName, f, &e, {nullptr, &key});
  });
}

std::shared_ptr<const brindle::FileKey> brindle::FileKeyOf(int handle) {
  const SystemFile* f = fileOf(handle);
  return f ? f->key() : nullptr;
}

int spssGetVarNames(int handle, int* numVars, char*** varNames, int** varTypes) {
  SystemFile* file = fileOf(handle);
  if (!file) return failWith(SPSS_INVALID_HANDLE);
  if (!numVars || !varNames || !varTypes) return failWith(SPSS_INVALID_ARGUMENT);
  const auto& vars = file->variables();
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
  SystemFile* f = nullptr;
  const Variable* v = nullptr;
  if (int rc = lookup(handle, varName, f, v)) return rc;
  varLabel = v->label;
  return succeed();
}

int spssGetVarMeasureLevel(int handle, const char* varName, int* measureLevel) {
  SystemFile* f = nullptr;
  const Variable* v = nullptr;
  if (int rc = lookup(handle, varName, f, v)) return rc;
  if (!measureLevel) return failWith(SPSS_INVALID_ARGUMENT);
  *measureLevel = v->measure;
  return succeed();
}

int spssGetVarRole(int handle, const char* varName, int* varRole) {
  SystemFile* f = nullptr;
  const Variable* v = nullptr;
  if (int rc = lookup(handle, varName, f, v)) return rc;
  if (!varRole) return failWith(SPSS_INVALID_ARGUMENT);
  *varRole = v->role;
  return succeed();
}

int spssGetVarNMissingValues(int handle, const char* varName, int* missingFormat, double* missVal1,
                             double* missVal2, double* missVal3) {
  SystemFile* f = nullptr;
  const Variable* v = nullptr;
  if (int rc = lookup(handle, varName, f, v)) return rc;
  if (v->isString()) return failWith(SPSS_NUME_EXP, varName);
  if (!missingFormat || !missVal1 || !missVal2 || !missVal3) return failWith(SPSS_INVALID_ARGUMENT);
  *missingFormat = v->missing.format;
  *missVal1 = v->missing.numbers[0];
  *missVal2 = v->missing.numbers[1];
  *missVal3 = v->missing.numbers[2];
  return succeed();
}

int spssGetVarCMissingValues(int handle, const char* varName, int* missingFormat,
                             std::string& missVal1, std::string& missVal2, std::string& missVal3) {
  SystemFile* f = nullptr;
  const Variable* v = nullptr;
  if (int rc = lookup(handle, varName, f, v)) return rc;
  if (!v->isString()) return failWith(SPSS_STR_EXP, varName);
  if (!missingFormat) return failWith(SPSS_INVALID_ARGUMENT);
  *missingFormat = v->missing.format;
  missVal1 = v->missing.strings[0];
  missVal2 = v->missing.strings[1];
  missVal3 = v->missing.strings[2];
  return succeed();
}

int spssGetVarPrintFormat(int handle, const char* varName, int* printType, int* printDec,
                          int* printWid) {
  SystemFile* f = nullptr;
  const Variable* v = nullptr;
  if (int rc = lookup(handle, varName, f, v)) return rc;
  if (!printType || !printDec || !printWid) return failWith(SPSS_INVALID_ARGUMENT);
  *printType = v->print.type;
  *printDec = v->print.decimals;
  *printWid = v->print.width;
  return succeed();
}

int spssGetVarNValueLabels(int handle, const char* varName, double** values, char*** labels,
                           int* numLabels) {
  SystemFile* f = nullptr;
  const Variable* v = nullptr;
  if (int rc = lookup(handle, varName, f, v)) return rc;
  if (v->isString()) return failWith(SPSS_NUME_EXP, varName);
  if (!values || !labels || !numLabels) return failWith(SPSS_INVALID_ARGUMENT);
  const std::vector<brindle::NumericLabel> list = f->numericLabels(indexOf(*f, v));
  const std::size_t n = list.size();
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
    for (std::size_t i = 0; i < n; ++i) {
      vals[i] = list[i].value;
      texts[i] = copyText(list[i].label);
      if (!texts[i]) {
        spssFreeVarNValueLabels(vals, texts, int(n));
        return failWith(SPSS_NO_MEMORY);
      }
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
  SystemFile* f = nullptr;
  const Variable* v = nullptr;
  if (int rc = lookup(handle, varName, f, v)) return rc;
  if (!v->isString()) return failWith(SPSS_STR_EXP, varName);
  if (!values || !labels || !numLabels) return failWith(SPSS_INVALID_ARGUMENT);
  const std::vector<brindle::StringLabel> list = f->stringLabels(indexOf(*f, v));
  const std::size_t n = list.size();
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
    for (std::size_t i = 0; i < n; ++i) {
      vals[i] = copyText(list[i].value);
      texts[i] = copyText(list[i].label);
      if (!vals[i] || !texts[i]) {
        spssFreeVarCValueLabels(vals, texts, int(n));
        return failWith(SPSS_NO_MEMORY);
      }
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
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  if (!numofCases) return failWith(SPSS_INVALID_ARGUMENT);
  *numofCases = f->caseCount();
  return succeed();
}

int spssGetCaseSize(int handle, std::int64_t* caseSize) {
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  if (!caseSize) return failWith(SPSS_INVALID_ARGUMENT);
  *caseSize = f->caseSize();
  return succeed();
}

int spssGetCaseWeightVar(int handle, std::string& varName) {
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  if (f->weightVariable() < 0) return failWith(SPSS_NO_CASEWGT);
  varName = f->variable(std::size_t(f->weightVariable())).name;
  return succeed();
}

int spssGetCompression(int handle, int* compSwitch) {
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  if (!compSwitch) return failWith(SPSS_INVALID_ARGUMENT);
  *compSwitch = f->compressed() ? 1 : 0;
  return succeed();
}

int spssGetSystemString(int handle, std::string& sysName) {
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  sysName = f->productText();
  return succeed();
}

int spssGetTimeStamp(int handle, std::string& fileDate, std::string& fileTime) {
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  fileDate = f->creationDate();
  fileTime = f->creationTime();
  return succeed();
}

int spssQueryType7(int handle, int subType, int* found) {
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  if (!found) return failWith(SPSS_INVALID_ARGUMENT);
  *found = subType == 0 ? (f->hasDocumentRecord() ? 1 : 0) : (f->hasExtension(subType) ? 1 : 0);
  return succeed();
}

int spssGetFileEncoding(int handle, std::string& encoding) {
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  encoding = f->encoding();
  return succeed();
}

int spssGetVarHandle(int handle, const char* varName, double* varHandle) {
  SystemFile* f = nullptr;
  const Variable* v = nullptr;
  if (int rc = lookup(handle, varName, f, v)) return rc;
  if (!varHandle) return failWith(SPSS_INVALID_ARGUMENT);
  *varHandle = double(indexOf(*f, v));
  return succeed();
}

int spssSeekNextCase(int handle, std::int64_t caseNumber) {
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  const int rc = f->seek(caseNumber);
  if (rc != SPSS_OK) return failWith(rc, f->caseError());
  return succeed();
}

int spssReadCaseRecord(int handle) {
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  const int rc = f->readCase();
  if (rc == SPSS_OK) return succeed();
  return failWith(rc, rc == SPSS_FILE_END ? std::string() : f->caseError());
}

int spssGetValueNumeric(int handle, double varHandle, double* value) {
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  std::size_t v = 0;
  if (variableOfHandle(*f, varHandle, v) != SPSS_OK) return failWith(SPSS_INVALID_VARHANDLE);
  if (f->variable(v).isString()) return failWith(SPSS_NUME_EXP);
  if (!value) return failWith(SPSS_INVALID_ARGUMENT);
  if (!f->hasCase()) return failWith(SPSS_NO_CASE);
  *value = f->number(v);
  return succeed();
}

int spssGetValueChar(int handle, double varHandle, char* value, int valueSize) {
  SystemFile* f = fileOf(handle);
  if (!f) return failWith(SPSS_INVALID_HANDLE);
  std::size_t v = 0;
  if (variableOfHandle(*f, varHandle, v) != SPSS_OK) return failWith(SPSS_INVALID_VARHANDLE);
  if (!f->variable(v).isString()) return failWith(SPSS_STR_EXP);
  if (!value || valueSize < 1) return failWith(SPSS_INVALID_ARGUMENT);
  if (!f->hasCase()) return failWith(SPSS_NO_CASE);
  const std::string text = f->text(v);
  const std::size_t n =
      brindle::utf8PrefixLength(text.data(), text.size(), std::size_t(valueSize) - 1);
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
