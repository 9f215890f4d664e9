// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HelpViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace vemo {

namespace {
QString& HelpFileSetting() {
  static QString name;
  return name;
}
}  // namespace

void SetApplicationHelpFile(const QString& fileName) {
  HelpFileSetting() = fileName;
}
QString ApplicationHelpFile() {
  return HelpFileSetting();
}

QString LocateHelpFile(const QString& fileName) {
  if (fileName.isEmpty()) return {};
  const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(fileName);
  if (QFileInfo(beside).isFile()) return beside;
  const QString embedded = QStringLiteral(":/help/") + fileName;
  if (QFileInfo(embedded).isFile()) return embedded;
  return {};
}

HelpViewer::HelpViewer(QWidget* parent)
    : QWidget(parent, Qt::Window),
      browser_(new QTextBrowser(this)),
      contentsButton_(new QToolButton(this)),
      backButton_(new QToolButton(this)),
      forwardButton_(new QToolButton(this)) {
  setObjectName(QStringLiteral("HelpViewer"));
  contentsButton_->setText(tr("&Contents"));
  contentsButton_->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
  backButton_->setText(tr("&Back"));
  backButton_->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
  forwardButton_->setText(tr("&Forward"));
  forwardButton_->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
  for (QToolButton* b : {contentsButton_, backButton_, forwardButton_}) {
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
  }
  backButton_->setEnabled(false);
  forwardButton_->setEnabled(false);

  browser_->setOpenExternalLinks(true);
  browser_->setObjectName(QStringLiteral("HelpBrowser"));

  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(4, 4, 4, 0);
  bar->addWidget(contentsButton_);
  bar->addWidget(backButton_);
  bar->addWidget(forwardButton_);
  bar->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addLayout(bar);
  layout->addWidget(browser_);

  connect(contentsButton_, &QToolButton::clicked, browser_, &QTextBrowser::home);
  connect(backButton_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
  connect(forwardButton_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, backButton_, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forwardButton_, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this, [this] { UpdateTitle(); });
  resize(720, 640);
  setWindowTitle(tr("Help"));
}

bool HelpViewer::ShowContents(const QString& helpFile) {
  const QString path = LocateHelpFile(helpFile);
  if (path.isEmpty()) {
    browser_->clearHistory();
    browser_->setHtml(tr("<h2>Help is not available</h2><p>The help file <b>%1</b> could not be "
                         "found beside the program.</p>")
                          .arg(helpFile.isEmpty() ? tr("(none)") : helpFile.toHtmlEscaped()));
    setWindowTitle(tr("Help"));
  } else {
    const QUrl url = path.startsWith(QLatin1Char(':')) ? QUrl(QStringLiteral("qrc") + path)
                                                       : QUrl::fromLocalFile(path);
    browser_->clearHistory();
    browser_->setSource(url);
  }
  show();
  raise();
  activateWindow();
  return !path.isEmpty();
}

void HelpViewer::UpdateTitle() {
  const QString title = browser_->documentTitle();
  setWindowTitle(title.isEmpty() ? tr("Help") : title);
}

}  // namespace vemo
