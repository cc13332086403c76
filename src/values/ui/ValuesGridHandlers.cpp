// The values pane's work on the filled values grid: sorting by a column
// title or F5, the grid's popup menu, copying a selected block, drawing the
// cells, and the keys of the statistics box under it. The row orders come
// from values/RowOrder; the grid only shows its rows in that order.
#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextOption>

#include <algorithm>
#include <string_view>
#include <vector>

#include "values/ui/ValuesGrid.h"
#include "platform/UiService.h"
#include "platform/WaitCursor.h"
#include "values/CaseWeighting.h"
#include "values/RowOrder.h"
#include "values/SummaryStatistics.h"
#include "values/ui/FrequencyRows.h"
#include "values/ui/ValuesPane.h"
#include "variables/VariableList.h"
#include "variables/VarRecord.h"

namespace brindle {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

std::u16string_view View(const QString& s) {
  return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

bool Ctrl(const QKeyEvent* event) { return event->modifiers().testFlag(Qt::ControlModifier); }

}  // namespace

// --- Statistics box and count column -----------------------------------------

void ValuesPane::layoutStatistics() {
  if (StatisticsLines.empty()) return;
  const QFontMetrics metrics = statisticsText->fontMetrics();
  const int gap = metrics.horizontalAdvance(QStringLiteral("   "));
  const int room =
      statisticsText->viewport()->width() - 2 * static_cast<int>(statisticsText->document()->documentMargin());
  std::vector<std::string> lines;
  QList<qreal> stops;
  for (int pairs = 3; pairs >= 2; --pairs) {
    lines = brindle::StatisticsLines(StatisticsLines, pairs);
    // The widest text of every field position, labels and values alike.
    std::vector<int> widths;
    for (const std::string& line : lines) {
      const QStringList fields = Text(line).split(QLatin1Char('\t'));
      if (widths.size() < static_cast<std::size_t>(fields.size())) widths.resize(fields.size());
      for (qsizetype i = 0; i < fields.size(); ++i)
        widths[i] = std::max(widths[i], metrics.horizontalAdvance(fields.at(i)));
    }
    stops.clear();
    int x = 0;
    for (const int w : widths) {
      x += w + gap;
      stops << x;
    }
    if (x - gap <= room) break;
  }
  // Still too wide: the horizontal scroll bar takes a line's room.
  const int scrollBar =
      stops.isEmpty() || stops.constLast() - gap <= room
          ? 0
          : statisticsText->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, statisticsText);
  QTextOption option = statisticsText->document()->defaultTextOption();
  option.setTabArray(stops);
  statisticsText->document()->setDefaultTextOption(option);
  QStringList text;
  for (const std::string& line : lines) text << Text(line);
  if (statisticsText->toPlainText() != text.join(QLatin1Char('\n')))
    statisticsText->setPlainText(text.join(QLatin1Char('\n')));
  const int height = static_cast<int>(lines.size()) * metrics.lineSpacing() +
                     2 * statisticsText->frameWidth() +
                     2 * static_cast<int>(statisticsText->document()->documentMargin()) + 2 + scrollBar;
  if (statisticsText->height() != height) statisticsText->setFixedHeight(height);
}

