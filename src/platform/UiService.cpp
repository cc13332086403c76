#include "platform/UiService.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

namespace brindle {

namespace {

QWidget* DialogParent() { return QApplication::activeWindow(); }

// A message box lays its text out as written and does not expand tabs. Lines
// of the form "label\tvalue" become the two columns of a table, so the values
// line up whatever the font; other lines span both columns.
QString TabbedTextAsTable(const QString& text) {
  QString html =
      QStringLiteral("<table cellspacing=\"0\" cellpadding=\"0\" style=\"white-space:pre\">");
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    if (tab < 0) {
      html += QStringLiteral("<tr><td colspan=\"2\">") + line.toHtmlEscaped() +
              QStringLiteral("</td></tr>");
    } else {
      html += QStringLiteral("<tr><td>") + line.left(tab).toHtmlEscaped() +
              QStringLiteral("</td><td style=\"padding-left:12px\">") +
              line.mid(tab + 1).toHtmlEscaped() + QStringLiteral("</td></tr>");
    }
  }
  return html + QStringLiteral("</table>");
}

// A selection in that table comes out with a line break between the cells of
// a row; put the tab back between a label it holds whole and its value. (A
// selection within one column holds labels only, or values only.)
QString SelectionWithTabs(const QString& selected, const QString& text) {
  QStringList labels;
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    if (tab >= 0) labels << line.left(tab);
  }
  const QStringList lines = selected.split(QLatin1Char('\n'));
  QString out;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    out += lines[i];
    if (i + 1 == lines.size()) break;
    const QString& next = lines[i + 1];
    const bool labelThenValue =
        labels.contains(lines[i]) && !next.isEmpty() && !labels.contains(next);
    out += labelThenValue ? QLatin1Char('\t') : QLatin1Char('\n');
  }
  return out;
}

// A plain message box whose text the user can select. Ctrl+C copies the
// selection, or with nothing selected the text as it was given (tabs and all).
class PlainMessageBox : public QMessageBox {
 public:
  PlainMessageBox(const QString& text, QWidget* parent)
      : QMessageBox(QMessageBox::NoIcon, QApplication::applicationDisplayName(), QString(),
                    QMessageBox::NoButton, parent),
        m_text(text) {
    if (text.contains(QLatin1Char('\t'))) {
      setTextFormat(Qt::RichText);
      setText(TabbedTextAsTable(text));
    } else {
      setTextFormat(Qt::PlainText);
      setText(text);
    }
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    // The label takes Ctrl+C itself once it has the focus.
    m_label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (m_label) m_label->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == m_label && !m_copying && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event) == QKeySequence::Copy) {
      if (m_label->hasSelectedText()) {
        // The label copies a selection with a line break between the cells
        // of a row; the tabs are put back into what it copied.
        m_copying = true;
        QCoreApplication::sendEvent(m_label, event);
        m_copying = false;
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(SelectionWithTabs(clipboard->text(), m_text));
      } else {
        copy();
      }
      return true;
    }
    return QMessageBox::eventFilter(watched, event);
  }

  void keyPressEvent(QKeyEvent* event) override {
    if (event == QKeySequence::Copy) {
      if (m_label && m_label->hasSelectedText())
        QCoreApplication::sendEvent(m_label, event);
      else
        copy();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }

 private:
  void copy() { QGuiApplication::clipboard()->setText(m_text); }

  QString m_text;
  QLabel* m_label = nullptr;
  bool m_copying = false;
};

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void FitToCaption(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  // Title bars often set their caption in bold; the window's buttons (close,
  // maximise, minimise) and its icon stand beside it.
  QFont bold = QApplication::font("QMdiSubWindowTitleBar");
  bold.setBold(true);
  const int caption = QFontMetrics(bold).horizontalAdvance(box.windowTitle());
  const int bar = std::max(box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box),
                           QFontMetrics(bold).height() + 8);
  const int needed = caption + 4 * bar + 2 * bar / 2;
  // The box takes its size from its layout's minimum when it is shown: a
  // spacer across the bottom row raises that minimum.
  grid->addItem(
      new QSpacerItem(needed - grid->contentsMargins().left() - grid->contentsMargins().right(), 0,
                      QSizePolicy::Minimum, QSizePolicy::Fixed),
      grid->rowCount(), 0, 1, std::max(1, grid->columnCount()));
}

void QtUiService::ShowMessage(const QString& text) {
  PlainMessageBox box(text, DialogParent());
  FitToCaption(box);
  box.exec();
}

void QtUiService::WarningDialog(const QString& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::NoButton,
                  DialogParent());
  box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  FitToCaption(box);
  box.exec();
}

bool QtUiService::ConfirmDialog(const QString& text) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::NoButton,
                  DialogParent());
  QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  FitToCaption(box);
  box.exec();
  return box.clickedButton() == yes;
}

