#include "controls/ShowDoc.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/ScreenFit.h"
#include "platform/UiService.h"

namespace brindle {

namespace {

constexpr int kDesignWidth = 555;
constexpr int kDesignHeight = 375;
constexpr int kLineWidth = 80;
constexpr int kItemMargins = 8;

}  // namespace

TShowDocFrm::TShowDocFrm(UiService& ui, QWidget* owner) : QWidget(owner, Qt::Window), m_ui(ui) {
  setObjectName(QStringLiteral("ShowDocFrm"));

  ListBox1 = new QListWidget(this);
  ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListBox1->setContextMenuPolicy(Qt::NoContextMenu);
  // The lines are 80-column card images, often tables: a fixed-pitch font
  // keeps their columns in line.
  ListBox1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  ListBox1->setUniformItemSizes(true);
  ListBox1->installEventFilter(this);
  ListBox1->viewport()->installEventFilter(this);
  // Wide enough for a whole card beside the vertical scroll bar.
  const int cardWidth =
      ListBox1->fontMetrics().horizontalAdvance(QString(kLineWidth, QLatin1Char('M'))) +
      2 * ListBox1->frameWidth() + kItemMargins +
      ListBox1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ListBox1);
  resize(std::max(kDesignWidth, cardWidth), kDesignHeight);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(ListBox1);

  PopupMenu1 = new QMenu(this);
  CopyDoc = PopupMenu1->addAction(QStringLiteral("&Copy"));
  CopyDoc->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  CopyDoc->setEnabled(false);
  SelectAlldoc = PopupMenu1->addAction(QStringLiteral("Select &All"));
  SelectAlldoc->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  // The shortcuts are labels: the list's key handler acts on the keys.
  for (QAction* item : {CopyDoc, SelectAlldoc}) item->setShortcutContext(Qt::WidgetShortcut);
  connect(CopyDoc, &QAction::triggered, this, [this] { CopyDocClick(); });
  connect(SelectAlldoc, &QAction::triggered, this, [this] { SelectAlldocClick(); });
}

void TShowDocFrm::ShowLines(const QStringList& lines) {
  ListBox1->clear();
  ListBox1->addItems(lines);
  if (isVisible()) {
    FormShow();
  } else {
    FitToScreen(*this);
    show();
  }
  raise();
  activateWindow();
}

QStringList TShowDocFrm::Lines() const {
  QStringList lines;
  for (int i = 0; i < ListBox1->count(); ++i) lines << ListBox1->item(i)->text();
  return lines;
}

void TShowDocFrm::FormShow() {
  const QString name = FileName ? QFileInfo(FileName()).fileName() : QString();
  setWindowTitle(name + QStringLiteral(" - Documents"));
}

void TShowDocFrm::FormClose() { ListBox1->clear(); }

void TShowDocFrm::CopyDocClick() {
  QString text;
  for (int i = 0; i < ListBox1->count(); ++i) {
    const QListWidgetItem* item = ListBox1->item(i);
    if (item->isSelected()) text += item->text() + QLatin1Char('\n');
  }
  m_ui.SetClipboardText(text);
}

void TShowDocFrm::SelectAlldocClick() { ListBox1->selectAll(); }

bool TShowDocFrm::ListBox1KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
  if (key == Qt::Key_Escape) {
    FormClose();
    close();
    return true;
  }
  if (ctrl && key == Qt::Key_A) {
    SelectAlldocClick();
    return true;
  }
  if (ctrl && key == Qt::Key_C) {
    CopyDocClick();
    return true;
  }
  return false;
}

bool TShowDocFrm::ListBox1MouseDown(Qt::MouseButton button, const QPoint& globalPos) {
  if (button != Qt::RightButton) return false;
  CopyDoc->setEnabled(!ListBox1->selectedItems().isEmpty());
  PopupMenu1->popup(globalPos);
  return true;
}

bool TShowDocFrm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBox1 &&
      (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::ShortcutOverride) {
      // The list's own keys come before any shortcut of the application.
      const bool ours =
          key->key() == Qt::Key_Escape || (key->modifiers().testFlag(Qt::ControlModifier) &&
                                           (key->key() == Qt::Key_A || key->key() == Qt::Key_C));
      if (ours) event->accept();
      return false;
    }
    return ListBox1KeyDown(key->key(), key->modifiers());
  }
  if (watched == ListBox1->viewport() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    // The right button leaves the selection as it is.
    if (mouse->button() == Qt::RightButton) {
      ListBox1MouseDown(mouse->button(), mouse->globalPosition().toPoint());
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TShowDocFrm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FormShow();
  if (!m_placed) {
    m_placed = true;
    // Centred on the desktop the first time; later where the user left it.
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(s->availableGeometry().center());
      move(frame.topLeft());
    }
  }
}

void TShowDocFrm::closeEvent(QCloseEvent* event) {
  FormClose();
  QWidget::closeEvent(event);
}

}  // namespace brindle
