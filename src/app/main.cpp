// The viewer's entry: one main window; the first argument, when given, is
// the data file to open.
#include <QApplication>

#include "app/Main.h"
#include "app/ToolImages.h"
#include "platform/UiService.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Brindle"));
  QApplication::setWindowIcon(brindle::ProgramIcon());

  brindle::QtUiService ui;
  brindle::TForm1 form(ui);
  form.SetCommandLine(QApplication::arguments());
  form.show();
  return QApplication::exec();
}