void QtUiService::SystemMessageBox(const QString& caption, const QString& text, MessageIcon icon) {
  QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok, DialogParent());
  FitToCaption(box);
  box.exec();
}

QString QtUiService::GetOpenFileName(QWidget* parent, const QString& filter,
                                     const QString& folder) {
  return QFileDialog::getOpenFileName(parent, QString(), folder, filter);
}

QString QtUiService::GetSaveFileName(QWidget* parent, const QString& caption,
                                     const QString& suggested, const QStringList& filters,
                                     int* filterIndex) {
  QString selected = filters.value(0);
  const QString path = QFileDialog::getSaveFileName(parent, caption, suggested,
                                                    filters.join(QStringLiteral(";;")), &selected);
  if (filterIndex) *filterIndex = std::max(0, static_cast<int>(filters.indexOf(selected)));
  return path;
}

bool QtUiService::OpenDocument(const QString& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtUiService::SetClipboardText(const QString& text) {
  if (QClipboard* clip = QGuiApplication::clipboard()) clip->setText(text);
}

bool QtUiService::GetPassword(QWidget* parent, const QString& fileName, const QString& prompt,
                              QString& password) {
  QDialog dialog(parent ? parent : DialogParent());
  dialog.setWindowTitle(QStringLiteral("Encrypted file"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* name = new QLabel(fileName, &dialog);
  name->setTextFormat(Qt::PlainText);
  name->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* ask = new QLabel(prompt, &dialog);
  ask->setTextFormat(Qt::PlainText);
  auto* entry = new QLineEdit(&dialog);
  entry->setObjectName(QStringLiteral("password"));
  entry->setEchoMode(QLineEdit::Password);
  entry->setMinimumWidth(280);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(name);
  layout->addWidget(ask);
  layout->addWidget(entry);
  layout->addWidget(buttons);
  entry->setFocus();
  const bool ok = dialog.exec() == QDialog::Accepted;
  if (ok) password = entry->text();
  // Nothing of the typed text stays in the entry's buffers.
  entry->setText(QString(entry->text().size(), QLatin1Char(' ')));
  entry->clear();
  return ok;
}

void RecordingUiService::ShowMessage(const QString& text) {
  calls.append({QStringLiteral("ShowMessage"), QApplication::applicationDisplayName(), text,
                MessageIcon::None});
}

void RecordingUiService::WarningDialog(const QString& text) {
  calls.append(
      {QStringLiteral("WarningDialog"), QStringLiteral("Warning"), text, MessageIcon::Warning});
}

bool RecordingUiService::ConfirmDialog(const QString& text) {
  calls.append(
      {QStringLiteral("ConfirmDialog"), QStringLiteral("Confirm"), text, MessageIcon::None});
  return confirmAnswer;
}

void RecordingUiService::SystemMessageBox(const QString& caption, const QString& text,
                                          MessageIcon icon) {
  calls.append({QStringLiteral("SystemMessageBox"), caption, text, icon});
}

QString RecordingUiService::GetOpenFileName(QWidget*, const QString& filter,
                                            const QString& folder) {
  calls.append({QStringLiteral("GetOpenFileName"), filter, folder, MessageIcon::None});
  return openFileAnswers.isEmpty() ? QString() : openFileAnswers.takeFirst();
}

QString RecordingUiService::GetSaveFileName(QWidget*, const QString& caption,
                                            const QString& suggested, const QStringList& filters,
                                            int* filterIndex) {
  calls.append({QStringLiteral("GetSaveFileName"),
                caption + QLatin1Char('\n') + filters.join(QLatin1Char('\n')), suggested,
                MessageIcon::None});
  if (filterIndex) *filterIndex = saveFilterAnswer;
  return saveFileAnswers.isEmpty() ? QString() : saveFileAnswers.takeFirst();
}

void RecordingUiService::SetClipboardText(const QString& text) {
  calls.append({QStringLiteral("SetClipboardText"), QString(), text, MessageIcon::None});
  clipboard = text;
}

bool RecordingUiService::GetPassword(QWidget*, const QString& fileName, const QString& prompt,
                                     QString& password) {
  calls.append({QStringLiteral("GetPassword"), fileName, prompt, MessageIcon::None});
  if (passwordAnswers.isEmpty()) return false;
  password = passwordAnswers.takeFirst();
  return true;
}

bool RecordingUiService::OpenDocument(const QString& path) {
  calls.append({QStringLiteral("OpenDocument"), QString(), path, MessageIcon::None});
  return openDocumentAnswer;
}

int RecordingUiService::Count(const QString& kind) const {
  int n = 0;
  for (const Call& c : calls) n += c.kind == kind ? 1 : 0;
  return n;
}

RecordingUiService::Call RecordingUiService::Last() const {
  return calls.isEmpty() ? Call{} : calls.last();
}

}  // namespace brindle
