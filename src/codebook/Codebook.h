// The codebook of a data file: one HTML document, complete in itself, that
// describes the whole file: its facts, attributes, documents and sets, a
// table of contents, and per variable its dictionary entry with either its
// frequency table (bars beside the rows), or its statistics with quartiles
// and a histogram, or its most frequent strings. The cases are counted in one
// pass for all variables (FrequencySet); the viewer and brindle-cli both
// write it through here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "datafile/DataFileState.h"
#include "export/CsvExport.h"
#include "export/ExportFile.h"
#include "values/Frequencies.h"
#include "values/FrequencySet.h"
#include "variables/VarRecord.h"

namespace brindle {

struct CodebookRequest {
  // The variables described, by name (matched as SPSS matches them, without
  // regard to letter case), in the order given (a name given twice counts
  // once); empty: all of them, in dictionary order.
  std::vector<std::string> variables;
  int top = 10;            // strings: this many most frequent values
  std::string weight;      // the weight variable; empty: unweighted
  bool usePrintFormat = true;
  NumberSeparators seps;
};

// What the codebook describes: the open file as loaded, its variable
// records in dictionary order, and what the loading said about damaged data.
struct CodebookSource {
  const DataFileState* state = nullptr;
  std::vector<VarRecord> records;
  std::string damage;  // the dictionary loader's warning; empty for a sound file
};

// The records the request names, in its order (all in dictionary order when
// it names none); a name not found is put in *unknown (the first such) and
// the result is empty.
std::vector<VarRecord> CodebookVariables(const CodebookSource& source,
                                         const CodebookRequest& request, std::string* unknown);

// Variables with a frequency table of at most this many rows show it, as do
// value-labelled ones up to kLabelledRows rows.
inline constexpr int kTableRows = 50;
inline constexpr int kLabelledRows = 1000;

// Counts the chosen variables and writes the codebook to out. progress is
// called on this thread with the cases counted of the file's count;
// returning false cancels (status Cancelled; out is left for the caller to
// discard). A weight variable that cannot be found fails with "cannot find
// weight variable"; data that ends early is described as far as it could be
// read, its message at the top and in the result's warning.
ExportResult WriteCodebook(const CodebookSource& source, const CodebookRequest& request,
                           ExportFile& out, const ExportProgress& progress = {});

// The same, into target through a temporary file (as an export is written:
// nothing is left under any name when it fails or is cancelled).
ExportResult WriteCodebookFile(const std::string& target, const CodebookSource& source,
                               const CodebookRequest& request,
                               const ExportProgress& progress = {});

}  // namespace brindle
