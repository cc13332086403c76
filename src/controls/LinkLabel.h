// LinkLabel: a link label. Navy and underlined with a hand cursor; any
// mouse button opens LinkType's scheme followed by Link with the desktop.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

#include "controls/HoverLabel.h"

namespace brindle {

enum class LinkKind {
  lnFile,
  lnFtp,
  lnGopher,
  lnHttp,
  lnHttps,
  lnMailto,
  lnNews,
  lnTelnet,
  lnWais
};

// "file://", "ftp://", ... "mailto:", "news:", "telnet:", "wais:".
QString UrlPrefix(LinkKind type);

class LinkLabel : public HoverLabel {
  Q_OBJECT

 public:
  explicit LinkLabel(QWidget* parent = nullptr);

  // The target without its scheme prefix; also the caption unless set apart.
  QString Link;
  LinkKind LinkType = LinkKind::lnHttp;

  // The full target: the prefix of LinkType followed by Link.
  QString Target() const { return UrlPrefix(LinkType) + Link; }

  // Opens Target(). On failure calls OnOpenFailed with
  // "ShellExecute "Link" Failed with Error: code".
  void OpenLink();

  // Opens a URL and gives 0, or the failure's code: the shell's on Windows;
  // elsewhere xdg-open's exit code, which arrives later and is reported then
  // (31, no application associated with the scheme, where it cannot be run
  // or the desktop names no reason). Tests replace it.
  std::function<int(const QUrl&)> Opener;
  std::function<void(const QString& message)> OnOpenFailed;
  std::function<void(LinkLabel*)> OnMouseDown;

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  // The default Opener.
  int openWithDesktop(const QUrl& url);
  // OnOpenFailed with the message for a failure's code.
  void reportOpenFailed(int code);
};

}  // namespace brindle
