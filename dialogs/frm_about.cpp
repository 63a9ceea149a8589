#include "dialogs/frm_about.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "core/app_icon.h"
#include "core/app_state.h"
#include "core/message_box.h"
#include "core/twips.h"
#include "dialogs/about_text.h"
#include "dialogs/hyper_text.h"
#include "dialogs/sys_info.h"
#include "quorvel_version.h"

namespace quorvel {

namespace {

QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

QFrame* makeLine(const QString& name, QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setObjectName(name);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

// A link label is as wide as its text, so that only the text itself is clickable.
void fitWidth(QLabel* label) {
  label->resize(label->sizeHint().width(), label->height());
}

}  // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
  const QString title = QString::fromUtf8(version::kProductName);
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About ") + title);

  picIcon = makeLabel(QStringLiteral("picIcon"), QString(), this);
  picIcon->setPixmap(appIconPixmap(twipsToPixels(this, 480)));
  picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  lblTitle = makeLabel(QStringLiteral("lblTitle"),
                       aboutTitle(title, QString::fromUtf8(version::kFileDescription)), this);
  QFont bold = lblTitle->font();
  bold.setBold(true);
  lblTitle->setFont(bold);
  lblTitle->setWordWrap(true);
  lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  lblVersion = makeLabel(QStringLiteral("lblVersion"),
                         versionText(version::kMajor, version::kMinor, version::kRevision), this);
  lblDescription =
      makeLabel(QStringLiteral("lblDescription"), QString::fromUtf8(version::kCopyright), this);
  lblDescription->setWordWrap(true);
  lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  linSeparator1 = makeLine(QStringLiteral("linSeparator1"), this);
  lblTechSupport =
      makeLabel(QStringLiteral("lblTechSupport"), QStringLiteral("Tech Support: "), this);
  lblEMail = makeLabel(QStringLiteral("lblEMail"), QStringLiteral("E-Mail:"), this);
  lblEMailLink =
      makeLabel(QStringLiteral("lblEMailLink"), QString::fromUtf8(version::kSupportEmail), this);
  lblWeb = makeLabel(QStringLiteral("lblWeb"), QStringLiteral("Web:"), this);
  lblWebLink =
      makeLabel(QStringLiteral("lblWebLink"), QString::fromUtf8(version::kWebAddress), this);
  linSeparator2 = makeLine(QStringLiteral("linSeparator2"), this);

  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setDefault(true);
  cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
  cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));

  placeTwips(picIcon, 240, 240, 600, 600);
  placeTwips(lblTitle, 1080, 240, 5160, 600);
  placeTwips(lblVersion, 1080, 900, 5160, 285);
  placeTwips(lblDescription, 1080, 1200, 5160, 480);
  placeTwips(linSeparator1, 240, 1800, 6000, 60);
  placeTwips(lblTechSupport, 240, 1980, 1800, 285);
  placeTwips(lblEMail, 480, 2310, 780, 285);
  placeTwips(lblEMailLink, 1320, 2310, 4920, 285);
  placeTwips(lblWeb, 480, 2640, 780, 285);
  placeTwips(lblWebLink, 1320, 2640, 4920, 285);
  placeTwips(linSeparator2, 240, 3060, 6000, 60);
  placeTwips(cmdSysInfo, 3240, 3300, 1500, 375);
  placeTwips(cmdOK, 4860, 3300, 1380, 375);
  resizeTwips(this, 6480, 3915);
  setFixedSize(size());
  growToFit(this);

  setTabOrder(cmdOK, cmdSysInfo);

  webLink_ = new HyperText(this);
  webLink_->CreateHyper(lblWebLink);
  emailLink_ = new HyperText(this);
  emailLink_->CreateHyper(lblEMailLink);
  fitWidth(lblWebLink);
  fitWidth(lblEMailLink);

  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);
}

frmAbout::~frmAbout() = default;

void frmAbout::setSysInfoPlatform(SysInfoPlatform* platform) {
  sysInfo_ = platform;
}

void frmAbout::StartSysInfo() {
  SystemSysInfoPlatform system;
  SysInfoPlatform& platform = sysInfo_ ? *sysInfo_ : system;
  if (LaunchSysInfo(platform, appState().settingsPath)) return;
  showMessage(this, QString::fromUtf8(version::kProductName),
              QStringLiteral("System Information Is Unavailable At This Time"), MsgIcon::None);
}

}  // namespace quorvel
