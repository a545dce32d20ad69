// TAboutForm: texts and placement (centred, a little above the middle of the screen).
#include "player/ui/about_form.h"

#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "player/control/player_texts.h"

using player::TAboutForm;

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About zbplayer"));
  ProductLabel = new QLabel(QStringLiteral("zbplayer - Zimbar MP3 Player"), this);
  VersionLabel = new QLabel(QStringLiteral("Version %1").arg(QLatin1String(kPlayerVersion)), this);
  OKButton = new QPushButton(QStringLiteral("&OK"), this);
  ProductLabel->setObjectName(QStringLiteral("ProductLabel"));
  VersionLabel->setObjectName(QStringLiteral("VersionLabel"));
  OKButton->setObjectName(QStringLiteral("OKButton"));
  QFont bold = ProductLabel->font();
  bold.setBold(true);
  ProductLabel->setFont(bold);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ProductLabel, 0, Qt::AlignHCenter);
  layout->addWidget(VersionLabel, 0, Qt::AlignHCenter);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  // Escape closes it, as any dialog.
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  const QScreen* screen = this->screen();
  if (!screen) return;
  const QRect area = screen->geometry();
  const int left = area.left() + (area.width() - width()) / 2;
  const int top = area.top() + (area.height() - height()) / 2 - 20;
  move(std::max(left, 0), std::max(top, 0));
}
