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

#include "controls/ValStringGrid.h"

namespace brindle {

namespace {

constexpr int kMemoHeight = 50;
constexpr int kValueWidths[TValStringGrid::kColumns] = {192, 55, 38, 41, 39};

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

ValuesPane::ValuesPane(UiService& ui, QWidget* menuOwner, TdxMemData& variables,
                       const CaseWeighting& weighting)
    : m_ui(ui), m_variables(variables), m_weighting(weighting) {
  Label1 = new QLabel;
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);

  createGrid();
  createMemo();
  Panel2 = new QWidget;
  auto* layout = new QVBoxLayout(Panel2);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(StringGrid1, 1);
  layout->addWidget(Memo1);
  createPopupMenu2(menuOwner);
}

ValuesPane::~ValuesPane() {
  // The widgets outlive the pane: nothing of theirs may call it any more.
  delete m_memoEvents;
  delete m_gridEvents;
  StringGrid1->OnColumnWidthChanged = nullptr;
  StringGrid1->OnDrawCell = nullptr;
}

void ValuesPane::createGrid() {
  StringGrid1 = new TValStringGrid;
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->SetRowCount(26);
  // The form's 15 pixels, or more where the platform font is taller.
  StringGrid1->SetDefaultRowHeight(std::max(15, StringGrid1->fontMetrics().height() + 4));
  for (int c = 0; c < TValStringGrid::kColumns; ++c)
    StringGrid1->SetColWidth(c, DefaultColumnWidth(c));
  StringGrid1->SetCellHints(true);
  StringGrid1->OnDrawCell = [this](int col, int row, bool selected, QColor& background,
                                   QColor& text, Qt::Alignment& align) {
    StringGrid1DrawCell(col, row, selected, background, text, align);
  };
  attachWidthHandler(true);
  // A scroll bar that comes or goes changes the room the columns share.
  m_gridEvents = new ResizeFilter(StringGrid1, [this](const QResizeEvent* resize) {
    StringGrid1ColumnWidthChanged();
    // The statistics box coming or going changes how many rows fit.
    if (resize->size().height() != resize->oldSize().height()) FitRows();
  });
  StringGrid1->viewport()->installEventFilter(m_gridEvents);
}

void ValuesPane::createMemo() {
  Memo1 = new QPlainTextEdit;
  Memo1->setReadOnly(true);
  // The three statistics lines stay whole: no wrapping at the tabs, and at
  // least the height they need in the platform font, beside the scroll bar a
  // narrow pane brings.
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The statistics are three lines of six tab-separated fields; tab stops a
  // little wider than the longest caption ("variance") keep all six in view
  // in a pane of half the window.
  Memo1->setTabStopDistance(Memo1->fontMetrics().horizontalAdvance(QStringLiteral("variance")) +
                            Memo1->fontMetrics().horizontalAdvance(QStringLiteral("   ")));
  const int memoLines = 3 * Memo1->fontMetrics().lineSpacing() + 2 * Memo1->frameWidth() +
                        2 * static_cast<int>(Memo1->document()->documentMargin()) + 2 +
                        Memo1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Memo1);
  Memo1->setFixedHeight(std::max(kMemoHeight, memoLines));
  Memo1->setFocusPolicy(Qt::ClickFocus);
  Memo1->setVisible(false);

  m_memoEvents = new KeyDownFilter(Memo1, [this](QKeyEvent* e) { Memo1KeyDown(e); });
  Memo1->installEventFilter(m_memoEvents);
  // The viewport, not the box: its width is the room the lines have.
  // An emptied box (a cancelled pass, a closed file) stays empty.
  Memo1->viewport()->installEventFilter(new ResizeFilter(m_memoEvents, [this](const QResizeEvent*) {
    if (!Memo1->document()->isEmpty()) layoutStatistics();
  }));
}

