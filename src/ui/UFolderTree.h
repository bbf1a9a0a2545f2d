// The folder tree in which the user picks the start folder: the file system's folders from
// "/", loaded lazily, with the selected folder's path readable and settable.
#pragma once

#include <QTreeView>

#include <string>

class QFileSystemModel;

namespace ui {

class TFolderTree : public QTreeView {
    Q_OBJECT
public:
    explicit TFolderTree(QWidget* parent = nullptr);

    // The selected folder's path; empty when none is selected.
    std::string SelectedPath() const;
    // Selects `path` and scrolls it into view; false, with the selection unchanged, when it
    // names no folder.
    bool SelectPath(const std::string& path);

    QFileSystemModel* FileSystemModel() const { return model_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void ScrollToPending(const QString& loadedFolder);

    QFileSystemModel* model_;
    QString pending_; // the folder still to be scrolled to while its parents load
};

} // namespace ui
