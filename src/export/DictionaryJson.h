// The whole dictionary of a file as one JSON document (brindle-cli export
// dict --json): the file's facts and attributes, every variable with all its
// properties, value labels, missing values and attributes, the
// multiple-response sets, the variable sets and the document lines. The
// shape is described in the README and the man page of brindle-cli.
#pragma once

#include <string>
#include <string_view>

#include "export/CsvExport.h"
#include "export/ExportFile.h"

namespace brindle {

class SystemFile;

// Appends text as a JSON string (in quotes, with ", \ and control
// characters escaped); the text is UTF-8 and stays so.
void AppendJsonString(std::string& out, std::string_view text);

// Writes the dictionary of file to out; rows counts the variables. Fails
// only when out does.
ExportResult ExportDictionaryJson(const SystemFile& file, ExportFile& out);

}  // namespace brindle
