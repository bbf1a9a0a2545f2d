// A field in which the start folder is typed or pasted, bound to a folder tree: it shows the
// tree's selected folder, completes folder paths as they are typed, selects each folder typed
// in the tree, and marks a path that names no folder instead of taking it.
#pragma once

#include <QLineEdit>

class QCompleter;
class QFileSystemModel;

namespace ui {

class TFolderTree;

class TFolderPathEdit : public QLineEdit {
    Q_OBJECT
public:
    TFolderPathEdit(TFolderTree* tree, QWidget* parent = nullptr);

    // True while the text names no folder (after Enter or leaving the field).
    bool Marked() const { return marked_; }
    // Selects the folder typed; marks the field when there is none.
    bool Accept();

    QCompleter* PathCompleter() const { return completer_; }

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void FollowTree();
    void TextEdited(const QString& text);
    void SetMarked(bool marked);
    // The typed text as a path: a leading "~" stands for the home folder.
    QString TypedPath() const;

    TFolderTree* tree_;
    QFileSystemModel* folders_;
    QCompleter* completer_;
    bool marked_ = false;
    bool selecting_ = false;
};

} // namespace ui
