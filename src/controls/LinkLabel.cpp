#include "controls/LinkLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>

#ifdef _WIN32
#include <windows.h>
#endif

namespace brindle {

namespace {

const char* const kDefaultLink = "brindle.example.org";

// The failure code that stands for "no application for the scheme".
constexpr int kNoApplication = 31;

}  // namespace

int LinkLabel::openWithDesktop(const QUrl& url) {
#ifdef _WIN32
  const std::wstring target = url.toString().toStdWString();
  const auto code = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return code > 32 ? 0 : static_cast<int>(code);
#else
  // The desktop's opener says only later whether a browser or mail program
  // took the link (Qt reports success once it has started it): its exit
  // code is awaited without blocking the window, and a failure reported.
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) return QDesktopServices::openUrl(url) ? 0 : kNoApplication;
  auto* process = new QProcess(this);
  process->setProgram(opener);
  process->setArguments({url.toString(QUrl::FullyEncoded)});
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  connect(process, &QProcess::finished, this,
          [this, process](int exitCode, QProcess::ExitStatus status) {
            process->deleteLater();
            if (status != QProcess::NormalExit)
              reportOpenFailed(kNoApplication);
            else if (exitCode != 0)
              reportOpenFailed(exitCode);
          });
  connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    process->deleteLater();
    reportOpenFailed(kNoApplication);
  });
  process->start();
  return 0;
#endif
}

QString UrlPrefix(LinkKind type) {
  static const char* const prefixes[] = {"file://", "ftp://", "gopher://", "http://", "https://",
                                         "mailto:", "news:",  "telnet:",   "wais:"};
  return QString::fromLatin1(prefixes[static_cast<int>(type)]);
}

LinkLabel::LinkLabel(QWidget* parent)
    : HoverLabel(parent), Opener([this](const QUrl& url) { return openWithDesktop(url); }) {
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

void LinkLabel::OpenLink() {
  const int code = Opener ? Opener(QUrl(Target())) : 0;
  if (code != 0) reportOpenFailed(code);
}

void LinkLabel::reportOpenFailed(int code) {
  if (OnOpenFailed)
    OnOpenFailed(QStringLiteral("ShellExecute \"%1\" Failed with Error: %2").arg(Link).arg(code));
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  HoverLabel::mousePressEvent(event);
  if (OnMouseDown) OnMouseDown(this);
  OpenLink();
}

}  // namespace brindle
