#include "platform/UiService.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

namespace brindle {

namespace {

QWidget* DialogParent() { return QApplication::activeWindow(); }

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void QtUiService::ShowMessage(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                  QMessageBox::NoButton, DialogParent());
  box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.exec();
}

void QtUiService::WarningDialog(const QString& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::NoButton,
                  DialogParent());
  box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.exec();
}

bool QtUiService::ConfirmDialog(const QString& text) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::NoButton,
                  DialogParent());
  QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

void QtUiService::SystemMessageBox(const QString& caption, const QString& text, MessageIcon icon) {
  QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok, DialogParent());
  box.exec();
}

QString QtUiService::GetOpenFileName(QWidget* parent, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

void QtUiService::SetClipboardText(const QString& text) {
  if (QClipboard* clip = QGuiApplication::clipboard()) clip->setText(text);
}

void RecordingUiService::ShowMessage(const QString& text) {
  calls.append({QStringLiteral("ShowMessage"), QApplication::applicationDisplayName(), text,
                MessageIcon::None});
}

void RecordingUiService::WarningDialog(const QString& text) {
  calls.append({QStringLiteral("WarningDialog"), QStringLiteral("Warning"), text,
                MessageIcon::Warning});
}

bool RecordingUiService::ConfirmDialog(const QString& text) {
  calls.append({QStringLiteral("ConfirmDialog"), QStringLiteral("Confirm"), text,
                MessageIcon::None});
  return confirmAnswer;
}

void RecordingUiService::SystemMessageBox(const QString& caption, const QString& text,
                                          MessageIcon icon) {
  calls.append({QStringLiteral("SystemMessageBox"), caption, text, icon});
}

QString RecordingUiService::GetOpenFileName(QWidget*, const QString& filter) {
  calls.append({QStringLiteral("GetOpenFileName"), filter, QString(), MessageIcon::None});
  return openFileAnswers.isEmpty() ? QString() : openFileAnswers.takeFirst();
}

void RecordingUiService::SetClipboardText(const QString& text) {
  calls.append({QStringLiteral("SetClipboardText"), QString(), text, MessageIcon::None});
  clipboard = text;
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
