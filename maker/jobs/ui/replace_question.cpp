// The box about the existing outputs of a run.
#include "maker/jobs/ui/replace_question.h"

#include <QMessageBox>
#include <QPushButton>

#include <string>
#include <vector>

#include "maker/jobs/pipeline_host.h"

namespace maker {

ReplaceAnswer AskReplaceExistingBox(QWidget* parent, const QStringList& paths) {
  std::vector<std::string> listed;
  for (const QString& path : paths) listed.push_back(path.toStdString());
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(kMakerConfirmCaption),
                  QString::fromStdString(ReplaceQuestionText(listed)), QMessageBox::NoButton, parent);
  QPushButton* replace = box.addButton(kReplaceAllText, QMessageBox::AcceptRole);
  QPushButton* keep = box.addButton(kKeepAllText, QMessageBox::AcceptRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(keep);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  if (box.clickedButton() == replace) return ReplaceAnswer::ReplaceAll;
  if (box.clickedButton() == keep) return ReplaceAnswer::KeepAll;
  return ReplaceAnswer::Cancel;
}

}  // namespace maker
