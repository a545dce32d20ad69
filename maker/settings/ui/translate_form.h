// Applies a language file to a window's controls: captions and hints (tool tips) by the
// kind of each control, keyed by the control's name under the window's section.
#pragma once

#include <QObject>
#include <string>
#include <utility>
#include <vector>

#include "maker/settings/language_file.h"

// The controls a window offers for translation, each with the name its keys use
// (TextOf_<name>, HintOf_<name>).
using TranslatableComponents = std::vector<std::pair<QObject*, std::string>>;

// Applies the active language file (ActiveLanguageFilePath()) to the components under
// the section. What a key changes depends on the kind of control:
//   QAction, QMenu                                    caption only
//   a window of another kind (a dialog)               caption only: its title
//   QAbstractButton, QGroupBox, QLabel, a tab page    caption and hint (a page's caption
//                                                     is its tab text, its hint the tab's)
//   QLineEdit, QComboBox, QFrame (QTextEdit, QPlainTextEdit, QListWidget, panels)
//                                                     hint only
//   anything else                                     nothing
// Hints are tool tips; '&' in a caption stays the mnemonic marker. An empty or missing
// value, a missing section or a missing or unreadable file leaves a control as it is.
void TranslateForm(const std::string& section, const TranslatableComponents& components);

// The same with a language file already read.
void TranslateForm(const LanguageFile& file, const std::string& section, const TranslatableComponents& components);
