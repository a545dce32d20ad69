// Loading a language as a person does it in the options window, for the tests of every
// window that Load Language translates.
#pragma once

#include <QString>
#include <QTest>
#include <string>
#include <utility>

#include "maker/settings/ui/customization_page.h"
#include "maker/settings/ui/options_form.h"

// Presses Load Language with the file dialog answered by `path` (empty: the dialog was
// cancelled); the boxes the window would show go to `showError`.
inline void LoadLanguageFromOptions(maker::TOptionsForm& form, const std::string& path,
                                    maker::TOptionsForm::ShowErrorFn showError) {
  form.SetDialogs([chosen = QString::fromStdString(path)](QWidget*, const QString&) { return chosen; },
                  std::move(showError));
  QTest::mouseClick(form.CustomizationTabSheet->LoadLanguageButton, Qt::LeftButton);
}
