// The one box a run shows before it starts when outputs of its jobs exist already.
#pragma once

#include <QString>
#include <QStringList>

#include "maker/jobs/existing_outputs.h"
#include "maker/settings/maker_texts.h"

class QWidget;

namespace maker {

// Button texts of the box; tests press them by these.
inline const QString kReplaceAllText = QStringLiteral("&Replace All");
inline const QString kKeepAllText = QStringLiteral("&Keep All");

// Asks with a box over `parent` that lists `paths`: "Replace All", "Keep All" (the default
// button: it loses nothing) or "Cancel" (also Escape and the close box); in the language
// of `texts`.
ReplaceAnswer AskReplaceExistingBox(QWidget* parent, const QStringList& paths, const MakerTexts& texts = MakerTexts());

}  // namespace maker
