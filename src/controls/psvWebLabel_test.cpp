// Link labels: hover colours, the target by link type, opening on any button,
// and the message when the target cannot be opened.
#include <QEnterEvent>
#include <QTest>

#include "controls/psvWebLabel.h"

using namespace brindle;

class WebLabelTest : public QObject {
  Q_OBJECT

 private slots:
  void hoverColours();
  void anyButtonOpensTheTargetOfItsType();
  void failureNamesTheBareLinkAndTheCode();
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
  TpsvWebLabel label;
  int entered = 0, left = 0;
  label.OnMouseEnter = [&](TpsvBasicLabel*) { ++entered; };
  label.OnMouseLeave = [&](TpsvBasicLabel*) { ++left; };
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
  TpsvWebLabel label;
  QList<QUrl> opened;
  label.Opener = [&](const QUrl& url) {
    opened << url;
    return 0;
  };
  label.Link = QStringLiteral("someone@example.org");
  label.LinkType = TURLType::lnMailto;
  QTest::mouseClick(&label, Qt::RightButton);
  label.Link = QStringLiteral("example.org/brindle");
  label.LinkType = TURLType::lnHttps;
  QTest::mouseClick(&label, Qt::LeftButton);
  QCOMPARE(opened,
           (QList<QUrl>{QUrl("mailto:someone@example.org"), QUrl("https://example.org/brindle")}));
  const QStringList prefixes{"file://", "ftp://", "gopher://", "http://", "https://",
                             "mailto:", "news:",  "telnet:",   "wais:"};
  for (int t = 0; t < prefixes.size(); ++t)
    QCOMPARE(UrlPrefix(static_cast<TURLType>(t)), prefixes[t]);
}

void WebLabelTest::failureNamesTheBareLinkAndTheCode() {
  TpsvWebLabel label;
  label.Link = QStringLiteral("nowhere.example");
  label.LinkType = TURLType::lnGopher;
  label.Opener = [](const QUrl&) { return 31; };
  QStringList messages;
  label.OnOpenFailed = [&](const QString& m) { messages << m; };
  QTest::mouseClick(&label, Qt::LeftButton);
  QCOMPARE(messages, QStringList{"ShellExecute \"nowhere.example\" Failed with Error: 31"});
}

QTEST_MAIN(WebLabelTest)
#include "psvWebLabel_test.moc"