namespace {

// The rank FrequencyRows gives a text among width candidates: characters
// other than blanks count four times, the blanks of a value's padding once.
qsizetype WidthRank(const QString& text) {
  const qsizetype blanks = text.count(QLatin1Char(' '));
  return (text.size() - blanks) * 4 + blanks;
}

// Widens a column to its widest text, never narrows it. Texts of one rank
// differ little in width: only those of the highest are measured, not every
// row of a table that may hold millions.
void FitColumn(ValuesGrid* grid, int col) {
  const auto* table = dynamic_cast<const FrequencyRows*>(grid->Table().get());
  // A table's candidates stand after an empty entry, as the lists' rows do.
  const QStringList texts = table ? QStringList{QString()} + table->WidthCandidates(col)
                                  : grid->ColumnLists[static_cast<std::size_t>(col)];
  qsizetype longest = 0;
  for (qsizetype i = 1; i < texts.size(); ++i) longest = std::max(longest, WidthRank(texts.at(i)));
  const QFontMetrics metrics = grid->fontMetrics();
  int widest = 0;
  int measured = 0;
  for (qsizetype i = 1; i < texts.size() && measured < 64; ++i) {
    if (WidthRank(texts.at(i)) != longest) continue;
    widest = std::max(widest, metrics.horizontalAdvance(texts.at(i)));
    ++measured;
  }
  // The text sits 2 pixels inside each edge, beside the grid line.
  const int needed = widest + 2 * 2 + 1;
  if (widest > 0 && needed > grid->ColWidth(col)) grid->SetColWidth(col, needed);
}

}  // namespace

void ValuesPane::fitNumberColumns() {
  FitColumn(valuesGrid, 2);
  // Right-aligned values lose their leading digits when cut.
  const VarRecord* rec = m_variables.Current();
  if (rec && rec->VarType == 0 && !valuesGrid->LabelColumnHidden()) FitColumn(valuesGrid, 1);
}

// --- Sorting ----------------------------------------------------------------

void ValuesPane::SortValuesGrid(int key) {
  WaitCursor wait;
  SortDescending = key == SortKey ? !SortDescending : false;
  SortKey = key;
  // The count key's mark stands on "Freq" unless a title click names the
  // column (see ValuesGridMouseDown); value labels have no counts to sort.
  if (key >= 2 && !FrequencyTableShown)
    valuesGrid->HideSortIndicator();
  else
    valuesGrid->ShowSortIndicator(std::min(key, 2), SortDescending);
  switch (key) {
    case 0:
      SortRowsByLabel(SortDescending);
      break;
    case 1: {
      // The lists keep the fill order: ascending loads them as they are.
      const auto n = static_cast<std::int32_t>(valuesGrid->FillRows()) - 1;
      if (!SortDescending)
        valuesGrid->LoadColumnsFromLists();
      else if (n > 0)
        valuesGrid->ShowRowsInOrder(FillOrder(n, true));
      break;
    }
    case 2:
    case 3:
      if (FrequencyTableShown) SortRowsByCount(SortDescending);
      break;
    default:
      break;
  }
  RefreshChart();
}

void ValuesPane::SortRowsByLabel(bool descending) {
  if (const auto* table = dynamic_cast<const FrequencyRows*>(valuesGrid->Table().get())) {
    if (table->Count() >= 2) valuesGrid->ShowRowsInOrder(table->LabelOrder(descending));
    return;
  }
  const QStringList& labels = valuesGrid->ColumnLists[0];
  if (labels.size() < 3) return;
  std::vector<std::u16string_view> keys;
  keys.reserve(static_cast<std::size_t>(labels.size() - 1));
  for (qsizetype i = 1; i < labels.size(); ++i) keys.push_back(View(labels.at(i)));
  valuesGrid->ShowRowsInOrder(brindle::SortRowsByLabel(keys, descending));
}

void ValuesPane::SortRowsByCount(bool descending) {
  if (const auto* table = dynamic_cast<const FrequencyRows*>(valuesGrid->Table().get())) {
    if (table->Count() >= 2) valuesGrid->ShowRowsInOrder(table->CountOrder(descending));
    return;
  }
  const QStringList& counts = valuesGrid->ColumnLists[2];
  if (counts.size() < 3) return;
  // Counts repeat a lot; a text equal to the one before needs no reading.
  std::vector<std::int64_t> keys;
  keys.reserve(static_cast<std::size_t>(counts.size() - 1));
  for (qsizetype i = 1; i < counts.size(); ++i) {
    const QString& text = counts.at(i);
    keys.push_back(i > 1 && text.isSharedWith(counts.at(i - 1)) ? keys.back()
                                                                : CountTextValue(View(text)));
  }
  valuesGrid->ShowRowsInOrder(brindle::SortRowsByCount(keys, descending));
}

