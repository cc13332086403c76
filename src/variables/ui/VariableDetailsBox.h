// The details box of the current variable: every property the dictionary
// records for it, as the core's details text gives them, in a read-only
// text that can be selected and copied. Not modal: it follows the current
// variable while it is open.
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;

namespace brindle {

class VariableDetailsBox : public QDialog {
  Q_OBJECT

 public:
  explicit VariableDetailsBox(QWidget* parent = nullptr);

  // Shows text (lines of "caption<TAB>value") for the named variable; an
  // empty name shows an empty box.
  void ShowDetails(const QString& variableName, const QString& text);
  QString Text() const;

 private:
  QPlainTextEdit* m_text = nullptr;
};

}  // namespace brindle
