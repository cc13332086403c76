#include "datafile/FileReport.h"

#include "datafile/DictionaryText.h"
#include "spssio/EncryptedFile.h"
#include "spssio/FileWarning.h"
#include "spssio/Spssio.h"
#include "spssio/SystemFile.h"
#include "spssio/TextConverter.h"

namespace brindle {
namespace {

// What was wrong with the file, after an empty line; nothing for a sound file.
void AppendWarnings(const DataFileState& file, std::string& t) {
  if (!file.File || file.File->warnings().empty()) return;
  t += "\n\nwarnings";
  for (const FileWarning& w : file.File->warnings()) t += "\n" + WarningLine(w);
}

}  // namespace

std::string FileInfoReport(const DataFileState& file, const std::string& systemString,
                           std::int64_t caseSize) {
  std::string t = file.FileName;
  t += "\nfile date \t" + file.FileDate.substr(0, 10) + " " + file.FileTime.substr(0, 9);
  t += "\nSPSS version\t" + systemString.substr(0, 43);
  t += "\nvariables\t" + std::to_string(file.NumVars);
  t += "\ncases    \t";
  if (file.CaseCountEstimated) t += "UNKNOWN - estimated number is ";
  t += std::to_string(file.NumCases);
  t += "\ncase size \t" + std::to_string(caseSize) + " bytes";
  if (!file.WeightVarName.empty())
    t += "\nweight variable\t" + file.WeightVarName;
  else
    t += "\nno weight variable defined";
  t += "\ndata are ";
  t += file.Compression == 1 ? "compressed" : "uncompressed";
  if (file.File)
    t += "\ncharacter encoding\t" +
         EncodingText(file.File->declaredEncoding(), file.File->characterCode());
  if (file.Key) t += "\nfile is encrypted";
  if (file.HasDocument != 0) t += "\nfile contains document";
  if (file.File) t += DictionaryReportText(*file.File);
  AppendWarnings(file, t);
  return t;
}

std::string EncodingText(const std::string& declaredName, int codePage) {
  if (!declaredName.empty()) {
    // The name is the file's text: a control character in it would break
    // the report's lines and columns, and no real name is long.
    constexpr std::size_t kLongestName = 64;
    std::string name = declaredName.substr(0, kLongestName);
    for (char& c : name)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    if (declaredName.size() > kLongestName) name += "...";
    return name;
  }
  if (codePage == 0) return "not declared (read as windows-1252)";
  const std::string number = "code page " + std::to_string(codePage);
  const char* known = codePageEncoding(codePage);
  if (known == nullptr) return number;
  std::string name(known);
  // The Windows code pages by the name they are best known by.
  if (name.rfind("WINDOWS-", 0) == 0) name.replace(0, 7, "windows");
  return name + " (" + number + ")";
}

std::string OpenErrorText(int code, const std::string& fileName, const std::string& detail) {
  switch (code) {
    case SPSS_FILE_OERROR:
      return "Cannot open file " + fileName;
    case SPSS_INVALID_FILE:
    case SPSS_NO_TYPE2:
    case SPSS_NO_TYPE999:
      return fileName + "\nappears not to be an SPSS data file.";
    case SPSS_ENCRYPTED_FILE:
      if (!EncryptionAvailable())
        return fileName +
               "\nis an encrypted SPSS data file; this build of Brindle cannot open encrypted "
               "files.";
      return fileName + "\nis an encrypted SPSS data file, which Brindle cannot read.";
    case SPSS_WRONG_PASSWORD:
      return fileName + "\nwrong password";
    case SPSS_BAD_DICTIONARY:
    case SPSS_BAD_DATA:
    case SPSS_FILE_TRUNCATED:
    case SPSS_FILE_RERROR:
      // Not a program error: the file is damaged; say where.
      return fileName + "\nis a damaged SPSS data file and cannot be read." +
             (detail.empty() ? std::string() : "\n" + detail);
    default:
      return "An unidentified error has occurred while attempting\nto open " + fileName +
             ".\nThis may well be a program error.";
  }
}

}  // namespace brindle
