#include "variables/BulkScan.h"

#include <utility>

namespace brindle {

BulkScan::BulkScan(VariableList& table, Cursor onExit)
    : m_table(table), m_recNo(table.RecNo()), m_onExit(onExit), m_handler(table.AfterScroll()) {
  m_table.DetachAfterScroll();
  m_table.DisableControls();
}

BulkScan::~BulkScan() {
  // Back by row number, not by identity: callers such as the filter switch
  // rely on keeping the row when the view under it was rebuilt.
  if (m_onExit == Cursor::Restore) {
    m_table.First();
    m_table.MoveBy(m_recNo - 1);
  }
  m_table.SetAfterScroll(std::move(m_handler));
  m_table.EnableControls();
}

}  // namespace brindle
