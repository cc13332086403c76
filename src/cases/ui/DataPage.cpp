#include "cases/ui/DataPage.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#include "cases/CaseView.h"
#include "cases/MemoryUse.h"
#include "cases/ui/CasesModel.h"
#include "cases/ui/CellDelegate.h"
#include "platform/UiService.h"
#include "spssio/SystemFile.h"

namespace brindle {

// --- The grid ---------------------------------------------------------------

CasesGrid::CasesGrid(QWidget* parent) : GridBase(parent) {
  setObjectName(QStringLiteral("CasesGrid"));
  // Every row as high as the next: nothing is measured per row.
  QHeaderView* rows = verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 6);
  rows->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setHighlightSections(true);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  viewport()->setMouseTracking(true);
  SetCellHints(true);
  setItemDelegate(new CellDelegate(this));
  // The grid's lines are drawn once across the whole viewport (paintEvent)
  // rather than twice around every cell.
  setShowGrid(false);
}

void CasesGrid::paintEvent(QPaintEvent* e) {
  GridBase::paintEvent(e);
  const int rows = model() ? model()->rowCount() : 0;
  const int columns = model() ? model()->columnCount() : 0;
  if (rows == 0 || columns == 0) return;
  QPainter painter(viewport());
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const int hint = style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this);
  painter.setPen(QPen(QColor::fromRgba(static_cast<QRgb>(hint)), 0, gridStyle()));
  const QRect area = viewport()->rect();
  // The lines end where the last row and column end.
  const int right = std::min(area.right(), columnViewportPosition(columns - 1) + columnWidth(columns - 1) - 1);
  const int bottom = std::min(area.bottom(), rowViewportPosition(rows - 1) + rowHeight(rows - 1) - 1);
  const int lastRow = rowAt(area.bottom()) < 0 ? rows - 1 : rowAt(area.bottom());
  const int lastColumn = columnAt(area.right()) < 0 ? columns - 1 : columnAt(area.right());
  for (int r = std::max(0, rowAt(area.top())); r <= lastRow; ++r) {
    const int y = rowViewportPosition(r) + rowHeight(r) - 1;
    painter.drawLine(area.left(), y, right, y);
  }
  for (int c = std::max(0, columnAt(area.left())); c <= lastColumn; ++c) {
    if (isColumnHidden(c)) continue;
    const int x = columnViewportPosition(c) + columnWidth(c) - 1;
    painter.drawLine(x, area.top(), x, bottom);
  }
}

bool CasesGrid::IsPageKey(const QKeyEvent* e) {
  const Qt::KeyboardModifiers mods =
      e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  switch (e->key()) {
    case Qt::Key_G:
    case Qt::Key_F:
    case Qt::Key_Home:
    case Qt::Key_End:
      return mods == Qt::ControlModifier;
    case Qt::Key_C:
      return mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier);
    case Qt::Key_F3:
      return mods == Qt::NoModifier || mods == Qt::ShiftModifier;
    default:
      return false;
  }
}

bool CasesGrid::event(QEvent* e) {
  // The window's shortcuts for the same keys belong to the variables page.
  if (e->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(e);
    if (IsPageKey(key) || (key->key() == Qt::Key_Escape && OnPageKey && OnPageKey(nullptr))) {
      e->accept();
      return true;
    }
  }
  return GridBase::event(e);
}

void CasesGrid::keyPressEvent(QKeyEvent* e) {
  if (OnPageKey && (IsPageKey(e) || e->key() == Qt::Key_Escape) && OnPageKey(e)) {
    e->accept();
    return;
  }
  GridBase::keyPressEvent(e);
}

bool CasesGrid::viewportEvent(QEvent* e) {
  if (e->type() == QEvent::MouseMove) {
    auto* me = static_cast<QMouseEvent*>(e);
    const QPoint pos = viewport()->mapTo(this, me->position().toPoint());
    MouseMoved(me->modifiers(), pos.x(), pos.y());
  } else if (e->type() == QEvent::Leave) {
    HideHint();
  }
  return GridBase::viewportEvent(e);
}

GridBase::HintTarget CasesGrid::HintCellAt(QPoint pos, QString& text, int& width) const {
  const QModelIndex index = indexAt(viewport()->mapFrom(this, pos));
  if (!index.isValid()) return HintTarget::None;
  text = index.data(Qt::DisplayRole).toString();
  width = columnWidth(index.column());
  return HintTarget::Cell;
}

// --- The page -----------------------------------------------------------------