// --- Selection and copy -------------------------------------------------------

void ValuesPane::SelectAllValuesClick() {
  if (ValueRowCount <= 0) return;
  valuesGrid->SetSelection({0, 1, ValuesGrid::kColumns - 1, ValueRowCount});
}

void ValuesPane::CopySelectionToClip(QObject* sender) {
  WaitCursor wait;
  const auto* grid = qobject_cast<const ValuesGrid*>(sender);
  if (grid == nullptr) {
    m_ui.SetClipboardText(QString());
    return;
  }
  const ValuesGrid::GridRect sel = grid->Selection();
  if (sel.left < 0 || sel.top < 1) return;
  if (const auto* table = dynamic_cast<const FrequencyRows*>(grid->Table().get())) {
    // The rows as shown, rendered straight from the table.
    std::vector<std::int32_t> rows;
    rows.reserve(static_cast<std::size_t>(sel.bottom - sel.top + 1));
    for (int row = sel.top; row <= sel.bottom; ++row) rows.push_back(grid->FillRowOf(row));
    m_ui.SetClipboardText(table->BlockText(rows, sel.left, sel.right));
    return;
  }
  QString text;
  for (int row = sel.top; row <= sel.bottom; ++row) {
    for (int col = sel.left; col <= sel.right; ++col) {
      text += grid->Cell(col, row);
      text += QLatin1Char('\t');
    }
    text += QLatin1String("\r\n");
  }
  m_ui.SetClipboardText(text);
}

void ValuesPane::CopyClick() { CopySelectionToClip(valuesGrid); }

// --- Mouse and keys -----------------------------------------------------------

bool ValuesPane::ValuesGridMouseDown(Qt::MouseButton button, int x, int y, bool doubleClick) {
  valuesGrid->setFocus(Qt::MouseFocusReason);
  if (button == Qt::RightButton) {
    const ValuesGrid::GridRect sel = valuesGrid->Selection();
    copyAction->setEnabled(sel.top > 0 && sel.left >= 0);
    valuesMenu->popup(valuesGrid->mapToGlobal(QPoint(x, y)));
    return false;
  }
  if (button != Qt::LeftButton) return false;
  int col = -1;
  int row = -1;
  if (valuesGrid->CellAt(QPoint(x, y), col, row) && row == 0) {
    // Every press on a title sorts, so a double-click sorts twice; "Freq",
    // "% Total" and "% Valid" share the count key.
    if (!valuesGrid->IsColumnBorder(x, y)) {
      SortValuesGrid(col <= 1 ? col : 2);
      if (valuesGrid->SortIndicatorColumn() >= 0)
        valuesGrid->ShowSortIndicator(col, SortDescending);
    }
    return false;
  }
  return doubleClick;
}

void ValuesPane::StatisticsTextKeyDown(QKeyEvent* event) {
  if (!Ctrl(event)) return;
  if (event->key() == Qt::Key_A) {
    statisticsText->selectAll();
    event->ignore();
  } else if (event->key() == Qt::Key_C) {
    const QTextCursor cursor = statisticsText->textCursor();
    if (cursor.hasSelection()) m_ui.SetClipboardText(cursor.selection().toPlainText());
    event->ignore();
  }
}

// --- Drawing ------------------------------------------------------------------

void ValuesPane::ValuesGridDrawCell(int col, int row, bool selected, QColor& background,
                                     QColor& text, Qt::Alignment& align) {
  if (row > 0 && col == 2) {
    text = CountColor;
    if (m_weighting.WeightingOn() && FrequencyTableShown && !selected)
      background = QColor(255, 255, 240);
  }
  const VarRecord* rec = m_variables.Current();
  const bool right = col >= 2 || (col == 1 && rec != nullptr && rec->VarType == 0);
  align = (right ? Qt::AlignRight : Qt::AlignLeft) | (row > 0 ? Qt::AlignTop : Qt::AlignVCenter);
}

}  // namespace brindle
