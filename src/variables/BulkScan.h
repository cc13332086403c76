// The bracket around every walk over the variables table: while a BulkScan
// lives the cursor may move freely without running the cursor-moved handler
// or repainting attached views; when it ends the cursor is back on the row
// number it had (the same position in the view, which after a rebuilt view
// may be another record), the handler is attached again and views resume.
//
// A scan made with Cursor::Keep leaves the cursor where the work put it
// instead. The handler is not run on exit; a caller whose work may have
// changed the current record runs it once itself.
#pragma once

#include "variables/VariableList.h"

namespace brindle {

class BulkScan {
 public:
  enum class Cursor { Restore, Keep };

  explicit BulkScan(VariableList& table, Cursor onExit = Cursor::Restore);
  ~BulkScan();
  BulkScan(const BulkScan&) = delete;
  BulkScan& operator=(const BulkScan&) = delete;

  // The RecNo remembered at the start.
  int StartRecNo() const { return m_recNo; }

 private:
  VariableList& m_table;
  int m_recNo;
  Cursor m_onExit;
  VariableList::ScrollHandler m_handler;
};

}  // namespace brindle