struct DataPage::Job {
  enum class Kind { Sort, Find, Copy } kind = Kind::Sort;
  std::atomic<bool> stop{false};
  std::atomic<std::int64_t> done{0};
  std::atomic<bool> finished{false};
  std::int64_t total = 0;
  CaseBlocks* blocks = nullptr;
  std::size_t var = 0;
  bool isString = false;
  QString what;  // for the status line
  // Sort.
  std::shared_ptr<SortKeys> keys;
  SortDirection direction = SortDirection::Ascending;
  int column = 0, state = 0;
  std::vector<std::int64_t> order;
  // Find.
  std::optional<CellFormat> format;
  std::string text;
  std::shared_ptr<CaseMatches> matches;
  bool forward = true;
  // Copy.
  CopyPlan plan;
  CopiedCells copied;
  // Any.
  bool ok = false;
  std::string error;
  TaskPool::TaskHandle task;

  void run() {
    if (kind == Kind::Copy) {
      copied = RunCopy(*blocks, plan, &stop, &done);
      ok = true;
      return;
    }
    if (kind == Kind::Sort) {
      ok = keys->read(*blocks, var, isString, total, &stop, &done, error);
      if (ok && !stop) order = keys->order(direction);
      keys.reset();
    } else {
      ok = matches->find(*blocks, var, *format, text, total, &stop, &done, error);
    }
  }
};

DataPage::DataPage(UiService& ui, QWidget* parent) : QWidget(parent), m_ui(ui) {
  setObjectName(QStringLiteral("DataPage"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_grid = new CasesGrid(this);
  m_model = new CasesModel(this);
  m_grid->setModel(m_model);
  layout->addWidget(m_grid);
  m_grid->OnPageKey = [this](QKeyEvent* e) {
    if (!e) return working();  // may Escape be taken?
    return pageKey(e);
  };
  connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int column) { sortByColumn(column); });
  connect(m_grid->verticalScrollBar(), &QScrollBar::valueChanged, this,
          [this] { readAheadVisible(); });
  connect(m_model, &CasesModel::casesArrived, this, [this] {
    showDamageOnce();
    if (!m_view || m_job) return;
    if (!m_view->blocks().indexReady()) {
      m_countShown = true;
      emit statusMessage(QStringLiteral("Counting the cases: %1 so far")
                             .arg(QLocale().toString(qlonglong(m_view->blocks().casesFound()))));
    } else if (m_countShown) {
      m_countShown = false;
      if (m_view->blocks().damageAt() < 0) emit statusMessage(QString());
    }
  });
  connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& now, const QModelIndex& before) {
            if (now.isValid() && now.column() != before.column() &&
                std::size_t(now.column()) < m_vars.size())
              emit currentVariableChanged(m_vars[std::size_t(now.column())]);
          });
  m_poll.setInterval(40);
  connect(&m_poll, &QTimer::timeout, this, [this] { pollJob(); });
}

DataPage::~DataPage() { closeFile(); }

void DataPage::openFile(std::shared_ptr<SystemFile> held, const std::string& path,
                        std::int64_t cases, bool estimated) {
  closeFile();
  if (!held) return;
  m_fileHeld = std::move(held);
  SystemFile& file = *m_fileHeld;
  m_file = &file;
  m_estimated = estimated;
  m_damageShown = false;
  m_view = std::make_unique<CaseView>(file, path, cases);
  m_view->setCellOptions(m_options);
  m_vars.clear();
  for (std::size_t v = 0; v < file.variableCount(); ++v) m_vars.push_back(v);
  m_view->setColumns(m_vars);
  m_model->setView(m_view.get());
  setColumns(m_vars);
}

void DataPage::closeFile() {
  stopWork();
  m_model->setView(nullptr);
  m_view.reset();
  m_file = nullptr;
  m_fileHeld.reset();
  m_vars.clear();
  m_sortVar.reset();
  m_sortState = 0;
  m_matches.reset();
  m_findVar.reset();
  m_grid->HideSortIndicator();
}

void DataPage::setColumns(const std::vector<std::size_t>& vars) {
  if (!m_view) return;
  // The cursor's column follows its variable: no move of the user's.
  const QSignalBlocker quiet(this);
  const std::optional<std::size_t> current = currentVariable();
  const int row = m_grid->currentIndex().row();
  m_vars = vars;
  m_view->setColumns(m_vars);
  m_model->refresh();
  // Widths from the print formats and the names, never from the values.
  const QFontMetrics fm = m_grid->fontMetrics();
  const int digit = fm.horizontalAdvance(QLatin1Char('0'));
  m_grid->horizontalHeader()->setDefaultSectionSize(digit * 9 + 12);
  if (m_vars.size() <= 5000)
    for (std::size_t c = 0; c < m_vars.size(); ++c)
      m_grid->setColumnWidth(int(c), digit * m_view->format(c).widthInCharacters() + 14);
  // The sort mark follows its variable, or goes with it.
  const int sorted = m_sortVar ? m_view->columnOf(*m_sortVar) : -1;
  if (sorted >= 0)
    m_grid->ShowSortIndicator(sorted, m_sortState == 2);
  else
    m_grid->HideSortIndicator();
  if (current && m_view->columnOf(*current) >= 0)
    moveTo(std::max(0, row), m_view->columnOf(*current));
  readAheadVisible();
}

