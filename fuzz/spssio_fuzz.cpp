// libFuzzer target over the I/O module: opens the input as a data file and
// makes every call a viewer makes on it (dictionary, value labels, queries,
// every value of every case), so a damaged file shows up as a crash or a
// sanitizer report rather than as a silent misread. Some inputs are also
// wrapped in the encrypted format and read through the decryption.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "spssio/EncryptedFile.h"
#include "spssio/Spssio.h"
#include "spssio/testing/SavWriter.h"

namespace {

// Cases past this many add no new paths worth the time.
constexpr std::int64_t kMaxCases = 100000;

void readDictionary(int handle, int numVars, char** names, std::vector<double>& varHandles) {
  for (int i = 0; i < numVars; ++i) {
    const char* name = names[i];
    std::string label;
    spssGetVarLabel(handle, name, label);

    int format = 0;
    double m1 = 0, m2 = 0, m3 = 0;
    spssGetVarNMissingValues(handle, name, &format, &m1, &m2, &m3);
    std::string c1, c2, c3;
    spssGetVarCMissingValues(handle, name, &format, c1, c2, c3);

    int type = 0, dec = 0, wid = 0;
    spssGetVarPrintFormat(handle, name, &type, &dec, &wid);

    double* values = nullptr;
    char** labels = nullptr;
    int count = 0;
    if (spssGetVarNValueLabels(handle, name, &values, &labels, &count) == SPSS_OK)
      spssFreeVarNValueLabels(values, labels, count);
    char** cvalues = nullptr;
    char** clabels = nullptr;
    count = 0;
    if (spssGetVarCValueLabels(handle, name, &cvalues, &clabels, &count) == SPSS_OK)
      spssFreeVarCValueLabels(cvalues, clabels, count);

    double varHandle = 0;
    if (spssGetVarHandle(handle, name, &varHandle) == SPSS_OK) varHandles[i] = varHandle;
  }
  // A name that is no variable's.
  std::string label;
  spssGetVarLabel(handle, "no such variable name at all", label);
}

void readQueries(int handle) {
  std::int64_t n = 0;
  spssGetNumberofCases(handle, &n);
  spssGetCaseSize(handle, &n);
  std::string text, text2;
  spssGetCaseWeightVar(handle, text);
  int flag = 0;
  spssGetCompression(handle, &flag);
  spssGetSystemString(handle, text);
  spssGetTimeStamp(handle, text, text2);
  for (int subType = 0; subType <= 25; ++subType) spssQueryType7(handle, subType, &flag);
}

void readCases(int handle, int numVars, const int* types, const std::vector<double>& varHandles) {
  std::vector<char> buffer(32768 * 4 + 1);
  std::int64_t read = 0;
  while (read < kMaxCases && spssReadCaseRecord(handle) == SPSS_OK) {
    for (int i = 0; i < numVars; ++i) {
      if (types[i] == 0) {
        double v = 0;
        if (spssGetValueNumeric(handle, varHandles[i], &v) == SPSS_OK && read == 0) {
          int d = 0, m = 0, y = 0, h = 0, mi = 0;
          double s = 0;
          spssConvertSPSSDate(&d, &m, &y, v);
          spssConvertSPSSTime(&d, &h, &mi, &s, v);
        }
      } else {
        spssGetValueChar(handle, varHandles[i], buffer.data(), static_cast<int>(buffer.size()));
        // A small buffer makes the module cut the text at a character boundary.
        spssGetValueChar(handle, varHandles[i], buffer.data(), 4);
      }
      // Asking a numeric for text and a string for a number is a caller error
      // the module must answer with a code.
      double v = 0;
      if (types[i] != 0)
        spssGetValueNumeric(handle, varHandles[i], &v);
      else
        spssGetValueChar(handle, varHandles[i], buffer.data(), 16);
    }
    ++read;
  }
  // Rewind and position again, as a second pass does.
  if (spssSeekNextCase(handle, 0) == SPSS_OK) spssReadCaseRecord(handle);
  if (spssSeekNextCase(handle, 1) == SPSS_OK) spssReadCaseRecord(handle);
  spssSeekNextCase(handle, -1);
}

// Makes every call on the open handle, then closes it.
void readAll(int handle) {
  int numVars = 0;
  char** names = nullptr;
  int* types = nullptr;
  if (spssGetVarNames(handle, &numVars, &names, &types) == SPSS_OK) {
    std::vector<double> varHandles(static_cast<std::size_t>(numVars), -1.0);
    readDictionary(handle, numVars, names, varHandles);
    readQueries(handle);
    readCases(handle, numVars, types, varHandles);
    spssFreeVarNames(names, types, numVars);
  } else {
    readQueries(handle);
  }
  spssCloseRead(handle);
}

constexpr char kPassword[] = "pspp";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // With the password given, an input that is itself an encrypted wrapper
  // unlocks when it was made with it; any other input reads as without.
  int handle = -1;
  const int plainCode = brindle::OpenMemoryRead(data, size, &handle, kPassword);
  spssLastErrorText();
  if (plainCode == SPSS_OK) readAll(handle);

  // Every fourth input also goes through the wrapper: its plaintext must open
  // exactly as the bare bytes do, and read through the decryption alike.
  if (size % 4 != 0 || size == 0 || brindle::IsEncryptedWrapper(data, size)) return 0;
  const std::vector<std::uint8_t> wrapped =
      brindle::testing::encryptWrapper(std::vector<std::uint8_t>(data, data + size), kPassword);
  const int wrappedCode =
      brindle::OpenMemoryRead(wrapped.data(), wrapped.size(), &handle, kPassword);
  // A plaintext that does not start with a system file's magic is taken for a
  // wrong password; any other plaintext opens (or fails) as it does bare.
  const bool magic =
      size >= 8 && (std::memcmp(data, "$FL2@(#)", 8) == 0 || std::memcmp(data, "$FL3@(#)", 8) == 0);
  if (magic ? wrappedCode != plainCode : wrappedCode != SPSS_WRONG_PASSWORD) std::abort();
  if (wrappedCode == SPSS_OK) readAll(handle);
  return 0;
}
