// Brindle's reader of SPSS system files (.sav, .zsav), exposed the way the
// SPSS I/O module is: free functions on an integer file handle that return a
// result code (0 = success; see SpssioCodes.h for every code and its text).
// They are a thin layer over SystemFile, the typed interface the rest of the
// program uses.
//
// Every text handed out is UTF-8, converted from the file's declared encoding.
// Names and labels are returned whole; a very long string variable (subtype 14)
// is one variable, not its 255-byte segments.
//
// Ownership: arrays returned by spssGetVarNames, spssGetVarNValueLabels and
// spssGetVarCValueLabels belong to the caller and are released with the
// matching spssFree... function. Out parameters are left untouched on failure.
//
// Thread safety: one handle must not be used from two threads at once;
// different handles are independent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "SpssioCodes.h"

namespace brindle {
struct FileKey;
class SystemFile;
}  // namespace brindle

// Opens fileName for reading and reads its dictionary. On success *handle is
// a non-negative handle and the file stays open until spssCloseRead.
// Failure codes: SPSS_FILE_OERROR (cannot open), SPSS_INVALID_FILE (not a
// system file), SPSS_NO_TYPE2 (no variables where they must be),
// SPSS_NO_TYPE999 (dictionary has no end), SPSS_ENCRYPTED_FILE, and the
// damaged-dictionary codes of SpssioCodes.h. spssLastErrorText() then names
// the byte offset and record.
int spssOpenRead(const char* fileName, int* handle);
// The same for a file in SPSS's encrypted wrapper, decrypted as it is read
// (a file that is not encrypted opens as with spssOpenRead). Only the
// password's first ten bytes count; an SPSS-encoded password is tried
// decoded too. SPSS_WRONG_PASSWORD when it does not open the file. The
// password is not kept: the open file holds the key it gave.
int spssOpenReadEncrypted(const char* fileName, const char* password, int* handle);
int spssCloseRead(int handle);

// The variable names (full length, UTF-8) and types (0 numeric, else string
// width in bytes) in dictionary order. Release with spssFreeVarNames.
int spssGetVarNames(int handle, int* numVars, char*** varNames, int** varTypes);
int spssFreeVarNames(char** varNames, int* varTypes, int numVars);

// The variable label, whole (empty when none).
int spssGetVarLabel(int handle, const char* varName, std::string& varLabel);

// missingFormat: 0 none, 1..3 discrete, -2 range, -3 range plus one discrete.
// Returns SPSS_NUME_EXP (14) for a string variable.
int spssGetVarNMissingValues(int handle, const char* varName, int* missingFormat, double* missVal1,
                             double* missVal2, double* missVal3);
// String missing values (at most 8 bytes each in the file, UTF-8 here, blank
// padding kept; a string wider than 8 is missing when it equals one of them
// padded with blanks). Returns SPSS_STR_EXP for a numeric variable.
int spssGetVarCMissingValues(int handle, const char* varName, int* missingFormat,
                             std::string& missVal1, std::string& missVal2, std::string& missVal3);

// Measurement level from the display parameter record: SPSS_MLVL_NOM,
// SPSS_MLVL_ORD or SPSS_MLVL_RAT (scale); SPSS_MLVL_UNK when the file does
// not record one for the variable.
enum { SPSS_MLVL_UNK = 0, SPSS_MLVL_NOM = 1, SPSS_MLVL_ORD = 2, SPSS_MLVL_RAT = 3 };
int spssGetVarMeasureLevel(int handle, const char* varName, int* measureLevel);
// Role from the variable's $@Role attribute. SPSS_ROLE_UNK (not a code of
// the I/O module) when the file records none; other readers take that as
// input.
enum {
  SPSS_ROLE_UNK = -1,
  SPSS_ROLE_INPUT = 0,
  SPSS_ROLE_TARGET = 1,
  SPSS_ROLE_BOTH = 2,
  SPSS_ROLE_NONE = 3,
  SPSS_ROLE_PARTITION = 4,
  SPSS_ROLE_SPLIT = 5
};
int spssGetVarRole(int handle, const char* varName, int* varRole);

int spssGetVarPrintFormat(int handle, const char* varName, int* printType, int* printDec,
                          int* printWid);

// Numeric value labels in file order. A numeric variable without labels gives
// 0 with *numLabels 0. A string variable gives SPSS_NUME_EXP.
int spssGetVarNValueLabels(int handle, const char* varName, double** values, char*** labels,
                           int* numLabels);
int spssFreeVarNValueLabels(double* values, char** labels, int numLabels);
// Value labels of a string variable: values as stored (blank padded to the
// width), labels, in file order; a string wider than 8 has its labels in the
// long-string value-labels record. A numeric variable gives SPSS_STR_EXP.
int spssGetVarCValueLabels(int handle, const char* varName, char*** values, char*** labels,
                           int* numLabels);