void DataPage::setCellOptions(bool fixedFormat, const NumberSeparators& seps) {
  m_options.fixedFormat = fixedFormat;
  m_options.seps = seps;
  if (m_view) {
    m_view->setCellOptions(m_options);
    m_model->reorder();
  }
}

void DataPage::setShowLabels(bool on) {
  m_options.mode = on ? CellMode::Labels : CellMode::Values;
  if (m_view) {
    m_view->setCellOptions(m_options);
    m_model->reorder();
  }
}

int DataPage::currentColumn() const {
  const QModelIndex index = m_grid->currentIndex();
  return index.isValid() ? index.column() : (m_vars.empty() ? -1 : 0);
}

std::optional<std::size_t> DataPage::currentVariable() const {
  const int c = currentColumn();
  if (c < 0 || std::size_t(c) >= m_vars.size()) return std::nullopt;
  return m_vars[std::size_t(c)];
}

std::int64_t DataPage::currentCase() const {
  const QModelIndex index = m_grid->currentIndex();
  if (!m_view || !index.isValid()) return 0;
  return m_view->caseAt(index.row()) + 1;
}

void DataPage::setCurrentVariable(std::size_t var) {
  if (!m_view) return;
  const int column = m_view->columnOf(var);
  if (column < 0 || column == m_grid->currentIndex().column()) return;
  const QSignalBlocker quiet(this);
  moveTo(std::max(0, m_grid->currentIndex().row()), column);
}

void DataPage::moveTo(std::int64_t row, int column) {
  if (!m_view || m_model->rowCount() == 0 || column < 0 || column >= m_model->columnCount())
    return;
  row = std::clamp<std::int64_t>(row, 0, m_model->rowCount() - 1);
  const QModelIndex index = m_model->index(int(row), column);
  // Through the view rather than its selection model: the view then starts
  // a Shift+arrow selection here too, not where the cursor was before.
  m_grid->setCurrentIndex(index);
  m_grid->scrollTo(index);
  readAheadVisible();
}

void DataPage::readAheadVisible() {
  if (!m_view) return;
  const int first = std::max(0, m_grid->rowAt(0));
  int last = m_grid->rowAt(m_grid->viewport()->height() - 1);
  if (last < 0) last = m_model->rowCount() - 1;
  m_view->readAhead(first, last);
}

bool DataPage::pageKey(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape) return stopWork();
  if (!m_view) return false;
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  switch (e->key()) {
    case Qt::Key_G:
      goToCasePrompt();
      return true;
    case Qt::Key_Home:
      goToFirst();
      return true;
    case Qt::Key_End:
      goToLast();
      return true;
    case Qt::Key_F:
      findPrompt();
      return true;
    case Qt::Key_F3:
      findAgain(!shift);
      return true;
    case Qt::Key_C:
      copySelection(shift);
      return true;
    default:
      return false;
  }
}

void DataPage::goToCasePrompt() {
  if (!m_view) return;
  QString text;
  if (!m_ui.GetText(this, QStringLiteral("Go to case"),
                    QStringLiteral("Case number (1 to %1):")
                        .arg(QLocale().toString(qlonglong(m_model->rowCount()))),
                    text))
    return;
  goToCase(text);
}

bool DataPage::goToCase(const QString& number) {
  if (!m_view) return false;
  const qlonglong rows = m_model->rowCount();
  const QString range = QStringLiteral("Type a whole number from 1 to %1.").arg(QLocale().toString(rows));
  const QString typed = number.trimmed();
  bool ok = !typed.isEmpty();
  for (QChar ch : typed) ok = ok && ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
  const qlonglong n = ok && typed.size() <= 18 ? typed.toLongLong(&ok) : (ok = false, 0);
  if (!ok) {
    m_ui.ShowMessage(QStringLiteral("\"%1\" is not a case number. %2").arg(typed.left(40), range));
    return false;
  }
  if (n < 1 || n > rows) {
    m_ui.ShowMessage(QStringLiteral("There is no case %1. %2").arg(typed.left(40), range));
    return false;
  }
  moveTo(m_view->rowOf(n - 1), std::max(0, currentColumn()));
  return true;
}

