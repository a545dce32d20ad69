// TTrackNameForm: the track name prompt.
#include "maker/metadata/ui/track_name_form.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "maker/metadata/cd_info.h"
#include "maker/settings/maker_texts.h"

TTrackNameForm::TTrackNameForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TrackNameForm"));
  setWindowTitle(QStringLiteral("Track Name"));
  TrackNameLabel = new QLabel(QStringLiteral("Enter new track name"), this);
  TrackNameEdit = new QLineEdit(QStringLiteral("Track Name"), this);
  OKButton = new QPushButton(QStringLiteral("&OK"), this);
  CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  TrackNameLabel->setObjectName(QStringLiteral("TrackNameLabel"));
  TrackNameEdit->setObjectName(QStringLiteral("TrackNameEdit"));
  OKButton->setObjectName(QStringLiteral("OKButton"));
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  OKButton->setDefault(true);
  TrackNameEdit->setMinimumWidth(
      QFontMetrics(font()).horizontalAdvance(QStringLiteral("1234567890")) * 4);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TrackNameLabel);
  layout->addWidget(TrackNameEdit);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  // Enter in the edit closes with OK (the default button); Escape cancels.
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<std::string> TTrackNameForm::Ask(int track, const std::string& current) {
  TrackNameLabel->setText(QString::fromStdString(ActiveMakerTexts().Shown(TrackNamePromptLabel(track))));
  TrackNameEdit->setText(QString::fromStdString(current));
  TrackNameEdit->selectAll();
  TrackNameEdit->setFocus();
  if (QWidget* owner = parentWidget()) move(owner->frameGeometry().topLeft() + QPoint(20, 20));
  if (exec() != QDialog::Accepted) return std::nullopt;
  // A name is one row of the list: a line break typed or pasted in would split it.
  QString name = TrackNameEdit->text();
  name.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
  return name.toStdString();
}
