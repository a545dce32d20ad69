// TDirectorySelectForm: the output folder chooser. A list of places (the home folder, the
// root of the file system, the mounted volumes), the folder tree of the chosen place, and
// a folder name field kept in step with the tree; OK makes the folders the name names.
#pragma once

#include <QDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>
#include <functional>
#include <string>

inline constexpr const char* kDirectoryErrorText = "ERROR: Specified directory name is invalid or cannot be created.";
inline constexpr const char* kDirectoryErrorCaption = "Directory Selection Error";

class TDirectorySelectForm : public QDialog {
  Q_OBJECT
 public:
  explicit TDirectorySelectForm(QWidget* parent = nullptr);

  // Puts the places list and the tree on `folder` (the name field follows).
  void SetDirectory(const std::string& folder);
  // The name field, as OK accepted it (without a trailing '/').
  std::string Directory() const;
  // The places: home folder, "/", then the mount points of the mounted volumes.
  void RefreshPlaces();

  void OKButtonClick();
  void CancelButtonClick();

  // The error box; replaceable by tests.
  std::function<void(const QString& text, const QString& caption)> showError;

  QListWidget* DriveList;
  QTreeView* DirectoryTree;
  QLineEdit* DirectoryEdit;
  QLabel* DirectoryLabel;
  QPushButton* OKButton;
  QPushButton* CancelButton;

 private:
  void PlaceChanged();
  void TreeChanged();
  QString TreeDirectory() const;

  QFileSystemModel* model_;
};
