// TranslateForm: a language file's captions and hints applied to Qt controls by kind.
#include "maker/settings/ui/translate_form.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTabWidget>

namespace {

// The tab widget that shows widget as one of its pages, with the page's index.
std::pair<QTabWidget*, int> TabOf(QWidget* widget) {
  // A page's parent is the tab widget's page stack, whose parent is the tab widget.
  for (QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
    if (auto* tabs = qobject_cast<QTabWidget*>(up)) {
      const int index = tabs->indexOf(widget);
      return {index >= 0 ? tabs : nullptr, index};
    }
  }
  return {nullptr, -1};
}

void Apply(QObject* component, const QString& text, const QString& hint) {
  if (auto* action = qobject_cast<QAction*>(component)) {
    if (!text.isEmpty()) action->setText(text);
    return;
  }
  if (auto* menu = qobject_cast<QMenu*>(component)) {
    if (!text.isEmpty()) menu->setTitle(text);
    return;
  }
  auto* widget = qobject_cast<QWidget*>(component);
  if (widget == nullptr) return;
  if (auto [tabs, index] = TabOf(widget); tabs != nullptr) {
    if (!text.isEmpty()) tabs->setTabText(index, text);
    if (!hint.isEmpty()) tabs->setTabToolTip(index, hint);
    return;
  }
  // Captions and hints. QLabel is a QFrame, so it is asked for first.
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    if (!text.isEmpty()) button->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
    if (!text.isEmpty()) group->setTitle(text);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    if (!text.isEmpty()) label->setText(text);
  } else if (auto* spin = qobject_cast<QSpinBox*>(widget); spin != nullptr && !spin->specialValueText().isEmpty()) {
    // A number field whose lowest value has a word of its own ("Automatic"): the word.
    if (!text.isEmpty()) spin->setSpecialValueText(text);
  } else if (qobject_cast<QLineEdit*>(widget) == nullptr && qobject_cast<QComboBox*>(widget) == nullptr &&
             qobject_cast<QAbstractSpinBox*>(widget) == nullptr && qobject_cast<QFrame*>(widget) == nullptr) {
    // Hints only for edits, lists, number fields, memos and panels. A window of any other kind (a
    // dialog) takes its caption as its title; nothing for any other kind.
    if (widget->isWindow() && !text.isEmpty()) widget->setWindowTitle(text);
    return;
  }
  if (!hint.isEmpty()) widget->setToolTip(hint);
}

}  // namespace

void TranslateForm(const LanguageFile& file, const std::string& section, const TranslatableComponents& components) {
  for (const auto& [component, name] : components) {
    if (component == nullptr) continue;
    Apply(component, QString::fromStdString(file.Text(section, name)), QString::fromStdString(file.Hint(section, name)));
  }
}

void TranslateForm(const std::string& section, const TranslatableComponents& components) {
  auto file = LanguageFile::Load(ActiveLanguageFilePath());
  // An unreadable file is treated as a missing one: the windows keep their built-in texts.
  if (!file) return;
  TranslateForm(file.Value(), section, components);
}
