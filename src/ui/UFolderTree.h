// The folder tree in which the user picks the start folder: the file system's folders from
// "/", loaded lazily, with the selected folder's path readable and settable.
#pragma once

#include <QElapsedTimer>
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
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The folders above a selected one arrive and are sorted after it was selected; until the
    // user takes over, each such change brings the selection back into view.
    void KeepSelectionInView();

    QFileSystemModel* model_;
    bool following_ = false;
    QElapsedTimer followingSince_;
};

} // namespace ui
