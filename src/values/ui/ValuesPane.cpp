// The values pane's widgets and the calls by which the window steers it: its
// place on screen, a file opened or closed, a new current variable.
#include "values/ui/ValuesPane.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "values/ui/FrequencyChartView.h"
#include "values/ui/ValuesGrid.h"

namespace brindle {

namespace {

constexpr int kMemoHeight = 50;
constexpr int kValueWidths[ValuesGrid::kColumns] = {192, 55, 38, 41, 39};

// Hands the key presses of a widget that has no handler slot of its own to
// a handler; a key the handler ignores is consumed.
class KeyDownFilter : public QObject {
 public:
  KeyDownFilter(QObject* parent, std::function<void(QKeyEvent*)> handler)
      : QObject(parent), m_handler(std::move(handler)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    key->accept();
    m_handler(key);
    return !key->isAccepted();
  }

 private:
  std::function<void(QKeyEvent*)> m_handler;
};

class ResizeFilter : public QObject {
 public:
  ResizeFilter(QObject* parent, std::function<void(const QResizeEvent*)> handler)
      : QObject(parent), m_handler(std::move(handler)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) m_handler(static_cast<const QResizeEvent*>(event));
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(const QResizeEvent*)> m_handler;
};

}  // namespace

ValuesPane::ValuesPane(UiService& ui, QWidget* menuOwner, VariableList& variables,
                       const CaseWeighting& weighting)
    : m_ui(ui), m_variables(variables), m_weighting(weighting) {
  captionLabel = new QLabel;
  QFont bold = captionLabel->font();
  bold.setBold(true);
  captionLabel->setFont(bold);

  createGrid();
  createMemo();
  valuesPanel = new QWidget;
  auto* layout = new QVBoxLayout(valuesPanel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(valuesGrid, 1);
  chartView = new FrequencyChartView;
  chartView->setVisible(false);
  layout->addWidget(chartView);
  layout->addWidget(statisticsText);
  createValuesMenu(menuOwner);
}

ValuesPane::~ValuesPane() {
  // The widgets outlive the pane: nothing of theirs may call it any more.
  delete m_memoEvents;
  delete m_gridEvents;
  valuesGrid->OnColumnWidthChanged = nullptr;
  valuesGrid->OnDrawCell = nullptr;
}

void ValuesPane::createGrid() {
  valuesGrid = new ValuesGrid;
  valuesGrid->setObjectName(QStringLiteral("valuesGrid"));
  valuesGrid->SetRowCount(26);
  // The form's 15 pixels, or more where the platform font is taller.
  valuesGrid->SetDefaultRowHeight(std::max(15, valuesGrid->fontMetrics().height() + 4));
  for (int c = 0; c < ValuesGrid::kColumns; ++c)
    valuesGrid->SetColWidth(c, DefaultColumnWidth(c));
  valuesGrid->SetCellHints(true);
  valuesGrid->OnDrawCell = [this](int col, int row, bool selected, QColor& background,
                                   QColor& text, Qt::Alignment& align) {
    ValuesGridDrawCell(col, row, selected, background, text, align);
  };
  attachWidthHandler(true);
  // A scroll bar that comes or goes changes the room the columns share.
  m_gridEvents = new ResizeFilter(valuesGrid, [this](const QResizeEvent* resize) {
    ValuesGridColumnWidthChanged();
    // The statistics box coming or going changes how many rows fit.
    if (resize->size().height() != resize->oldSize().height()) FitRows();
  });
  valuesGrid->viewport()->installEventFilter(m_gridEvents);
}

void ValuesPane::createMemo() {
  statisticsText = new QPlainTextEdit;
  statisticsText->setReadOnly(true);
  // The three statistics lines stay whole: no wrapping at the tabs, and at
  // least the height they need in the platform font, beside the scroll bar a
  // narrow pane brings.
  statisticsText->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The statistics are three lines of six tab-separated fields; tab stops a
  // little wider than the longest caption ("variance") keep all six in view
  // in a pane of half the window.
  statisticsText->setTabStopDistance(statisticsText->fontMetrics().horizontalAdvance(QStringLiteral("variance")) +
                            statisticsText->fontMetrics().horizontalAdvance(QStringLiteral("   ")));
  const int memoLines = 3 * statisticsText->fontMetrics().lineSpacing() + 2 * statisticsText->frameWidth() +
                        2 * static_cast<int>(statisticsText->document()->documentMargin()) + 2 +
                        statisticsText->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, statisticsText);
  statisticsText->setFixedHeight(std::max(kMemoHeight, memoLines));
  statisticsText->setFocusPolicy(Qt::ClickFocus);
  statisticsText->setVisible(false);

  m_memoEvents = new KeyDownFilter(statisticsText, [this](QKeyEvent* e) { StatisticsTextKeyDown(e); });
  statisticsText->installEventFilter(m_memoEvents);
  // The viewport, not the box: its width is the room the lines have.
  // An emptied box (a cancelled pass, a closed file) stays empty.
  statisticsText->viewport()->installEventFilter(new ResizeFilter(m_memoEvents, [this](const QResizeEvent*) {
    if (!statisticsText->document()->isEmpty()) layoutStatistics();
  }));
}

void ValuesPane::createValuesMenu(QWidget* owner) {
  valuesMenu = new QMenu(owner);
  valuesMenu->setObjectName(QStringLiteral("valuesMenu"));
  // The shortcuts are labels only: the grid's key handler owns the keys.
  copyAction = valuesMenu->addAction(QStringLiteral("&Copy\tCtrl+C"));
  valuesMenu->addSeparator();
  SelectAllValues = valuesMenu->addAction(QStringLiteral("Select &All\tCtrl+A"));
  QObject::connect(copyAction, &QAction::triggered, copyAction, [this] { CopyClick(); });
  QObject::connect(SelectAllValues, &QAction::triggered, SelectAllValues,
                   [this] { SelectAllValuesClick(); });
}

void ValuesPane::attachWidthHandler(bool attach) {
  if (attach)
    valuesGrid->OnColumnWidthChanged = [this](ValuesGrid*) {
      ValuesGridColumnWidthChanged();
    };
  else
    valuesGrid->OnColumnWidthChanged = nullptr;
}

void ValuesPane::captionChanged() {
  if (OnCaptionChanged) OnCaptionChanged();
}

void ValuesPane::countChanged(const QString& text) {
  if (OnCountChanged) OnCountChanged(text);
}

// --- The file and the window ---------------------------------------------------

void ValuesPane::SetEnabled(bool enabled) {
  valuesGrid->setEnabled(enabled);
  statisticsText->setEnabled(enabled);
}

void ValuesPane::FirstShown() {
  for (int c = 0; c < ValuesGrid::kColumns; ++c) valuesGrid->SetCell(c, 0, ValueTitle(c));
  valuesGrid->SavedLabelWidth =
      valuesGrid->ColWidth(0) < 1 ? valuesGrid->ColWidth(1) : valuesGrid->ColWidth(0);
  valuesGrid->SavedValueWidth = valuesGrid->ColWidth(1);
  valuesGrid->SelectNone();
}

void ValuesPane::FitRows() {
  MinValueRows = 1 + valuesGrid->viewport()->height() / valuesGrid->DefaultRowHeight();
  valuesGrid->SetRowCount(std::max(MinValueRows, ValueRowCount + 1));
}

void ValuesPane::StartFile() {
  CountColor = QColor(0, 0, 255);
  SortDescending = false;
  SortKey = 1;
  valuesGrid->HideSortIndicator();
}

void ValuesPane::MarkCountsEstimated() { CountColor = QColor(255, 0, 0); }

void ValuesPane::HideStatistics() {
  statisticsText->clear();
  statisticsText->setVisible(false);
}

void ValuesPane::Clear() {
  valuesGrid->HideSortIndicator();
  valuesGrid->SetRowCount(MinValueRows);
  startValueRows();
  ValueRowCount = 0;
  FrequencyTableShown = false;
  HideStatistics();
  captionLabel->clear();
  valuesGrid->SelectNone();
  attachWidthHandler(false);
  valuesGrid->RestoreLabelColumn();
  attachWidthHandler(true);
  RefreshChart();
}

int ValuesPane::DefaultColumnWidth(int column) const {
  if (column < 0 || column >= ValuesGrid::kColumns) return 0;
  return valuesGrid->FitTitle(ValueTitle(column), kValueWidths[column]);
}

void ValuesPane::RestoreDefaultColumnWidths() {
  attachWidthHandler(false);
  for (int c = 2; c < ValuesGrid::kColumns; ++c)
    valuesGrid->SetColWidth(c, DefaultColumnWidth(c));
  valuesGrid->SavedValueWidth = DefaultColumnWidth(1);
  if (!valuesGrid->LabelColumnHidden()) valuesGrid->SetColWidth(1, DefaultColumnWidth(1));
  attachWidthHandler(true);
  ValuesGridColumnWidthChanged();
}

void ValuesPane::StartVariable() {
  valuesGrid->scrollToTop();
  SortKey = 1;
  SortDescending = false;
  valuesGrid->HideSortIndicator();
}

}  // namespace brindle
