// F10 and Ctrl+N hand the open file to the desktop's application for SPSS
// data files, found in a private XDG tree; the application here is a script
// that records its arguments.
#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/MainWindow.h"
#include "testing/WindowTestSupport.h"

using namespace brindle;
using namespace brindle::testing;

class LaunchHandlersTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void bothCommandsStartTheAssociatedApplicationWithTheFile();
  void brindleAsTheDefaultHandsOnToTheNext();
  void noAssociationIsReported();

 private:
  void Write(const QString& relative, const QByteArray& text);
  // The arguments the recording script received, once it has run.
  QStringList Recorded();

  std::unique_ptr<QTemporaryDir> m_root;
};

void LaunchHandlersTest::init() {
  // Named explicitly: the default name follows the application name, which
  // is the open file's title.
  m_root = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/brindle-launch-XXXXXX");
  const QString root = m_root->path();
  qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
  qputenv("XDG_CONFIG_DIRS", (root + "/etc").toUtf8());
  qputenv("XDG_DATA_HOME", (root + "/local").toUtf8());
  qputenv("XDG_DATA_DIRS", (root + "/usr").toUtf8());
  qputenv("XDG_CURRENT_DESKTOP", "");
  Write("record.sh", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.out\"\n");
  QFile::setPermissions(root + "/record.sh",
                        QFile::permissions(root + "/record.sh") | QFile::ExeOwner);
}

void LaunchHandlersTest::Write(const QString& relative, const QByteArray& text) {
  const QString path = m_root->path() + "/" + relative;
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(text);
}

QStringList LaunchHandlersTest::Recorded() {
  QFile out(m_root->path() + "/record.sh.out");
  for (int i = 0; i < 100 && !out.exists(); ++i) QTest::qWait(50);
  QTest::qWait(50);
  if (!out.open(QIODevice::ReadOnly)) return {};
  const QStringList lines = QString::fromUtf8(out.readAll()).split('\n', Qt::SkipEmptyParts);
  out.remove();
  return lines;
}

void LaunchHandlersTest::bothCommandsStartTheAssociatedApplicationWithTheFile() {
  Write("usr/applications/stats.desktop",
        "[Desktop Entry]\nType=Application\nName=Stats\nExec=\"" + m_root->path().toUtf8() +
            "/record.sh\" --open %f\nMimeType=application/x-spss-sav;\n");
  Write("config/mimeapps.list", "[Default Applications]\napplication/x-spss-sav=stats.desktop\n");
  ShownWindow w;
  const auto file = WriteTemp(SampleDictionary(), " it's here.sav");
  w.Open(file->path());
  const QStringList expected{"--open", QString::fromStdString(file->path())};
  Action(w.form, "openInSpssAction")->trigger();
  QCOMPARE(Recorded(), expected);
  w.Key(Qt::Key_N, Qt::ControlModifier);
  QCOMPARE(Recorded(), expected);
  QCOMPARE(w.Count("SystemMessageBox"), 0);
}

void LaunchHandlersTest::brindleAsTheDefaultHandsOnToTheNext() {
  Write("usr/applications/brindle.desktop",
        "[Desktop Entry]\nType=Application\nExec=brindle %f\nMimeType=application/x-spss-sav;\n");
  Write("usr/applications/other.desktop",
        "[Desktop Entry]\nType=Application\nExec=" + m_root->path().toUtf8() +
            "/record.sh\nMimeType=application/x-spss-sav;\n");
  Write("config/mimeapps.list", "[Default Applications]\napplication/x-spss-sav=brindle.desktop\n");
  ShownWindow w;
  const auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  Action(w.form, "OpeninSpssBtn")->trigger();
  QCOMPARE(Recorded(), QStringList{QString::fromStdString(file->path())});
}

void LaunchHandlersTest::noAssociationIsReported() {
  Write("usr/applications/gone.desktop",
        "[Desktop Entry]\nType=Application\nExec=/nonexistent/program "
        "%f\nMimeType=application/x-spss-sav;\n");
  ShownWindow w;
  const auto file = WriteTemp(SampleDictionary());
  w.Open(file->path());
  // An application that cannot be started, then none at all.
  Action(w.form, "openInSpssAction")->trigger();
  QFile::remove(m_root->path() + "/usr/applications/gone.desktop");
  w.Key(Qt::Key_N, Qt::ControlModifier);
  QCOMPARE(w.Count("SystemMessageBox"), 2);
  QCOMPARE(w.ui.Last().caption, QStringLiteral("Error"));
  QCOMPARE(w.ui.Last().text, QStringLiteral("Cannot't execute application"));
  QCOMPARE(w.ui.Last().icon, MessageIcon::Warning);
}

QTEST_MAIN(LaunchHandlersTest)
#include "LaunchHandlers_test.moc"
