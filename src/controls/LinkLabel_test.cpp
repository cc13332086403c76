// Link labels: hover colours, the target by link type, opening on any button,
// and the message when the target cannot be opened.
#include <QEnterEvent>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "controls/LinkLabel.h"

using namespace brindle;

class WebLabelTest : public QObject {
  Q_OBJECT

 private slots:
  void hoverColours();
  void anyButtonOpensTheTargetOfItsType();
  void failureNamesTheBareLinkAndTheCode();
  void desktopOpenersFailureIsReported_data();
  void desktopOpenersFailureIsReported();
};

namespace {

void Enter(QWidget* w) {
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QCoreApplication::sendEvent(w, &enter);
}
void Leave(QWidget* w) {
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(w, &leave);
}

}  // namespace

void WebLabelTest::hoverColours() {
  LinkLabel label;
  int entered = 0, left = 0;
  label.OnMouseEnter = [&](HoverLabel*) { ++entered; };
  label.OnMouseLeave = [&](HoverLabel*) { ++left; };
  QCOMPARE(label.FontColor(), QColor(0, 0, 128));
  QVERIFY(label.font().underline());
  QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
  Enter(&label);
  QCOMPARE(label.FontColor(), QColor(255, 0, 0));
  Leave(&label);
  QCOMPARE(label.FontColor(), QColor(0, 0, 128));
  QCOMPARE(entered, 1);
  QCOMPARE(left, 1);
  // A new colour set while the pointer is over the label is what it returns to...
  Enter(&label);
  label.SetFontColor(QColor(0, 128, 0));
  Leave(&label);
  QCOMPARE(label.FontColor(), QColor(0, 128, 0));
  // ...but the hover colour itself is never remembered as the normal one.
  Enter(&label);
  label.SetFontColor(label.FocusColor);
  Leave(&label);
  QCOMPARE(label.FontColor(), QColor(0, 128, 0));
}

void WebLabelTest::anyButtonOpensTheTargetOfItsType() {
  LinkLabel label;
  QList<QUrl> opened;
  label.Opener = [&](const QUrl& url) {
    opened << url;
    return 0;
  };
  label.Link = QStringLiteral("someone@example.org");
  label.LinkType = LinkKind::lnMailto;
  QTest::mouseClick(&label, Qt::RightButton);
  label.Link = QStringLiteral("example.org/brindle");
  label.LinkType = LinkKind::lnHttps;
  QTest::mouseClick(&label, Qt::LeftButton);
  QCOMPARE(opened,
           (QList<QUrl>{QUrl("mailto:someone@example.org"), QUrl("https://example.org/brindle")}));
  const QStringList prefixes{"file://", "ftp://", "gopher://", "http://", "https://",
                             "mailto:", "news:",  "telnet:",   "wais:"};
  for (int t = 0; t < prefixes.size(); ++t)
    QCOMPARE(UrlPrefix(static_cast<LinkKind>(t)), prefixes[t]);
}

void WebLabelTest::failureNamesTheBareLinkAndTheCode() {
  LinkLabel label;
  label.Link = QStringLiteral("nowhere.example");
  label.LinkType = LinkKind::lnGopher;
  label.Opener = [](const QUrl&) { return 31; };
  QStringList messages;
  label.OnOpenFailed = [&](const QString& m) { messages << m; };
  QTest::mouseClick(&label, Qt::LeftButton);
  QCOMPARE(messages, QStringList{"ShellExecute \"nowhere.example\" Failed with Error: 31"});
}

void WebLabelTest::desktopOpenersFailureIsReported_data() {
  QTest::addColumn<int>("exitCode");
  QTest::addColumn<QStringList>("messages");
  QTest::newRow("opened") << 0 << QStringList();
  QTest::newRow("no browser") << 3
                              << QStringList{
                                     "ShellExecute \"nowhere.example\" Failed with Error: 3"};
  QTest::newRow("action failed") << 4
                                 << QStringList{
                                        "ShellExecute \"nowhere.example\" Failed with Error: 4"};
}

void WebLabelTest::desktopOpenersFailureIsReported() {
#ifdef _WIN32
  QSKIP("the shell reports at once");
#else
  QFETCH(int, exitCode);
  QFETCH(QStringList, messages);
  // A stand-in for the desktop's opener that notes its argument and fails
  // (or not) as xdg-open does.
  QTemporaryDir bin;
  QVERIFY(bin.isValid());
  QFile script(bin.filePath("xdg-open"));
  QVERIFY(script.open(QIODevice::WriteOnly));
  script.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > \"%1/called\"\nexit %2\n")
                   .arg(bin.path())
                   .arg(exitCode)
                   .toUtf8());
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", bin.path().toUtf8() + ":" + path);

  LinkLabel label;
  label.Link = QStringLiteral("nowhere.example");
  QStringList shown;
  label.OnOpenFailed = [&](const QString& m) { shown << m; };
  QTest::mouseClick(&label, Qt::LeftButton);
  // The opener has ended and been read once the label lets go of it.
  QTRY_VERIFY(label.findChildren<QProcess*>().isEmpty());
  QCOMPARE(shown, messages);
  qputenv("PATH", path);
  QFile called(bin.filePath("called"));
  QVERIFY(called.open(QIODevice::ReadOnly));
  QCOMPARE(called.readAll(), QByteArray("http://nowhere.example"));
#endif
}

QTEST_MAIN(WebLabelTest)
#include "LinkLabel_test.moc"
