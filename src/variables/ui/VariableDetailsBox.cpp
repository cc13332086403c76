#include "variables/ui/VariableDetailsBox.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace brindle {

VariableDetailsBox::VariableDetailsBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("VariableDetailsBox"));
  setWindowTitle(QStringLiteral("Variable Details"));
  m_text = new QPlainTextEdit(this);
  m_text->setObjectName(QStringLiteral("DetailsText"));
  m_text->setReadOnly(true);
  m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  // Captions are at most "measurement level" long: one tab stop past them
  // lines the values up.
  const QFontMetrics metrics(m_text->font());
  m_text->setTabStopDistance(metrics.horizontalAdvance(QStringLiteral("measurement level")) + 16);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_text);
  layout->addWidget(buttons);
  resize(460, 420);
}

void VariableDetailsBox::ShowDetails(const QString& variableName, const QString& text) {
  setWindowTitle(variableName.isEmpty() ? QStringLiteral("Variable Details")
                                        : QStringLiteral("Variable Details: ") + variableName);
  m_text->setPlainText(text);
}

QString VariableDetailsBox::Text() const { return m_text->toPlainText(); }

}  // namespace brindle
