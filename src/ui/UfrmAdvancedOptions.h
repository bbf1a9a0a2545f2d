// The Advanced Options dialog: the four file-attribute filters of a search, the date and size
// limits, the folders left out, and what to do with binary and unreadable files.
#pragma once

#include "settings/UTSearchOptions.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace ui {

class TfrmAdvancedOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAdvancedOptions(QWidget* parent = nullptr);

    // Filters to lists (and the line-by-line mode to its box); a value outside 0 to 2 leaves its
    // list without a selected item.
    void ShowOptions(const settings::TSearchOptions& options);
    // Lists to filters; a list without a selected item gives -1.
    void ReadOptions(settings::TSearchOptions& options) const;

    void btnClearClick();

    QComboBox* cmbArchive;
    QComboBox* cmbReadOnly;
    QComboBox* cmbSystem;
    QComboBox* cmbHidden;
    QLabel* Label7;
    QCheckBox* chkNewer;
    QDateEdit* dtpNewer;
    QCheckBox* chkOlder;
    QDateEdit* dtpOlder;
    QCheckBox* chkMinSize;
    QSpinBox* edtMinSize;
    QComboBox* cmbMinSizeUnit;
    QCheckBox* chkMaxSize;
    QSpinBox* edtMaxSize;
    QComboBox* cmbMaxSizeUnit;
    QLineEdit* edtExcludeDirs;
    QCheckBox* chkSkipBinary;
    QCheckBox* chkStopOnError;
    QCheckBox* chkLineByLine;
    QPushButton* btnClear;
    QPushButton* btnCancel;
    QPushButton* btnOk;

private:
    // The date limits as shown, so that a limit the dialog cannot show exactly (a time of day
    // from the settings file) is kept when its controls are left alone.
    settings::TSearchOptions shown_;
};

} // namespace ui
