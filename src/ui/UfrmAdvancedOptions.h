// The Advanced Options dialog: the four file-attribute filters of a search.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class TSearchOptions;

namespace ui {

class TfrmAdvancedOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAdvancedOptions(QWidget* parent = nullptr);

    // Filters to lists (and the line-by-line mode to its box); a value outside 0 to 2 leaves its
    // list without a selected item.
    void ShowOptions(const TSearchOptions& options);
    // Lists to filters; a list without a selected item gives -1.
    void ReadOptions(TSearchOptions& options) const;

    void btnClearClick();

    QComboBox* cmbArchive;
    QComboBox* cmbReadOnly;
    QComboBox* cmbSystem;
    QComboBox* cmbHidden;
    QLabel* Label7;
    QCheckBox* chkLineByLine;
    QPushButton* btnClear;
    QPushButton* btnCancel;
    QPushButton* btnOk;
};

} // namespace ui
