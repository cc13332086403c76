#include "app/AboutBox.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <algorithm>

#include "app/ToolImages.h"
#include "controls/LinkLabel.h"
#include "platform/UiService.h"

#ifndef BRINDLE_VERSION
#define BRINDLE_VERSION "0"
#endif

namespace brindle {

namespace {

const char* const kCopyright = "Copyright \u00a9 2026 the Brindle developers";
const char* const kWebAddress = "brindle.example.org";
const char* const kMailAddress = "brindle@example.org";

// The box is laid out in the pixels of an 8-point dialog font whose lines are
// 13 pixels high; a larger platform font scales the layout.
constexpr double kDesignLineHeight = 13.0;

}  // namespace

AboutBox::AboutBox(UiService& ui, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Brindle"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(false);
  const double k = std::max(1.0, fontMetrics().height() / kDesignLineHeight);
  auto px = [k](int design) { return static_cast<int>(design * k + 0.5); };
  setFixedSize(px(342), px(231));

  frame = new QFrame(this);
  frame->setFrameShape(QFrame::Panel);
  frame->setFrameShadow(QFrame::Sunken);
  frame->setGeometry(px(8), px(8), px(321), px(177));
  auto place = [&](QWidget* w, int x, int y) {
    w->move(px(x) - px(8), px(y) - px(8));
    w->adjustSize();
  };

  ProgramIcon = new QLabel(frame);
  ProgramIcon->setPixmap(brindle::ProgramIcon().pixmap(px(33), px(33)));
  ProgramIcon->setScaledContents(true);
  ProgramIcon->setGeometry(px(16) - px(8), px(16) - px(8), px(33), px(33));

  ProductName = new QLabel(QStringLiteral("Brindle\nViewer for SPSS data files"), frame);
  Version = new QLabel(QStringLiteral("Version ") + QStringLiteral(BRINDLE_VERSION), frame);
  Copyright = new QLabel(frame);
  spacerLabel = new QLabel(QStringLiteral("\n"), frame);
  webLink = new LinkLabel(frame);
  webLink->LinkType = LinkKind::lnHttp;
  mailCaption = new QLabel(QStringLiteral("e-mail:"), frame);
  mailLink = new LinkLabel(frame);
  mailLink->LinkType = LinkKind::lnMailto;
  for (LinkLabel* link : {webLink, mailLink}) {
    link->setToolTip(QString());
    link->OnOpenFailed = [&ui](const QString& message) { ui.ShowMessage(message); };
  }
  place(ProductName, 56, 16);
  place(Version, 56, 48);
  place(Copyright, 16, 72);
  place(spacerLabel, 16, 96);
  place(webLink, 16, 136);
  place(mailCaption, 16, 152);
  // The address follows the caption, however wide the platform font makes it.
  place(mailLink, 50, 152);
  mailLink->move(std::max(mailLink->x(), mailCaption->geometry().right() + px(4)),
                     mailLink->y());

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setDefault(true);
  OKButton->setGeometry(px(127), px(196), px(75), px(25));
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });

  // Another window of the program becoming active hides the box; another
  // application (no window of ours active) does not.
  // Only once the box itself has been active: the menu that showed it hands
  // the focus back to the main window as it closes.
  connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* active) {
    if (!isVisible() || !active) return;
    if (active == windowHandle())
      m_wasActive = true;
    else if (m_wasActive)
      OKButtonClick();
  });
}

void AboutBox::FormShow() {
  Copyright->setText(QString::fromUtf8(kCopyright));
  Copyright->adjustSize();
  for (auto [link, address] :
       {std::pair{webLink, kWebAddress}, std::pair{mailLink, kMailAddress}}) {
    link->Link = QString::fromLatin1(address);
    link->setText(link->Link);
    link->adjustSize();
  }
}

void AboutBox::OKButtonClick() { hide(); }

void AboutBox::showEvent(QShowEvent* event) {
  m_wasActive = false;
  FormShow();
  QDialog::showEvent(event);
  if (const QScreen* s = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
  }
}

}  // namespace brindle
