#include "variables/BulkScan.h"

#include <utility>

namespace brindle {

BulkScan::BulkScan(TdxMemData& table)
    : m_table(table), m_recNo(table.RecNo()), m_handler(table.AfterScroll()) {
  m_table.DetachAfterScroll();
  m_table.DisableControls();
}

BulkScan::~BulkScan() {
  // Back by row number, not by identity: callers such as the filter switch
  // rely on keeping the row when the view under it was rebuilt.
  m_table.First();
  m_table.MoveBy(m_recNo - 1);
  m_table.SetAfterScroll(std::move(m_handler));
  m_table.EnableControls();
}

}  // namespace brindle