int spssFreeVarCValueLabels(char** values, char** labels, int numLabels);

// Number of cases: the header's count, else the extended count (subtype 16);
// a count the data area cannot hold (or 0 over data that holds cases) is not
// taken, except a header's count above what is there, which is kept so that
// reading reports the cut. An uncompressed file without a count is counted
// by its size. -1 when not known: a compressed file without a usable count,
// or uncompressed data that ends inside a case.
int spssGetNumberofCases(int handle, std::int64_t* numofCases);
// Bytes per case as stored uncompressed (8 per element).
int spssGetCaseSize(int handle, std::int64_t* caseSize);
// The weight variable's name, whole; SPSS_NO_CASEWGT (non-zero) when none.
int spssGetCaseWeightVar(int handle, std::string& varName);
// 1 for bytecode and for ZSAV (zlib) files, 0 for uncompressed.
int spssGetCompression(int handle, int* compSwitch);
// The product that wrote the file: the header's product text without its
// "@(#) SPSS DATA FILE" prefix, trailing blanks removed, at most 42 bytes.
int spssGetSystemString(int handle, std::string& sysName);
// "dd mmm yy" and "hh:mm:ss" as stored (at most 9 and 8 characters).
int spssGetTimeStamp(int handle, std::string& fileDate, std::string& fileTime);
// subType 0: *found non-zero when the file has a document record; other
// subtypes: whether an extension record of that subtype is present.
int spssQueryType7(int handle, int subType, int* found);

// The character encoding the file's texts are read in (an iconv name such as
// "UTF-8" or "WINDOWS-1252"), for texts read from the file by other means.
int spssGetFileEncoding(int handle, std::string& encoding);

int spssGetVarHandle(int handle, const char* varName, double* varHandle);
// caseNumber 0 rewinds to the first case; other numbers position before that
// 0-based case (a forward read for compressed files).
int spssSeekNextCase(int handle, std::int64_t caseNumber);
// 0: the next case is read; SPSS_FILE_END (-5): no case left; any other
// non-zero code: the data is damaged and the pass must stop.
int spssReadCaseRecord(int handle);
int spssGetValueNumeric(int handle, double varHandle, double* value);
// Copies the current case's string value (UTF-8, blank padding kept) into
// value, at most valueSize - 1 bytes, never splitting a UTF-8 sequence, and
// terminates it.
int spssGetValueChar(int handle, double varHandle, char* value, int valueSize);

int spssHostSysmisVal(double* missVal);               // -DBL_MAX
int spssLowHighVal(double* lowest, double* highest);  // second-lowest double, DBL_MAX

// Splits an SPSS date (seconds since 14 October 1582, Gregorian calendar).
// Accepts values from 0 (14 October 1582) to the end of 31 December 9999;
// negative values, NaN and infinities give SPSS_INVALID_DATE.
int spssConvertSPSSDate(int* day, int* month, int* year, double spssDate);
// Splits a time or duration in seconds into days, hours 0-23, minutes 0-59 and
// seconds with fraction. Negative values, NaN, infinities and day counts past
// the int range give SPSS_INVALID_TIME.
int spssConvertSPSSTime(int* day, int* hour, int* minute, double* second, double spssTime);

// Text of the last failure on this thread (empty after a success): names the
// record and byte offset for damaged files.
const char* spssLastErrorText();

namespace brindle {
// Opens a system file held in memory as spssOpenRead opens one on disk (the
// fuzzers read their inputs this way). The bytes must stay alive and
// unchanged until spssCloseRead(*handle).
// password, when given, opens an encrypted file as spssOpenReadEncrypted does.
int OpenMemoryRead(const std::uint8_t* data, std::size_t size, int* handle,
                   const char* password = nullptr);
// The key of an open encrypted file, to open it again without its password;
// null for a file that is not encrypted or a handle that is not open.
std::shared_ptr<const FileKey> FileKeyOf(int handle);
// Opens an encrypted file with the key an earlier open gave; a file that is
// not encrypted opens as with spssOpenRead, SPSS_WRONG_PASSWORD when the key
// does not fit (the file was encrypted anew).
int OpenReadWithKey(const char* fileName, const FileKey& key, int* handle);
// Gives a file opened through SystemFile a handle, so that the calls above
// reach it too; the handle shares the file until spssCloseRead.
// SPSS_TOO_MANY_FILES when every handle is taken.
int RegisterHandle(std::shared_ptr<SystemFile> file, int* handle);
}  // namespace brindle