void DataPage::goToFirst() { moveTo(0, std::max(0, currentColumn())); }

void DataPage::goToLast() { moveTo(m_model->rowCount() - 1, std::max(0, currentColumn())); }

void DataPage::findPrompt() {
  if (!m_view || m_vars.empty()) return;
  const std::size_t var = m_vars[std::size_t(std::max(0, currentColumn()))];
  QString text = m_findText;
  if (!m_ui.GetText(this, QStringLiteral("Find in %1").arg(QString::fromStdString(m_file->variable(var).name)),
                    QStringLiteral("Value or label:"), text) ||
      text.isEmpty())
    return;
  find(text, true);
}

void DataPage::findAgain(bool forward) {
  if (m_findText.isEmpty()) {
    findPrompt();
    return;
  }
  find(m_findText, forward);
}

void DataPage::find(const QString& text, bool forward) {
  if (!m_view || m_vars.empty() || m_job) return;
  const int column = std::max(0, currentColumn());
  const std::size_t var = m_vars[std::size_t(column)];
  const bool labels = showLabels();
  if (m_matches && m_findText == text && m_findVar == var && m_findLabels == labels) {
    finishFind(m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1, forward);
    return;
  }
  m_findText = text;
  m_findVar = var;
  m_findLabels = labels;
  m_matches.reset();
  auto job = std::make_unique<Job>();
  job->kind = Job::Kind::Find;
  job->var = var;
  job->format.emplace(*m_file, var, m_options);
  job->text = text.toStdString();
  job->matches = std::make_shared<CaseMatches>();
  job->forward = forward;
  job->what = QStringLiteral("Finding \"%1\"").arg(text);
  startJob(std::move(job));
}

void DataPage::finishFind(std::int64_t row, bool forward) {
  if (!m_matches || !m_view) return;
  const std::int64_t rows = m_model->rowCount();
  const std::int64_t found = m_matches->nextRow(row, forward, rows, m_view->order());
  const int column = m_findVar ? m_view->columnOf(*m_findVar) : -1;
  if (found < 0 || column < 0) {
    emit statusMessage(QString());
    m_ui.ShowMessage(QStringLiteral("No %1 case shows \"%2\".")
                         .arg(forward ? QStringLiteral("further") : QStringLiteral("earlier"),
                              m_findText));
    return;
  }
  moveTo(found, column);
  emit statusMessage(QStringLiteral("Case %1 shows \"%2\"")
                         .arg(QLocale().toString(qlonglong(m_view->caseAt(found) + 1)), m_findText));
}

void DataPage::sortByColumn(int column) {
  if (!m_view || column < 0 || std::size_t(column) >= m_vars.size() || m_job) return;
  const std::size_t var = m_vars[std::size_t(column)];
  const int state = m_sortVar == var ? (m_sortState + 1) % 3 : 1;
  if (state == 0) {
    applyOrder(column, 0, currentCase());
    return;
  }
  auto job = std::make_unique<Job>();
  job->kind = Job::Kind::Sort;
  job->var = var;
  job->column = column;
  job->state = state;
  job->direction = state == 1 ? SortDirection::Ascending : SortDirection::Descending;
  job->isString = m_file->variable(var).isString();
  // The keys are read anew for each sort rather than kept: a column pass
  // costs less than the memory they would hold.
  job->keys = std::make_shared<SortKeys>();
  job->what = QStringLiteral("Sorting by %1").arg(QString::fromStdString(m_file->variable(var).name));
  startJob(std::move(job));
}

void DataPage::applyOrder(int column, int state, std::int64_t caseNow) {
  const int col = std::max(0, currentColumn());
  m_sortState = state;
  if (state == 0) {
    m_sortVar.reset();
    m_view->setOrder({});
    m_grid->HideSortIndicator();
  } else {
    m_sortVar = m_vars[std::size_t(column)];
    m_grid->ShowSortIndicator(column, state == 2);
  }
  m_model->reorder();
  // The cursor stays on its case, wherever the case is now.
  if (caseNow > 0) moveTo(m_view->rowOf(caseNow - 1), col);
}

void DataPage::startJob(std::unique_ptr<Job> job) {
  job->blocks = &m_view->blocks();
  job->total = std::max<std::int64_t>(1, m_view->rowCount());
  m_job = std::move(job);
  Job* j = m_job.get();
  // The job tells the page at once when it is done; the timer only shows
  // progress. A page closed before the call arrives drops it (the page waits
  // for its job before it goes).
  m_job->task = TaskPool::shared().post([this, j] {
    j->run();
    ReturnFreedMemory();
    j->finished = true;
    QMetaObject::invokeMethod(this, [this] { pollJob(); }, Qt::QueuedConnection);
  });
  m_jobClock.start();
  m_poll.start();
}

