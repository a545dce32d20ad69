// TAboutForm: the maker's About window.
#include "maker/jobs/ui/about_form.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>


using maker::TAboutForm;

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(QStringLiteral("About zbmaker"));
  ProductLabel = new QLabel(QStringLiteral("<b>Zimbar MP3 Maker</b>"), this);
  ProductLabel->setObjectName(QStringLiteral("ProductLabel"));
  // One version, the one the main window's title shows.
  VersionLabel = new QLabel(QStringLiteral("Version 1.3A"), this);
  VersionLabel->setObjectName(QStringLiteral("VersionLabel"));
  LibrariesLabel = new QLabel(
      QStringLiteral("MP3 encoding by LAME, AAC encoding by FFmpeg's libavcodec,\n"
                     "MP3 decoding by mpg123, CD access by libcdio."),
      this);
  LibrariesLabel->setObjectName(QStringLiteral("LibrariesLabel"));
  CloseLabel = new QLabel(QStringLiteral("Press any key to close this window."), this);
  CloseLabel->setObjectName(QStringLiteral("CloseLabel"));
  for (QLabel* label : {ProductLabel, VersionLabel, LibrariesLabel, CloseLabel}) label->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 18, 24, 18);
  layout->setSpacing(10);
  layout->addWidget(ProductLabel);
  layout->addWidget(VersionLabel);
  layout->addWidget(LibrariesLabel);
  layout->addWidget(CloseLabel);
  setFixedSize(sizeHint());
}

void TAboutForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Centred on the screen, whatever window opened it.
  if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TAboutForm::keyPressEvent(QKeyEvent* event) {
  event->accept();
  accept();
}

void TAboutForm::mousePressEvent(QMouseEvent*) { accept(); }
