// The viewer's entry: one main window; the first argument, when given, is
// the data file to open. --help and --version are answered before the
// program needs a display.
#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

#include "app/MainWindow.h"
#include "app/ToolImages.h"
#include "platform/UiService.h"

namespace {

// 0 or 2 when the command line asked for help or the version (printed on
// standard output), -1 to go on and open the window.
int AnswerInformationOptions(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Brindle: a viewer for SPSS data files (.sav, .zsav)."));
  const QCommandLineOption help(QStringList{"h", "help"},
                                QStringLiteral("Show this help and exit."));
  const QCommandLineOption version(QStringList{"v", "version"},
                                   QStringLiteral("Show the version and exit."));
  parser.addOption(help);
  parser.addOption(version);
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The data file to open."),
                               QStringLiteral("[file]"));
  // Options of Qt itself (-platform, -style, ...) are left to the application.
  parser.parse(arguments);
  if (parser.isSet(help)) {
    // Without an application object Qt does not know the program's name.
    QString text = parser.helpText();
    text.replace(QStringLiteral("<executable_name>"), QStringLiteral("brindle"));
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("brindle %s\n", BRINDLE_VERSION);
    return 0;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (const int code = AnswerInformationOptions(argc, argv); code >= 0) return code;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Brindle"));
  QApplication::setApplicationVersion(QStringLiteral(BRINDLE_VERSION));
  QApplication::setWindowIcon(brindle::ProgramIcon());

  brindle::QtUiService ui;
  brindle::MainWindow form(ui);
  form.SetCommandLine(QApplication::arguments());
  form.show();
  return QApplication::exec();
}
