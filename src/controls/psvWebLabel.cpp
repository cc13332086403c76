#include "controls/psvWebLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>

#ifdef _WIN32
#include <windows.h>
#endif

namespace brindle {

namespace {

const char* const kDefaultLink = "brindle.example.org";

int OpenWithDesktop(const QUrl& url) {
#ifdef _WIN32
  const std::wstring target = url.toString().toStdWString();
  const auto code = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return code > 32 ? 0 : static_cast<int>(code);
#else
  return QDesktopServices::openUrl(url) ? 0 : 31;
#endif
}

}  // namespace

QString UrlPrefix(TURLType type) {
  static const char* const prefixes[] = {"file://", "ftp://", "gopher://", "http://", "https://",
                                         "mailto:", "news:",  "telnet:",   "wais:"};
  return QString::fromLatin1(prefixes[static_cast<int>(type)]);
}

TpsvWebLabel::TpsvWebLabel(QWidget* parent) : TpsvBasicLabel(parent), Opener(OpenWithDesktop) {
  Link = QString::fromLatin1(kDefaultLink);
  setText(Link);
  setToolTip(QStringLiteral("Brindle's web page"));
  SetFontColor(QColor(0, 0, 128));
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
  setCursor(Qt::PointingHandCursor);
  setTextFormat(Qt::PlainText);
}

void TpsvWebLabel::OpenLink() {
  const int code = Opener ? Opener(QUrl(Target())) : 0;
  if (code != 0 && OnOpenFailed)
    OnOpenFailed(QStringLiteral("ShellExecute \"%1\" Failed with Error: %2").arg(Link).arg(code));
}

void TpsvWebLabel::mousePressEvent(QMouseEvent* event) {
  TpsvBasicLabel::mousePressEvent(event);
  if (OnMouseDown) OnMouseDown(this);
  OpenLink();
}

}  // namespace brindle
