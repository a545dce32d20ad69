// The customization page: the language lines, Load Language and the two done actions.
#include "maker/settings/ui/customization_page.h"

#include <QGridLayout>
#include <QVBoxLayout>

TCustomizationPage::TCustomizationPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("CustomizationTabSheet"));
  CustomizationGroupBox = new QGroupBox(QStringLiteral("Customization Options"), this);
  CustomizationGroupBox->setObjectName(QStringLiteral("CustomizationGroupBox"));
  // The options window writes the language lines when it translates itself; their
  // captions are labels of their own, translated as any other caption.
  LanguageCaptionLabel = new QLabel(QStringLiteral("Language:"), CustomizationGroupBox);
  LanguageCaptionLabel->setObjectName(QStringLiteral("LanguageCaptionLabel"));
  TranslatorCaptionLabel = new QLabel(QStringLiteral("Translated by:"), CustomizationGroupBox);
  TranslatorCaptionLabel->setObjectName(QStringLiteral("TranslatorCaptionLabel"));
  LanguageLabel = new QLabel(CustomizationGroupBox);
  LanguageLabel->setObjectName(QStringLiteral("LanguageLabel"));
  TranslatorLabel = new QLabel(CustomizationGroupBox);
  TranslatorLabel->setObjectName(QStringLiteral("TranslatorLabel"));
  LoadLanguageButton = new QPushButton(QStringLiteral("&Load Language"), CustomizationGroupBox);
  LoadLanguageButton->setObjectName(QStringLiteral("LoadLanguageButton"));
  LoadLanguageButton->setToolTip(QStringLiteral("Choose another language for the windows"));
  BeepWhenDoneCheckBox = new QCheckBox(QStringLiteral("&Beep when done"), CustomizationGroupBox);
  BeepWhenDoneCheckBox->setObjectName(QStringLiteral("BeepWhenDoneCheckBox"));
  BringToFrontWhenDoneCheckBox = new QCheckBox(QStringLiteral("Bring to &front when done"), CustomizationGroupBox);
  BringToFrontWhenDoneCheckBox->setObjectName(QStringLiteral("BringToFrontWhenDoneCheckBox"));

  auto* grid = new QGridLayout(CustomizationGroupBox);
  grid->addWidget(LanguageCaptionLabel, 0, 0);
  grid->addWidget(LanguageLabel, 0, 1);
  grid->addWidget(LoadLanguageButton, 0, 2, 2, 1, Qt::AlignTop);
  grid->addWidget(TranslatorCaptionLabel, 1, 0);
  grid->addWidget(TranslatorLabel, 1, 1);
  grid->addWidget(BeepWhenDoneCheckBox, 2, 0, 1, 3);
  grid->addWidget(BringToFrontWhenDoneCheckBox, 3, 0, 1, 3);
  grid->setColumnStretch(1, 1);

  auto* page = new QVBoxLayout(this);
  page->addWidget(CustomizationGroupBox);
  page->addStretch();
}

void TCustomizationPage::Load(const SettingsTable& settings) {
  BeepWhenDoneCheckBox->setChecked(settings.beepWhenDone != 0);
  BringToFrontWhenDoneCheckBox->setChecked(settings.bringToFrontWhenDone != 0);
}

void TCustomizationPage::Save(SettingsTable& settings) const {
  settings.beepWhenDone = BeepWhenDoneCheckBox->isChecked();
  settings.bringToFrontWhenDone = BringToFrontWhenDoneCheckBox->isChecked();
}
