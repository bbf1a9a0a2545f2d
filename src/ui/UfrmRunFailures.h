// The list of what a run could not read, shown once when the run ends: the user can read it,
// copy it and save it as a text file.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ui {

class TfrmRunFailures : public QDialog {
    Q_OBJECT
public:
    TfrmRunFailures(const std::string& heading, const std::vector<std::string>& lines,
                    QWidget* parent = nullptr);

    void btnCopyClick();
    void btnSaveClick();

    QLabel* lblHeading;
    QPlainTextEdit* memFailures;
    QPushButton* btnCopy;
    QPushButton* btnSave;
    QPushButton* btnClose;

private:
    std::string text_; // the lines, each ended by a line break
};

} // namespace ui
