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
  m_captionLabel = new QLabel;
  QFont bold = m_captionLabel->font();
  bold.setBold(true);
  m_captionLabel->setFont(bold);

  createGrid();
  createMemo();
  m_valuesPanel = new QWidget;
  auto* layout = new QVBoxLayout(m_valuesPanel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_valuesGrid, 1);
  m_chartView = new FrequencyChartView;
  m_chartView->setVisible(false);
  layout->addWidget(m_chartView);
  layout->addWidget(m_statisticsText);
  createValuesMenu(menuOwner);
}

ValuesPane::~ValuesPane() {
  // The widgets outlive the pane: nothing of theirs may call it any more.
  delete m_memoEvents;
  delete m_gridEvents;
  m_valuesGrid->OnColumnWidthChanged = nullptr;
  m_valuesGrid->OnDrawCell = nullptr;
  m_valuesGrid->OnMouseDown = nullptr;
  m_valuesGrid->OnKeyDown = nullptr;
}

void ValuesPane::createGrid() {
  m_valuesGrid = new ValuesGrid;
  m_valuesGrid->setObjectName(QStringLiteral("valuesGrid"));
  m_valuesGrid->SetRowCount(26);
  // The form's 15 pixels, or more where the platform font is taller.
  m_valuesGrid->SetDefaultRowHeight(std::max(15, m_valuesGrid->fontMetrics().height() + 4));
  for (int c = 0; c < ValuesGrid::kColumns; ++c)
    m_valuesGrid->SetColWidth(c, DefaultColumnWidth(c));
  m_valuesGrid->SetCellHints(true);
  m_valuesGrid->OnDrawCell = [this](int col, int row, bool selected, QColor& background,
                                    QColor& text, Qt::Alignment& align) {
    ValuesGridDrawCell(col, row, selected, background, text, align);
  };
  m_valuesGrid->OnMouseDown = [this](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y,
                                     bool doubleClick) {
    if (ValuesGridMouseDown(button, x, y, doubleClick)) emit toggleDisplayRequested();
  };
  m_valuesGrid->OnKeyDown = [this](QKeyEvent* event) { ValuesGridKeyDown(event); };
  attachWidthHandler(true);
  // A scroll bar that comes or goes changes the room the columns share.
  m_gridEvents = new ResizeFilter(m_valuesGrid, [this](const QResizeEvent* resize) {
    ValuesGridColumnWidthChanged();
    // The statistics box coming or going changes how many rows fit.
    if (resize->size().height() != resize->oldSize().height()) FitRows();
  });
  m_valuesGrid->viewport()->installEventFilter(m_gridEvents);
}

void ValuesPane::createMemo() {
  m_statisticsText = new QPlainTextEdit;
  m_statisticsText->setReadOnly(true);
  // The three statistics lines stay whole: no wrapping at the tabs, and at
  // least the height they need in the platform font, beside the scroll bar a
  // narrow pane brings.
  m_statisticsText->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The statistics are three lines of six tab-separated fields; tab stops a
  // little wider than the longest caption ("variance") keep all six in view
  // in a pane of half the window.
  m_statisticsText->setTabStopDistance(
      m_statisticsText->fontMetrics().horizontalAdvance(QStringLiteral("variance")) +
      m_statisticsText->fontMetrics().horizontalAdvance(QStringLiteral("   ")));
  const int memoLines =
      3 * m_statisticsText->fontMetrics().lineSpacing() + 2 * m_statisticsText->frameWidth() +
      2 * static_cast<int>(m_statisticsText->document()->documentMargin()) + 2 +
      m_statisticsText->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_statisticsText);
  m_statisticsText->setFixedHeight(std::max(kMemoHeight, memoLines));
  m_statisticsText->setFocusPolicy(Qt::ClickFocus);
  m_statisticsText->setVisible(false);

  m_memoEvents =
      new KeyDownFilter(m_statisticsText, [this](QKeyEvent* e) { StatisticsTextKeyDown(e); });
  m_statisticsText->installEventFilter(m_memoEvents);
  // The viewport, not the box: its width is the room the lines have.
  // An emptied box (a cancelled pass, a closed file) stays empty.
  m_statisticsText->viewport()->installEventFilter(
      new ResizeFilter(m_memoEvents, [this](const QResizeEvent*) {
        if (!m_statisticsText->document()->isEmpty()) layoutStatistics();
      }));
}

