// The box about the existing outputs of a run.
#include "maker/jobs/ui/replace_question.h"

#include <QMessageBox>
#include <QPushButton>

#include <string>
#include <vector>

#include "maker/jobs/pipeline_host.h"

namespace maker {

ReplaceAnswer AskReplaceExistingBox(QWidget* parent, const QStringList& paths, const MakerTexts& texts) {
  std::vector<std::string> listed;
  for (const QString& path : paths) listed.push_back(path.toStdString());
  auto shown = [&texts](const std::string& english) { return QString::fromStdString(texts.Shown(english)); };
  QMessageBox box(QMessageBox::Question, shown(kMakerConfirmCaption), shown(ReplaceQuestionText(listed)),
                  QMessageBox::NoButton, parent);
  QPushButton* replace = box.addButton(shown(kReplaceAllText.toStdString()), QMessageBox::AcceptRole);
  QPushButton* keep = box.addButton(shown(kKeepAllText.toStdString()), QMessageBox::AcceptRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(keep);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  if (box.clickedButton() == replace) return ReplaceAnswer::ReplaceAll;
  if (box.clickedButton() == keep) return ReplaceAnswer::KeepAll;
  return ReplaceAnswer::Cancel;
}

}  // namespace maker
