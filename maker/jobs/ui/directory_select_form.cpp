// TDirectorySelectForm: the output folder chooser.
#include "maker/jobs/ui/directory_select_form.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QStorageInfo>
#include <QVBoxLayout>

#include "common/paths.h"

namespace {

constexpr int kPathRole = Qt::UserRole;

}  // namespace

TDirectorySelectForm::TDirectorySelectForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("DirectorySelectForm"));
  setWindowTitle(QStringLiteral("Select Output Directory"));
  resize(520, 400);

  DriveList = new QListWidget(this);
  DriveList->setObjectName(QStringLiteral("DriveList"));
  DriveList->setToolTip(QStringLiteral("Places"));
  DriveList->setMaximumWidth(170);
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  model_->setRootPath(QStringLiteral("/"));
  DirectoryTree = new QTreeView(this);
  DirectoryTree->setObjectName(QStringLiteral("DirectoryTree"));
  DirectoryTree->setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column) DirectoryTree->hideColumn(column);
  DirectoryTree->header()->hide();
  DirectoryLabel = new QLabel(QStringLiteral("&Directory:"), this);
  DirectoryLabel->setObjectName(QStringLiteral("DirectoryLabel"));
  DirectoryEdit = new QLineEdit(this);
  DirectoryEdit->setObjectName(QStringLiteral("DirectoryEdit"));
  DirectoryLabel->setBuddy(DirectoryEdit);
  OKButton = new QPushButton(QStringLiteral("&OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));

  auto* lists = new QHBoxLayout;
  lists->addWidget(DriveList);
  lists->addWidget(DirectoryTree, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists, 1);
  layout->addWidget(DirectoryLabel);
  layout->addWidget(DirectoryEdit);
  layout->addLayout(buttons);

  showError = [this](const QString& text, const QString& caption) {
    QMessageBox::critical(this, caption, text);
  };
  connect(DriveList, &QListWidget::currentRowChanged, this, [this] { PlaceChanged(); });
  connect(DirectoryTree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { TreeChanged(); });
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
  RefreshPlaces();
}

void TDirectorySelectForm::RefreshPlaces() {
  const QSignalBlocker block(DriveList);
  DriveList->clear();
  auto add = [this](const QString& text, const QString& path) {
    for (int i = 0; i < DriveList->count(); ++i)
      if (DriveList->item(i)->data(kPathRole).toString() == path) return;
    auto* item = new QListWidgetItem(text, DriveList);
    item->setData(kPathRole, path);
    item->setToolTip(path);
  };
  add(QStringLiteral("Home folder"), QDir::homePath());
  add(QStringLiteral("File system (/)"), QStringLiteral("/"));
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QString root = volume.rootPath();
    // The system's own mounts (/proc, /sys, /run, ...) hold no place for music.
    if (root == QStringLiteral("/") || root.startsWith(QStringLiteral("/proc")) ||
        root.startsWith(QStringLiteral("/sys")) || root.startsWith(QStringLiteral("/dev")) ||
        root.startsWith(QStringLiteral("/run")) || root.startsWith(QStringLiteral("/boot")))
      continue;
    const QString name = volume.displayName().isEmpty() ? root : volume.displayName();
    add(name == root ? root : name + QStringLiteral(" (") + root + QStringLiteral(")"), root);
  }
}

QString TDirectorySelectForm::TreeDirectory() const {
  const QModelIndex current = DirectoryTree->currentIndex();
  if (current.isValid()) return model_->filePath(current);
  return model_->filePath(DirectoryTree->rootIndex());
}

void TDirectorySelectForm::PlaceChanged() {
  const QListWidgetItem* item = DriveList->currentItem();
  if (!item) return;
  const QString root = item->data(kPathRole).toString();
  DirectoryTree->setRootIndex(model_->index(root));
  DirectoryTree->setCurrentIndex(QModelIndex());
  DirectoryEdit->setText(root);
}

void TDirectorySelectForm::TreeChanged() { DirectoryEdit->setText(TreeDirectory()); }

void TDirectorySelectForm::SetDirectory(const std::string& folder) {
  const QString path = QDir::cleanPath(QString::fromStdString(folder));
  // The place that holds the folder most closely: the longest root it lies under.
  int best = -1;
  int bestLength = -1;
  for (int i = 0; i < DriveList->count(); ++i) {
    const QString root = DriveList->item(i)->data(kPathRole).toString();
    const bool under = path == root || path.startsWith(root.endsWith('/') ? root : root + '/');
    if (under && root.size() > bestLength) {
      best = i;
      bestLength = static_cast<int>(root.size());
    }
  }
  {
    const QSignalBlocker block(DriveList);
    DriveList->setCurrentRow(best);
  }
  const QString root = best >= 0 ? DriveList->item(best)->data(kPathRole).toString() : QStringLiteral("/");
  DirectoryTree->setRootIndex(model_->index(root));
  const QModelIndex index = model_->index(path);
  {
    const QSignalBlocker block(DirectoryTree->selectionModel());
    DirectoryTree->setCurrentIndex(index);
  }
  if (index.isValid()) DirectoryTree->scrollTo(index);
  DirectoryEdit->setText(path);
}

std::string TDirectorySelectForm::Directory() const {
  std::string name = DirectoryEdit->text().trimmed().toStdString();
  if (name.size() > 1 && name.back() == '/') name.pop_back();
  return name;
}

void TDirectorySelectForm::OKButtonClick() {
  std::string name = DirectoryEdit->text().trimmed().toStdString();
  if (name.size() > 1 && name.back() == '/') name.pop_back();
  if (name.starts_with("~/") || name == "~") name = QDir::homePath().toStdString() + name.substr(1);
  // A relative name would depend on the folder the program was started from.
  const bool absolute = !name.empty() && name.front() == '/';
  if (!absolute || !CreateDirectories(name) || !DirectoryExists(name)) {
    showError(QString::fromUtf8(kDirectoryErrorText), QString::fromUtf8(kDirectoryErrorCaption));
    return;
  }
  DirectoryEdit->setText(QString::fromStdString(name));
  accept();
}

void TDirectorySelectForm::CancelButtonClick() {
  DirectoryEdit->setText(TreeDirectory());
  reject();
}