void ValuesPane::createPopupMenu2(QWidget* owner) {
  PopupMenu2 = new QMenu(owner);
  PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
  // The shortcuts are labels only: the grid's key handler owns the keys.
  Copy1 = PopupMenu2->addAction(QStringLiteral("&Copy\tCtrl+C"));
  PopupMenu2->addSeparator();
  SelectAllValues = PopupMenu2->addAction(QStringLiteral("Select &All\tCtrl+A"));
  QObject::connect(Copy1, &QAction::triggered, Copy1, [this] { Copy1Click(); });
  QObject::connect(SelectAllValues, &QAction::triggered, SelectAllValues,
                   [this] { SelectAllValuesClick(); });
}

void ValuesPane::attachWidthHandler(bool attach) {
  if (attach)
    StringGrid1->OnColumnWidthChanged = [this](TValStringGrid*) {
      StringGrid1ColumnWidthChanged();
    };
  else
    StringGrid1->OnColumnWidthChanged = nullptr;
}

void ValuesPane::captionChanged() {
  if (OnCaptionChanged) OnCaptionChanged();
}

void ValuesPane::countChanged(const QString& text) {
  if (OnCountChanged) OnCountChanged(text);
}

// --- The file and the window ---------------------------------------------------

void ValuesPane::SetEnabled(bool enabled) {
  StringGrid1->setEnabled(enabled);
  Memo1->setEnabled(enabled);
}

void ValuesPane::FirstShown() {
  for (int c = 0; c < TValStringGrid::kColumns; ++c) StringGrid1->SetCell(c, 0, ValueTitle(c));
  StringGrid1->SavedLabelWidth =
      StringGrid1->ColWidth(0) < 1 ? StringGrid1->ColWidth(1) : StringGrid1->ColWidth(0);
  StringGrid1->SavedValueWidth = StringGrid1->ColWidth(1);
  StringGrid1->SelectNone();
}

void ValuesPane::FitRows() {
  MinValueRows = 1 + StringGrid1->viewport()->height() / StringGrid1->DefaultRowHeight();
  StringGrid1->SetRowCount(std::max(MinValueRows, ValueRowCount + 1));
}

void ValuesPane::StartFile() {
  CountColor = QColor(0, 0, 255);
  SortDescending = false;
  SortKey = 1;
  StringGrid1->HideSortIndicator();
}

void ValuesPane::MarkCountsEstimated() { CountColor = QColor(255, 0, 0); }

void ValuesPane::HideStatistics() {
  Memo1->clear();
  Memo1->setVisible(false);
}

void ValuesPane::Clear() {
  StringGrid1->HideSortIndicator();
  StringGrid1->SetRowCount(MinValueRows);
  startValueRows();
  ValueRowCount = 0;
  FrequencyTableShown = false;
  HideStatistics();
  Label1->clear();
  StringGrid1->SelectNone();
  attachWidthHandler(false);
  StringGrid1->RestoreLabelColumn();
  attachWidthHandler(true);
}

int ValuesPane::DefaultColumnWidth(int column) const {
  if (column < 0 || column >= TValStringGrid::kColumns) return 0;
  return StringGrid1->FitTitle(ValueTitle(column), kValueWidths[column]);
}

void ValuesPane::RestoreDefaultColumnWidths() {
  attachWidthHandler(false);
  for (int c = 2; c < TValStringGrid::kColumns; ++c)
    StringGrid1->SetColWidth(c, DefaultColumnWidth(c));
  StringGrid1->SavedValueWidth = DefaultColumnWidth(1);
  if (!StringGrid1->LabelColumnHidden()) StringGrid1->SetColWidth(1, DefaultColumnWidth(1));
  attachWidthHandler(true);
  StringGrid1ColumnWidthChanged();
}

void ValuesPane::StartVariable() {
  StringGrid1->scrollToTop();
  SortKey = 1;
  SortDescending = false;
  StringGrid1->HideSortIndicator();
}

}  // namespace brindle
