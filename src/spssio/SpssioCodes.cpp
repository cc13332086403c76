#include "spssio/SpssioCodes.h"

#include <cstdio>

const char* spssCodeText(int code) {
  switch (code) {
    case SPSS_OK:
      return "No error";
    case SPSS_FILE_END:
      return "End of file: no case left to read";
    case SPSS_NO_LABELS:
      return "No value labels";
    case SPSS_NO_CASEWGT:
      return "The file has no weight variable";
    case SPSS_FILE_OERROR:
      return "The file cannot be opened";
    case SPSS_FILE_RERROR:
      return "A read from the file failed";
    case SPSS_INVALID_HANDLE:
      return "No open file has this handle";
    case SPSS_INVALID_FILE:
      return "The file is not an SPSS data file";
    case SPSS_NO_MEMORY:
      return "Not enough memory";
    case SPSS_INVALID_VARNAME:
      return "Invalid variable name";
    case SPSS_VAR_NOTFOUND:
      return "No variable of this name";
    case SPSS_NUME_EXP:
      return "The variable is a string; a numeric variable was expected";
    case SPSS_STR_EXP:
      return "The variable is numeric; a string variable was expected";
    case SPSS_SHORTSTR_EXP:
      return "The string variable is wider than 8 bytes; a short string was expected";
    case SPSS_INVALID_VARHANDLE:
      return "Invalid variable handle";
    case SPSS_INVALID_DATE:
      return "Invalid date value";
    case SPSS_INVALID_TIME:
      return "Invalid time value";
    case SPSS_NO_TYPE2:
      return "A variable record is missing where one must be";
    case SPSS_BAD_DICTIONARY:
      return "The dictionary is damaged";
    case SPSS_NO_TYPE999:
      return "The dictionary has no termination record";
    case SPSS_ENCRYPTED_FILE:
      return "The file is encrypted; encrypted files cannot be read";
    case SPSS_BAD_DATA:
      return "The case data is damaged";
    case SPSS_FILE_TRUNCATED:
      return "The file is cut off: it ends inside a record or a case";
    case SPSS_INVALID_CASE:
      return "No case of this number";
    case SPSS_NO_CASE:
      return "No current case";
    case SPSS_INVALID_ARGUMENT:
      return "Invalid argument";
    case SPSS_WRONG_PASSWORD:
      return "Wrong password";
    case SPSS_TOO_MANY_FILES:
      return "Too many open files";
    default:
      break;
  }
  thread_local char text[48];
  std::snprintf(text, sizeof text, "unknown result code %d", code);
  return text;
}

std::string brindle::CodeText(int code, const std::string& detail) {
  std::string text = spssCodeText(code);
  if (!detail.empty()) text += ": " + detail;
  return text;
}
