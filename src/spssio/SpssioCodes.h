// Every result code of the I/O module, defined once, with its message text.
// 0 is success, negative codes are conditions a caller may expect (end of
// file, nothing of that kind present), positive codes are failures.
#pragma once

#include <string>

enum SpssioCode : int {
  SPSS_OK = 0,

  // Conditions.
  SPSS_FILE_END = -5,     // no case left to read
  SPSS_NO_LABELS = -8,    // reserved; numeric variables without labels return SPSS_OK
  SPSS_NO_CASEWGT = -10,  // the file names no weight variable

  // Failures.
  SPSS_FILE_OERROR = 1,     // the file cannot be opened
  SPSS_FILE_RERROR = 3,     // a read from the file failed
  SPSS_INVALID_HANDLE = 5,  // no open file has this handle
  SPSS_INVALID_FILE = 6,    // not an SPSS system file
  SPSS_NO_MEMORY = 7,       // an allocation failed
  SPSS_INVALID_VARNAME = 10,
  SPSS_VAR_NOTFOUND = 12,
  SPSS_NUME_EXP = 14,      // a numeric variable was expected (the variable is a string)
  SPSS_STR_EXP = 15,       // a string variable was expected (the variable is numeric)
  SPSS_SHORTSTR_EXP = 16,  // a string of width 8 or less was expected
  SPSS_INVALID_VARHANDLE = 17,
  SPSS_INVALID_DATE = 22,
  SPSS_INVALID_TIME = 23,
  SPSS_NO_TYPE2 = 33,        // the dictionary holds no variable record where one must be
  SPSS_BAD_DICTIONARY = 40,  // a dictionary record is damaged beyond repair
  SPSS_NO_TYPE999 = 46,      // the dictionary has no termination record
  SPSS_ENCRYPTED_FILE = 47,  // an encrypted system file
  SPSS_BAD_DATA = 48,  // the case data is damaged (bad bytecode or zlib stream, impossible value)
  SPSS_FILE_TRUNCATED = 49,  // the file ends inside a record or a case
  SPSS_INVALID_CASE = 50,    // seek past the cases or to a negative case
  SPSS_NO_CASE = 51,  // no current case: none read yet, or the last read failed or hit the end
  SPSS_INVALID_ARGUMENT = 52,  // a required pointer is null or a size is too small
  SPSS_WRONG_PASSWORD = 53,    // the password (or key) does not open the encrypted file
  SPSS_TOO_MANY_FILES = 60,
};

// The message text of a code ("unknown result code N" for codes not listed).
const char* spssCodeText(int code);

namespace brindle {
// A failure as the module's last-error text gives it: the code's text, then
// ": " and the detail when there is one (which record, at which offset).
std::string CodeText(int code, const std::string& detail);
}  // namespace brindle