void ValuesPane::createValuesMenu(QWidget* owner) {
  m_valuesMenu = new QMenu(owner);
  m_valuesMenu->setObjectName(QStringLiteral("valuesMenu"));
  // The shortcuts are labels only: the grid's key handler owns the keys.
  m_copyAction = m_valuesMenu->addAction(QStringLiteral("&Copy\tCtrl+C"));
  m_valuesMenu->addSeparator();
  m_selectAllAction = m_valuesMenu->addAction(QStringLiteral("Select &All\tCtrl+A"));
  QObject::connect(m_copyAction, &QAction::triggered, m_copyAction, [this] { CopyClick(); });
  QObject::connect(m_selectAllAction, &QAction::triggered, m_selectAllAction,
                   [this] { SelectAllValuesClick(); });
}

void ValuesPane::attachWidthHandler(bool attach) {
  if (attach)
    m_valuesGrid->OnColumnWidthChanged = [this](ValuesGrid*) { ValuesGridColumnWidthChanged(); };
  else
    m_valuesGrid->OnColumnWidthChanged = nullptr;
}

// --- The file and the window ---------------------------------------------------

void ValuesPane::SetEnabled(bool enabled) {
  m_valuesGrid->setEnabled(enabled);
  m_statisticsText->setEnabled(enabled);
}

void ValuesPane::FirstShown() {
  for (int c = 0; c < ValuesGrid::kColumns; ++c) m_valuesGrid->SetCell(c, 0, ValueTitle(c));
  m_valuesGrid->SavedLabelWidth =
      m_valuesGrid->ColWidth(0) < 1 ? m_valuesGrid->ColWidth(1) : m_valuesGrid->ColWidth(0);
  m_valuesGrid->SavedValueWidth = m_valuesGrid->ColWidth(1);
  m_valuesGrid->SelectNone();
}

void ValuesPane::FitRows() {
  m_minValueRows = 1 + m_valuesGrid->viewport()->height() / m_valuesGrid->DefaultRowHeight();
  m_valuesGrid->SetRowCount(std::max(m_minValueRows, m_valueRowCount + 1));
}

void ValuesPane::StartFile() {
  m_runner.ForgetTables();
  m_countColor = QColor(0, 0, 255);
  m_sortDescending = false;
  m_sortKey = 1;
  m_valuesGrid->HideSortIndicator();
}

void ValuesPane::MarkCountsEstimated() { m_countColor = QColor(255, 0, 0); }

void ValuesPane::HideStatistics() {
  m_statisticsText->clear();
  m_statisticsText->setVisible(false);
}

void ValuesPane::Clear() {
  m_runner.ForgetTables();
  m_valuesGrid->HideSortIndicator();
  m_valuesGrid->SetRowCount(m_minValueRows);
  startValueRows();
  m_valueRowCount = 0;
  m_frequencyTableShown = false;
  HideStatistics();
  m_captionLabel->clear();
  m_valuesGrid->SelectNone();
  attachWidthHandler(false);
  m_valuesGrid->RestoreLabelColumn();
  attachWidthHandler(true);
  RefreshChart();
}

int ValuesPane::DefaultColumnWidth(int column) const {
  if (column < 0 || column >= ValuesGrid::kColumns) return 0;
  return m_valuesGrid->FitTitle(ValueTitle(column), kValueWidths[column]);
}

void ValuesPane::RestoreDefaultColumnWidths() {
  attachWidthHandler(false);
  for (int c = 2; c < ValuesGrid::kColumns; ++c)
    m_valuesGrid->SetColWidth(c, DefaultColumnWidth(c));
  m_valuesGrid->SavedValueWidth = DefaultColumnWidth(1);
  if (!m_valuesGrid->LabelColumnHidden()) m_valuesGrid->SetColWidth(1, DefaultColumnWidth(1));
  attachWidthHandler(true);
  ValuesGridColumnWidthChanged();
}

void ValuesPane::StartVariable() {
  m_valuesGrid->scrollToTop();
  m_sortKey = 1;
  m_sortDescending = false;
  m_valuesGrid->HideSortIndicator();
}

}  // namespace brindle
