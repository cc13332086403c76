#include "controls/DocumentWindow.h"

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

DocumentWindow::DocumentWindow(UiService& ui, QWidget* owner) : QWidget(owner, Qt::Window), m_ui(ui) {
  setObjectName(QStringLiteral("documentWindow"));

  linesList = new QListWidget(this);
  linesList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  linesList->setContextMenuPolicy(Qt::NoContextMenu);
  // The lines are 80-column card images, often tables: a fixed-pitch font
  // keeps their columns in line.
  linesList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  linesList->setUniformItemSizes(true);
  linesList->installEventFilter(this);
  linesList->viewport()->installEventFilter(this);
  // Wide enough for a whole card beside the vertical scroll bar.
  const int cardWidth =
      linesList->fontMetrics().horizontalAdvance(QString(kLineWidth, QLatin1Char('M'))) +
      2 * linesList->frameWidth() + kItemMargins +
      linesList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, linesList);
  resize(std::max(kDesignWidth, cardWidth), kDesignHeight);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(linesList);

  variablesMenu = new QMenu(this);
  CopyDoc = variablesMenu->addAction(QStringLiteral("&Copy"));
  CopyDoc->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  CopyDoc->setEnabled(false);
  SelectAlldoc = variablesMenu->addAction(QStringLiteral("Select &All"));
  SelectAlldoc->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  // The shortcuts are labels: the list's key handler acts on the keys.
  for (QAction* item : {CopyDoc, SelectAlldoc}) item->setShortcutContext(Qt::WidgetShortcut);
  connect(CopyDoc, &QAction::triggered, this, [this] { CopyDocClick(); });
  connect(SelectAlldoc, &QAction::triggered, this, [this] { SelectAlldocClick(); });
}

void DocumentWindow::ShowLines(const QStringList& lines) {
  linesList->clear();
  linesList->addItems(lines);
  if (isVisible()) {
    FormShow();
  } else {
    FitToScreen(*this);
    show();
  }
  raise();
  activateWindow();
}

QStringList DocumentWindow::Lines() const {
  QStringList lines;
  for (int i = 0; i < linesList->count(); ++i) lines << linesList->item(i)->text();
  return lines;
}

void DocumentWindow::FormShow() {
  const QString name = FileName ? QFileInfo(FileName()).fileName() : QString();
  setWindowTitle(name + QStringLiteral(" - Documents"));
}

void DocumentWindow::FormClose() { linesList->clear(); }

void DocumentWindow::CopyDocClick() {
  QString text;
  for (int i = 0; i < linesList->count(); ++i) {
    const QListWidgetItem* item = linesList->item(i);
    if (item->isSelected()) text += item->text() + QLatin1Char('\n');
  }
  m_ui.SetClipboardText(text);
}

void DocumentWindow::SelectAlldocClick() { linesList->selectAll(); }

bool DocumentWindow::ListBox1KeyDown(int key, Qt::KeyboardModifiers modifiers) {
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

bool DocumentWindow::ListBox1MouseDown(Qt::MouseButton button, const QPoint& globalPos) {
  if (button != Qt::RightButton) return false;
  CopyDoc->setEnabled(!linesList->selectedItems().isEmpty());
  variablesMenu->popup(globalPos);
  return true;
}

bool DocumentWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == linesList &&
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
  if (watched == linesList->viewport() &&
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

void DocumentWindow::showEvent(QShowEvent* event) {
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

void DocumentWindow::closeEvent(QCloseEvent* event) {
  FormClose();
  QWidget::closeEvent(event);
}

}  // namespace brindle