void DataPage::pollJob() {
  if (!m_job) {
    m_poll.stop();
    return;
  }
  if (!m_job->finished) {
    if (m_jobClock.elapsed() >= 500) {
      const int percent =
          int(std::min<std::int64_t>(99, m_job->done.load() * 100 / m_job->total));
      emit statusMessage(QStringLiteral("%1: %2% (Escape stops)").arg(m_job->what).arg(percent));
    }
    return;
  }
  m_poll.stop();
  std::unique_ptr<Job> job = std::move(m_job);
  job->task->wait();
  emit statusMessage(QString());
  if (job->stop) {
    emit statusMessage(QStringLiteral("%1: stopped").arg(job->what));
    if (job->kind == Job::Kind::Find) m_findVar.reset();
    return;
  }
  if (!job->ok) {
    if (job->kind == Job::Kind::Find) m_findVar.reset();
    m_ui.ShowMessage(QString::fromStdString(job->error.empty() ? "The cases could not be read."
                                                               : job->error));
    return;
  }
  if (job->kind == Job::Kind::Copy) {
    finishCopy(job->copied, std::int64_t(job->plan.cases.size()));
    return;
  }
  if (job->kind == Job::Kind::Sort) {
    const std::int64_t caseNow = currentCase();
    m_view->setOrder(std::move(job->order));
    const int column = m_view->columnOf(job->var);
    if (column >= 0) applyOrder(column, job->state, caseNow);
    return;
  }
  m_matches = job->matches;
  finishFind(m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1, job->forward);
}

bool DataPage::stopWork() {
  if (!m_job) return false;
  m_job->stop = true;
  m_job->task->wait();
  m_job->finished = true;
  pollJob();
  return true;
}

void DataPage::copySelection(bool header) {
  if (!m_view) return;
  const QItemSelection selection = m_grid->selectionModel()->selection();
  std::int64_t top = LLONG_MAX, bottom = -1;
  int left = INT_MAX, right = -1;
  for (const QItemSelectionRange& r : selection) {
    top = std::min<std::int64_t>(top, r.top());
    bottom = std::max<std::int64_t>(bottom, r.bottom());
    left = std::min(left, r.left());
    right = std::max(right, r.right());
  }
  if (bottom < 0) {
    const QModelIndex index = m_grid->currentIndex();
    if (!index.isValid()) return;
    top = bottom = index.row();
    left = right = index.column();
  }
  CopyPlan plan = m_view->planCopy(top, bottom, std::size_t(left), std::size_t(right), header);
  if (!plan.refusal.empty()) {
    m_ui.ShowMessage(QString::fromStdString(plan.refusal));
    return;
  }
  // A few screenfuls are copied at once; more on the pool, the window
  // responsive, with progress and Escape.
  if (plan.cases.size() <= 2000) {
    finishCopy(RunCopy(m_view->blocks(), plan), std::int64_t(plan.cases.size()));
    return;
  }
  if (m_job) return;
  auto job = std::make_unique<Job>();
  job->kind = Job::Kind::Copy;
  job->plan = std::move(plan);
  job->what = QStringLiteral("Copying");
  startJob(std::move(job));
  m_job->total = std::max<std::int64_t>(1, std::int64_t(m_job->plan.cases.size()));
}

void DataPage::finishCopy(const CopiedCells& copied, std::int64_t rows) {
  if (!copied.message.empty()) {
    m_ui.ShowMessage(QString::fromStdString(copied.message));
    return;
  }
  m_ui.SetClipboardText(QString::fromUtf8(copied.text.data(), qsizetype(copied.text.size())));
  emit statusMessage(QStringLiteral("Copied %1 cases").arg(QLocale().toString(qlonglong(rows))));
}

void DataPage::showDamageOnce() {
  if (!m_view || m_damageShown) return;
  const CaseBlocks& blocks = m_view->blocks();
  const std::int64_t at = blocks.damageAt();
  if (at < 0) return;
  m_damageShown = true;
  const QString where = QStringLiteral("The data stops after case %1").arg(QLocale().toString(qlonglong(at)));
  emit statusMessage(where);
  // A damaged file's count was an estimate and said so when it was opened.
  if (!m_estimated)
    m_ui.ShowMessage(where + QStringLiteral(":\n") + QString::fromStdString(blocks.damageText()));
}

}  // namespace brindle
